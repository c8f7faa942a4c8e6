// The editor's desktop services: opening documents, message boxes, the clipboard, the cursor
// and the standard folders. Window-bound services go through the view.

#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"

#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr const char* kOpener = "xdg-open";

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) : std::string("/");
}

std::string ProgramFolder()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return std::string();
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
} // namespace

bool IGraphics::OpenURL(const char* url)
{
    if (!url || !*url)
        return false;
    // The document goes to the opener as one argument: no shell ever sees it, so quotes or
    // semicolons in a path stay part of the path.
    char* const argv[] = {const_cast<char*>(kOpener), const_cast<char*>(url), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, kOpener, nullptr, nullptr, argv, environ) != 0)
        return false;
    // xdg-open hands the document to the desktop and returns; reap it so no zombie stays.
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int IGraphics::ShowMessageBox(const char* text, const char* caption, int type)
{
    return mView ? mView->ShowMessageBox(text, caption, type) : 0;
}

bool IGraphics::GetTextFromClipboard(WDL_String* text)
{
    if (!text)
        return false;
    text->Set("");
    return mView ? mView->GetTextFromClipboard(text) : false;
}

void IGraphics::HideMouseCursor()
{
    if (mCursorHidden)
        return;
    mCursorHidden = true;
    mHiddenMouseX = mPrevX;
    mHiddenMouseY = mPrevY;
    if (mView)
        mView->SetCursorHidden(true);
}

void IGraphics::ShowMouseCursor()
{
    if (!mCursorHidden)
        return;
    mCursorHidden = false;
    mHiddenMouseX = mHiddenMouseY = -1;
    if (mView)
        mView->SetCursorHidden(false);
}

void IGraphics::GetScreenDimensions(int* width, int* height)
{
    if (!width || !height)
        return;
    *width = *height = 0;
    if (mView)
        mView->GetScreenDimensions(width, height);
}

void IGraphics::PluginPath(WDL_String* path)
{
    if (path)
        path->Set(ProgramFolder().c_str());
}

void IGraphics::HostPath(WDL_String* path)
{
    PluginPath(path);
}

void IGraphics::DesktopPath(WDL_String* path)
{
    if (path)
        path->Set((HomeFolder() + "/Desktop").c_str());
}

void IGraphics::AppSupportPath(WDL_String* path, bool isSystem)
{
    if (!path)
        return;
    if (isSystem)
    {
        path->Set("/usr/local/share");
        return;
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    path->Set(dataHome && *dataHome ? dataHome : (HomeFolder() + "/.local/share").c_str());
}

void IGraphics::SamplePath(WDL_String* path)
{
    if (path)
        path->Set((HomeFolder() + "/Music").c_str());
}

void IGraphics::ResourcePath(const char* fileName, WDL_String* path)
{
    if (!path)
        return;
    if (!fileName || !::ResourcePath(fileName, path))
        path->Set("");
}
