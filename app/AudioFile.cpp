#include "app/AudioFile.h"

#include "app/TempFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

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

// Encodings tried after the input's own, best first.
constexpr int kFallbackEncodings[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16,
                                      SF_FORMAT_VORBIS};
} // namespace

AudioFileReader::~AudioFileReader()
{
    if (mFile)
        sf_close(mFile);
}

bool AudioFileReader::Open(const std::string& path)
{
    mInfo = SF_INFO{};
    mFile = sf_open(path.c_str(), SFM_READ, &mInfo);
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
    return true;
}

long long AudioFileReader::Read(float* interleaved, long long frames)
{
    return mFile ? sf_readf_float(mFile, interleaved, frames) : 0;
}

AudioFileWriter::~AudioFileWriter()
{
    Abandon();
}

bool AudioFileWriter::Create(const std::string& path, int format, int channels, int sampleRate)
{
    mTarget = path;
    // A unique name beside the target; libsndfile then writes through the descriptor.
    const int fd = CreateTempBeside(path, mTemp, mError);
    if (fd < 0)
        return false;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    mFile = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!mFile)
    {
        mError = "cannot write '" + path + "': " + sf_strerror(nullptr);
        ::close(fd);
        Abandon();
        return false;
    }
    return true;
}

bool AudioFileWriter::Write(const float* interleaved, long long frames)
{
    if (!mFile)
        return false;
    if (sf_writef_float(mFile, interleaved, frames) != frames)
    {
        mError = "cannot write '" + mTarget + "': " + sf_strerror(mFile);
        return false;
    }
    return true;
}

bool AudioFileWriter::Commit()
{
    if (!mFile)
        return false;
    const int closeErr = sf_close(mFile);
    mFile = nullptr;
    if (closeErr != 0)
    {
        mError = "cannot write '" + mTarget + "': " + sf_error_number(closeErr);
        Abandon();
        return false;
    }
    if (std::rename(mTemp.c_str(), mTarget.c_str()) != 0)
    {
        mError = "cannot write '" + mTarget + "': " + std::strerror(errno);
        Abandon();
        return false;
    }
    mTemp.clear();
    return true;
}

void AudioFileWriter::Abandon()
{
    if (mFile)
    {
        sf_close(mFile);
        mFile = nullptr;
    }
    if (!mTemp.empty())
    {
        std::remove(mTemp.c_str());
        mTemp.clear();
    }
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
    if (sf_format_check(&probe))
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
