#pragma once
// Construction kit of the editor: creates compound widgets, places their parts relative to each
// other and collects the controls in layers (bitmaps, controls, texts, top) that are attached
// to the editor in that order. A short-lived object of the plug-in constructor; its destructor
// frees only its lists, since the controls belong to the editor once attached.
//
// Positions are editor pixels from the top-left. For a bitmap, W is its width, H its height, N
// its frames and FH = H / N the height of one frame; divisions of integers truncate.

#include "editor/BitmapResources.h"
#include "editor/IControlTypes.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"

class GraphControl10;
class IBitmapControl;
class IBitmapControlAnim2;
class ICaptionControl;
class IControl;
class IGraphics;
class IHelpButtonControl;
class IKnobMultiControl;
class IPlugBase;
class ITextControl;
class IToggleButtonControl;
class VuMeterControl;

class GUIHelper9
{
public:
    // Name of the font file the graphs draw their texts with.
    static constexpr const char* kGraphFontFile = "font.ttf";
    static constexpr const char* kFontName = "Tahoma";
    static constexpr int kLogoFrames = 31;
    static constexpr double kLogoSweepsPerSecond = 0.5;

    enum EPlacement
    {
        kPlacementTop = 0,
        kPlacementBottom = 1,
        kPlacementBottomLeft = 2,
        kPlacementBottomRight = 3
    };
    enum ECaptionAlign
    {
        kCaptionLeft = 0,
        kCaptionCentre = 1,
        kCaptionRight = 2
    };
    enum ECaptionPlacement
    {
        kCaptionAbove = 0,
        kCaptionBeside = 1
    };

    GUIHelper9();
    ~GUIHelper9();

    GUIHelper9(const GUIHelper9&) = delete;
    GUIHelper9& operator=(const GUIHelper9&) = delete;

    // ---- Text styles ----
    // Captions by size class: 1 → 13 px, 2 → 11, 3 → 24, others 20; bold, centred.
    IText CaptionStyle(int sizeClass) const;
    // How far a caption's offset reaches per size class: 1 → 0.65, 2 → 0.55, 3 → 1.2, others 1.
    static double CaptionOffsetFactor(int sizeClass);
    // The knobs' value read-outs: 14 px bold, light on a black entry field.
    IText ReadoutStyle() const;
    // Meter captions: 20 px bold, left-aligned when leftAligned, else right-aligned.
    IText MeterCaptionStyle(bool leftAligned) const;
    IText VersionStyle() const;

    // ---- Widgets ----
    // A text of the caption style measured by the editor (width TW) and placed horizontally
    // over the reference bitmap by alignment (right: W − TW, centre: W / 2 − TW / 2, left: 0
    // from x), its bottom at y + offset × the size class factor. Mouse-transparent; texts layer.
    ITextControl* CreateCaption(IPlugBase* plug, IGraphics* graphics, const BitmapRef& reference,
                                const char* text, int x, double offset, int y, int alignment,
                                int sizeClass);

    // A knob of one bitmap frame at (x, y) with gearing sensitivity × 4, its caption above, its
    // text field below (skipped for a negative id or no file) and a value read-out with the
    // unit that opens the value entry when clicked (handed to valueOut when given).
    IKnobMultiControl* CreateKnob(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                  const char* fileName, int frames, double sensitivity, int x,
                                  int y, int paramIdx, const char* caption, int textFieldId,
                                  const char* textFieldFile, int sizeClass, int captionYOffset = 0,
                                  int valueYOffset = 0, ICaptionControl** valueOut = nullptr,
                                  bool secondTextField = false, int dragDirection = 0);

    // A clickable toggle (one-way when asked) of one bitmap frame at (x, y), with its caption
    // above it or beside it.
    IToggleButtonControl* CreateToggleButton(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                             const char* fileName, int frames, int x, int y,
                                             int paramIdx, const char* caption, int sizeClass,
                                             int captionDx = 0, int captionDy = 0,
                                             int captionPlacement = kCaptionAbove,
                                             bool oneWay = false);

    // A meter at (x, y) and its caption just below it (from x with the flag, else ending at the
    // meter's right edge), 14 px per character wide.
    VuMeterControl* CreateMeter(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                const char* fileName, int frames, int x, int y, int paramIdx,
                                const char* caption, bool captionFlag, bool decay, bool notifyHost);

    // Defines the parameter (integer 0 … 1, default 0, meta), loads the bitmap (handed to
    // bitmapOut when given) and creates a graph of the bitmap's size at (x, y) bound to the
    // parameter, with the bitmap as background when asked. The graph joins the controls layer.
    GraphControl10* CreateGraph(IPlugBase* plug, IGraphics* graphics, int paramIdx,
                                const char* paramName, int bitmapId, const char* fileName,
                                int frames, int x, int y, int numCurves, int numCurveValues,
                                BitmapRef* bitmapOut = nullptr, bool useAsBackground = true);

    // "v<version>" anchored by placement: bottom centre (1), bottom right (3), bottom left (2),
    // else the top-left corner.
    ITextControl* CreateVersionText(IPlugBase* plug, IGraphics* graphics, const char* version,
                                    int placement = kPlacementBottom);

    // The 31-frame logo strip playing half a sweep per second, back and forth, eased: at the
    // bottom-right corner (1), the top-right corner (0) or the top-left.
    IBitmapControlAnim2* CreateLogoAnimation(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                             const char* fileName,
                                             int placement = kPlacementBottom);

    // The plug-in's name: bottom left (1), top left (0) or the corner.
    IBitmapControl* CreatePluginName(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                     const char* fileName, int placement = kPlacementBottom);

    // A button near the bottom-right corner (1) or at the top-left that opens the manual found
    // by ManualPath.
    IHelpButtonControl* CreateHelpButton(IPlugBase* plug, IGraphics* graphics, int bitmapId,
                                         const char* fileName, const char* manualFile,
                                         int placement = kPlacementBottom);

    // Where the manual lives: the file (named after the last "/" of manualFile) inside the
    // resource folder, as in the plug-in bundle; else manualFile as written, relative to the
    // folder holding the resource folder (the source tree and installed layouts keep "manual/"
    // beside "resources/"); when neither exists, the bundle's place inside the resource folder.
    static void ManualPath(const char* resourceDir, const char* manualFile, WDL_String* path);

    // Attaches the bitmaps, controls, texts and top layers, each in insertion order, and then
    // forgets them: the editor owns them from here on.
    void AttachAll(IGraphics* graphics);

    // The layers, in attach order.
    const WDL_PtrList<IControl>& BitmapsLayer() const { return mBitmaps; }
    const WDL_PtrList<IControl>& ControlsLayer() const { return mControls; }
    const WDL_PtrList<IControl>& TextsLayer() const { return mTexts; }
    const WDL_PtrList<IControl>& TopLayer() const { return mTop; }

private:
    IColor mCaptionColor{255, 110, 110, 110};
    IColor mVersionColor{255, 110, 110, 110};
    WDL_PtrList<IControl> mBitmaps;
    WDL_PtrList<IControl> mControls;
    WDL_PtrList<IControl> mTexts;
    WDL_PtrList<IControl> mTop;
};
