#pragma once
// Construction kit of the editor: creates compound widgets, places their parts relative to each
// other and collects the controls in layers (bitmaps, controls, texts, top) that are attached
// to the editor in that order. A short-lived object of the plug-in constructor; its destructor
// frees only its lists, since the controls belong to the editor once attached.

#include "editor/BitmapResources.h"
#include "editor/IControlTypes.h"
#include "framework/WDL_PtrList.h"

class IControl;
class IGraphics;
class IPlugBase;
class GraphControl10;

class GUIHelper9
{
public:
    // Name of the font file the graphs draw their texts with.
    static constexpr const char* kGraphFontFile = "font.ttf";

    GUIHelper9();
    ~GUIHelper9();

    GUIHelper9(const GUIHelper9&) = delete;
    GUIHelper9& operator=(const GUIHelper9&) = delete;

    // Defines the parameter (integer 0 … 1, default 0, meta), loads the bitmap (handed to
    // bitmapOut when given) and creates a graph of the bitmap's size at (x, y) bound to the
    // parameter, with the bitmap as background when asked. The graph joins the controls layer.
    GraphControl10* CreateGraph(IPlugBase* plug, IGraphics* graphics, int paramIdx,
                                const char* paramName, int bitmapId, const char* fileName,
                                int frames, int x, int y, int numCurves, int numCurveValues,
                                BitmapRef* bitmapOut = nullptr, bool useAsBackground = true);

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
