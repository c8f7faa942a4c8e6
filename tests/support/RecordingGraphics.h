#pragma once
// An editor stand-in that records what the plug-in passes it.

#include "editor/IGraphics.h"

#include <vector>

class RecordingGraphics : public IGraphics
{
public:
    struct Update
    {
        int paramIdx;
        double value;
        bool normalized;
    };

    // `deleted`, when given, is set once the editor is destroyed.
    explicit RecordingGraphics(IPlugBase* plug, int width = 456, int height = 486,
                               bool* deleted = nullptr)
        : IGraphics(plug, width, height), mDeleted(deleted)
    {
    }
    ~RecordingGraphics() override
    {
        if (mDeleted)
            *mDeleted = true;
    }
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override
    {
        updates.push_back({paramIdx, value, normalized});
    }
    void AllocateDrawBitmaps() override { ++allocateCalls; }

    std::vector<Update> updates;
    int allocateCalls = 0;

private:
    bool* mDeleted;
};
