#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

TEST(CommandLine, QuotesEmptyArgumentsAndThoseWithBlanksOrControls) {
  const char* argv[] = {"tavo", "a b",         "",    "x\ty", "plain", "\x01",
                        "!q",   "caf\xC3\xA9", "/512"};
  EXPECT_EQ(JoinCommandLine(9, argv),
            "tavo \"a b\" \"\" \"x\ty\" plain \"\x01\" !q caf\xC3\xA9 /512");
  EXPECT_EQ(JoinCommandLine(1, argv), "tavo");
}

// The arguments reach the layer without main passing them on.
TEST(CommandLine, IsThisProcessArguments) {
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(cmdline)), {});
  std::vector<std::string> arguments;
  for (size_t start = 0; start < all.size(); start = all.find('\0', start) + 1) {
    arguments.push_back(all.c_str() + start);
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  EXPECT_EQ(GetCommandLineA(),
            JoinCommandLine(static_cast<int>(argv.size()), argv.data()));
}

}  // namespace
