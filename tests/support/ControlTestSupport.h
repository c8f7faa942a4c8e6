#pragma once
// Control and layout tests: a plug-in that logs what controls ask of it, an editor that logs
// prompts and opened documents and measures text as 7 px per character, and in-memory bitmaps
// of known sizes cached under IDs the editor does not use.

#include "editor/BitmapResources.h"
#include "editor/IGraphics.h"
#include "editor/LICE_Bitmap.h"
#include "framework/IPlugBase.h"
#include "framework/IPlugStructs.h"

#include <cstring>
#include <string>
#include <vector>

namespace controltest
{
inline std::string Event(const char* what, int idx, double value = -1.0)
{
    return std::string(what) + " " + std::to_string(idx) +
           (value >= 0.0 ? " " + std::to_string(value) : "");
}

class ControlTestPlug : public IPlugBase
{
public:
    explicit ControlTestPlug(int nParams = 19)
        : IPlugBase(nParams, "2-2", 1, "T", "T", "T", 0x10000, 1, 1, 0, false, false, false, kAPIAU)
    {
    }
    void OnEditorResize(int, int) override {}
    void BeginInformHostOfParamChange(int idx) override { log.push_back(Event("begin", idx)); }
    void InformHostOfParamChange(int idx, double v) override
    {
        log.push_back(Event("inform", idx, v));
    }
    void EndInformHostOfParamChange(int idx) override { log.push_back(Event("end", idx)); }
    bool GetTime(TimeInfo*) override { return false; }
    void ResizeGraphics(int, int) override {}
    bool SendMidiMessage(IMidiMsg*) override { return false; }
    void SetParameterFromGUI(int idx, double v) override
    {
        pushes.push_back(v);
        IPlugBase::SetParameterFromGUI(idx, v);
    }

    std::vector<std::string> log; // gestures, and the editor's updates when it is given the log
    std::vector<double> pushes;   // values from SetParameterFromGUI
};

class ControlTestGraphics : public IGraphics
{
public:
    explicit ControlTestGraphics(ControlTestPlug* plug, bool logUpdates = false)
        : IGraphics(plug, 456, 486), mPlug(plug), mLogUpdates(logUpdates)
    {
    }
    bool MeasureIText(IText* text, const char* str, IRECT* rect) override
    {
        const int w = 7 * static_cast<int>(std::strlen(str));
        rect->L = text->mAlign == IText::kAlignCenter ? (rect->L + rect->R) / 2 - w / 2 : rect->L;
        rect->R = rect->L + w;
        rect->B = rect->T + text->mSize;
        return true;
    }
    bool CreateTextEntry(IControl*, const IText&, const IRECT& rect, const char* str,
                         IParam*) override
    {
        entries.push_back(rect);
        entryTexts.push_back(str);
        return true;
    }
    bool OpenURL(const char* url) override
    {
        urls.push_back(url);
        return urlOpens;
    }
    void SetParameterFromPlug(int idx, double value, bool normalized) override
    {
        if (mLogUpdates)
            mPlug->log.push_back(Event("editor", idx, value));
        IGraphics::SetParameterFromPlug(idx, value, normalized);
    }

    std::vector<IRECT> entries;
    std::vector<std::string> entryTexts;
    std::vector<std::string> urls;
    bool urlOpens = true; // whether a viewer "opens" the URLs

private:
    ControlTestPlug* mPlug;
    bool mLogUpdates;
};

constexpr int kFirstTestBitmapId = 9000; // the editor uses 100 … 128

// The cached bitmap of the ID, made width × height on its first use.
inline BitmapRef TestBitmap(int id, int width, int height, int frames = 1)
{
    LICE_MemBitmap* bitmap = new LICE_MemBitmap(width, height);
    if (!CacheBitmap(id, bitmap))
        delete bitmap;
    return LoadBitmap(id, "unused.png", frames);
}
} // namespace controltest
