#pragma once
// The editor host as the plug-in base sees it: the size, the parameter values passed in from the
// plug-in, the draw bitmaps and resizing. Owned by the plug-in base once attached.

class IPlugBase;

class IGraphics
{
public:
    IGraphics(IPlugBase* plug, int width, int height);
    virtual ~IGraphics();

    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // A parameter's value from the plug-in, real or normalised, for the controls bound to it.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);
    // Makes the bitmaps the controls draw into, at the editor size.
    virtual void AllocateDrawBitmaps();
    // Stores the new size, then tells the plug-in (ResizeGraphics).
    virtual void Resize(int width, int height);

    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    IPlugBase* GetPlug() const { return mPlug; }

private:
    IPlugBase* mPlug;
    int mWidth;
    int mHeight;
};
