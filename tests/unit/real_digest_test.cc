// The build's reals give the x87 unit's digest: a port's software reals, on a
// big-endian or 32-bit machine too, give the x87's bits and texts.
#include <type_traits>

#include "../real/real_digest.h"
#include "console.h"
#include "gtest/gtest.h"

namespace {

// The branch for the other type is never compiled.
template <typename R>
R Make(uint16_t signExponent, uint64_t significand) {
  if constexpr (std::is_same_v<R, long double>)
    return X87FromParts<R>(signExponent, significand);
  else
    return R::FromParts(signExponent, significand);
}

template <typename R>
void Parts(const R& x, uint16_t& signExponent, uint64_t& significand) {
  if constexpr (std::is_same_v<R, long double>) {
    X87Parts<R>(x, signExponent, significand);
  } else {
    signExponent = x.SignExponent();
    significand = x.Significand();
  }
}

TEST(Reals, GiveTheX87sBitsAndTexts) {
  EXPECT_EQ(RealDigest<Real>(Make<Real>, Parts<Real>, FormatReal), kX87RealDigest);
}

}  // namespace
