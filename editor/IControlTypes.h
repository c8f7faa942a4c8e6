#pragma once
// Small records shared by the editor and its controls: rectangles (y downward), colours,
// channel blends and the mouse modifier record.

struct IColor
{
    int A = 255;
    int R = 0;
    int G = 0;
    int B = 0;

    IColor() = default;
    IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
    bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
    bool operator!=(const IColor& o) const { return !(*this == o); }
};

// Integer rectangle, y growing downward. A point is inside when L <= x < R and T <= y < B, so an
// all-zero rectangle contains nothing.
struct IRECT
{
    int L = 0;
    int T = 0;
    int R = 0;
    int B = 0;

    IRECT() = default;
    IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

    int W() const { return R - L; }
    int H() const { return B - T; }
    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
    bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
    bool operator!=(const IRECT& o) const { return !(*this == o); }
};

// How a control's bitmap is combined with the editor bitmap; method 0 is plain alpha blending.
struct IChannelBlend
{
    enum Method
    {
        kBlendNone = 0,
        kBlendClobber = 1,
        kBlendAdd = 2,
        kBlendColorDodge = 3,
        kBlendMultiply = 4,
        kBlendOverlay = 5,
        kBlendHSVAdjust = 6
    };

    int method = kBlendNone;
    float weight = 1.0f;

    IChannelBlend() = default;
    IChannelBlend(int m, float w = 1.0f) : method(m), weight(w) {}
};

// Mouse buttons and modifier keys held during a mouse event.
struct IMouseMod
{
    bool L = false; // left button
    bool R = false; // right button
    bool S = false; // shift
    bool C = false; // control / command
    bool A = false; // alt / option

    IMouseMod() = default;
    IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a)
    {
    }
};

// A control's text style. Size is the font height in pixels; alignment 0 near (left), 1 centre,
// 2 far (right); style 0 normal, 1 bold, 2 italic.
struct IText
{
    static constexpr int kFontNameSize = 32;
    enum EStyle
    {
        kStyleNormal = 0,
        kStyleBold = 1,
        kStyleItalic = 2
    };
    enum EAlign
    {
        kAlignNear = 0,
        kAlignCenter = 1,
        kAlignFar = 2
    };

    char mFont[kFontNameSize] = "Monaco";
    int mSize = 10;
    IColor mColor{255, 0, 0, 0};
    IColor mTextEntryBGColor{255, 255, 255, 255};
    IColor mTextEntryFGColor{255, 0, 0, 0};
    int mStyle = kStyleNormal;
    int mAlign = kAlignCenter;
    int mOrientation = 0; // degrees
    int mQuality = 0;
    void* mCached = nullptr; // the font cache's handle for this style, filled on first use

    IText() = default;
    // The font name is copied bounded; a null name keeps "Monaco".
    IText(int size, const IColor& color, const char* font = nullptr, int style = kStyleNormal,
          int align = kAlignCenter, int orientation = 0, int quality = 0,
          const IColor& entryBG = IColor(255, 255, 255, 255),
          const IColor& entryFG = IColor(255, 0, 0, 0));
};

// Union of two rectangles as the editor collects dirty areas: an empty rectangle takes the
// other one, otherwise the smallest left and top and the largest right and bottom.
IRECT UnionRect(const IRECT& a, const IRECT& b);
// The rectangle in device pixels at a display scale: each edge times scale, rounded to the
// nearest pixel (halves away from zero), so neighbouring rectangles stay neighbours.
IRECT ScaleRect(const IRECT& r, double scale);
// Neither is empty and they overlap (edges touching on the right or bottom count).
bool RectsIntersect(const IRECT& a, const IRECT& b);
