#include "app/files/AudioFile.h"

#include "app/files/AudioHeader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace app
{
namespace
{
struct Extension
{
    const char* ext;
    int container;
};
constexpr Extension kExtensions[] = {
    {"wav", SF_FORMAT_WAV},   {"wave", SF_FORMAT_WAV},  {"aif", SF_FORMAT_AIFF},
    {"aiff", SF_FORMAT_AIFF}, {"aifc", SF_FORMAT_AIFF}, {"flac", SF_FORMAT_FLAC},
    {"ogg", SF_FORMAT_OGG},   {"oga", SF_FORMAT_OGG},   {"caf", SF_FORMAT_CAF},
    {"w64", SF_FORMAT_W64},   {"rf64", SF_FORMAT_RF64}, {"au", SF_FORMAT_AU},
    {"snd", SF_FORMAT_AU},
};

// Frames read ahead and gathered before writing: a host block of a few samples must not cost a
// system call.
constexpr long long kIoChunkFrames = 8192;

// Encodings tried after the input's own, best first.
constexpr int kFallbackEncodings[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16,
                                      SF_FORMAT_VORBIS};

// Bits of an integer PCM encoding; 0 for any other.
int IntegerBits(int format)
{
    switch (format & SF_FORMAT_SUBMASK)
    {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

// Encodings that carry values beyond ±1 as they are.
bool HoldsAnyValue(int format)
{
    const int encoding = format & SF_FORMAT_SUBMASK;
    return encoding == SF_FORMAT_FLOAT || encoding == SF_FORMAT_DOUBLE ||
           encoding == SF_FORMAT_VORBIS || encoding == SF_FORMAT_OPUS;
}

// libsndfile reads MPEG audio but cannot write it into any container, although its format check
// accepts some such pairs; an MPEG input's output takes a fallback encoding.
bool IsWritableEncoding(int encoding)
{
    return encoding != SF_FORMAT_MPEG_LAYER_I && encoding != SF_FORMAT_MPEG_LAYER_II &&
           encoding != SF_FORMAT_MPEG_LAYER_III;
}

// Whether bytes begin as a file of a container the program reads (WAV, RF64, W64, AIFF, AU,
// FLAC, OGG, CAF, MP3).
bool StartsAsAudio(const char* bytes, size_t n)
{
    static const char* const kMagic[] = {"RIFF", "RF64", "BW64", "riff", "FORM", ".snd",
                                         "dns.", "fLaC", "OggS", "caff", "ID3"};
    for (const char* magic : kMagic)
        if (n >= std::strlen(magic) && std::memcmp(bytes, magic, std::strlen(magic)) == 0)
            return true;
    // An MPEG audio frame's sync word.
    return n >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
}

// libsndfile reports some encoders' failures in its own words ("Unspecified internal error."
// for Ogg on a full disk): the system's reason, when a write or close just failed for one of
// these, says what is wrong. errno is cleared before the call that failed.
std::string SystemFailureOr(const char* libraryReason)
{
    const int err = errno;
    if (err == ENOSPC || err == EDQUOT || err == EFBIG || err == EIO || err == EROFS)
        return std::strerror(err);
    return libraryReason;
}

// Why writing failed. The Vorbis encoder refuses rates beyond its tables at the first write,
// which libsndfile reports as an unrecognised format.
std::string WriteFailure(SNDFILE* file, int error, int format, int sampleRate)
{
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG && error == SF_ERR_UNRECOGNISED_FORMAT)
        return "Ogg Vorbis cannot encode audio at " + std::to_string(sampleRate) +
               " Hz; choose another format, such as FLAC or WAV";
    return SystemFailureOr(file ? sf_strerror(file) : sf_error_number(error));
}
} // namespace

AudioFileReader::~AudioFileReader()
{
    if (mFile)
        sf_close(mFile);
    if (mSpool)
        std::fclose(mSpool);
}

bool AudioFileReader::Spool(const std::string& path)
{
    FILE* in = std::fopen(path.c_str(), "rb");
    mSpool = in ? std::tmpfile() : nullptr;
    bool ok = mSpool != nullptr;
    std::vector<char> buffer(1 << 16);
    for (bool first = true; ok; first = false)
    {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        ok = std::fwrite(buffer.data(), 1, n, mSpool) == n && !std::ferror(in);
        // What does not start as audio is left for libsndfile to refuse, not held to its end
        // (an endless stream of zeros).
        if (n < buffer.size() || (first && !StartsAsAudio(buffer.data(), n)))
            break;
    }
    ok = ok && std::fflush(mSpool) == 0 && std::fseek(mSpool, 0, SEEK_SET) == 0;
    if (!ok)
        mError = "cannot read '" + path +
                 "': cannot hold the stream in a temporary file: " + std::strerror(errno);
    if (in)
        std::fclose(in);
    return ok;
}

bool AudioFileReader::Open(const std::string& path)
{
    mInfo = SF_INFO{};
    // A stream is held in an unnamed temporary file first: libsndfile's readers of some formats
    // (FLAC) seek back, which a pipe cannot.
    if (IsStream(path) && !Spool(path))
        return false;
    mFile = mSpool ? sf_open_fd(fileno(mSpool), SFM_READ, &mInfo, SF_FALSE)
                   : sf_open(path.c_str(), SFM_READ, &mInfo);
    if (!mFile)
    {
        mError = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (mInfo.channels < 1 || mInfo.samplerate < 1)
    {
        mError = "cannot read '" + path + "': no audio channels or no sample rate";
        return false;
    }
    mError = TruncationError(mSpool ? "/proc/self/fd/" + std::to_string(fileno(mSpool)) : path,
                             mInfo.format & SF_FORMAT_TYPEMASK, path);
    if (!mError.empty())
        return false;
    // libsndfile gives the largest count (or none) for a stream whose header holds no length.
    mFrames = mInfo.frames > 0 && mInfo.frames < SF_COUNT_MAX ? mInfo.frames : -1;
    mDelivered = 0;
    mEnded = false;
    mPath = path;
    return true;
}

long long AudioFileReader::Read(float* interleaved, long long frames)
{
    const long long got = ReadChunked(interleaved, frames);
    mDelivered += got;
    mEnded = mEnded || got < frames;
    return got;
}

long long AudioFileReader::ReadChunked(float* interleaved, long long frames)
{
    if (!mFile)
        return 0;
    const size_t channels = static_cast<size_t>(mInfo.channels);
    long long done = 0;
    while (done < frames)
    {
        if (mChunkRead == mChunkFrames)
        {
            // A read as long as a chunk goes straight into the caller's buffer.
            if (frames - done >= kIoChunkFrames)
                return done + sf_readf_float(mFile, interleaved + done * channels, frames - done);
            mChunk.resize(kIoChunkFrames * channels);
            mChunkFrames = sf_readf_float(mFile, mChunk.data(), kIoChunkFrames);
            mChunkRead = 0;
            if (mChunkFrames <= 0)
            {
                mChunkFrames = 0;
                break;
            }
        }
        const long long take = std::min(frames - done, mChunkFrames - mChunkRead);
        std::copy_n(mChunk.data() + mChunkRead * channels, take * channels,
                    interleaved + done * channels);
        mChunkRead += take;
        done += take;
    }
    return done;
}

std::string AudioFileReader::EarlyEndError() const
{
    return "'" + mPath + "' ends after " + std::to_string(mDelivered) + " of its " +
           std::to_string(mFrames) + " frames; the file is truncated or damaged";
}

bool ReadToEnd(AudioFileReader& reader, const std::string& path, long long maxFrames,
               std::vector<float>& interleaved, std::string& error)
{
    const size_t channels = static_cast<size_t>(reader.Channels());
    if (reader.Frames() > maxFrames)
    {
        error = "'" + path + "' is too long to hold in memory";
        return false;
    }
    size_t have = interleaved.size() / channels;
    for (;;)
    {
        // Never more than a chunk past what the file has shown it holds.
        const size_t chunk =
            static_cast<size_t>(std::min<long long>(kIoChunkFrames * 16, maxFrames + 1 - have));
        interleaved.resize((have + chunk) * channels);
        const long long got =
            reader.Read(interleaved.data() + have * channels, static_cast<long long>(chunk));
        have += static_cast<size_t>(got);
        interleaved.resize(have * channels);
        if (static_cast<long long>(have) > maxFrames)
        {
            error = "'" + path + "' is too long to hold in memory";
            return false;
        }
        if (got < static_cast<long long>(chunk))
            break;
    }
    if (reader.EndedEarly())
    {
        error = reader.EarlyEndError();
        return false;
    }
    return true;
}

AudioFileWriter::~AudioFileWriter()
{
    Abandon();
}

bool AudioFileWriter::Create(const std::string& path, int format, int channels, int sampleRate)
{
    Abandon();
    mClipped = 0;
    if (!mTemp.Create(path, mError))
        return false;
    // libsndfile writes through the descriptor; the TempFile keeps it and closes it.
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    errno = 0;
    mFile = sf_open_fd(mTemp.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!mFile)
    {
        mError = "cannot write '" + path + "': " + SystemFailureOr(sf_strerror(nullptr));
        mTemp.Abandon();
        return false;
    }
    mChannels = channels;
    mFormat = format;
    mSampleRate = sampleRate;
    mIntegerBits = IntegerBits(format);
    mFixedRange = mIntegerBits == 0 && !HoldsAnyValue(format);
    return true;
}

bool AudioFileWriter::Write(const float* interleaved, long long frames)
{
    if (!mFile)
        return false;
    if (mIntegerBits > 0)
        return WriteIntegers(interleaved, frames);
    const size_t first = static_cast<size_t>(mPendingFrames) * mChannels;
    const size_t n = static_cast<size_t>(frames) * mChannels;
    if (mFloatBuffer.size() < first + n) // grown once, never cleared: no zeroing per block
        mFloatBuffer.resize(first + n);
    float* data = mFloatBuffer.data() + first;
    for (size_t i = 0; i < n; ++i)
    {
        const float x = interleaved[i];
        if (!mFixedRange)
        {
            data[i] = x;
            continue;
        }
        const float limited = std::isnan(x) ? 0.0f : std::fmax(-1.0f, std::fmin(x, 1.0f));
        mClipped += limited != x;
        data[i] = limited;
    }
    mPendingFrames += frames;
    return mPendingFrames < kIoChunkFrames || Flush();
}

bool AudioFileWriter::Flush()
{
    if (mPendingFrames == 0)
        return true;
    const long long frames = mPendingFrames;
    mPendingFrames = 0;
    errno = 0;
    const long long written = mIntegerBits > 0
                                  ? sf_writef_int(mFile, mIntBuffer.data(), frames)
                                  : sf_writef_float(mFile, mFloatBuffer.data(), frames);
    return written == frames || Failed();
}

bool AudioFileWriter::Failed()
{
    mError = "cannot write '" + mTemp.Target() +
             "': " + WriteFailure(mFile, sf_error(mFile), mFormat, mSampleRate);
    return false;
}

bool AudioFileWriter::WriteIntegers(const float* interleaved, long long frames)
{
    // libsndfile reads b-bit samples as s / 2^(b−1) but writes floats as x × (2^(b−1) − 1) and
    // lets values beyond full scale wrap around; so the file's own samples are made here and
    // passed as 32-bit integers, which it stores exactly (shifted down by 32 − b bits).
    const double fullScale = std::ldexp(1.0, mIntegerBits - 1);
    const double step = std::ldexp(1.0, 32 - mIntegerBits);
    const size_t first = static_cast<size_t>(mPendingFrames) * mChannels;
    const size_t n = static_cast<size_t>(frames) * mChannels;
    if (mIntBuffer.size() < first + n) // grown once, never cleared: no zeroing per block
        mIntBuffer.resize(first + n);
    int* data = mIntBuffer.data() + first;
    // Branch-free, four samples per step where SSE2 is there. Adding and taking away 1.5 × 2^52
    // rounds to the nearest integer, ties to even, below 2^51 in magnitude; beyond, the result
    // keeps its sign and is clipped like any value past full scale. A NaN, which has no level, is
    // written as silence.
    constexpr double kRounder = 6755399441055744.0;
    const double top = fullScale - 1.0, bottom = -fullScale;
    long long clipped = 0;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128d vScale = _mm_set1_pd(fullScale), vRounder = _mm_set1_pd(kRounder);
    const __m128d vTop = _mm_set1_pd(top), vBottom = _mm_set1_pd(bottom);
    const __m128d vStep = _mm_set1_pd(step), vZero = _mm_setzero_pd();
    // Two samples: their integers in the low half, the count of those limited added to clipped.
    auto two = [&](__m128d x)
    {
        const __m128d scaled = _mm_mul_pd(x, vScale);
        const __m128d q = _mm_sub_pd(_mm_add_pd(scaled, vRounder), vRounder);
        const __m128d inRange = _mm_and_pd(_mm_cmpge_pd(q, vBottom), _mm_cmple_pd(q, vTop));
        const int kept = _mm_movemask_pd(inRange);
        clipped += 2 - (kept & 1) - (kept >> 1);
        const __m128d bound = _mm_or_pd(_mm_and_pd(_mm_cmpgt_pd(scaled, vZero), vTop),
                                        _mm_and_pd(_mm_cmplt_pd(scaled, vZero), vBottom));
        const __m128d v = _mm_or_pd(_mm_and_pd(inRange, q), _mm_andnot_pd(inRange, bound));
        return _mm_cvttpd_epi32(_mm_mul_pd(v, vStep));
    };
    for (; i + 4 <= n; i += 4)
    {
        const __m128 x = _mm_loadu_ps(interleaved + i);
        const __m128i lo = two(_mm_cvtps_pd(x));
        const __m128i hi = two(_mm_cvtps_pd(_mm_movehl_ps(x, x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(data + i), _mm_unpacklo_epi64(lo, hi));
    }
#endif
    for (; i < n; ++i)
    {
        const double scaled = interleaved[i] * fullScale;
        const double q = (scaled + kRounder) - kRounder;
        const bool inRange = q >= bottom && q <= top;
        clipped += !inRange;
        const double bound = scaled > 0.0 ? top : (scaled < 0.0 ? bottom : 0.0);
        data[i] = static_cast<int>((inRange ? q : bound) * step);
    }
    mClipped += clipped;
    mPendingFrames += frames;
    return mPendingFrames < kIoChunkFrames || Flush();
}

bool AudioFileWriter::Commit()
{
    if (!mFile)
        return false;
    if (!Flush())
    {
        Abandon();
        return false;
    }
    errno = 0;
    const int closeErr = sf_close(mFile);
    mFile = nullptr;
    if (closeErr != 0)
    {
        mError = "cannot write '" + mTemp.Target() +
                 "': " + WriteFailure(nullptr, closeErr, mFormat, mSampleRate);
        mTemp.Abandon();
        return false;
    }
    return mTemp.Commit(mError);
}

void AudioFileWriter::Abandon()
{
    if (mFile)
    {
        sf_close(mFile);
        mFile = nullptr;
    }
    mTemp.Abandon();
}

int ContainerForPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 0;
    const std::string ext = path.substr(dot + 1);
    for (const Extension& e : kExtensions)
        if (strcasecmp(ext.c_str(), e.ext) == 0)
            return e.container;
    return 0;
}

int ChooseOutputFormat(int container, int inputFormat, int channels, int sampleRate)
{
    SF_INFO probe{};
    probe.channels = channels;
    probe.samplerate = sampleRate;
    const int inputEncoding = inputFormat & SF_FORMAT_SUBMASK;
    probe.format = container | inputEncoding;
    if (IsWritableEncoding(inputEncoding) && sf_format_check(&probe))
        return probe.format;
    for (int encoding : kFallbackEncodings)
    {
        probe.format = container | encoding;
        if (sf_format_check(&probe))
            return probe.format;
    }
    return 0;
}

std::string KnownExtensions()
{
    std::string s;
    for (const Extension& e : kExtensions)
    {
        if (!s.empty())
            s += ", ";
        s += e.ext;
    }
    return s;
}
} // namespace app
