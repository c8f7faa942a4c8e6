#pragma once
// A bitmap that opens a document (the manual) with the desktop's default application when
// pressed. The document goes to the editor's opener as a path, never through a shell; when no
// application opens it, a notice inside the editor gives the path.

#include "editor/controls/IBitmapControl.h"

class IHelpButtonControl : public IBitmapControl
{
public:
    static constexpr int kMaxPathLength = 1023;

    // A longer path is cut to kMaxPathLength characters.
    IHelpButtonControl(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                       const char* documentPath);

    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    const char* GetDocumentPath() const { return mPath; }

private:
    char mPath[kMaxPathLength + 1];
};
