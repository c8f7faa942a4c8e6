#pragma once
// The arctangent near zero as a polynomial, for scalars and for GCC vectors of doubles alike
// (scalar constants broadcast): the meters call it for every sample, where libm's atan2 would
// cost more than everything else they do.

#include "framework/Lanes.h"

// atan x = x + x z P(z), z = x², for |x| ≤ tan(π/8): P is the degree-9 Chebyshev fit (50-digit
// arithmetic) of (atan √z − √z) / z^(3/2) on 0 … tan²(π/8); the fit's error on atan is below
// 1e-16.
constexpr double kTanEighthPi = 0.41421356237309503; // √2 − 1
constexpr double kAtanP[] = {-0.3333333333333325,  0.19999999999898407,  -0.1428571426609662,
                             0.11111109636534361,  -0.09090852557176049, 0.0769105515839315,
                             -0.06649613695291669, 0.05736332165907643,  -0.04483334622272886,
                             0.02275052699336167};

template <class T>
PARANDEL_LANES_INLINE T AtanNearZero(T x)
{
    const T z = x * x;
    T p = T{} + kAtanP[9];
    for (int i = 8; i >= 0; --i)
        p = p * z + kAtanP[i];
    return x + x * z * p;
}
