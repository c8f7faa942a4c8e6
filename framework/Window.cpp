#include "framework/Window.h"

#include <cmath>

void MakeHannWindow(SampleBuffer& window, int n)
{
    window.Resize(n, false);
    double* w = window.Get();
    if (n < 2)
    {
        for (int k = 0; k < n; ++k)
            w[k] = 1.0;
        return;
    }
    const double twoPi = 6.283185307179586;
    for (int k = 0; k < n; ++k)
        w[k] = 0.5 * (1.0 - std::cos(twoPi * k / (n - 1)));
}
