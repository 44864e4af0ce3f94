// Long options: "--name", "--name=value", or "--name value" with the value in the
// next argument. They come after the description's slash options and leave those as
// they are; a file whose name begins with "--" is named "./--x" (".\--x" on Windows).
#include <cstring>

#include "app.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

enum class Value { kNone, kRequired };

struct LongOption {
  const char* name;
  Value value;
  void (*apply)(const char* value);
};

void AskForHelp(const char*) { Run.Answer = LoneArgument::kHelp; }
void AskForVersion(const char*) { Run.Answer = LoneArgument::kVersion; }

void ReadUncached(const char*) { Run.DirectReads = true; }
void NameResultFile(const char* name) { strcpy(Run.JsonName, name); }
void NameChart(const char* name) { strcpy(Run.ChartName, name); }

const LongOption kLongOptions[] = {
    {"help", Value::kNone, AskForHelp},
    {"version", Value::kNone, AskForVersion},
    {"map", Value::kRequired, SetRescueMapName},
    {"direct", Value::kNone, ReadUncached},
    {"json", Value::kRequired, NameResultFile},
    {"chart", Value::kRequired, NameChart},
};

const LongOption* FindLongOption(const char* name, size_t nameLength) {
  for (const LongOption& option : kLongOptions) {
    if (strlen(option.name) == nameLength &&
        strncmp(option.name, name, nameLength) == 0)
      return &option;
  }
  return nullptr;
}

}  // namespace

bool ReadLongOption(const std::string& argument, const Arguments& arguments,
                    size_t& next) {
  const char* name = argument.c_str() + 2;
  const char* equals = strchr(name, '=');
  size_t nameLength =
      equals != nullptr ? static_cast<size_t>(equals - name) : strlen(name);
  const LongOption* option = FindLongOption(name, nameLength);
  if (option == nullptr) return false;
  if (option->value == Value::kNone) {
    if (equals != nullptr) return false;
    option->apply(nullptr);
    return true;
  }
  if (equals != nullptr) {
    if (equals[1] == '\0') return false;
    option->apply(equals + 1);
    return true;
  }
  // The value stands alone; like a name, it must fit whole.
  if (next == arguments.size() || arguments[next].empty() ||
      arguments[next].size() > static_cast<size_t>(kMaxName)) {
    return false;
  }
  option->apply(arguments[next++].c_str());
  return true;
}
