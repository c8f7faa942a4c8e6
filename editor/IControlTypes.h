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
