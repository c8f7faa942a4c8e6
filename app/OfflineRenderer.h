#pragma once
// Drives the plug-in the way a host does when it bounces a file: sample rate and block size
// first, the stored parameter values, initialisation (OnParamChange for every index), Reset,
// then whole blocks of float audio through the base's channel plumbing with the transport
// running from the first block.

#include <memory>

class Parandel;

namespace app
{
class OfflineRenderer
{
public:
    // inputChannels is 1 (mono in, stereo out) or 2 (stereo in, stereo out).
    OfflineRenderer(double sampleRate, int inputChannels, int blockSize);
    ~OfflineRenderer();

    Parandel& Plugin() { return *mPlugin; }
    // Stores a parameter's real value as a host's set-parameter call does (clamped to its range).
    // Values set before Start reach the chain through initialisation.
    void SetParameter(int paramIdx, double value);
    // Initialises the plug-in and starts the transport.
    void Start();
    // The latency the plug-in reports, in samples (valid after Start).
    int Latency() const;
    int BlockSize() const { return mBlockSize; }
    int InputChannels() const { return mInputChannels; }
    static constexpr int kOutputChannels = 2;

    // One block of nFrames ≤ block size: inputs[c] for each input channel, outputs[0 … 1].
    void Process(float* const* inputs, float* const* outputs, int nFrames);

private:
    std::unique_ptr<Parandel> mPlugin;
    int mInputChannels;
    int mBlockSize;
    double mSamplePosition = 0.0;
};
} // namespace app
