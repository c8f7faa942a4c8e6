#include "metering/ParandelGraphDrawer3.h"

ParandelGraphDrawer3::ParandelGraphDrawer3(const char* title) : mTitle(title) {}

void ParandelGraphDrawer3::PreDraw(GraphSurface* surface, int width, int height)
{
    if (!surface)
        return;
    // The half-disc outline and channel labels of POLAR SAMPLES, without its axes.
    TWCircleGraphDrawer::DrawOutline(surface, width);
    TWCircleGraphDrawer::DrawChannelLabels(surface, width);
    mTitle.Draw(surface, height);
}
