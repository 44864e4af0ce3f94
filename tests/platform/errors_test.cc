#include <cerrno>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

// The codes the program acts on: 2/3/5/32 in the open's message, 23 (write the block
// through), 21 (retry), 87 and 59 (end the read loop), 112 (write error).
TEST(ErrnoTranslation, EveryRowForOpeningAndTransferring) {
  struct Case {
    int error;
    DWORD opening;
    DWORD transferring;
  };
  const Case cases[] = {
      {ENOENT, 2, 2},
      {ENOTDIR, 3, 3},
      {EACCES, 5, 5},
      {EPERM, 5, 5},
      {EROFS, 5, 5},
      {EISDIR, 5, 1},
      {ENOSPC, 112, 112},
      {EIO, 23, 23},
      {ENOMEDIUM, 21, 21},
      {EINVAL, 87, 87},
      {ENXIO, 433, 433},
      {ENODEV, 433, 433},
      {ENAMETOOLONG, 206, 206},
      {EBUSY, 32, 170},
      {ETXTBSY, 32, 32},
      {EAGAIN, 32, 32},
      {EMFILE, 4, 4},
      {ENFILE, 4, 4},
      {EBADF, 6, 6},
      {EEXIST, 80, 80},
      {EFBIG, 223, 223},
      {ESPIPE, 1, 1},
      {ENOMEM, 8, 8},
      {EPIPE, 232, 232},
      {ECONNRESET, 59, 59},
      {ESTALE, 59, 59},
      {EDQUOT, 112, 112},
      {ELOOP, 31, 31},
      {EXDEV, 31, 31},
      {0, 31, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(Win32ErrorFromErrno(c.error, ErrnoUse::kOpening), c.opening);
    EXPECT_EQ(Win32ErrorFromErrno(c.error, ErrnoUse::kTransferring), c.transferring);
  }
}

}  // namespace
