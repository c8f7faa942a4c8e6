#pragma once
// The stereo chain of a block after the fade-in, on two channels of one length: the bass-focus
// split with its mono low band, mono-to-stereo, width and pan, the band sum, output gain, the mono
// output, and the guard that turns non-finite results into silence and bounds the rest to what a
// float holds.
//
// The result is bit for bit what running those stages one after another gives (the mid/side
// rotation and pan gains of StereoOps.h, the band sum, the gain, MakeMono, BoundedOutput): every
// sample goes through the same operations in the same order. It is faster because the stages
// after the split run as one pass, both crossovers run side by side, smoothers that have settled
// on their targets cost nothing per sample, and with settled factors the split and that pass
// run interleaved, a few samples at a time.
//
// Audio thread, under the plug-in mutex; allocates nothing once Reserve has sized it.

#include "engine/StereoOps.h"
#include "framework/ChannelList.h"

class CrossoverSplitterNBands3;
class ParamSmoother;
class PseudoStereoObj2;

class StereoChain
{
public:
    // The objects the chain drives; owned elsewhere.
    struct Parts
    {
        ParamSmoother* width = nullptr;
        ParamSmoother* pan = nullptr;
        ParamSmoother* outGain = nullptr;
        CrossoverSplitterNBands3* crossovers[2] = {nullptr, nullptr};
        PseudoStereoObj2* monoToStereo = nullptr;
    };
    struct Settings
    {
        bool bassFocus = false;
        bool monoToStereo = false;
        bool monoOut = false;
    };

    void Attach(const Parts& parts) { mParts = parts; }
    // Sizes the band buffers for blocks of up to frames samples.
    void Reserve(int frames);
    // stereo holds two channels of one length; the result goes to outL and outR (as long as
    // stereo's channels; they may be stereo's own buffers). stereo may change on the way.
    void Process(ChannelList& stereo, const Settings& settings, double* outL, double* outR);

    // The same in one pass, straight from a host's arrays, where it can: bass focus on,
    // mono-to-stereo off, width, pan and gain settled, on a processor with AVX2. A NaN or
    // infinite input sample counts as silence, as FiniteOrSilence has it. An output may be the
    // same array as an input; it must not overlap one otherwise. False, with nothing done, where
    // the block needs Process.
    bool ProcessSettled(const double* inL, const double* inR, int n, const Settings& settings,
                        double* outL, double* outR);

private:
    // The one pass of ProcessSettled; with kFiniteInputs false the inputs are taken as they
    // are, as Process takes them.
    template <bool kFiniteInputs>
    bool MixSettled(const double* inL, const double* inR, int n, const Settings& settings,
                    double* outL, double* outR);
    // Width, pan, band sum (when low is given), output gain, mono output and the guard, from
    // high (and low) into out; out may be high.
    void Mix(const double* lowL, const double* lowR, const double* highL, const double* highR,
             double* outL, double* outR, int n, bool monoOut);

    Parts mParts;
    // Pan and side gains of the last pan position and width, kept from block to block: they
    // change only with them.
    stereo::PanGains mPanGains;
    stereo::SideGains mSideGains;
    ChannelList mLow;
    ChannelList mHigh;
};
