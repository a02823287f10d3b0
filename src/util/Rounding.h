#pragma once

#include <cmath>

namespace kx {

// Rounds to the nearest whole number, a half to the even neighbour (2.5 -> 2, 3.5 -> 4).
template <typename Real>
Real RoundHalfEven(Real value) {
  const Real lower = std::floor(value);
  const Real difference = value - lower;
  if (difference > Real(0.5)) return lower + 1;
  if (difference < Real(0.5)) return lower;
  return std::fmod(lower, Real(2)) == 0 ? lower : lower + 1;
}

}  // namespace kx
