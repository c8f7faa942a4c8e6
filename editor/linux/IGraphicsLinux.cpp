#include "editor/linux/IGraphicsLinux.h"

// Placeholder until the X11/GLX view lands.
struct IGraphicsLinux::Impl
{
    std::string error = "the X11 view is not built yet";
};

IGraphicsLinux::IGraphicsLinux() : mImpl(new Impl) {}
IGraphicsLinux::~IGraphicsLinux() = default;
bool IGraphicsLinux::Open(IGraphics*, void*)
{
    return false;
}
void IGraphicsLinux::Close() {}
void* IGraphicsLinux::GetWindow()
{
    return nullptr;
}
void IGraphicsLinux::Invalidate(const IRECT&) {}
void IGraphicsLinux::PresentBitmap(LICE_IBitmap*, const IRECT*) {}
void IGraphicsLinux::PresentLayer(LICE_IBitmap*, const IRECT&) {}
void IGraphicsLinux::EndPresent() {}
void IGraphicsLinux::SetCursorHidden(bool) {}
void IGraphicsLinux::GetScreenDimensions(int* w, int* h)
{
    *w = *h = 0;
}
void IGraphicsLinux::Resize(int, int) {}
void IGraphicsLinux::SetTitle(const std::string&) {}
void IGraphicsLinux::SetCloseRequestHandler(std::function<void()>) {}
const std::string& IGraphicsLinux::LastError() const
{
    return mImpl->error;
}
int IGraphicsLinux::LiveTextures() const
{
    return 0;
}
long IGraphicsLinux::FramesDrawn() const
{
    return 0;
}
void IGraphicsLinux::Sync() {}
