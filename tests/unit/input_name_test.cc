#include <string>

#include "endpoints.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

std::string Mapped(const std::string& name) {
  char path[kMaxName + 1];
  MapInputName(name.c_str(), path);
  return path;
}

TEST(InputName, DrivesDisksAndPaths) {
  EXPECT_EQ(Mapped("C:"), "\\\\.\\C:");
  EXPECT_EQ(Mapped("1:"), "\\\\.\\physicaldrive1");
  EXPECT_EQ(Mapped("12:"), "\\\\.\\12:");
  EXPECT_EQ(Mapped("share:"), "\\\\.\\share:");
  EXPECT_EQ(Mapped(":"), ":");
  EXPECT_EQ(Mapped("a:\\io.sys"), "a:\\io.sys");
  std::string longDrive = std::string(254, 'd') + ":";
  EXPECT_EQ(Mapped(longDrive), ("\\\\.\\" + longDrive).substr(0, 255));
}

}  // namespace
