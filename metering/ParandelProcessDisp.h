#pragma once
// Per-bin source analysis behind the vectorscope's SOURCE mode, run as the multi-channel hook of
// the frame processor. On every period-th frame (period = overlap) it takes the left and right
// spectra and estimates for bins 0 … N/2 − 1 where a source would stand so that two microphones
// 10 units apart pick up the measured level ratio and time difference; each bin becomes a point
// whose angle is that direction and whose distance from the origin is the bin's level (0 at
// −120 dB, 1 at 0 dB). Mono bins point straight up.
//
// Only the latest analysis is ever shown, so the spectrum hook just keeps the analysed frame's
// spectra and the analysis runs when the points are asked for. A caller that knows which frame
// will be the last analysed one of a run names it (AnalyseOnlyFrame) and the frames before it are
// not even transformed.
//
// Reset on the control thread sizes every buffer; the spectrum hook runs on the audio thread and
// allocates nothing.

#include "framework/SampleBuffer.h"
#include "metering/MultichannelProcess.h"
#include "metering/ProcessObjChannel.h"

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
    // Keeps the analysed frame's samples instead of its spectra and has the two channels (of the
    // frame processor this hook belongs to) transform them when the points are asked for: blocks
    // whose points nobody looks at cost no transform. The spectra, and so the points, are the
    // same.
    void DeferTransforms(ProcessObjChannel* left, ProcessObjChannel* right)
    {
        mLeft = left;
        mRight = right;
    }
    // Framing hook: keeps the samples of an analysed frame when the transforms are deferred.
    void ProcessFramed(BufferPtrList& queues, BufferPtrList* scQueues) override;
    // Of the frames up to and including frame (counted from the reset), only that one's spectra
    // are needed; −1 wants every period-th frame.
    void AnalyseOnlyFrame(long frame) { mOnlyFrame = frame; }

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
        return frame % mPeriod == 0 && (mOnlyFrame < 0 || frame >= mOnlyFrame);
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
    long mOnlyFrame = -1;
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
