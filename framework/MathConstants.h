#pragma once
// The circle constant, defined once for every layer; M_PI is not standard C++.

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;
inline constexpr double kHalfPi = 0.5 * kPi;
