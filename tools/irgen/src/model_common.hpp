// What the model files share, beyond the public declarations in models.hpp.
#pragma once

#include "models.hpp"

namespace irgen {

constexpr double kLn1000 = 6.907755278982137;  // 60 dB in nepers of amplitude

inline double decayPerSecond(double t60) { return kLn1000 / t60; }

}  // namespace irgen
