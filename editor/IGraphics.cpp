#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/LICE_Bitmap.h"
#include "editor/controls/IBitmapControl.h"
#include "editor/controls/IControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

#include <cmath>

namespace
{
// The draw bitmap starts fully transparent black so that a missing background shows as such.
constexpr LICE_pixel kClearPixel = 0;
} // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : kDefaultFPS)
{
}

IGraphics::~IGraphics()
{
    CloseWindow();
    delete mPrompt;
    mControls.Empty(true);
    delete mDrawBitmap;
    delete mScratchBitmap;
}

// ---- Construction ----

void IGraphics::AttachBackground(int resourceId, const char* fileName)
{
    const BitmapRef bitmap = LoadBitmap(resourceId, fileName, 1);
    IControl* background = new IBitmapControl(mPlug, 0, 0, -1, bitmap,
                                              IChannelBlend(IChannelBlend::kBlendClobber, 1.0f));
    mControls.Insert(0, background);
}

int IGraphics::AttachControl(IControl* control)
{
    mControls.Add(control);
    return mControls.GetSize() - 1;
}

void IGraphics::AllocateDrawBitmaps()
{
    WDL_MutexLock lock(&mMutex);
    if (!mDrawBitmap)
        mDrawBitmap = new LICE_MemBitmap(0, 0);
    if (!mScratchBitmap)
        mScratchBitmap = new LICE_MemBitmap(0, 0);
    mDrawBitmap->resize(PixelWidth(), PixelHeight());
    mDrawBitmap->Fill(kClearPixel);
}

double IGraphics::NearestScale(double wanted)
{
    double best = kScales[0];
    for (double s : kScales)
        if (std::fabs(s - wanted) < std::fabs(best - wanted))
            best = s;
    return wanted > 0.0 ? best : 1.0;
}

bool IGraphics::SetScale(double scale)
{
    if (mView)
        return false;
    WDL_MutexLock lock(&mMutex);
    const double s = NearestScale(scale);
    if (s == mScale)
        return true;
    mScale = s;
    // Images rendered at the old scale go; everything is drawn anew.
    ReleaseGLResources();
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->SetDirty(false);
    if (mDrawBitmap)
        AllocateDrawBitmaps();
    return true;
}

int IGraphics::PixelWidth() const
{
    return static_cast<int>(std::lround(mWidth * mScale));
}

int IGraphics::PixelHeight() const
{
    return static_cast<int>(std::lround(mHeight * mScale));
}

LICE_IBitmap* IGraphics::ImageAtScale(const BitmapRef* bitmap) const
{
    return mScale == 1.0 ? bitmap->bitmap : ScaledBitmap(bitmap->bitmap, mScale);
}

int IGraphics::ControlAtPoint(int x, int y, bool forMouseOver)
{
    if (mMouseCapture >= 0)
        return mMouseCapture;
    for (int i = mControls.GetSize() - 1; i >= 0; --i)
    {
        IControl* c = mControls.Get(i);
        if (c->IsHidden() || c->IsMouseTransparent())
            continue;
        if (c->IsGrayed() && !(forMouseOver && c->GetMOWhenGrayed()))
            continue;
        if (c->HitTest(x, y))
            return i;
    }
    return -1;
}

// ---- Parameter binding ----

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    if (!normalized)
    {
        const IParam* param = mPlug ? mPlug->Param(paramIdx) : nullptr;
        if (!param)
            return;
        value = param->ToNormalized(value);
    }
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* c = mControls.Get(i);
        if (c->ParamIdx() == paramIdx)
            c->SetValueFromPlugin(value);
    }
}

// ---- Window ----

void* IGraphics::OpenWindow(IGraphicsView* view, void* parent)
{
    if (mView && mView == view)
        return mView->GetWindow();
    CloseWindow();
    if (!view)
        return nullptr;
    // The images were only measured when the controls were made; they are decoded now, before
    // the view's first frame.
    DecodeCachedBitmaps(mScale);
    if (!mDrawBitmap)
        AllocateDrawBitmaps();
    // A window view starts ticking on a thread of its own inside Open, reading the view and the
    // dirty marks: both are set before it starts. A fresh view shows everything once.
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->SetDirty(false);
    mView = view;
    if (!view->Open(this, parent))
    {
        mView = nullptr;
        return nullptr;
    }
    if (mPlug)
        mPlug->OnGUIOpen();
    return mView->GetWindow();
}

void IGraphics::CloseWindow()
{
    if (!mView)
        return;
    // The view stops first: a window view draws on a thread of its own, which must be done
    // before the controls let go of their images.
    IGraphicsView* view = mView;
    view->Close();
    mView = nullptr;
    if (mPlug)
        mPlug->OnGUIClose();
    ForceEndUserEdit();
    ReleaseGLResources();
}

void* IGraphics::GetWindow() const
{
    return mView ? mView->GetWindow() : nullptr;
}

void IGraphics::ReleaseGLResources()
{
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->ReleaseGL();
}

void IGraphics::Resize(int width, int height)
{
    if (width == mWidth && height == mHeight)
        return;
    WDL_MutexLock lock(&mMutex);
    // The plug-in keeps plain pointers to some controls (meters, graphs) and uses them on the
    // audio thread: the controls go and the plug-in hears of it within one hold of its mutex,
    // so no block ever sees a deleted control.
    WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
    mWidth = width;
    mHeight = height;
    ReleaseMouseCapture();
    mMouseOver = -1;
    delete mPrompt;
    mPrompt = nullptr;
    mControls.Empty(true);
    delete mDrawBitmap;
    delete mScratchBitmap;
    mDrawBitmap = nullptr;
    mScratchBitmap = nullptr;
    AllocateDrawBitmaps();
    if (mView)
        mView->Resize(width, height);
    if (mPlug)
        mPlug->ResizeGraphics(width, height);
}

// The base holds its editor as the IPlugEditor that IGraphics alone implements.
IGraphics* GetGUI(const IPlugBase& plug)
{
    return static_cast<IGraphics*>(plug.GetEditor());
}
