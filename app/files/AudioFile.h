#pragma once
// Audio files through libsndfile: a reader that streams interleaved floats, and a writer that
// writes beside its target and renames on Commit (TempFile), so a failed or interrupted run never
// leaves a partial file behind.

#include "app/files/TempFile.h"

#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

namespace app
{
class AudioFileReader
{
public:
    AudioFileReader() = default;
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // False with a one-line reason in error() when the file cannot be read as audio. A stream
    // (a pipe, /dev/stdin) is read whole into an unnamed temporary file first.
    bool Open(const std::string& path);
    int Channels() const { return mInfo.channels; }
    int SampleRate() const { return mInfo.samplerate; }
    // The frame count the header gives, or −1 when it gives none (a stream written to a pipe, an
    // OGG read from one): such a file is read to its end.
    long long Frames() const { return mFrames; }
    int Format() const { return mInfo.format; }
    // Reads up to frames interleaved frames; returns how many were read (0 at the end). Small
    // reads are served from a chunk read ahead, so that a host's short blocks do not each cost a
    // system call.
    long long Read(float* interleaved, long long frames);
    // Whether the file ended before the frame count its header gives (a truncated file).
    bool EndedEarly() const { return mEnded && mFrames >= 0 && mDelivered < mFrames; }
    // The one-line error for a file that ended early.
    std::string EarlyEndError() const;
    const std::string& error() const { return mError; }

private:
    long long ReadChunked(float* interleaved, long long frames);
    // Copies the stream at path into mSpool.
    bool Spool(const std::string& path);

    SNDFILE* mFile = nullptr;
    FILE* mSpool = nullptr;
    SF_INFO mInfo{};
    std::string mPath;
    long long mFrames = -1;
    long long mDelivered = 0;
    bool mEnded = false;
    std::string mError;
    std::vector<float> mChunk;
    long long mChunkFrames = 0; // frames in mChunk
    long long mChunkRead = 0;   // of those, frames already handed out
};

class AudioFileWriter
{
public:
    AudioFileWriter() = default;
    // Removes the temporary file unless Commit succeeded.
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Creates a temporary file beside path with the given libsndfile format.
    bool Create(const std::string& path, int format, int channels, int sampleRate);
    // Writes interleaved floats whose full scale is ±1. An integer encoding of b bits gets
    // round(x × 2^(b−1)), the exact inverse of libsndfile's reading, limited to the encoding's
    // range; other fixed-range encodings get x limited to ±1. Samples so limited are counted
    // (ClippedSamples), never wrapped around. Float encodings take every value as it is.
    bool Write(const float* interleaved, long long frames);
    // Closes the file and renames it onto the target.
    bool Commit();
    // Closes and removes the temporary file (safe to call more than once).
    void Abandon();
    const std::string& error() const { return mError; }
    // Samples limited to full scale so far, counted over all channels.
    long long ClippedSamples() const { return mClipped; }

private:
    bool WriteIntegers(const float* interleaved, long long frames);
    // Writes the frames gathered so far; small writes are gathered into chunks.
    bool Flush();
    bool Failed();

    SNDFILE* mFile = nullptr;
    TempFile mTemp;
    int mChannels = 0;
    int mFormat = 0;
    int mSampleRate = 0;
    int mIntegerBits = 0;     // bits of an integer PCM encoding, 0 for others
    bool mFixedRange = false; // an encoding that cannot hold values beyond ±1
    long long mClipped = 0;
    // Converted frames waiting to be written (integers for integer encodings): the first
    // mPendingFrames of them; the storage stays between chunks.
    std::vector<int> mIntBuffer;
    std::vector<float> mFloatBuffer;
    long long mPendingFrames = 0;
    std::string mError;
};

// Reads the rest of the file into interleaved, in bounded chunks: false with a one-line reason when
// it holds more than maxFrames frames or ends before its header's frame count.
bool ReadToEnd(AudioFileReader& reader, const std::string& path, long long maxFrames,
               std::vector<float>& interleaved, std::string& error);

// The container format libsndfile uses for a file name's extension (0 when unknown).
int ContainerForPath(const std::string& path);
// The output format for a container: the input's sample encoding when the container can hold it
// at this channel count and rate, otherwise the closest encoding it can. 0 when none fits.
int ChooseOutputFormat(int container, int inputFormat, int channels, int sampleRate);
// "wav, aiff, …": the extensions ContainerForPath knows.
std::string KnownExtensions();
} // namespace app
