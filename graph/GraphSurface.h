#pragma once
// The graph's vector drawing interface. Coordinates are pixels of the graph with the origin at its
// bottom-left corner and y growing upward; the surface flips them onto its raster, whose first row
// is the top of the graph. Drawing state (colours, widths, joins, compositing, font settings) is a
// stack bracketed by Save / Restore. Paths stay in place after Stroke / Fill until BeginPath.
//
// Rendered with Cairo on a premultiplied ARGB image; EndFrame hands the frame to the bound
// render target as straight-alpha pixels. Only the editor thread uses a surface.
// Once the surface has its size, point quads and small paths (one sub-path of up to
// kMaxSimplePoints points: ray strokes, triangles, fill columns) are drawn by the surface's own
// rasteriser and allocate nothing; longer paths go to Cairo, whose path and edge storage grows
// in blocks.

#include "graph/GraphRasterizer.h"

#include <cstdint>
#include <vector>

class LICE_IBitmap;

struct _cairo;
struct _cairo_surface;
struct _cairo_pattern;

// Context creation flags.
enum GraphSurfaceFlags
{
    GRAPH_ANTIALIAS = 1,       // anti-aliased paths; without it pixels are in or out
    GRAPH_STENCIL_STROKES = 2, // accepted; a stroke always paints its overlaps once
    GRAPH_DEBUG = 4            // counts unbalanced Save / Restore and renderer errors
};

// Text alignment flags, combined by OR: one horizontal and one vertical. Without a vertical
// flag the anchor is the baseline; vertical flags are taken in the y-up orientation, so
// GRAPH_ALIGN_TOP makes the text hang below the anchor.
enum GraphAlign
{
    GRAPH_ALIGN_LEFT = 1,
    GRAPH_ALIGN_CENTER = 2,
    GRAPH_ALIGN_RIGHT = 4,
    GRAPH_ALIGN_TOP = 8,
    GRAPH_ALIGN_MIDDLE = 16,
    GRAPH_ALIGN_BOTTOM = 32
};

// Arc directions: GRAPH_CW sweeps with increasing angle, GRAPH_CCW with decreasing angle.
enum GraphWinding
{
    GRAPH_CCW = 1,
    GRAPH_CW = 2
};

enum GraphLineJoin
{
    GRAPH_MITER = 0,
    GRAPH_BEVEL = 1
};

enum class GraphCompositeOp
{
    SourceOver,
    Lighter // adds the drawn colour to what is under it
};

// Image creation flags.
enum GraphImageFlags
{
    GRAPH_IMAGE_NEAREST = 32 // nearest-neighbour sampling instead of bilinear
};

// An RGBA colour, components 0 … 1.
struct GraphColor
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

// A fill paint: a plain colour or an image pattern.
struct GraphPaint
{
    int image = 0; // 0 = plain colour
    GraphColor color;
    // Image pattern: the image spans the extent (ex, ey) from the origin (ox, oy), rotated by
    // angle (radians); extents may be negative to mirror the image.
    float ox = 0.0f;
    float oy = 0.0f;
    float ex = 0.0f;
    float ey = 0.0f;
    float angle = 0.0f;
    float alpha = 1.0f;
};

class GraphSurface
{
public:
    static constexpr int kMaxStates = 32;
    // Handle returned for a font name that was never created.
    static constexpr int kNoFont = -1;
    // Paths of up to this many points in one sub-path are filled and stroked by the surface's
    // own rasteriser, which allocates nothing.
    static constexpr int kMaxSimplePoints = 8;
    // Glyphs laid out without allocation; longer strings take a temporary buffer.
    static constexpr int kGlyphBufferSize = 256;

    // A context with the given GraphSurfaceFlags; null when the renderer can't be set up.
    static GraphSurface* Create(int flags);
    // Frees the context, its images and its fonts.
    ~GraphSurface();

    GraphSurface(const GraphSurface&) = delete;
    GraphSurface& operator=(const GraphSurface&) = delete;

    // ---- Render target ----
    // The bitmap that EndFrame writes the frame into (not owned); its size is the raster size.
    // Returns false when the raster can't be made.
    bool BindRenderTarget(LICE_IBitmap* target);
    LICE_IBitmap* RenderTarget() const { return mTarget; }
    // Fills the whole raster with a colour (components 0 … 1), replacing what was there.
    void ClearRenderTarget(float r, float g, float b, float a);

    // ---- Frame ----
    // Resets the state stack and the path; coordinates are pixels, origin bottom-left, y up.
    void BeginFrame(int width, int height, float pixelRatio);
    // Flushes the drawing into the render target as straight-alpha pixels.
    void EndFrame();

    // ---- State ----
    void Save();
    void Restore();
    static GraphColor RGBA(int r, int g, int b, int a);
    void StrokeColor(const GraphColor& color);
    void FillColor(const GraphColor& color);
    void FillPaint(const GraphPaint& paint);
    void StrokeWidth(float width);
    void LineJoin(int join);
    void GlobalCompositeOperation(GraphCompositeOp op);

    // ---- Paths ----
    void BeginPath();
    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    void ClosePath();
    // Circular arc from a0 to a1 (radians); GRAPH_CW sweeps with increasing angle, GRAPH_CCW
    // with decreasing angle. Joined to the current point by a line when there is one.
    void Arc(float cx, float cy, float r, float a0, float a1, int dir);
    void Circle(float cx, float cy, float r);
    void Rect(float x, float y, float w, float h);
    void Stroke();
    void Fill();

    // ---- Images ----
    // RGBA bytes (straight alpha), rows from the first to the last; returns a handle > 0, or 0
    // when the image can't be made.
    int CreateImageRGBA(int w, int h, int imageFlags, const unsigned char* rgba);
    void DeleteImage(int image);
    GraphPaint ImagePattern(float ox, float oy, float ex, float ey, float angle, int image,
                            float alpha) const;
    // Draws the image over the quad p1 … p4 as the triangles 1-3-2 and 1-4-3, image corners
    // (0, 0), (1, 0), (1, 1), (0, 1) at quad corners 1 … 4, tinted and alpha-scaled by the fill
    // colour. Pixels are covered when their centre lies inside, as triangle rasterisation does.
    void TextureQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                     int image);

    // ---- Text ----
    // Registers a TrueType file under a name; a missing file leaves the name without glyphs.
    // Returns the font handle, or kNoFont when the name is null.
    int CreateFont(const char* name, const char* path);
    void FontFace(const char* name);
    void FontSize(float size);
    void FontBlur(float blur);
    void TextAlign(int align);
    // Draws the string at the anchor with the fill colour; returns the x after the text.
    float Text(float x, float y, const char* string);

    int Flags() const { return mFlags; }
    // With GRAPH_DEBUG: unbalanced Save / Restore calls and renderer errors seen so far.
    int DebugErrors() const { return mUnbalancedStates + mRendererErrors; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

private:
    struct State
    {
        GraphPaint fill;
        GraphColor stroke;
        float strokeWidth = 1.0f;
        int lineJoin = GRAPH_MITER;
        GraphCompositeOp op = GraphCompositeOp::SourceOver;
        int font = kNoFont;
        float fontSize = 16.0f;
        float fontBlur = 0.0f;
        int textAlign = GRAPH_ALIGN_LEFT; // baseline
    };

    struct Image;
    struct Font;
    struct GlyphBuffer;

    explicit GraphSurface(int flags);
    State& Top() { return mStates[mNumStates - 1]; }
    void ApplyCommon();
    void ApplyColor(const GraphColor& color);
    bool ApplyFillPaint();
    Image* FindImage(int image) const;
    Font* FindFont(int font) const;
    // Blends one premultiplied colour into raster pixels [x0, x1) x [y0, y1).
    void FillDeviceRect(int x0, int y0, int x1, int y1, uint32_t premultiplied, bool additive);
    // TextureQuad's steps: an axis-aligned quad (corners 1 and 3) of a one-colour image as a
    // rectangle of raster pixels; the image's copy multiplied by the tint (the image itself for
    // white; null when its pixels can't be reached); the two triangles drawn through Cairo.
    void FillUniformQuad(const Image& img, const GraphColor& tint, float x1, float y1, float x3,
                         float y3, bool additive);
    _cairo_surface* TintedSource(Image* img, const GraphColor& tint);
    void DrawImageTriangles(const Image& img, _cairo_surface* source, float x1, float y1, float x2,
                            float y2, float x3, float y3, float x4, float y4);
    // Hands pixels written directly back to the renderer before it draws again.
    void LeaveDirectWrites();
    void EnterDirectWrites();
    // The path as far as the own rasteriser can take it.
    void ResetSimplePath();
    void AddSimplePoint(float x, float y);
    void ToDevice(float x, float y, float* dx, float* dy) const;
    // True when the path was drawn without the general renderer.
    bool StrokeSimplePath();
    bool FillSimplePath();
    bool EnsureRaster(int width, int height);
    void FreeRaster();

    int mFlags;
    LICE_IBitmap* mTarget = nullptr;
    _cairo_surface* mRaster = nullptr;
    _cairo* mCr = nullptr;
    int mRasterWidth = 0;
    int mRasterHeight = 0;
    int mWidth = 0;
    int mHeight = 0;
    float mPixelRatio = 1.0f;
    bool mDirectWrites = false;
    int mUnbalancedStates = 0;
    int mRendererErrors = 0;
    GraphRasterizer mRasterizer;
    float mSimplePoints[2 * kMaxSimplePoints];
    int mNumSimplePoints = 0;
    bool mSimpleValid = true;
    bool mSimpleClosed = false;
    State mStates[kMaxStates];
    int mNumStates = 1;
    std::vector<Image*> mImages; // index + 1 = handle; null slots are free
    std::vector<Font*> mFonts;
    GlyphBuffer* mGlyphs = nullptr; // reused by Text
};
