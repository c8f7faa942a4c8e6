#include "graph/GraphRasterizer.h"

#include <algorithm>
#include <cmath>

namespace
{
// Below this coverage a pixel is left alone.
constexpr float kMinCoverage = 1.0f / 512.0f;
} // namespace

bool GraphRasterizer::Resize(int width, int height)
{
    if (width < 1 || height < 1)
        return false;
    if (width == mWidth && height == mHeight)
        return true;
    mWidth = width;
    mHeight = height;
    mStride = width + 2;
    mCells.assign(static_cast<size_t>(mStride) * height, 0.0f);
    mRowMin.assign(height, mStride);
    mRowMax.assign(height, -1);
    mMinRow = height;
    mMaxRow = -1;
    return true;
}

void GraphRasterizer::Touch(int row, int colMin, int colMax)
{
    mRowMin[row] = std::min(mRowMin[row], colMin);
    mRowMax[row] = std::max(mRowMax[row], colMax);
    mMinRow = std::min(mMinRow, row);
    mMaxRow = std::max(mMaxRow, row);
}

void GraphRasterizer::AddPolygon(const float* xy, int n)
{
    if (mWidth < 1 || n < 3)
        return;
    for (int i = 0; i < n; ++i)
    {
        const int j = (i + 1) % n;
        AddClippedEdge(xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1]);
    }
}

// Parts of an edge left of the raster or right of it count as vertical edges on its borders,
// which gives the pixels inside the same winding.
void GraphRasterizer::AddClippedEdge(float x0, float y0, float x1, float y1)
{
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return;
    const float w = static_cast<float>(mWidth);
    // Parameters along the edge where it crosses a border, in order, between 0 and 1.
    float cuts[4] = {0.0f, 1.0f, 1.0f, 1.0f};
    int numCuts = 1;
    if (x0 != x1)
    {
        for (float border : {0.0f, w})
        {
            const float t = (border - x0) / (x1 - x0);
            if (t > 0.0f && t < 1.0f)
                cuts[numCuts++] = t;
        }
    }
    if (numCuts == 3 && cuts[1] > cuts[2])
        std::swap(cuts[1], cuts[2]);
    cuts[numCuts++] = 1.0f;
    for (int i = 0; i + 1 < numCuts; ++i)
    {
        const float ta = cuts[i], tb = cuts[i + 1];
        if (tb <= ta)
            continue;
        const float ya = y0 + (y1 - y0) * ta, yb = y0 + (y1 - y0) * tb;
        const float xa = std::clamp(x0 + (x1 - x0) * ta, 0.0f, w);
        const float xb = std::clamp(x0 + (x1 - x0) * tb, 0.0f, w);
        AddEdge(xa, ya, xb, yb);
    }
}

// Adds the edge's signed area to the cells it crosses, row by row; x lies within 0 … width.
void GraphRasterizer::AddEdge(float x0, float y0, float x1, float y1)
{
    if (y0 == y1)
        return;
    float dir = 1.0f;
    if (y0 > y1)
    {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = -1.0f;
    }
    if (y1 <= 0.0f || y0 >= static_cast<float>(mHeight))
        return;
    const float w = static_cast<float>(mWidth);
    const float dxdy = (x1 - x0) / (y1 - y0);
    float x = x0;
    if (y0 < 0.0f)
        x = std::clamp(x - y0 * dxdy, 0.0f, w);
    // Bounded in float first: far-away coordinates must not overflow the conversion.
    const int rowStart = static_cast<int>(std::max(0.0f, std::floor(y0)));
    const int rowEnd = static_cast<int>(std::min(static_cast<float>(mHeight), std::ceil(y1)));
    for (int y = rowStart; y < rowEnd; ++y)
    {
        float* line = mCells.data() + static_cast<size_t>(y) * mStride;
        const float dy =
            std::min(static_cast<float>(y + 1), y1) - std::max(static_cast<float>(y), y0);
        const float xNext = std::clamp(x + dxdy * dy, 0.0f, w);
        const float d = dy * dir;
        const float xa = std::min(x, xNext), xb = std::max(x, xNext);
        const float xaFloor = std::floor(xa);
        const int ia = static_cast<int>(xaFloor);
        const float xbCeil = std::ceil(xb);
        const int ib = static_cast<int>(xbCeil);
        if (ib <= ia + 1)
        {
            // Within one pixel column: split by the mean position.
            const float xm = 0.5f * (x + xNext) - xaFloor;
            line[ia] += d - d * xm;
            line[ia + 1] += d * xm;
            Touch(y, ia, ia + 1);
        }
        else
        {
            const float s = 1.0f / (xb - xa);
            const float xaFrac = xa - xaFloor;
            const float a0 = 0.5f * s * (1.0f - xaFrac) * (1.0f - xaFrac);
            const float xbFrac = xb - xbCeil + 1.0f;
            const float am = 0.5f * s * xbFrac * xbFrac;
            line[ia] += d * a0;
            if (ib == ia + 2)
            {
                line[ia + 1] += d * (1.0f - a0 - am);
            }
            else
            {
                const float a1 = s * (1.5f - xaFrac);
                line[ia + 1] += d * (a1 - a0);
                for (int xi = ia + 2; xi < ib - 1; ++xi)
                    line[xi] += d * s;
                const float a2 = a1 + static_cast<float>(ib - ia - 3) * s;
                line[ib - 1] += d * (1.0f - a2 - am);
            }
            line[ib] += d * am;
            Touch(y, ia, ib);
        }
        x = xNext;
    }
}

void GraphRasterizer::Composite(unsigned char* raster, int strideBytes, uint32_t premultiplied,
                                bool additive)
{
    const uint32_t src[4] = {premultiplied >> 24, (premultiplied >> 16) & 0xFF,
                             (premultiplied >> 8) & 0xFF, premultiplied & 0xFF};
    for (int y = mMinRow; y <= mMaxRow; ++y)
    {
        const int c0 = mRowMin[y], c1 = std::min(mRowMax[y], mStride - 1);
        if (c1 < c0)
            continue;
        float* line = mCells.data() + static_cast<size_t>(y) * mStride;
        uint32_t* row = reinterpret_cast<uint32_t*>(raster + static_cast<long>(y) * strideBytes);
        float acc = 0.0f;
        for (int x = c0; x <= c1; ++x)
        {
            acc += line[x];
            line[x] = 0.0f;
            if (x >= mWidth)
                continue;
            const float coverage = std::min(1.0f, std::fabs(acc));
            if (coverage < kMinCoverage)
                continue;
            const uint32_t cov = static_cast<uint32_t>(coverage * 255.0f + 0.5f);
            uint32_t s[4];
            for (int k = 0; k < 4; ++k)
                s[k] = (src[k] * cov + 127) / 255;
            const uint32_t d = row[x];
            uint32_t out[4] = {d >> 24, (d >> 16) & 0xFF, (d >> 8) & 0xFF, d & 0xFF};
            if (additive)
            {
                for (int k = 0; k < 4; ++k)
                    out[k] = std::min(255u, out[k] + s[k]);
            }
            else
            {
                const uint32_t inv = 255 - s[0];
                for (int k = 0; k < 4; ++k)
                    out[k] = s[k] + (out[k] * inv + 127) / 255;
            }
            row[x] = (out[0] << 24) | (out[1] << 16) | (out[2] << 8) | out[3];
        }
        mRowMin[y] = mStride;
        mRowMax[y] = -1;
    }
    mMinRow = mHeight;
    mMaxRow = -1;
}
