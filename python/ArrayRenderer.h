#pragma once
// Renders samples held in memory through the plug-in exactly as RenderFile renders a file (the
// same host blocks, padding, latency compensation and RenderOptions hooks), so that an array
// gives the very samples `parandel process` writes for a float file holding the same samples.
// Samples are read and written through strides, in single or double precision; the plug-in
// works in single precision, as on a file's float samples.

#include "app/render/FileRenderer.h"

#include <cstddef>

namespace pyparandel
{
// A frames × channels array of float or double samples, laid out by byte strides.
struct SampleArray
{
    char* data = nullptr;
    long long frames = 0;
    int channels = 0;
    std::ptrdiff_t frameStride = 0, channelStride = 0;
    bool isDouble = false;

    float Get(long long k, int c) const
    {
        const char* p = data + k * frameStride + c * channelStride;
        return isDouble ? static_cast<float>(*reinterpret_cast<const double*>(p))
                        : *reinterpret_cast<const float*>(p);
    }
    void Set(long long k, int c, float v) const
    {
        char* p = data + k * frameStride + c * channelStride;
        if (isDouble)
            *reinterpret_cast<double*>(p) = v;
        else
            *reinterpret_cast<float*>(p) = v;
    }
};

// Renders in (1 or 2 channels) at rate into out (same frames, 2 channels) when out.data is not
// null. The result's exitCode is 1 with an error when the plug-in refused the set-up.
app::RenderResult RenderArray(const SampleArray& in, int rate, const app::RenderOptions& options,
                              const SampleArray& out);
} // namespace pyparandel
