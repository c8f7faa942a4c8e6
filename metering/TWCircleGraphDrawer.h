#pragma once
// Background of the POLAR SAMPLES and FLAME displays: the upper half-circle of radius W / 2 − 8
// around the bottom centre, its base line, the two channel axes at 135° and 45° and the labels
// "LEFT" and "RIGHT" beside their ends, plus the title in the top-left corner. Keeps no state
// between frames; drawn on the editor thread.

#include "graph/GraphCustomDrawer.h"
#include "graph/GraphSurface.h"

// Colour, size and placement shared by the texts of the vectorscope's backgrounds.
struct TWDrawerText
{
    static constexpr int kGrey[4] = {128, 128, 128, 255};
    static constexpr float kSize = 14.0f;
    static constexpr float kScale = 1.0f;
    // The title hangs from this far below the top edge, this far right of the left edge.
    static constexpr float kTitleInsetPx = 7.0f;
};

// The grey of kGrey, for strokes.
GraphColor TWDrawerGrey();
// The fill colour the backgrounds leave set (they fill nothing themselves).
GraphColor TWDrawerFill();

// An optional title, copied at construction (longer ones are cut to 255 bytes).
struct TWDrawerTitle
{
    static constexpr int kMaxBytes = 256;

    explicit TWDrawerTitle(const char* text);
    // Draws it left- and top-aligned in the top-left corner of a graph of the given height.
    void Draw(GraphSurface* surface, int height) const;

    bool hasTitle;
    char title[kMaxBytes];
};

class TWCircleGraphDrawer : public GraphCustomDrawer
{
public:
    // Margin between the circle and the graph's sides, in pixels.
    static constexpr float kMarginPx = 8.0f;

    // title may be null (no title is drawn).
    explicit TWCircleGraphDrawer(const char* title);

    void PreDraw(GraphSurface* surface, int width, int height) override;

    // The pieces, for backgrounds that share the half-disc. DrawOutline sets stroke width 2, the
    // grey stroke and the (unused) fill colour, then strokes the circle and its base line.
    static void DrawOutline(GraphSurface* surface, int width);
    // "LEFT" and "RIGHT" beside the points of the circle at 135° and 45°.
    static void DrawChannelLabels(GraphSurface* surface, int width);

    bool HasTitle() const { return mTitle.hasTitle; }
    const char* GetTitle() const { return mTitle.title; }

private:
    TWDrawerTitle mTitle;
};
