#pragma once
// Background of the SOURCE display: the upper half-circle of radius W / 2 − 8 around the bottom
// centre, its base line, the labels "LEFT" and "RIGHT" beside the circle at 135° and 45°, and the
// title in the top-left corner. Like the polar background but without the channel axes: a point's
// angle here is an estimated direction, not a channel mix. Keeps no state between frames; drawn
// on the editor thread.

#include "graph/GraphCustomDrawer.h"
#include "metering/TWCircleGraphDrawer.h"

class ParandelGraphDrawer3 : public GraphCustomDrawer
{
public:
    // title may be null (no title is drawn).
    explicit ParandelGraphDrawer3(const char* title);

    void PreDraw(GraphSurface* surface, int width, int height) override;

    bool HasTitle() const { return mTitle.hasTitle; }
    const char* GetTitle() const { return mTitle.title; }

private:
    TWDrawerTitle mTitle;
};
