#pragma once
// Restart fader: after each reset, the first half of the first processed block is faded in with
// the rising half of a Hann window spanning the block, so audio never starts with a click.

#include "framework/ChannelList.h"
#include "framework/SampleBuffer.h"

class SecureRestarter
{
public:
    SecureRestarter() = default;
    virtual ~SecureRestarter() = default;

    void Arm() { mArmed = true; }
    // Room for the window of blocks up to maxBlockSize, so that a new block length rebuilds it
    // without allocating. Control thread.
    void Reserve(int maxBlockSize) { mWindow.Reserve(maxBlockSize); }
    bool IsArmed() const { return mArmed; }
    // Applies the fade-in in place if armed, then disarms (an empty list leaves it armed).
    // The window is rebuilt only when the block length changes.
    void Process(ChannelList& channels);

private:
    bool mArmed = true;
    int mWindowLength = -1;
    SampleBuffer mWindow;
};
