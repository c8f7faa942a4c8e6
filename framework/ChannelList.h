#pragma once
// A list of audio channels (SampleBuffer, left first) on which the processing stages work in
// place. The list owns a fixed set of buffers that keep their capacity when the list is cleared,
// so rebuilding a list each block allocates nothing once the buffers have reached the block size.

#include "framework/SampleBuffer.h"

class ChannelList
{
public:
    static constexpr int kMaxChannels = 8;

    int GetSize() const { return mCount; }
    bool IsEmpty() const { return mCount == 0; }
    SampleBuffer& operator[](int i) { return mChannels[i]; }
    const SampleBuffer& operator[](int i) const { return mChannels[i]; }

    // Forgets the channels; their storage stays for reuse.
    void Clear() { mCount = 0; }

    // Appends a channel holding count samples copied from samples (zeros when samples is null).
    // Returns the new channel, or null when the list is full.
    SampleBuffer* Add(const double* samples, int count)
    {
        if (mCount >= kMaxChannels)
            return nullptr;
        SampleBuffer& b = mChannels[mCount++];
        b.Resize(count, false);
        if (samples)
            b.Set(samples, count, false);
        else
            b.Zero();
        return &b;
    }
    // Appends a channel of count samples left as they are, for a caller that writes every one.
    SampleBuffer* AddSized(int count)
    {
        if (mCount >= kMaxChannels)
            return nullptr;
        SampleBuffer& b = mChannels[mCount++];
        b.Resize(count, false);
        return &b;
    }
    // Appends a copy of a channel.
    SampleBuffer* Add(const SampleBuffer& channel) { return Add(channel.Get(), channel.GetSize()); }
    // Replaces the contents with copies of another list's channels.
    void CopyFrom(const ChannelList& other)
    {
        Clear();
        for (int i = 0; i < other.GetSize(); ++i)
            Add(other[i]);
    }
    // Sizes every buffer for count samples ahead of processing.
    void Reserve(int count)
    {
        for (SampleBuffer& b : mChannels)
            b.Reserve(count);
    }

private:
    SampleBuffer mChannels[kMaxChannels];
    int mCount = 0;
};
