#include "framework/IPlugBase.h"

// ---- Editor ----

void IPlugBase::AttachGraphics(IPlugEditor* graphics)
{
    if (!graphics)
        return;
    // Editor mutex first, then the plug-in's: the order the editor's drawing takes them in.
    WDL_MutexLock editorLock(graphics->GetMutex());
    WDL_MutexLock lock(&mMutex);
    for (int i = 0; i < ParamCount(); ++i)
        graphics->SetParameterFromPlug(i, Param(i)->ToNormalized(), true);
    graphics->AllocateDrawBitmaps();
    // The base owns its editor: one that is replaced is deleted here, after the plug-in has
    // let go of its controls.
    if (mGraphics && mGraphics != graphics)
    {
        OnEditorDetached();
        delete mGraphics;
    }
    mGraphics = graphics;
}

void IPlugBase::RedrawParamControls()
{
    if (!mGraphics)
        return;
    for (int i = 0; i < ParamCount(); ++i)
        mGraphics->SetParameterFromPlug(i, Param(i)->Value(), false);
}

void IPlugBase::ResizeGUI(int width, int height)
{
    if (!mGraphics)
        return;
    if (width != mGraphics->Width() || height != mGraphics->Height())
    {
        OnEditorResize(width, height);
        mGraphics->Resize(width, height);
    }
}
