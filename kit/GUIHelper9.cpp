#include "kit/GUIHelper9.h"

#include "editor/IGraphics.h"
#include "editor/controls/IBitmapControl.h"
#include "editor/controls/IBitmapControlAnim2.h"
#include "editor/controls/IHelpButtonControl.h"
#include "editor/controls/IKnobControl.h"
#include "editor/controls/ITextControl.h"
#include "editor/controls/IToggleButtonControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "graph/GraphControl10.h"
#include "editor/controls/VuMeterControl.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

namespace
{
// Captions sit this far above their widget's top, before the size class factor.
constexpr double kCaptionOffset = -15.0;
constexpr int kReadoutGap = 14;
constexpr int kReadoutHeight = 14;
constexpr int kSecondTextFieldDrop = 20;
constexpr int kMeterCaptionCharWidth = 14;
constexpr int kMeterCaptionGap = 3;
constexpr int kVersionCharWidth = 12;
constexpr int kVersionHalfWidth = 6;
constexpr int kBottomMargin = 15;

const IColor kReadoutColor(255, 240, 240, 255);
const IColor kReadoutEntryBG(255, 0, 0, 0);

int TextLength(const char* text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

bool IsFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The width the editor measures for the text in the style; 0 without an editor.
int MeasureWidth(IGraphics* graphics, IText style, const char* text)
{
    if (!graphics)
        return 0;
    IRECT extent;
    graphics->MeasureIText(&style, text ? text : "", &extent);
    return extent.W();
}
} // namespace

GUIHelper9::GUIHelper9() = default;

// The controls are the editor's: only the lists go.
GUIHelper9::~GUIHelper9() = default;

// ---- Text styles ----

IText GUIHelper9::CaptionStyle(int sizeClass) const
{
    int size = 20;
    switch (sizeClass)
    {
    case 1:
        size = 13;
        break;
    case 2:
        size = 11;
        break;
    case 3:
        size = 24;
        break;
    default:
        break;
    }
    return IText(size, mCaptionColor, kFontName, IText::kStyleBold, IText::kAlignCenter);
}

double GUIHelper9::CaptionOffsetFactor(int sizeClass)
{
    switch (sizeClass)
    {
    case 1:
        return 0.65;
    case 2:
        return 0.55;
    case 3:
        return 1.2;
    default:
        return 1.0;
    }
}

IText GUIHelper9::ReadoutStyle() const
{
    return IText(14, kReadoutColor, kFontName, IText::kStyleBold, IText::kAlignCenter, 0, 0,
                 kReadoutEntryBG, kReadoutColor);
}

IText GUIHelper9::MeterCaptionStyle(bool leftAligned) const
{
    return IText(20, mCaptionColor, kFontName, IText::kStyleBold,
                 leftAligned ? IText::kAlignNear : IText::kAlignFar);
}

IText GUIHelper9::VersionStyle() const
{
    return IText(12, mVersionColor, kFontName, IText::kStyleNormal, IText::kAlignCenter);
}

// ---- Widgets ----

ITextControl* GUIHelper9::CreateCaption(IPlugBase* plug, IGraphics* graphics,
                                        const BitmapRef& reference, const char* text, int x,
                                        double offset, int y, int alignment, int sizeClass)
{
    const IText style = CaptionStyle(sizeClass);
    const int textWidth = MeasureWidth(graphics, style, text);
    int dx = 0;
    if (alignment == kCaptionRight)
        dx = reference.width - textWidth;
    else if (alignment == kCaptionCentre)
        dx = reference.width / 2 - textWidth / 2;
    const double scaledOffset = offset * CaptionOffsetFactor(sizeClass);
    const IRECT rect(x + dx, static_cast<int>(y + scaledOffset - style.mSize), x + dx + textWidth,
                     static_cast<int>(y + scaledOffset));
    ITextControl* caption = new ITextControl(plug, rect, style, text);
    caption->SetMouseTransparent(true);
    mTexts.Add(caption);
    return caption;
}

IKnobMultiControl* GUIHelper9::CreateKnob(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                          const char* fileName, int frames, double sensitivity,
                                          int x, int y, int paramIdx, const char* caption,
                                          int textFieldId, const char* textFieldFile, int sizeClass,
                                          int captionYOffset, int valueYOffset,
                                          ICaptionControl** valueOut, bool secondTextField,
                                          int dragDirection)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, frames);
    const int frameHeight = bitmap.FrameHeight();
    IKnobMultiControl* knob = new IKnobMultiControl(plug, x, y, paramIdx, bitmap, dragDirection,
                                                    sensitivity * IKnobControl::kDefaultGearing);
    mControls.Add(knob);

    CreateCaption(plug, graphics, bitmap, caption, x, kCaptionOffset, y + captionYOffset,
                  kCaptionCentre, sizeClass);

    // Without a text field the read-out spans the knob's width.
    int fieldWidth = bitmap.width;
    BitmapRef field;
    if (textFieldId >= 0 && textFieldFile && *textFieldFile)
        field = LoadBitmap(textFieldId, textFieldFile, 1);
    if (field.bitmap)
    {
        fieldWidth = field.width;
        const int evenFrameHeight = frameHeight / 2 * 2;
        const int left = x + bitmap.width / 2 - field.width / 2;
        int top = y + evenFrameHeight + field.height - 1;
        for (int i = 0; i < (secondTextField ? 2 : 1); ++i, top += kSecondTextFieldDrop)
        {
            IBitmapControl* background = new IBitmapControl(plug, left, top, field);
            background->SetMouseTransparent(true);
            mBitmaps.Add(background);
        }
    }

    const int left = x + bitmap.width / 2 - fieldWidth / 2;
    const int top = y + valueYOffset + frameHeight + kReadoutGap;
    ICaptionControl* readout =
        new ICaptionControl(plug, IRECT(left, top, left + fieldWidth, top + kReadoutHeight),
                            paramIdx, ReadoutStyle(), true);
    readout->SetPromptDisabled(false);
    mTexts.Add(readout);
    if (valueOut)
        *valueOut = readout;
    return knob;
}

IToggleButtonControl* GUIHelper9::CreateToggleButton(IPlugBase* plug, IGraphics* graphics,
                                                     int bitmapId, const char* fileName, int frames,
                                                     int x, int y, int paramIdx,
                                                     const char* caption, int sizeClass,
                                                     int captionDx, int captionDy,
                                                     int captionPlacement, bool oneWay)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, frames);
    if (captionPlacement == kCaptionAbove)
    {
        CreateCaption(plug, graphics, bitmap, caption, x, kCaptionOffset, y + captionDy,
                      kCaptionCentre, sizeClass);
    }
    else
    {
        // Beside: left-aligned after the button, centred on its height.
        IText style = CaptionStyle(sizeClass);
        style.mAlign = IText::kAlignNear;
        const int left = x + bitmap.width + captionDx;
        const int top = y + captionDy + bitmap.FrameHeight() / 2 - style.mSize / 2;
        ITextControl* text = new ITextControl(
            plug,
            IRECT(left, top, left + MeasureWidth(graphics, style, caption), top + style.mSize),
            style, caption);
        text->SetMouseTransparent(true);
        mTexts.Add(text);
    }

    IToggleButtonControl* button =
        oneWay ? new IOneWayToggleButtonControl(plug, x, y, paramIdx, bitmap)
               : new IToggleButtonControl(plug, x, y, paramIdx, bitmap);
    button->SetClickable(true);
    mControls.Add(button);
    return button;
}

VuMeterControl* GUIHelper9::CreateMeter(IPlugBase* plug, IGraphics* /*graphics*/, int bitmapId,
                                        const char* fileName, int frames, int x, int y,
                                        int paramIdx, const char* caption, bool captionFlag,
                                        bool decay, bool notifyHost)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, frames);
    VuMeterControl* meter = new VuMeterControl(plug, x, y, paramIdx, bitmap,
                                               IChannelBlend::kBlendNone, decay, notifyHost);
    mControls.Add(meter);

    const int width = kMeterCaptionCharWidth * TextLength(caption);
    const int left = captionFlag ? x : x + bitmap.width - width;
    const int top = y + bitmap.FrameHeight() + kMeterCaptionGap;
    mTexts.Add(new ITextControl(plug, IRECT(left, top, left + width, top),
                                MeterCaptionStyle(captionFlag), caption));
    return meter;
}

GraphControl10* GUIHelper9::CreateGraph(IPlugBase* plug, IGraphics* /*graphics*/, int paramIdx,
                                        const char* paramName, int bitmapId, const char* fileName,
                                        int frames, int x, int y, int numCurves, int numCurveValues,
                                        BitmapRef* bitmapOut, bool useAsBackground)
{
    if (IParam* param = plug ? plug->Param(paramIdx) : nullptr)
    {
        param->DefineInt(paramName, 0, 0, 1, "", "");
        param->isMeta = true;
    }

    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, frames);
    if (bitmapOut)
        *bitmapOut = bitmap;

    WDL_String fontPath;
    ResourcePath(kGraphFontFile, &fontPath);

    GraphControl10* graph =
        new GraphControl10(plug, IRECT(x, y, x + bitmap.width, y + bitmap.height), paramIdx,
                           numCurves, numCurveValues, fontPath.Get());
    if (useAsBackground && bitmap.bitmap)
        graph->SetBackgroundImage(bitmap.bitmap);
    mControls.Add(graph);
    return graph;
}

ITextControl* GUIHelper9::CreateVersionText(IPlugBase* plug, IGraphics* graphics,
                                            const char* version, int placement)
{
    WDL_String text;
    text.SetFormatted("v%s", version ? version : "");
    const int width = graphics ? graphics->Width() : 0;
    const int height = graphics ? graphics->Height() : 0;
    IText style = VersionStyle();
    int x = 0;
    int y = 0;
    switch (placement)
    {
    case kPlacementBottom:
        x = width / 2;
        y = height - kBottomMargin;
        break;
    case kPlacementBottomRight:
        x = width - kVersionCharWidth * text.GetLength() / 2 + 9;
        y = height - kBottomMargin;
        style.mAlign = IText::kAlignNear;
        break;
    case kPlacementBottomLeft:
        y = height - kBottomMargin;
        style.mAlign = IText::kAlignNear;
        break;
    default:
        style.mAlign = IText::kAlignNear;
        break;
    }
    ITextControl* control = new ITextControl(
        plug, IRECT(x - kVersionHalfWidth, y, x + kVersionHalfWidth, y), style, text.Get());
    mTexts.Add(control);
    return control;
}

IBitmapControlAnim2* GUIHelper9::CreateLogoAnimation(IPlugBase* plug, IGraphics* graphics,
                                                     int bitmapId, const char* fileName,
                                                     int placement)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, kLogoFrames);
    const int width = graphics ? graphics->Width() : 0;
    const int height = graphics ? graphics->Height() : 0;
    int x = 0;
    int y = 0;
    if (placement == kPlacementBottom)
    {
        x = width - bitmap.width;
        y = height - bitmap.FrameHeight() - 1;
    }
    else if (placement == kPlacementTop)
    {
        x = width - bitmap.width;
    }
    IBitmapControlAnim2* logo =
        new IBitmapControlAnim2(plug, x, y, bitmap, kLogoSweepsPerSecond, true, true);
    logo->SetMouseTransparent(true);
    mBitmaps.Add(logo);
    return logo;
}

IBitmapControl* GUIHelper9::CreatePluginName(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                             const char* fileName, int placement)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, 1);
    const int height = graphics ? graphics->Height() : 0;
    int x = 0;
    int y = 0;
    if (placement == kPlacementBottom)
    {
        x = 5;
        y = height - bitmap.height - 13;
    }
    else if (placement == kPlacementTop)
    {
        x = 5;
        y = 6;
    }
    IBitmapControl* name = new IBitmapControl(plug, x, y, bitmap);
    name->SetMouseTransparent(true);
    mBitmaps.Add(name);
    return name;
}

IHelpButtonControl* GUIHelper9::CreateHelpButton(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                                 const char* fileName, const char* manualFile,
                                                 int placement)
{
    const BitmapRef bitmap = LoadBitmap(bitmapId, fileName, 1);
    int x = 0;
    int y = 0;
    if (placement == kPlacementBottom && graphics)
    {
        x = graphics->Width() - bitmap.width - 44;
        y = graphics->Height() - bitmap.height - 4;
    }
    WDL_String path;
    ManualPath(ResourceDirectory(), manualFile, &path);
    IHelpButtonControl* button = new IHelpButtonControl(plug, x, y, bitmap, path.Get());
    mBitmaps.Add(button);
    return button;
}

void GUIHelper9::ManualPath(const char* resourceDir, const char* manualFile, WDL_String* path)
{
    const std::string dir = resourceDir ? resourceDir : "";
    const std::string file = manualFile ? manualFile : "";
    const size_t slash = file.rfind('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string inBundle = dir + "/" + name;
    std::string chosen = inBundle;
    if (!IsFile(inBundle))
    {
        const size_t dirSlash = dir.rfind('/');
        const std::string parent = dirSlash == std::string::npos ? "." : dir.substr(0, dirSlash);
        const std::string beside = parent + "/" + file;
        if (IsFile(beside))
            chosen = beside;
    }
    path->Set(chosen.c_str());
}

void GUIHelper9::AttachAll(IGraphics* graphics)
{
    if (!graphics)
        return;
    for (WDL_PtrList<IControl>* layer : {&mBitmaps, &mControls, &mTexts, &mTop})
    {
        for (int i = 0; i < layer->GetSize(); ++i)
            graphics->AttachControl(layer->Get(i));
        layer->Empty(false);
    }
}
