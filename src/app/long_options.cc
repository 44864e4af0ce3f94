// Long options: "--name", "--name=value", or "--name value" with the value in the
// next argument. They come after the slash options and leave those as they are;
// a file whose name begins with "--" is named "./--x" (".\--x" on Windows).
#include <cstring>
#include <string>

#include "app.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

enum class Value { kNone, kFile };  // a value, where there is one, names a file

struct LongOption {
  const char* name;
  Value value;
  void (*apply)(const char* value);
};

void AskForHelp(const char*) { Run.Answer = Asked::kHelp; }
void AskForVersion(const char*) { Run.Answer = Asked::kVersion; }

void ReadUncached(const char*) { Run.DirectReads = true; }
void NameResultFile(const char* name) { strcpy(Run.JsonName, name); }
void NameChart(const char* name) { strcpy(Run.ChartName, name); }

// clang-format off
const LongOption kLongOptions[] = {
    {"help", Value::kNone, AskForHelp},
    {"version", Value::kNone, AskForVersion},
    {"map", Value::kFile, SetRescueMapName},
    {"direct", Value::kNone, ReadUncached},
    {"json", Value::kFile, NameResultFile},
    {"chart", Value::kFile, NameChart},
};
// clang-format on

const LongOption* FindLongOption(const char* name, size_t nameLength) {
  for (const LongOption& option : kLongOptions) {
    if (strlen(option.name) == nameLength &&
        strncmp(option.name, name, nameLength) == 0)
      return &option;
  }
  return nullptr;
}

std::string Dashed(const LongOption& option) { return std::string("--") + option.name; }

void RefuseMissingValue(const LongOption& option) {
  RefuseCommandLine(Dashed(option) + " needs a value (" + Dashed(option) + "=FILE)");
}

// The value stands alone in the next argument; like a name, it must fit whole.
void ReadSeparateValue(const LongOption& option, const Arguments& arguments,
                       size_t& next) {
  if (next == arguments.size() || arguments[next].empty()) {
    RefuseMissingValue(option);
  } else if (arguments[next].size() > static_cast<size_t>(kMaxName)) {
    RefuseCommandLine("name longer than " + std::to_string(kMaxName) +
                      " bytes: " + Quoted(arguments[next]));
  } else {
    option.apply(arguments[next++].c_str());
  }
}

}  // namespace

void ReadLongOption(const std::string& argument, const Arguments& arguments,
                    size_t& next) {
  const char* name = argument.c_str() + 2;
  const char* equals = strchr(name, '=');
  size_t nameLength =
      equals != nullptr ? static_cast<size_t>(equals - name) : strlen(name);
  const LongOption* option = FindLongOption(name, nameLength);
  if (option == nullptr) {
    RefuseCommandLine("unknown option " + Quoted(argument));
  } else if (option->value == Value::kNone) {
    if (equals != nullptr) {
      RefuseCommandLine(Dashed(*option) + " takes no value");
    } else {
      option->apply(nullptr);
    }
  } else if (equals == nullptr) {
    ReadSeparateValue(*option, arguments, next);
  } else if (equals[1] == '\0') {
    RefuseMissingValue(*option);
  } else {
    option->apply(equals + 1);
  }
}
