#pragma once
// Background of the LISSAJOUS display: a diamond of the given scale in a square of side H centred
// horizontally (the unit square −1 … 1 of the points), its two channel axes, the labels "LEFT"
// and "RIGHT" at the sides and the title. Keeps no state between frames; editor thread.

#include "graph/GraphCustomDrawer.h"
#include "metering/TWCircleGraphDrawer.h"

class TWLissajousGraphDrawer : public GraphCustomDrawer
{
public:
    // title may be null (no title is drawn); scale is the diamond's size in the unit square.
    TWLissajousGraphDrawer(const char* title, double scale);

    void PreDraw(GraphSurface* surface, int width, int height) override;

    double GetScale() const { return mScale; }
    bool HasTitle() const { return mTitle.hasTitle; }
    const char* GetTitle() const { return mTitle.title; }

private:
    double mScale;
    TWDrawerTitle mTitle;
};
