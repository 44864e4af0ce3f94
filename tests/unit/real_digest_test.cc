// The program's reals, whichever the build chose, against the digest that the x87
// unit gives for the same operations (tests/real/real_digest.h): a port's software
// reals give the x87's bits and texts, on a big-endian or a 32-bit machine too.
#include <cstring>
#include <type_traits>

#include "../real/real_digest.h"
#include "console.h"
#include "gtest/gtest.h"

namespace {

// Templates, so that the branch for the other type is never compiled.
template <typename R>
R Make(uint16_t signExponent, uint64_t significand) {
  if constexpr (std::is_same_v<R, long double>) {
    R x = 0;  // the x87's layout: significand, then sign and exponent
    memcpy(&x, &significand, 8);
    memcpy(reinterpret_cast<char*>(&x) + 8, &signExponent, 2);
    return x;
  } else {
    return R::FromParts(signExponent, significand);
  }
}

template <typename R>
void Parts(const R& x, uint16_t& signExponent, uint64_t& significand) {
  if constexpr (std::is_same_v<R, long double>) {
    memcpy(&significand, &x, 8);
    memcpy(&signExponent, reinterpret_cast<const char*>(&x) + 8, 2);
  } else {
    signExponent = x.SignExponent();
    significand = x.Significand();
  }
}

TEST(Reals, GiveTheX87sBitsAndTexts) {
  EXPECT_EQ(RealDigest<Real>(Make<Real>, Parts<Real>, FormatReal), kX87RealDigest);
}

}  // namespace
