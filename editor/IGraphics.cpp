#include "editor/IGraphics.h"

#include "framework/IPlugBase.h"

IGraphics::IGraphics(IPlugBase* plug, int width, int height)
    : mPlug(plug), mWidth(width), mHeight(height)
{
}

IGraphics::~IGraphics() = default;

void IGraphics::SetParameterFromPlug(int /*paramIdx*/, double /*value*/, bool /*normalized*/)
{
    // No controls yet: nothing is bound to the parameter.
}

void IGraphics::AllocateDrawBitmaps()
{
    // No drawing layer yet: there is nothing to allocate.
}

void IGraphics::Resize(int width, int height)
{
    mWidth = width;
    mHeight = height;
    if (mPlug)
        mPlug->ResizeGraphics(width, height);
}
