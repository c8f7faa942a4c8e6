#pragma once
// A small LV2 host on lilv for the tests: loads the built bundle, instantiates one of its
// plug-ins with urid:map, the block-length options and the inline display's queue_draw, sets
// control ports by symbol, feeds time:Position, renders whole signals in blocks and saves or
// restores state.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

class LilvHost
{
public:
    // bundleDir: a directory holding manifest.ttl (with a trailing slash or not); empty: every
    // installed bundle (LV2_PATH).
    LilvHost(const std::string& bundleDir, const std::string& pluginUri, double rate, int maxBlock);
    ~LilvHost();
    LilvHost(const LilvHost&) = delete;
    LilvHost& operator=(const LilvHost&) = delete;

    bool Ok() const { return mInstance != nullptr; }
    int PortIndex(const std::string& symbol) const;
    void SetControl(const std::string& symbol, float value);
    float Control(const std::string& symbol) const;
    // The next run carries a time:Position with this speed (1 rolling, 0 stopped).
    void SendTransport(double speed, long long frame);
    void Activate();
    // Runs one block: in[c] and out[c] hold n samples.
    void Run(const std::vector<float*>& in, const std::vector<float*>& out, int n);
    // The whole signal in blocks of blockSize; the output trimmed by the latency port and fed
    // zeros past the end, as the command line does. transport: roll from the first block.
    std::vector<std::vector<float>> Process(const std::vector<std::vector<float>>& in,
                                            int blockSize, bool transport);
    // The plug-in's state (its port values and the parameter chunk); owned by the caller.
    LilvState* SaveState();
    void RestoreState(const LilvState* state);
    // A preset the loaded bundles describe, by URI, or null; owned by the caller.
    LilvState* LoadPreset(const std::string& uri);
    // The bytes the plug-in stores through its state interface, or empty.
    std::vector<uint8_t> SavedChunk();
    LilvInstance* Instance() const { return mInstance; }
    const LilvPlugin* Plugin() const { return mPlugin; }
    int NAudioIn() const { return static_cast<int>(mAudioIn.size()); }
    int NAudioOut() const { return static_cast<int>(mAudioOut.size()); }
    LilvWorld* World() const { return mWorld; }
    uint32_t Map(const char* uri);
    // How often the plug-in asked for its inline display to be redrawn.
    int QueueDraws() const { return mQueueDraws.load(); }
    const char* Unmap(uint32_t urid) const;

private:
    struct Features;
    void ResetAtomPort();

    LilvWorld* mWorld = nullptr;
    const LilvPlugin* mPlugin = nullptr;
    LilvInstance* mInstance = nullptr;
    std::unique_ptr<Features> mFeatures;
    std::map<std::string, uint32_t> mUrids;
    std::vector<std::string> mUris;
    std::vector<float> mControls; // one per port, for the control ports
    std::vector<uint8_t> mAtomBuffer;
    std::vector<int> mAudioIn, mAudioOut;
    int mAtomPort = -1;
    struct OtherAtom
    {
        uint32_t port;
        bool input;
        std::vector<uint8_t> buffer;
    };
    std::vector<OtherAtom> mOtherAtoms; // never grows after the constructor
    uint32_t mSequenceType = 0;         // mapped once: mapping allocates
    std::atomic<int> mQueueDraws{0};
    double mPendingSpeed = -1.0;
    long long mPendingFrame = 0;
};
