#pragma once
// What the plug-in base needs of its editor. The base sits below the editor, so it talks to
// this interface only; the editor implements it. Callers above the base that want the editor
// itself use GetGUI (editor/IGraphics.h).
//
// Threads: the base calls these from host threads with the plug-in mutex held (and, when
// attaching, the editor mutex first); none of them may take the plug-in mutex the other way.

class WDL_Mutex;

class IPlugEditor
{
public:
    virtual ~IPlugEditor() = default;

    // The editor's own recursive mutex; taken before the plug-in mutex, never after it.
    virtual WDL_Mutex* GetMutex() = 0;
    // Passes the value (real unless normalized) to the controls bound to the parameter. Takes
    // no lock.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    // The draw and scratch bitmaps at the editor size.
    virtual void AllocateDrawBitmaps() = 0;
    // Size in pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Resize(int width, int height) = 0;
};
