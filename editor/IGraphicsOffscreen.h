#pragma once
// A view without a window: it keeps the presented picture in memory (the draw bitmap with the
// controls' own images laid over it), records what the editor asked to redraw, and answers the
// services from settable values. Pictures of the editor and event tests use it.

#include "editor/IGraphicsView.h"
#include "editor/LICE_Bitmap.h"
#include "framework/WDL_String.h"

class IGraphicsOffscreen : public IGraphicsView
{
public:
    IGraphicsOffscreen() = default;

    bool Open(IGraphics* graphics, void* parent) override;
    void Close() override;
    void* GetWindow() override { return mOpen ? this : nullptr; }
    void Invalidate(const IRECT& rect) override;
    void InvalidateLayers() override { mLayersInvalid = true; }
    void PresentBitmap(LICE_IBitmap* drawBitmap, const IRECT* rect) override;
    void PresentLayer(LICE_IBitmap* image, const IRECT& rect, bool changed) override;
    void EndPresent(bool changed) override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    bool GetTextFromClipboard(WDL_String* text) override;
    void Resize(int width, int height) override;

    // Runs one timer tick and draws what it asked for, as a window's run loop would.
    void Tick();
    // Draws and presents the whole editor.
    void DrawAll();

    // What the view shows.
    const LICE_MemBitmap& Screen() const { return mScreen; }
    // Everything asked to be redrawn since the last draw (empty when nothing).
    const IRECT& PendingInvalidation() const { return mInvalid; }
    int InvalidationCount() const { return mInvalidations; }
    // Whether the controls' own images were asked to be shown again.
    bool LayersInvalid() const { return mLayersInvalid; }
    // Redraws that presented something new, and that presented nothing new.
    int FramesPresented() const { return mFramesPresented; }
    int FramesSkipped() const { return mFramesSkipped; }
    // Layer images taken since Open that had changed.
    int LayerUploads() const { return mLayerUploads; }
    int OpenCount() const { return mOpenCount; }

    void SetClipboardText(const char* text) { mClipboard.Set(text); }
    // The answer ShowMessageBox gives.
    void SetMessageBoxAnswer(int answer) { mMessageBoxAnswer = answer; }
    const char* LastMessage() const { return mLastMessage.Get(); }

private:
    IGraphics* mGraphics = nullptr;
    LICE_MemBitmap mScreen;
    IRECT mInvalid;
    int mInvalidations = 0;
    bool mLayersInvalid = false;
    int mFramesPresented = 0;
    int mFramesSkipped = 0;
    int mLayerUploads = 0;
    bool mOpen = false;
    int mOpenCount = 0;
    WDL_String mClipboard;
    int mMessageBoxAnswer = 1;
    WDL_String mLastMessage;
};
