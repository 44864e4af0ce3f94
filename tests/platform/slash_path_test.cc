#include "gtest/gtest.h"
#include "platform.h"

namespace {

TEST(SlashArgument, PathOnlyWithASecondSlash) {
  for (const char* path : {"/dev/sdb", "/mnt/share/file", "//file", "/x/"}) {
    EXPECT_TRUE(SlashArgumentIsPath(path)) << path;
  }
  for (const char* option : {"/", "/x", "/?", "/kb3000", "/512", "x/y"}) {
    EXPECT_FALSE(SlashArgumentIsPath(option)) << option;
  }
}

}  // namespace
