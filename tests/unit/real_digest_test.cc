// The build's reals give the x87 unit's digest: a port's software reals, on a
// big-endian or 32-bit machine too, give the x87's bits and texts.
#include "../real/real_digest.h"
#include "console.h"
#include "gtest/gtest.h"

namespace {

TEST(Reals, GiveTheX87sBitsAndTexts) {
  EXPECT_EQ(RealDigest<Real>(FormatReal), kX87RealDigest);
}

}  // namespace
