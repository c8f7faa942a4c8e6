#include "app/report/ScopeImage.h"

#include "app/files/PngFile.h"
#include "editor/LICE_Bitmap.h"
#include "engine/Parandel.h"
#include "graph/GraphControl10.h"

namespace app
{
int ScopeModeFromName(const std::string& name)
{
    for (int i = 0; i < 5; ++i)
        if (name == kScopeModeNames[i])
            return i;
    return -1;
}

bool WriteScopePng(Parandel& plug, int mode, const std::string& path, std::string& error)
{
    GraphControl10* graph = plug.GetVectorscopeGraph(mode);
    if (!graph || !graph->IsEnabled())
    {
        error = "the vectorscope graph for this mode is not available";
        return false;
    }
    graph->SetNeedsRender(true);
    const LICE_IBitmap* bmp = graph->RenderGL(true);
    if (!bmp)
    {
        error = "cannot render the vectorscope (are the bundle resources installed?)";
        return false;
    }
    return WritePngFile(*bmp, path, error);
}
} // namespace app
