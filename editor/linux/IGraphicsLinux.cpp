#include "editor/linux/IGraphicsLinux.h"

#include "editor/IGraphics.h"
#include "editor/linux/GLPresenter.h"
#include "editor/linux/X11Errors.h"
#include "editor/linux/X11Input.h"
#include "editor/linux/X11WindowProperties.h"

#include <GL/glew.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr const char* kDefaultTitle = "TW Parandel";
constexpr int kRequiredGLMajor = 2;
constexpr const char* kRequiredExtension = "GL_EXT_framebuffer_object";

uint64_t NowMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Whether w exists on the server now (display's errors are counted, never fatal).
bool WindowExists(Display* display, Window w)
{
    const int errorsBefore = X11Errors::Count(display);
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display, w, &attributes);
    XSync(display, False);
    return status != 0 && X11Errors::Count(display) == errorsBefore;
}

// A busy server may refuse a connection for a moment (EAGAIN on its socket): try a few times
// before giving up.
Display* OpenDisplay()
{
    for (int attempt = 0; attempt < 10; ++attempt)
    {
        if (Display* d = XOpenDisplay(nullptr))
            return d;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

// Whether the current context offers OpenGL 2 with framebuffer objects; the reason when not.
bool CheckGL(std::string* reason)
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const int major = version ? std::atoi(version) : 0;
    if (major < kRequiredGLMajor)
    {
        *reason = std::string("OpenGL 2 or newer is needed; this display offers OpenGL ") +
                  (version ? version : "(none)");
        return false;
    }
    if (!extensions || !std::strstr(extensions, kRequiredExtension))
    {
        *reason = std::string("OpenGL framebuffer objects (") + kRequiredExtension +
                  ") are needed and this display lacks them";
        return false;
    }
    return true;
}
} // namespace

struct IGraphicsLinux::Impl
{
    IGraphics* graphics = nullptr;
    Display* display = nullptr;
    Window window = 0;
    Colormap colormap = 0;
    GLXContext context = nullptr;
    Atom wmProtocols = 0;
    Atom wmDelete = 0;
    bool topLevel = false;
    // The host's window while the server does not know it yet (see CreateWindow).
    Window pendingParent = 0;
    // The host's window, which gets the keys the editor does not use; 0 for a top-level window.
    Window hostWindow = 0;
    // Set when the window was destroyed from outside: nothing is drawn into it any more.
    bool windowGone = false;
    int width = 0; // device pixels
    int height = 0;
    double scale = 1.0;
    std::string title = kDefaultTitle;
    std::string error;
    std::function<void()> closeHandler;

    std::thread thread;
    std::atomic<bool> running{false};
    int wake[2] = {-1, -1};
    GLPresenter presenter;
    std::atomic<int> liveTextures{0};
    std::atomic<long> uploads{0};
    // Shows part of the back buffer (GLX_MESA_copy_sub_buffer); null without the extension,
    // when every frame is drawn whole and swapped.
    void (*copySubBuffer)(Display*, GLXDrawable, int, int, int, int) = nullptr;
    DirtyRegion pending;
    bool layersPending = false;
    ClickCounter clicks;
    // The keyboard focus is the editor's only while an entry or menu is open; this is where it
    // was before, to give it back.
    bool focusTaken = false;
    Window focusBefore = 0;
    Cursor blankCursor = 0;
    std::atomic<bool> cursorHidden{false};
    bool cursorShownHidden = false;

    std::mutex syncMutex;
    std::condition_variable syncDone;
    long syncAsked = 0;
    long syncAnswered = 0;

    bool CreateWindow(void* parent);
    void AdoptPendingParent();
    bool CreateContext(XVisualInfo* visual);
    void DestroyWindow();
    void Run();
    void Dispatch(XEvent& event);
    void OnButton(const XButtonEvent& e, bool press);
    void OnKey(XKeyEvent& e);
    void PassKeyToHost(XKeyEvent e);
    void UpdateKeyboardFocus();
    void OnWindowDestroyed();
    // Handles the events already queued; false when there were none.
    bool DispatchQueued();
    // Draws what changed since the last frame; false when nothing had.
    bool DrawPending();
    void AnswerSync();
    void ApplyCursor();
    // A window coordinate in editor units.
    int ToEditor(int v) const { return static_cast<int>(std::floor(v / scale)); }
    void Wake()
    {
        const char byte = 1;
        if (wake[1] >= 0)
            (void)!write(wake[1], &byte, 1);
    }
};

IGraphicsLinux::IGraphicsLinux() : mImpl(new Impl) {}

IGraphicsLinux::~IGraphicsLinux()
{
    Close();
}

bool IGraphicsLinux::Open(IGraphics* graphics, void* parent)
{
    Impl& m = *mImpl;
    if (m.display || !graphics)
        return false;
    m.error.clear();
    m.graphics = graphics;
    // The window has the editor's size in device pixels; everything else is in editor units.
    m.scale = graphics->Scale();
    m.width = graphics->PixelWidth();
    m.height = graphics->PixelHeight();
    m.display = OpenDisplay();
    if (!m.display)
    {
        const char* name = std::getenv("DISPLAY");
        m.error = std::string("cannot open the X display") +
                  (name && *name ? std::string(" '") + name + "'" : std::string(" (DISPLAY is not set)"));
        return false;
    }
    X11Errors::Watch(m.display);
    if (!m.CreateWindow(parent))
    {
        m.DestroyWindow();
        return false;
    }
    if (pipe(m.wake) != 0)
    {
        m.error = "cannot create the view's wake-up pipe";
        m.DestroyWindow();
        return false;
    }
    m.pending.Clear();
    m.pending.Add(IRECT(0, 0, graphics->Width(), graphics->Height()));
    m.running = true;
    m.thread = std::thread([&m] { m.Run(); });
    return true;
}

bool IGraphicsLinux::Impl::CreateWindow(void* parent)
{
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                        GLX_BLUE_SIZE, 8, None};
    const int screen = DefaultScreen(display);
    XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
    if (!visual)
    {
        error = "this X display has no double-buffered OpenGL visual";
        return false;
    }
    // A GL visual usually differs from the parent's: the window needs a colormap of its own and
    // an explicit border pixel, or the server refuses to create it inside another window.
    const Window parentWindow =
        parent ? static_cast<Window>(reinterpret_cast<uintptr_t>(parent)) : RootWindow(display, screen);
    topLevel = parent == nullptr;
    hostWindow = topLevel ? 0 : parentWindow;
    windowGone = false;
    focusTaken = false;
    // A new window starts a new click: two presses either side of a reopening are no double-click.
    clicks = ClickCounter();
    // A host may hand over a window it has created but not yet flushed to the server (it flushes
    // once the UI returns): creating a child of it now would fail with BadWindow. The editor's
    // window then starts under the root, unmanaged and unmapped, and moves into the host's window
    // on the first tick that finds it.
    const bool parentKnown = topLevel || WindowExists(display, parentWindow);
    pendingParent = parentKnown ? 0 : parentWindow;
    colormap = XCreateColormap(display, RootWindow(display, screen), visual->visual, AllocNone);
    XSetWindowAttributes swa{};
    swa.override_redirect = parentKnown ? False : True;
    swa.colormap = colormap;
    swa.border_pixel = 0;
    swa.background_pixmap = None;
    swa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask | StructureNotifyMask | FocusChangeMask;
    window = XCreateWindow(
        display, parentKnown ? parentWindow : RootWindow(display, screen), 0, 0, width, height, 0,
        visual->depth, InputOutput, visual->visual,
        CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask | CWOverrideRedirect, &swa);
    const bool ok = window != 0 && CreateContext(visual);
    XFree(visual);
    if (!ok)
        return false;
    if (topLevel)
    {
        wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
        wmDelete = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &wmDelete, 1);
        SetTopLevelProperties(display, window, title);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
    if (!pendingParent)
        XMapWindow(display, window);
    XSync(display, False);
    return true;
}

void IGraphicsLinux::Impl::AdoptPendingParent()
{
    if (!pendingParent || !WindowExists(display, pendingParent))
        return;
    XReparentWindow(display, window, pendingParent, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    pendingParent = 0;
}

bool IGraphicsLinux::Impl::CreateContext(XVisualInfo* visual)
{
    context = glXCreateContext(display, visual, nullptr, True);
    if (!context)
    {
        error = "cannot create an OpenGL context on this X display";
        return false;
    }
    // The check runs here, on the opening thread, so a display without OpenGL 2 gives no editor
    // at all; the view's thread takes the context over afterwards.
    if (!glXMakeCurrent(display, window, context))
    {
        error = "cannot make the OpenGL context current";
        return false;
    }
    const bool ok = CheckGL(&error);
    glXMakeCurrent(display, None, nullptr);
    return ok;
}

void IGraphicsLinux::Impl::DestroyWindow()
{
    if (!display)
        return;
    if (context)
        glXDestroyContext(display, context);
    if (blankCursor)
        XFreeCursor(display, blankCursor);
    if (window && !windowGone)
        XDestroyWindow(display, window);
    if (colormap)
        XFreeColormap(display, colormap);
    XCloseDisplay(display);
    X11Errors::Unwatch(display);
    display = nullptr;
    context = nullptr;
    window = 0;
    colormap = 0;
    blankCursor = 0;
    for (int& fd : wake)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void IGraphicsLinux::Close()
{
    Impl& m = *mImpl;
    if (!m.display)
        return;
    m.running = false;
    m.Wake();
    if (m.thread.joinable())
        m.thread.join();
    m.DestroyWindow();
    m.graphics = nullptr;
    // Anyone waiting for a frame that will never come is let go.
    std::lock_guard<std::mutex> lock(m.syncMutex);
    m.syncAnswered = m.syncAsked;
    m.syncDone.notify_all();
}

void* IGraphicsLinux::GetWindow()
{
    return mImpl->window ? reinterpret_cast<void*>(static_cast<uintptr_t>(mImpl->window)) : nullptr;
}

// ---- The view's thread ----

void IGraphicsLinux::Impl::Run()
{
    // Named, so a profile of the host shows what the editor costs.
    pthread_setname_np(pthread_self(), "parandel-view");
    glXMakeCurrent(display, window, context);
    glewExperimental = GL_TRUE;
    glewInit();
    // A frame that changed a knob need not draw and send the whole window: with the extension
    // the back buffer always holds the last frame, a frame redraws only what changed and shows
    // only that.
    const char* glxExtensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (glxExtensions && std::strstr(glxExtensions, "GLX_MESA_copy_sub_buffer"))
        copySubBuffer = reinterpret_cast<void (*)(Display*, GLXDrawable, int, int, int, int)>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    const auto period = std::chrono::microseconds(1000000 / graphics->FPS());
    // After a second with neither a frame nor an event the editor looks five times a second
    // instead of 25: an editor with nothing to show should cost its host next to nothing. An
    // event, a frame or a request brings the full rate back at once.
    const auto idlePeriod = period * 5;
    const int ticksBeforeIdle = graphics->FPS();
    int quietTicks = 0;
    auto nextTick = std::chrono::steady_clock::now();
    const int xfd = ConnectionNumber(display);
    while (running)
    {
        const bool events = DispatchQueued();
        const auto now = std::chrono::steady_clock::now();
        if (events)
        {
            if (quietTicks >= ticksBeforeIdle)
                nextTick = now;
            quietTicks = 0;
        }
        if (now >= nextTick)
        {
            AdoptPendingParent();
            graphics->OnTimerTick();
            // A frame is the longest step; Close does not wait for one that nobody will see.
            const bool drew = running && DrawPending();
            quietTicks = drew ? 0 : quietTicks + 1;
            nextTick += quietTicks >= ticksBeforeIdle ? idlePeriod : period;
            if (nextTick < now)
                nextTick = now + period;
            continue;
        }
        pollfd fds[2] = {{xfd, POLLIN, 0}, {wake[0], POLLIN, 0}};
        const int waitMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now).count()) + 1;
        if (poll(fds, 2, waitMs) > 0 && (fds[1].revents & POLLIN))
        {
            char buffer[64];
            (void)!read(wake[0], buffer, sizeof(buffer));
            // A sync request: every event sent so far is in the queue after a round trip.
            XSync(display, False);
            DispatchQueued();
            graphics->OnTimerTick();
            DrawPending();
            AnswerSync();
            quietTicks = 0;
            nextTick = std::chrono::steady_clock::now() + period;
        }
    }
    presenter.Release();
    liveTextures = presenter.LiveTextures();
    glXMakeCurrent(display, None, nullptr);
}

bool IGraphicsLinux::Impl::DispatchQueued()
{
    bool any = false;
    while (running && XPending(display))
    {
        XEvent event;
        XNextEvent(display, &event);
        Dispatch(event);
        any = true;
    }
    return any;
}

bool IGraphicsLinux::Impl::DrawPending()
{
    if (windowGone)
        return false;
    ApplyCursor();
    UpdateKeyboardFocus();
    const DirtyRegion region = pending;
    const bool layers = layersPending;
    pending.Clear();
    layersPending = false;
    if (region.Empty() && !layers)
        return false;
    graphics->DrawRegion(region);
    return true;
}

void IGraphicsLinux::Impl::AnswerSync()
{
    std::lock_guard<std::mutex> lock(syncMutex);
    if (syncAnswered != syncAsked)
    {
        syncAnswered = syncAsked;
        syncDone.notify_all();
    }
}

void IGraphicsLinux::Impl::Dispatch(XEvent& event)
{
    switch (event.type)
    {
    case Expose:
        pending.Add(IRECT(0, 0, graphics->Width(), graphics->Height()));
        break;
    case ButtonPress:
        OnButton(event.xbutton, true);
        break;
    case ButtonRelease:
        OnButton(event.xbutton, false);
        break;
    case MotionNotify:
    {
        // Only the latest position of a burst of motion matters.
        TakeMotionBurst(display, window, event);
        const XMotionEvent& e = event.xmotion;
        const IMouseMod mod = X11MouseMod(e.state, 0);
        if (e.state & (Button1Mask | Button3Mask))
            graphics->HandleMouseDrag(ToEditor(e.x), ToEditor(e.y), mod);
        else
            graphics->HandleMouseOver(ToEditor(e.x), ToEditor(e.y), mod);
        break;
    }
    case KeyPress:
        OnKey(event.xkey);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window)
            OnWindowDestroyed();
        break;
    case ClientMessage:
        if (topLevel && event.xclient.message_type == wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == wmDelete && closeHandler)
            closeHandler();
        break;
    default:
        break;
    }
}

void IGraphicsLinux::Impl::OnButton(const XButtonEvent& e, bool press)
{
    if (e.button == kX11WheelUp || e.button == kX11WheelDown)
    {
        if (press)
            graphics->HandleMouseWheel(ToEditor(e.x), ToEditor(e.y),
                                       X11MouseMod(e.state, kX11ButtonLeft),
                                       e.button == kX11WheelUp ? 1.0 : -1.0);
        return;
    }
    if (e.button != kX11ButtonLeft && e.button != kX11ButtonRight)
        return;
    const IMouseMod mod = X11MouseMod(e.state, static_cast<int>(e.button));
    const int x = ToEditor(e.x);
    const int y = ToEditor(e.y);
    if (!press)
    {
        graphics->HandleMouseUp(x, y, mod);
        return;
    }
    if (clicks.Press(static_cast<int>(e.button), x, y, NowMs()) >= 2 && mod.L)
        graphics->HandleMouseDoubleClick(x, y, mod);
    else
        graphics->HandleMouseDown(x, y, mod);
}

void IGraphicsLinux::Impl::OnKey(XKeyEvent& e)
{
    char text[16];
    KeySym keysym = 0;
    const int n = XLookupString(&e, text, sizeof(text) - 1, &keysym, nullptr);
    graphics->SetLastMousePosition(ToEditor(e.x), ToEditor(e.y));
    if (!graphics->HandleKey(X11KeyDescription(keysym, text, n),
                             X11MouseMod(e.state, kX11ButtonLeft)))
        PassKeyToHost(e);
}

// A key the editor does not use belongs to the host (its shortcuts: space to play, Ctrl-S):
// the host's window gets it as if the editor's window were not there. Releases are not
// selected, so they reach the host by themselves.
void IGraphicsLinux::Impl::PassKeyToHost(XKeyEvent e)
{
    if (!hostWindow || pendingParent)
        return;
    Window child = 0;
    XTranslateCoordinates(display, window, hostWindow, e.x, e.y, &e.x, &e.y, &child);
    e.window = hostWindow;
    e.subwindow = window;
    XSendEvent(display, hostWindow, True, KeyPressMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display);
}

// An open entry or menu takes the keyboard, as a text field that becomes first responder does;
// when it closes, the focus goes back where it was. A click alone never moves it, so the host's
// shortcuts keep working after a knob is turned.
void IGraphicsLinux::Impl::UpdateKeyboardFocus()
{
    const bool want = graphics->IsPromptOpen();
    if (want == focusTaken)
        return;
    if (want)
    {
        int revert = 0;
        XGetInputFocus(display, &focusBefore, &revert);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    else if (focusBefore != None && focusBefore != PointerRoot && focusBefore != window)
    {
        // Refused (the window went away meanwhile) only counts an error.
        XSetInputFocus(display, focusBefore, RevertToParent, CurrentTime);
    }
    XFlush(display);
    focusTaken = want;
}

// Destroyed from outside (a host that closes its own window first, `xdotool windowclose`): the
// editor stops drawing, and a top-level window ends as its close box would end it.
void IGraphicsLinux::Impl::OnWindowDestroyed()
{
    windowGone = true;
    if (topLevel && closeHandler)
        closeHandler();
}

void IGraphicsLinux::Impl::ApplyCursor()
{
    const bool hide = cursorHidden;
    if (hide == cursorShownHidden)
        return;
    if (hide)
    {
        if (!blankCursor)
        {
            const char empty = 0;
            Pixmap pixmap = XCreateBitmapFromData(display, window, &empty, 1, 1);
            XColor black{};
            blankCursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
            XFreePixmap(display, pixmap);
        }
        XDefineCursor(display, window, blankCursor);
    }
    else
    {
        XUndefineCursor(display, window);
    }
    cursorShownHidden = hide;
}

// ---- Calls from the editor (on the view's thread) ----

void IGraphicsLinux::Invalidate(const IRECT& rect)
{
    mImpl->pending.Add(rect);
}

void IGraphicsLinux::PresentBitmap(LICE_IBitmap* drawBitmap, const IRECT* rect)
{
    mImpl->presenter.PresentBitmap(drawBitmap, rect);
}

void IGraphicsLinux::InvalidateLayers()
{
    mImpl->layersPending = true;
}

void IGraphicsLinux::PresentLayer(LICE_IBitmap* image, const IRECT& rect, bool changed)
{
    mImpl->presenter.PresentLayer(image, rect, changed);
}

void IGraphicsLinux::EndPresent(bool changed)
{
    Impl& m = *mImpl;
    // Nothing new: the frame on the screen stands, with no draw and no swap.
    if (!changed)
    {
        m.presenter.DiscardFrame();
        return;
    }
    DirtyRegion drawn;
    m.presenter.DrawFrame(m.width, m.height, m.copySubBuffer != nullptr, &drawn);
    if (!m.copySubBuffer)
        glXSwapBuffers(m.display, m.window);
    for (const IRECT& part : drawn)
        if (m.copySubBuffer)
            m.copySubBuffer(m.display, m.window, part.L, m.height - part.B, part.W(), part.H());
    m.liveTextures = m.presenter.LiveTextures();
    m.uploads = m.presenter.Uploads();
}

void IGraphicsLinux::SetCursorHidden(bool hidden)
{
    mImpl->cursorHidden = hidden;
}

void IGraphicsLinux::GetScreenDimensions(int* width, int* height)
{
    Display* d = mImpl->display;
    *width = d ? DisplayWidth(d, DefaultScreen(d)) : 0;
    *height = d ? DisplayHeight(d, DefaultScreen(d)) : 0;
}

void IGraphicsLinux::Resize(int width, int height)
{
    Impl& m = *mImpl;
    m.width = static_cast<int>(std::lround(width * m.scale));
    m.height = static_cast<int>(std::lround(height * m.scale));
    if (!m.display)
        return;
    XResizeWindow(m.display, m.window, m.width, m.height);
    m.pending.Add(IRECT(0, 0, width, height));
}

// ---- Controlling thread ----

void IGraphicsLinux::SetTitle(const std::string& title)
{
    mImpl->title = title;
}

void IGraphicsLinux::SetCloseRequestHandler(std::function<void()> handler)
{
    mImpl->closeHandler = std::move(handler);
}

const std::string& IGraphicsLinux::LastError() const
{
    return mImpl->error;
}

int IGraphicsLinux::LiveTextures() const
{
    return mImpl->liveTextures;
}

long IGraphicsLinux::TextureUploads() const
{
    return mImpl->uploads;
}

void IGraphicsLinux::RequestTick()
{
    mImpl->Wake();
}

void IGraphicsLinux::Sync()
{
    Impl& m = *mImpl;
    if (!m.display || !m.running)
        return;
    std::unique_lock<std::mutex> lock(m.syncMutex);
    const long ticket = ++m.syncAsked;
    m.Wake();
    m.syncDone.wait_for(lock, std::chrono::seconds(5), [&] { return m.syncAnswered >= ticket; });
}
