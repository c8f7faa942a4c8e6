#pragma once
// Per-bin source analysis behind the vectorscope's SOURCE mode, run as the multi-channel hook of
// the frame processor. On every period-th frame (period = overlap) it takes the left and right
// spectra and estimates for bins 0 … N/2 − 1 where a source would stand so that two microphones
// 10 units apart pick up the measured level ratio and time difference; each bin becomes a point
// whose angle is that direction and whose distance from the origin is the bin's level (0 at
// −120 dB, 1 at 0 dB). Mono bins point straight up.
//
// Only the latest analysis is ever shown, so the spectrum hook just keeps the analysed frame's
// spectra and the analysis runs when the points are asked for. A caller that cuts the frames
// itself counts them here and hands over only the samples of the last analysed one.
//
// Reset on the control thread sizes every buffer; the spectrum hook runs on the audio thread and
// allocates nothing.

#include "framework/SampleBuffer.h"
#include "metering/MultichannelProcess.h"
#include "metering/ProcessObjChannel.h"

#include <algorithm>

class ParandelProcessDisp : public MultichannelProcess
{
public:
    // Marks an undefined entry of an analysis array.
    static constexpr double kUndefinedValue = -1e16;
    // The level scale's floor.
    static constexpr double kLevelFloorDb = -120.0;

    ParandelProcessDisp(int bufferSize, double overlap, double oversampling, double sampleRate);

    // Forget the points and restart the frame count, so the next analysis is period frames away.
    void Reset() override;
    void Reset(int bufferSize, int overlap, int oversampling, double sampleRate) override;

    // Spectrum hook: needs at least two channel spectra (left, right); the side chain is unused.
    void ProcessInputFft(BufferPtrList& spectra, BufferPtrList* scSpectra) override;
    // Every period-th frame is analysed (only the named one, when a frame is named).
    bool WantsNextSpectra() const override { return !mLeft && IsAnalysed(mFrameCounter + 1); }
    bool LooksAtQueues() const override { return false; }
    // The frames come from the caller (CountFrames, KeepFrame) and the two channels (of the
    // frame processor this hook belongs to) transform the kept samples when the points are asked
    // for: blocks whose points nobody looks at cost no transform. The spectra, and so the points,
    // are the same.
    void DeferTransforms(ProcessObjChannel* left, ProcessObjChannel* right)
    {
        mLeft = left;
        mRight = right;
    }
    // With deferred transforms: frames frames went by (the caller cut them), and the samples of
    // the last analysed one among them, in two consecutive pieces per channel (n0 + n1 = the
    // frame size), are kept for the points.
    void CountFrames(long frames) { mFrameCounter += std::max(frames, 0L); }
    void KeepFrame(const double* const* first, int n0, const double* const* second, int n1);

    // Copies of the current points (empty until the first analysis after a reset).
    void GetPoints(SampleBuffer& x, SampleBuffer& y);
    long GetFrameCounter() const { return mFrameCounter; }
    long GetPeriod() const { return mPeriod; }

    // Source distance from the microphones' midpoint and angle (0 towards the right microphone, π
    // towards the left) for one bin with magnitudes magnL, magnR and the left channel's delay
    // behind the right, itdSec. False when no position fits (both results undefined).
    static bool SourceFromBin(double magnL, double magnR, double freqHz, double itdSec,
                              double* distance, double* angle);
    // Replaces undefined entries: runs between defined entries by the straight line between
    // them, entries after the last defined one (or before the first) by its value. An array
    // without any defined entry is left as it is.
    static void FillMissingValues(SampleBuffer& values);
    // (max(dB, floor) − floor) / −floor: 0 at the floor and below, 1 at 0 dB, above 1 beyond.
    // floorDb must be negative.
    static double AmpToDBNorm(double amplitude, double floorDb);

private:
    bool IsAnalysed(long frame) const
    {
        return frame % mPeriod == 0;
    }
    void Analyse(const SampleBuffer& left, const SampleBuffer& right, int numBins);

    int mBufferSize;
    double mOverlap;
    double mOversampling;
    double mSampleRate;
    SampleBuffer mX;
    SampleBuffer mY;
    long mFrameCounter = 0;
    long mPeriod = 1;
    // Spectra (or, with deferred transforms, samples) of the last analysed frame, not yet turned
    // into points.
    SampleBuffer mPendingL, mPendingR;
    bool mPending = false;
    ProcessObjChannel* mLeft = nullptr;
    ProcessObjChannel* mRight = nullptr;

    // Per-bin scratch, sized by Reset.
    SampleBuffer mMagnL, mPhaseL, mMagnR, mPhaseR;
    SampleBuffer mDistance, mAngle;
};
