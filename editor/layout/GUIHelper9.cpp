#include "editor/layout/GUIHelper9.h"

#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "framework/WDL_String.h"
#include "graph/GraphControl10.h"

GUIHelper9::GUIHelper9() = default;

// The controls are the editor's: only the lists go.
GUIHelper9::~GUIHelper9() = default;

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
