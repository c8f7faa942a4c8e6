#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/LICE_Bitmap.h"
#include "editor/LICE_Draw.h"
#include "editor/LICE_Text.h"
#include "editor/controls/IBitmapControl.h"
#include "editor/controls/IControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "framework/MathConstants.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace
{
// The draw bitmap starts fully transparent black so that a missing background shows as such.
constexpr LICE_pixel kClearPixel = 0;

LICE_pixel ToPixel(const IColor& c)
{
    return LICE_RGBA(c.R, c.G, c.B, c.A);
}

float BlendWeight(const IChannelBlend* blend)
{
    return blend ? blend->weight : 1.0f;
}

int BlendMethod(const IChannelBlend* blend)
{
    return blend ? blend->method : IChannelBlend::kBlendNone;
}
} // namespace

IKeyDescription IKeyDescription::Named(ENamedKey key, int character)
{
    IKeyDescription k;
    k.named = key;
    k.character = character;
    k.characterCount = character ? 1 : 0;
    return k;
}

IKeyDescription IKeyDescription::Char(int character)
{
    IKeyDescription k;
    k.character = character;
    k.characterCount = 1;
    return k;
}

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : kDefaultFPS)
{
}

IGraphics::~IGraphics()
{
    CloseWindow();
    delete mPrompt;
    delete mKeyCatcher;
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
    mDrawBitmap->resize(mWidth, mHeight);
    mDrawBitmap->Fill(kClearPixel);
}

LICE_IBitmap* IGraphics::GetDrawBitmap() const
{
    return mDrawBitmap;
}

void IGraphics::SetKeyCatcher(IControl* control)
{
    delete mKeyCatcher;
    mKeyCatcher = control;
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
        for (int a = 0; a < c->NAuxParams(); ++a)
            if (c->GetAuxParam(a)->paramIdx == paramIdx)
                c->SetAuxValueFromPlugin(a, value);
    }
}

// ---- The tick and drawing ----

IRECT IGraphics::CollectDirtyRect()
{
    IRECT dirty;
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* c = mControls.Get(i);
        if (c->IsDirty())
            dirty = UnionRect(dirty, c->GetRECT());
    }
    return dirty;
}

IRECT IGraphics::OnTimerTick()
{
    // Controls also change from the plug-in's side (the audio thread's meter values, the host's
    // parameter changes), under the plug-in mutex: the editor reads them under it too, after
    // its own mutex.
    WDL_MutexLock lock(&mMutex);
    WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
    IRECT dirty = CollectDirtyRect();
    if (++mIdleTicks >= 2)
    {
        for (int i = 0; i < mControls.GetSize(); ++i)
            mControls.Get(i)->OnEditorIdle();
        mIdleTicks = 0;
    }
    // Nothing dirty still asks for the top-left pixel, so the view keeps presenting the
    // controls' own images (the scope) every tick.
    if (dirty.Empty())
        dirty = IRECT(0, 0, 1, 1);
    if (mView)
        mView->Invalidate(dirty);
    return dirty;
}

bool IGraphics::DrawRegion(const IRECT& rect)
{
    WDL_MutexLock lock(&mMutex);
    if (!mDrawBitmap)
        AllocateDrawBitmaps();
    {
        // Control values also change from the plug-in's side (the audio thread's meter values,
        // the host's parameter changes) under the plug-in mutex: they are drawn under it too,
        // after the editor's own. Presentation (texture uploads, a buffer swap that may wait for
        // the screen) happens outside it, so the audio thread never waits for the display.
        WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
        DrawControls(rect);
        DrawPrompt();
    }
    PresentFrame(&rect);
    PresentGLControls(true);
    if (mView)
        mView->EndPresent();
    return true;
}

void IGraphics::DrawControls(const IRECT& rect)
{
    if (mControls.GetSize() > 0)
    {
        if (mStrictDrawing)
        {
            mDrawRECT = rect;
            for (int i = 0; i < mControls.GetSize(); ++i)
            {
                IControl* c = mControls.Get(i);
                if (!c->IsHidden() && RectsIntersect(c->GetRECT(), mDrawRECT))
                {
                    c->Draw(this);
                    c->SetClean();
                }
            }
        }
        else
        {
            IControl* background = mControls.Get(0);
            if (background->IsDirty())
            {
                mDrawRECT = background->GetRECT();
                for (int i = 0; i < mControls.GetSize(); ++i)
                {
                    IControl* c = mControls.Get(i);
                    if (i == 0 || !c->IsHidden())
                        c->Draw(this);
                    c->SetClean();
                }
            }
            else
            {
                for (int i = 1; i < mControls.GetSize(); ++i)
                {
                    IControl* dirty = mControls.Get(i);
                    if (!dirty->IsDirty())
                        continue;
                    mDrawRECT = dirty->GetRECT();
                    for (int j = 0; j < mControls.GetSize(); ++j)
                    {
                        IControl* c = mControls.Get(j);
                        if (!c->IsHidden() && (j == i || RectsIntersect(c->GetRECT(), mDrawRECT)))
                            c->Draw(this);
                    }
                    dirty->SetClean();
                }
            }
        }
    }
}

void IGraphics::DrawPrompt()
{
    if (!mPrompt || !RectsIntersect(mPrompt->Area(), mDrawRECT))
        return;
    mPrompt->Draw(this);
}

void IGraphics::PresentFrame(const IRECT* rect)
{
    if (mView && mDrawBitmap)
        mView->PresentBitmap(mDrawBitmap, rect);
}

void IGraphics::PresentGLControls(bool render)
{
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* c = mControls.Get(i);
        LICE_IBitmap* image = c->RenderGL(render);
        if (image && mView)
            mView->PresentLayer(image, c->GetRECT());
    }
    // A prompt lies over everything, the scope included.
    if (mPrompt && mView && mDrawBitmap)
    {
        const IRECT area = mPrompt->Area();
        mView->PresentBitmap(mDrawBitmap, &area);
    }
}

// ---- Events ----

void IGraphics::HandleMouseDown(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        const bool consumed = mPrompt->OnMouseDown(x, y, mod);
        if (mPrompt->GetState() != IPromptOverlay::State::Open)
            ClosePrompt();
        // A menu swallows the click that dismisses it; an entry ends and lets it through.
        if (consumed)
            return;
    }
    ReleaseMouseCapture();
    const int c = ControlAtPoint(x, y);
    if (c < 0)
        return;
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    IControl* control = mControls.Get(c);
    const int paramIdx = control->ParamIdx();
    if (paramIdx >= 0 && mPlug)
        mPlug->BeginInformHostOfParamChange(paramIdx);
    control->OnMouseDown(x, y, mod);
}

void IGraphics::HandleMouseUp(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    const int c = ControlAtPoint(x, y);
    ReleaseMouseCapture();
    if (c < 0)
        return;
    IControl* control = mControls.Get(c);
    control->OnMouseUp(x, y, mod);
    const int paramIdx = control->ParamIdx();
    if (paramIdx >= 0 && mPlug)
        mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::HandleMouseDrag(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    // A drag while an entry is open goes nowhere.
    if (mPrompt || mMouseCapture < 0 || (x == mMouseX && y == mMouseY))
        return;
    const int dX = x - mMouseX;
    const int dY = y - mMouseY;
    mMouseX = x;
    mMouseY = y;
    if (IControl* control = mControls.Get(mMouseCapture))
        control->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::HandleMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        HandleMouseDown(x, y, mod);
        return false;
    }
    ReleaseMouseCapture();
    const int c = ControlAtPoint(x, y);
    if (c < 0)
        return false;
    IControl* control = mControls.Get(c);
    if (control->DoubleClickAsSingle())
    {
        mMouseCapture = c;
        mMouseX = x;
        mMouseY = y;
        control->OnMouseDown(x, y, mod);
        return true;
    }
    control->OnMouseDoubleClick(x, y, mod);
    return false;
}

void IGraphics::HandleMouseWheel(int x, int y, const IMouseMod& mod, double delta)
{
    SetLastMousePosition(x, y);
    // The wheel ends an open entry first.
    if (mPrompt)
    {
        ForceEndUserEdit();
    }
    const int c = ControlAtPoint(x, y);
    if (c >= 0)
        mControls.Get(c)->OnMouseWheel(x, y, mod, delta);
}

void IGraphics::HandleMouseOver(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        mPrompt->OnMouseOver(x, y);
        if (mView)
            mView->Invalidate(mPrompt->Area());
    }
    if (!mHandleMouseOver)
        return;
    const int c = ControlAtPoint(x, y, true);
    if (c < 0)
        return;
    mMouseX = x;
    mMouseY = y;
    mControls.Get(c)->OnMouseOver(x, y, mod);
    if (mMouseOver >= 0 && mMouseOver != c)
        if (IControl* previous = mControls.Get(mMouseOver))
            previous->OnMouseOut();
    mMouseOver = c;
}

bool IGraphics::HandleKeyDown(int x, int y, int key, const IMouseMod& /*mod*/)
{
    const int c = ControlAtPoint(x, y);
    // The background never takes keys.
    if (c > 0 && mControls.Get(c)->OnKeyDown(x, y, key))
        return true;
    return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}

bool IGraphics::HandleKey(const IKeyDescription& key, const IMouseMod& mod)
{
    if (mPrompt)
    {
        const bool taken = mPrompt->OnKey(key);
        if (mPrompt->GetState() != IPromptOverlay::State::Open)
            ClosePrompt();
        else if (taken && mView)
            mView->Invalidate(mPrompt->Area());
        if (taken)
            return true;
    }
    const int number = KeyNumber(key);
    if (number == kKeyPassOn || number == kKeyDropped)
        return false;
    return HandleKeyDown(mPrevX, mPrevY, number, mod);
}

int IGraphics::KeyNumber(const IKeyDescription& key)
{
    switch (key.named)
    {
    case IKeyDescription::kSpace:
        return 0;
    case IKeyDescription::kUp:
        return 1;
    case IKeyDescription::kDown:
        return 2;
    case IKeyDescription::kLeft:
        return 3;
    case IKeyDescription::kRight:
        return 4;
    default:
        break;
    }
    if (key.characterCount != 1)
        return kKeyDropped;
    const int ch = key.character;
    if (ch == ' ')
        return 0;
    if (ch < 13)
        return kKeyPassOn;
    if (ch >= '0' && ch <= '9')
        return 5 + (ch - '0');
    if (ch >= 'a' && ch <= 'z')
        return 15 + (ch - 'a');
    if (ch >= 'A' && ch <= 'Z')
        return 15 + (ch - 'A');
    return 41;
}

void IGraphics::ReleaseMouseCapture()
{
    mMouseCapture = -1;
    mMouseX = mMouseY = -1;
}

// ---- Prompts ----

void IGraphics::PromptUserInput(IControl* control, IParam* param, const IRECT* rect)
{
    if (!control || !param || !rect)
        return;
    const IParam::ParamType type = param->Type();
    const int n = param->DisplayTextCount();
    if (type == IParam::ParamType::Enum || (type == IParam::ParamType::Bool && n > 0))
    {
        char current[IParam::kTextSize];
        param->FormatValue(param->Value(), false, current, sizeof(current), true);
        IPopupMenu* menu = new IPopupMenu;
        for (int i = 0; i < n; ++i)
        {
            const char* text = param->DisplayTextForValue(i);
            const bool checked = std::string_view(text) == current;
            menu->AddItem(text, checked ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
        }
        if (!CreatePopupMenu(menu, *rect, control, param))
            delete menu;
        return;
    }
    char text[IParam::kTextSize];
    param->FormatValue(param->Value(), false, text, sizeof(text), false);
    CreateTextEntry(control, *control->GetText(), *rect, text, param);
}

bool IGraphics::CreateTextEntry(IControl* control, const IText& text, const IRECT& rect,
                                const char* str, IParam* param)
{
    if (!control || mPrompt)
        return false;
    ReleaseMouseCapture();
    mPrompt = new ITextEntryOverlay(control, param, text, rect, str,
                                    control->GetTextEntryLength());
    if (mView)
        mView->Invalidate(rect);
    return true;
}

bool IGraphics::CreatePopupMenu(IPopupMenu* menu, const IRECT& rect, IControl* control,
                                IParam* param)
{
    if (!menu || mPrompt)
        return false;
    ReleaseMouseCapture();
    mPrompt = new IPopupMenuOverlay(control, param, menu, rect, mWidth, mHeight);
    if (mView)
        mView->Invalidate(mPrompt->Area());
    return true;
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
    if (!control)
        return;
    if (!param)
    {
        // A control without a parameter receives the text itself.
        control->SetTextFromPrompt(text);
        return;
    }
    double value = 0.0;
    const IParam::ParamType type = param->Type();
    if (type == IParam::ParamType::Bool || type == IParam::ParamType::Enum)
    {
        if (!param->ValueForDisplayText(text, &value))
            value = 0.0;
    }
    else
    {
        value = std::atof(text);
        if (param->negateDisplay)
            value = -value;
    }
    control->SetValueFromUser(param->ToNormalized(value));
}

void IGraphics::SetFromMenuAfterPrompt(IControl* control, IParam* param, int chosenIdx)
{
    if (!control || !param || chosenIdx < 0)
        return;
    control->SetValueFromUser(param->ToNormalized(static_cast<double>(chosenIdx)));
}

void IGraphics::ClosePrompt()
{
    IPromptOverlay* prompt = mPrompt;
    if (!prompt)
        return;
    mPrompt = nullptr;
    if (prompt->GetState() == IPromptOverlay::State::Committed)
    {
        if (auto* entry = dynamic_cast<ITextEntryOverlay*>(prompt))
            SetFromStringAfterPrompt(entry->GetControl(), entry->GetParam(), entry->GetString());
        else if (auto* menu = dynamic_cast<IPopupMenuOverlay*>(prompt))
            SetFromMenuAfterPrompt(menu->GetControl(), menu->GetParam(),
                                   menu->GetMenu()->GetChosenItemIdx());
    }
    delete prompt;
    // The area under the prompt and the control it edited are drawn again in full.
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->SetDirty(false);
    if (mView)
        mView->Invalidate(IRECT(0, 0, mWidth, mHeight));
}

void IGraphics::ForceEndUserEdit()
{
    if (!mPrompt)
        return;
    if (auto* entry = dynamic_cast<ITextEntryOverlay*>(mPrompt))
        entry->OnKey(IKeyDescription::Named(IKeyDescription::kReturn, '\r'));
    else
        mPrompt->OnKey(IKeyDescription::Named(IKeyDescription::kEscape, 27));
    ClosePrompt();
}

// ---- Text ----

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect)
{
    if (!text || !str || !*str || !rect || !mDrawBitmap)
        return true;
    LICE_CachedFont* font = LICE_GetCachedFont(*text);
    const float weight = text->mColor.A < 255 ? text->mColor.A / 255.0f : 1.0f;
    IColor opaque = text->mColor;
    opaque.A = 255;
    font->Draw(mDrawBitmap, str, *rect, ToPixel(opaque), weight, text->mAlign, &mDrawRECT);
    return true;
}

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* rect)
{
    if (!text || !str || !*str || !rect)
        return true;
    LICE_CachedFont* font = LICE_GetCachedFont(*text);
    int w = 0;
    int h = 0;
    font->Measure(str, &w, &h);
    switch (text->mAlign)
    {
    case IText::kAlignNear:
        rect->R = w;
        break;
    case IText::kAlignCenter:
        rect->L = static_cast<int>((rect->L + rect->R) * 0.5) - w / 2;
        rect->R = rect->L + w;
        break;
    case IText::kAlignFar:
        rect->L = rect->R - w;
        break;
    default:
        break;
    }
    rect->B = rect->T + h;
    return true;
}

// ---- Drawing ----

bool IGraphics::DrawBitmap(const BitmapRef* bitmap, const IRECT* rect, int frame,
                           const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->bitmap || !rect || !mDrawBitmap)
        return false;
    int srcX = 0;
    int srcY = 0;
    if (bitmap->horizontal)
        srcX = FrameSourceOffset(frame, bitmap->frames, bitmap->width);
    else
        srcY = FrameSourceOffset(frame, bitmap->frames, bitmap->height);
    LICE_Blit(mDrawBitmap, bitmap->bitmap, rect->L, rect->T, srcX, srcY, rect->W(), rect->H(),
              BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawRotatedBitmap(const BitmapRef* bitmap, int destCtrX, int destCtrY,
                                  double angle, int yOffsetZeroDeg, const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->bitmap || !mDrawBitmap)
        return false;
    const int w = bitmap->width;
    const int h = bitmap->height;
    const int x = destCtrX - w / 2;
    const int y = destCtrY - h / 2;
    LICE_RotatedBlit(mDrawBitmap, bitmap->bitmap, x, y + yOffsetZeroDeg, w, h, 0.0f, 0.0f,
                     static_cast<float>(w), static_cast<float>(h),
                     static_cast<float>(angle * kPi / 180.0), BlendWeight(blend),
                     BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawRotatedMask(const BitmapRef* base, const BitmapRef* mask,
                                const BitmapRef* top, int x, int y, double angle,
                                const IChannelBlend* blend)
{
    if (!base || !base->bitmap || !mask || !mask->bitmap || !top || !top->bitmap ||
        !mDrawBitmap || !mScratchBitmap)
        return false;
    // The rotated mask is built in the scratch bitmap over a copy of the base, so that its
    // alpha only shows where the base is; then the result and the top go into the editor.
    const int w = base->width;
    const int h = base->height;
    mScratchBitmap->resize(w, h);
    mScratchBitmap->Fill(0);
    // Over a transparent scratch an alpha copy reproduces the base, transparent corners too.
    LICE_Blit(mScratchBitmap, base->bitmap, 0, 0, 0, 0, w, h, 1.0f, IChannelBlend::kBlendNone,
              nullptr);
    LICE_RotatedBlit(mScratchBitmap, mask->bitmap, 0, 0, w, h, 0.0f, 0.0f,
                     static_cast<float>(mask->width), static_cast<float>(mask->height),
                     static_cast<float>(angle * kPi / 180.0), 1.0f, IChannelBlend::kBlendNone,
                     nullptr);
    const int left = x - w / 2;
    const int topY = y - h / 2;
    LICE_Blit(mDrawBitmap, mScratchBitmap, left, topY, 0, 0, w, h, BlendWeight(blend),
              BlendMethod(blend), &mDrawRECT);
    LICE_Blit(mDrawBitmap, top->bitmap, x - top->width / 2, y - top->height / 2, 0, 0, top->width,
              top->height, BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend, bool antiAlias)
{
    if (!color || !mDrawBitmap)
        return false;
    LICE_Line(mDrawBitmap, x1, y1, x2, y2, ToPixel(*color), BlendWeight(blend), BlendMethod(blend),
              antiAlias, &mDrawRECT);
    return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin,
                               float rMax, const IChannelBlend* blend, bool antiAlias)
{
    const float radians = static_cast<float>(angle * kPi / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend,
                    antiAlias);
}

bool IGraphics::FillIRect(const IColor* color, const IRECT* rect, const IChannelBlend* blend)
{
    if (!color || !rect || !mDrawBitmap)
        return false;
    LICE_FillRect(mDrawBitmap, rect->L, rect->T, rect->W(), rect->H(), ToPixel(*color),
                  BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

// ---- Window ----

void* IGraphics::OpenWindow(IGraphicsView* view, void* parent)
{
    if (mView && mView == view)
        return mView->GetWindow();
    CloseWindow();
    if (!view)
        return nullptr;
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
