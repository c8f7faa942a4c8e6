#pragma once
// A JACK server on its dummy driver for the tests, under a name of its own (JACK_DEFAULT_SERVER
// is set for this process and the programs it starts, so parallel tests never share one), and
// a test client on it: two output ports that play a given stereo signal from the cycle Play()
// is called on, two input ports that record from that same cycle. Everything stops with the
// objects.

#include "support/ChildProcess.h"

#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class JackTestServer
{
public:
    JackTestServer(const std::string& logPath, int rate, int period)
        : mName("parandel-test-" + std::to_string(getpid())), mEnv("JACK_DEFAULT_SERVER", mName),
          mNoReservation("JACK_NO_AUDIO_RESERVATION", "1")
    {
        // The probes below fail until the server runs; libjack would say so each time.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        if (access("/usr/bin/jackd", X_OK) != 0)
        {
            mReason = "jackd is not installed (jackd2)";
            return;
        }
        // Synchronous, with a generous client time-out: on a loaded machine a late client makes
        // the cycle late instead of losing its block.
        mServer.Start({"/usr/bin/jackd", "-n", mName, "-S", "-t", "5000", "-d", "dummy", "-r",
                       std::to_string(rate), "-p", std::to_string(period)},
                      logPath, logPath);
        // Ready once a client can connect.
        for (int i = 0; i < 100 && mServer.Running(); ++i)
        {
            if (jack_client_t* probe = jack_client_open("probe", JackNoStartServer, nullptr))
            {
                jack_client_close(probe);
                mOk = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        mReason = "jackd -d dummy does not start (" + logPath + ")";
    }
    ~JackTestServer()
    {
        mServer.Signal(SIGTERM);
        mServer.Wait(5);
    }

    bool Ok() const { return mOk; }
    const std::string& Reason() const { return mReason; }

private:
    std::string mName;
    ScopedEnv mEnv;
    ScopedEnv mNoReservation;
    ChildProcess mServer;
    bool mOk = false;
    std::string mReason;
};

// Two clients, so that the graph runs feed → device under test → rec within one cycle.
class JackTestClient
{
public:
    // signal: what "feed" plays (two channels); recordFrames: how much "rec" records.
    JackTestClient(std::vector<std::vector<float>> signal, size_t recordFrames)
        : mSignal(std::move(signal)), mRecorded(2, std::vector<float>(recordFrames))
    {
        mFeed = jack_client_open("feed", JackNoStartServer, nullptr);
        mRec = jack_client_open("rec", JackNoStartServer, nullptr);
        if (!mFeed || !mRec)
            return;
        for (int c = 0; c < 2; ++c)
        {
            mOut[c] = jack_port_register(mFeed, ("out_" + std::to_string(c + 1)).c_str(),
                                         JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            mIn[c] = jack_port_register(mRec, ("in_" + std::to_string(c + 1)).c_str(),
                                        JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(mFeed, &JackTestClient::Feed, this);
        jack_set_process_callback(mRec, &JackTestClient::Record, this);
        mOk = jack_activate(mFeed) == 0 && jack_activate(mRec) == 0;
    }
    ~JackTestClient()
    {
        for (jack_client_t* c : {mFeed, mRec})
            if (c)
                jack_client_close(c);
    }

    bool Ok() const { return mOk; }
    // Whether port (client:port) exists and is connected to other.
    bool Connected(const std::string& port, const std::string& other) const
    {
        jack_port_t* p = jack_port_by_name(mFeed, port.c_str());
        return p && jack_port_connected_to(p, other.c_str());
    }
    bool Connect(const std::string& from, const std::string& to) const
    {
        return jack_connect(mFeed, from.c_str(), to.c_str()) == 0;
    }
    // Starts the signal and the recording on the next cycle.
    void Play() { mPlay = true; }
    bool Done() const { return mDone; }
    const std::vector<std::vector<float>>& Recorded() const { return mRecorded; }

private:
    static int Feed(jack_nframes_t n, void* self)
    {
        auto* t = static_cast<JackTestClient*>(self);
        if (t->mPlay && !t->mStarted)
        {
            t->mStart = jack_last_frame_time(t->mFeed);
            t->mStarted = true;
        }
        for (int c = 0; c < 2; ++c)
        {
            auto* out = static_cast<float*>(jack_port_get_buffer(t->mOut[c], n));
            for (jack_nframes_t k = 0; k < n; ++k)
            {
                const size_t at = t->mPlayed + k;
                out[k] = t->mStarted && at < t->mSignal[c].size() ? t->mSignal[c][at] : 0.0f;
            }
        }
        if (t->mStarted)
            t->mPlayed += n;
        return 0;
    }
    static int Record(jack_nframes_t n, void* self)
    {
        auto* t = static_cast<JackTestClient*>(self);
        if (!t->mStarted || jack_last_frame_time(t->mRec) < t->mStart || t->mDone)
            return 0;
        for (int c = 0; c < 2; ++c)
        {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(t->mIn[c], n));
            for (jack_nframes_t k = 0; k < n && t->mRecordedFrames + k < t->mRecorded[c].size();
                 ++k)
                t->mRecorded[c][t->mRecordedFrames + k] = in[k];
        }
        t->mRecordedFrames += n;
        if (t->mRecordedFrames >= t->mRecorded[0].size())
            t->mDone = true;
        return 0;
    }

    std::vector<std::vector<float>> mSignal;
    std::vector<std::vector<float>> mRecorded;
    jack_client_t* mFeed = nullptr;
    jack_client_t* mRec = nullptr;
    jack_port_t* mOut[2] = {};
    jack_port_t* mIn[2] = {};
    bool mOk = false;
    std::atomic<bool> mPlay{false};
    std::atomic<bool> mStarted{false};
    std::atomic<bool> mDone{false};
    std::atomic<jack_nframes_t> mStart{0};
    size_t mPlayed = 0;
    size_t mRecordedFrames = 0;
};
