#pragma once
// Hosts a Parandel instance in a test the way a host does: rate and block size, channel
// connections, stored parameter values, initialisation, Reset, the transport running, then
// double-precision blocks straight into ProcessReplacing under the plug-in mutex.

#include "engine/Parandel.h"

#include <algorithm>
#include <memory>
#include <vector>

class PlugHarness
{
public:
    explicit PlugHarness(int inputChannels = 2, double sampleRate = 44100.0, int blockSize = 512)
        : plug(new Parandel(Parandel::DefaultInstanceInfo())), mInputs(inputChannels)
    {
        plug->HostSpecificInit(); // as opening the unit does: the host is known before audio
        plug->SetSampleRate(sampleRate);
        plug->SetBlockSize(blockSize);
        plug->SetInputChannelConnections(0, inputChannels, true);
        plug->SetInputChannelConnections(inputChannels, 2 - inputChannels, false);
        plug->SetOutputChannelConnections(0, 2, true);
    }

    // A host's set-parameter call: the value clamped to the range, then OnParamChange.
    void Set(int idx, double value)
    {
        WDL_MutexLock lock(plug->GetMutex());
        IParam* p = plug->Param(idx);
        p->SetValue(std::min(std::max(value, p->GetMin()), p->GetMax()));
        plug->OnParamChange(idx);
    }

    // Initialisation as the host does it, then the transport starts.
    void Start(bool transportRunning = true)
    {
        plug->OnParamReset();
        plug->Reset();
        plug->SetHostTransport(transportRunning, 0.0);
    }

    // Processes one block; left/right are overwritten with the outputs. For a mono
    // configuration the right vector is the output only. The output buffers start as given in
    // outL/outR (zeros by default), which matters for the silence test.
    void Process(std::vector<double>& left, std::vector<double>& right,
                 const std::vector<double>* outInitL = nullptr,
                 const std::vector<double>* outInitR = nullptr)
    {
        const int n = static_cast<int>(left.size());
        std::vector<double> inL = left, inR = right;
        std::vector<double> outL = outInitL ? *outInitL : std::vector<double>(n, 0.0);
        std::vector<double> outR = outInitR ? *outInitR : std::vector<double>(n, 0.0);
        double* ins[2] = {inL.data(), mInputs == 2 ? inR.data() : nullptr};
        double* outs[2] = {outL.data(), outR.data()};
        {
            WDL_MutexLock lock(plug->GetMutex());
            plug->ProcessReplacing(ins, outs, n);
        }
        left = outL;
        right = outR;
    }

    std::unique_ptr<Parandel> plug;

private:
    int mInputs;
};
