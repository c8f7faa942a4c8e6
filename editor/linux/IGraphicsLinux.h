#pragma once
// The editor's window on Linux: an X11 window with a GLX context, the counterpart of the macOS
// OpenGL view. It presents the editor's draw bitmap as a texture with the controls' own images
// laid over it, runs the 25 fps tick and turns X events into the editor's Handle* calls.
//
// Threads: the view runs its own thread with its own X connection and GL context. A plug-in
// window must keep ticking whatever its host does, and GLX contexts belong to one thread, so the
// thread owns both: it waits for X events with a timeout of one tick, dispatches them, ticks and
// draws. Open and Close come from any one controlling thread; the editor's own calls happen on
// the view's thread under the editor mutex.

#include "editor/IGraphicsView.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class IGraphicsLinux : public IGraphicsView
{
public:
    IGraphicsLinux();
    ~IGraphicsLinux() override;

    // parent: an X11 window id (cast to a pointer) to embed into, or null for a top-level
    // window with a title. False (with LastError()) when no X display can be opened or OpenGL 2
    // with framebuffer objects is missing.
    bool Open(IGraphics* graphics, void* parent) override;
    void Close() override;
    // The X11 window id, as a pointer; null while closed.
    void* GetWindow() override;
    void Invalidate(const IRECT& rect) override;
    void InvalidateLayers() override;
    void PresentBitmap(LICE_IBitmap* drawBitmap, const IRECT* rect) override;
    void PresentLayer(LICE_IBitmap* image, const IRECT& rect, bool changed) override;
    void EndPresent(bool changed) override;
    void SetCursorHidden(bool hidden) override;
    void GetScreenDimensions(int* width, int* height) override;
    void Resize(int width, int height) override;

    // Title of a top-level window.
    void SetTitle(const std::string& title);
    // Called on the view's thread when the user closes a top-level window.
    void SetCloseRequestHandler(std::function<void()> handler);
    // Why the last Open failed.
    const std::string& LastError() const;
    // GL objects currently alive (textures), for leak checks.
    int LiveTextures() const;
    // Texture uploads (of the draw bitmap or a control's image) since Open.
    long TextureUploads() const;
    // Waits until the view's thread has handled every event sent so far and drawn a frame.
    void Sync();
    // Asks the view's thread to look at the editor now instead of at its next tick, which comes
    // only five times a second once nothing has changed for a second. Not from the audio thread.
    void RequestTick();

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};
