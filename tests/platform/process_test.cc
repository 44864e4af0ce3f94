#include <sys/utsname.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

// The tick is CLOCK_MONOTONIC in milliseconds, cut to 32 bits; it never goes back.
TEST(Process, TickCountFollowsTheMonotonicClock) {
  DWORD previous = GetTickCount();
  for (int i = 0; i < 1000; ++i) {
    DWORD before = static_cast<DWORD>(MonotonicMilliseconds());
    DWORD tick = GetTickCount();
    DWORD after = static_cast<DWORD>(MonotonicMilliseconds());
    EXPECT_LE(static_cast<int32_t>(before - previous),
              static_cast<int32_t>(tick - previous));
    EXPECT_LE(static_cast<int32_t>(tick - before),
              static_cast<int32_t>(after - before));
    EXPECT_GE(static_cast<int32_t>(tick - previous), 0);
    previous = tick;
  }
}

TEST(Process, VersionIsNtFamilyWithTheKernelVersion) {
  utsname name;
  ASSERT_EQ(uname(&name), 0);
  DWORD version = GetVersion();
  EXPECT_EQ(version & 0x80000000u, 0u);
  EXPECT_EQ(version & 0xFF, static_cast<DWORD>(std::atoi(name.release)));
}

TEST(Process, VirtualAllocGivesZeroedPageAlignedMemory) {
  const size_t size = 3 * 4096 + 10;
  auto* memory = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % sysconf(_SC_PAGESIZE), 0u);
  for (size_t i = 0; i < size; ++i) ASSERT_EQ(memory[i], 0) << i;
  memory[size - 1] = 1;

  EXPECT_EQ(
      VirtualAlloc(nullptr, SIZE_MAX / 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST(Process, ExitProcessEndsWithTheCodeAtOnce) {
  for (UINT code : {0u, 1u, 2u, 255u}) {
    int status = RunInChild([code] {
      ExitProcess(code);
      return 99;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(code));
  }
}

}  // namespace
