// Editor frame cost on the offscreen view: a full redraw (every control drawn, the scope
// rendered and both presented) and an idle tick while audio runs (the tick's dirty collection,
// the meters that moved and the scope's new frame). Against the 40 ms budget of 25 fps.

#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/controls/IControl.h"
#include "editor/linux/IGraphicsLinux.h"
#include "engine/Parandel.h"
#include "framework/MathConstants.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr int kBlock = 512;

struct EditorFixture
{
    EditorFixture(int mode) : plug(new Parandel(Parandel::DefaultInstanceInfo()))
    {
        plug->SetSampleRate(44100.0);
        plug->SetBlockSize(kBlock);
        plug->SetInputChannelConnections(0, 2, true);
        plug->SetOutputChannelConnections(0, 2, true);
        plug->Param(Parandel::kVectorscopeMode0 + mode)->SetValue(1.0);
        plug->OnParamReset();
        plug->Reset();
        plug->SetHostTransport(true, 0.0);
        gui = GetGUI(*plug);
        gui->OpenWindow(&view);
        left.resize(kBlock);
        right.resize(kBlock);
    }
    ~EditorFixture() { gui->CloseWindow(); }

    // About a tick's worth of audio (40 ms is three or four blocks at 44.1 kHz).
    void FeedTick()
    {
        for (int b = 0; b < 4; ++b, ++blocks)
        {
            for (int k = 0; k < kBlock; ++k)
            {
                const double t = (blocks * kBlock + k) / 44100.0;
                left[k] = 0.5 * std::sin(2 * kPi * 220 * t) + 0.1 * std::sin(2 * kPi * 3100 * t);
                right[k] = 0.4 * std::sin(2 * kPi * 220 * t + 0.7);
            }
            double* ins[2] = {left.data(), right.data()};
            std::vector<double> outL(kBlock), outR(kBlock);
            double* outs[2] = {outL.data(), outR.data()};
            WDL_MutexLock lock(plug->GetMutex());
            plug->ProcessReplacing(ins, outs, kBlock);
        }
    }

    std::unique_ptr<Parandel> plug;
    IGraphics* gui;
    IGraphicsOffscreen view;
    std::vector<double> left, right;
    long blocks = 0;
};

void BM_EditorFullRedraw(benchmark::State& state)
{
    EditorFixture f(static_cast<int>(state.range(0)));
    f.FeedTick();
    for (auto _ : state)
    {
        for (int i = 0; i < f.gui->NControls(); ++i)
            f.gui->GetControl(i)->SetDirty(false);
        f.view.DrawAll();
    }
}
BENCHMARK(BM_EditorFullRedraw)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_EditorIdleTick(benchmark::State& state)
{
    EditorFixture f(static_cast<int>(state.range(0)));
    f.view.DrawAll();
    for (auto _ : state)
    {
        state.PauseTiming();
        f.FeedTick();
        state.ResumeTiming();
        f.view.Tick();
    }
}
BENCHMARK(BM_EditorIdleTick)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// The same tick in the X11/GLX window, presentation (texture uploads, quads, buffer swap) and
// the round trip to the view's thread included. Needs an X display (DISPLAY).
void BM_EditorWindowTick(benchmark::State& state)
{
    if (!std::getenv("DISPLAY"))
    {
        state.SkipWithError("no X display (set DISPLAY, e.g. to an Xvfb server)");
        return;
    }
    EditorFixture f(static_cast<int>(state.range(0)));
    f.gui->CloseWindow();
    IGraphicsLinux window;
    if (!f.gui->OpenWindow(&window))
    {
        state.SkipWithError(window.LastError().c_str());
        return;
    }
    window.Sync();
    for (auto _ : state)
    {
        state.PauseTiming();
        f.FeedTick();
        state.ResumeTiming();
        window.Sync();
    }
    f.gui->CloseWindow();
}
BENCHMARK(BM_EditorWindowTick)->Arg(0)->Arg(4)->Unit(benchmark::kMicrosecond)->UseRealTime();
} // namespace
