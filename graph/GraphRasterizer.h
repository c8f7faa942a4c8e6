#pragma once
// Anti-aliased coverage of small polygons by signed-area accumulation, composited straight into
// a premultiplied 32-bit raster. Used by GraphSurface for the many tiny shapes of a graph frame
// (ray strokes, ray triangles, fill columns), which the general renderer would allocate for one
// by one. Coverage is exact for simple polygons; overlapping parts saturate at full coverage.
// Allocates only in Resize.

#include <cstdint>
#include <vector>

class GraphRasterizer
{
public:
    // Sizes the accumulation buffer for a raster of width x height pixels.
    bool Resize(int width, int height);

    // Adds a closed polygon of n points (x, y pairs, raster pixels, y down).
    void AddPolygon(const float* xy, int n);

    // Blends the premultiplied colour (alpha in the top byte), scaled by the accumulated
    // coverage, into the raster: source-over, or a saturating add. Clears the accumulation.
    void Composite(unsigned char* raster, int strideBytes, uint32_t premultiplied, bool additive);

private:
    void AddEdge(float x0, float y0, float x1, float y1);
    void AddClippedEdge(float x0, float y0, float x1, float y1);
    void Touch(int row, int colMin, int colMax);

    int mWidth = 0;
    int mHeight = 0;
    int mStride = 0; // cells per row: the width plus two for edges on the right border
    std::vector<float> mCells;
    std::vector<int> mRowMin;
    std::vector<int> mRowMax;
    int mMinRow = 0;
    int mMaxRow = -1;
};
