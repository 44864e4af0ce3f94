// Time, memory, version and the end of the process.
#include <signal.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "posix_layer.h"

int64_t MonotonicMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  // tv_nsec is below 10^9: an unsigned 32-bit quotient is the cheapest.
  return static_cast<int64_t>(now.tv_sec) * 1000 +
         static_cast<uint32_t>(now.tv_nsec) / 1000000u;
}

// Milliseconds since boot, wrapping at 2^32 like Windows' tick count, and as coarse:
// Windows' count moves in steps of 10 to 16 ms.
DWORD GetTickCount() { return static_cast<DWORD>(MonotonicMilliseconds()); }

// Nanoseconds of the monotonic clock, whatever its own resolution: a frequency of 10^9.
// A vDSO read, no system call, where the kernel's clock source allows it.
BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  lpPerformanceCount->QuadPart =
      static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
  lpFrequency->QuadPart = 1000000000;
  return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
  timespec left = {static_cast<time_t>(dwMilliseconds / 1000),
                   static_cast<long>(dwMilliseconds % 1000) * 1000000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void GetLocalTime(SYSTEMTIME* lpSystemTime) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  localtime_r(&now.tv_sec, &local);
  *lpSystemTime = {static_cast<uint16_t>(local.tm_year + 1900),
                   static_cast<uint16_t>(local.tm_mon + 1),
                   static_cast<uint16_t>(local.tm_wday),
                   static_cast<uint16_t>(local.tm_mday),
                   static_cast<uint16_t>(local.tm_hour),
                   static_cast<uint16_t>(local.tm_min),
                   static_cast<uint16_t>(local.tm_sec),
                   static_cast<uint16_t>(now.tv_nsec / 1000000)};
}

// Bit 31 clear says "NT family" (which gives the input FILE_SHARE_DELETE). The kernel
// release fills the rest: major version in the low byte, minor in the next, and the
// patch level in the high word.
DWORD GetVersion() {
  utsname name;
  unsigned major = 0, minor = 0, patch = 0;
  if (uname(&name) == 0) std::sscanf(name.release, "%u.%u.%u", &major, &minor, &patch);
  return (major & 0xFF) | (minor & 0xFF) << 8 | (patch & 0x7FFF) << 16;
}

// Only the form the program uses: fresh read-write memory, zero-filled and
// page-aligned, as an anonymous mapping gives it.
LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType,
                    DWORD flProtect) {
  if (lpAddress != nullptr || dwSize == 0 ||
      flAllocationType != (MEM_COMMIT | MEM_RESERVE) || flProtect != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* memory =
      mmap(nullptr, dwSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return memory;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

// The program has passed its buffered output on already; what is left is the
// terminal, which the keyboard may have switched to reading single keys.
void ExitProcess(UINT uExitCode) {
  RestoreTerminal();
  int signal_number = CaughtEndingSignal();
  if (signal_number != 0 && uExitCode == 128u + signal_number) {
    signal(signal_number, SIG_DFL);
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, signal_number);
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    raise(signal_number);
  }
  _exit(static_cast<int>(uExitCode));
}

void GetSystemTime(SYSTEMTIME* lpSystemTime) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc;
  gmtime_r(&now.tv_sec, &utc);
  lpSystemTime->wYear = static_cast<uint16_t>(utc.tm_year + 1900);
  lpSystemTime->wMonth = static_cast<uint16_t>(utc.tm_mon + 1);
  lpSystemTime->wDayOfWeek = static_cast<uint16_t>(utc.tm_wday);
  lpSystemTime->wDay = static_cast<uint16_t>(utc.tm_mday);
  lpSystemTime->wHour = static_cast<uint16_t>(utc.tm_hour);
  lpSystemTime->wMinute = static_cast<uint16_t>(utc.tm_min);
  lpSystemTime->wSecond = static_cast<uint16_t>(utc.tm_sec);
  lpSystemTime->wMilliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
}
