// The vectorscope's mouse handlers run on the editor thread and read what the plug-in's
// parameter changes and the graphs' renders write under the plug-in mutex (the mode; the GRID
// drawer's pan, width and drawn size): they read under that mutex too.

#include "engine/Parandel.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"
#include "support/PlugHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace
{
struct Handler
{
    const char* name;
    std::function<void()> call;
};
} // namespace

TEST(ScopeMouseThreads, HandlersWaitForThePlugInMutex)
{
    PlugHarness h;
    h.Start();
    TWVectorscope* scope = h.plug->GetVectorscope();
    TWUpmixGraphDrawer* drawer = scope->GetUpmixDrawer();
    ASSERT_NE(drawer, nullptr);
    const IMouseMod noMod;
    // None of these calls the plug-in (no drag is under way, presses miss the ball), so any
    // waiting is their own lock.
    const Handler handlers[] = {
        {"scope down", [&] { scope->OnMouseDown(5, 5, noMod); }},
        {"scope up", [&] { scope->OnMouseUp(5, 5, noMod); }},
        {"drawer down", [&] { drawer->OnMouseDown(5, 5, noMod); }},
        {"drawer up", [&] { drawer->OnMouseUp(5, 5, noMod); }},
        {"drawer drag", [&] { drawer->OnMouseDrag(5, 5, 1, 1, noMod); }},
    };
    for (const Handler& handler : handlers)
    {
        std::atomic<bool> done{false};
        h.plug->GetMutex()->Enter();
        std::thread editor(
            [&]
            {
                handler.call();
                done = true;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(done) << handler.name << " ran while another thread held the mutex";
        h.plug->GetMutex()->Leave();
        editor.join();
        EXPECT_TRUE(done) << handler.name;
    }
}

TEST(ScopeMouseThreads, HandlersAndParameterChangesRunConcurrently)
{
    PlugHarness h;
    h.Start();
    TWVectorscope* scope = h.plug->GetVectorscope();
    TWUpmixGraphDrawer* drawer = scope->GetUpmixDrawer();
    const IMouseMod noMod;
    std::atomic<bool> stop{false};
    std::thread editor(
        [&]
        {
            while (!stop)
            {
                scope->OnMouseDown(5, 5, noMod);
                scope->OnMouseUp(5, 5, noMod);
                drawer->OnMouseDown(5, 5, noMod);
                drawer->OnMouseUp(5, 5, noMod);
            }
        });
    // Host-side changes of the values the handlers read.
    for (int i = 0; i < 200; ++i)
    {
        h.Set(Parandel::kPan, i % 100);
        h.Set(Parandel::kWidth, -(i % 100));
        h.Set(Parandel::kVectorscopeMode0 + i % Parandel::kNumVectorscopeModes, 1.0);
    }
    stop = true;
    editor.join();
    EXPECT_EQ(scope->GetMode(), 199 % Parandel::kNumVectorscopeModes);
    EXPECT_DOUBLE_EQ(drawer->GetPan(), 0.99);
    EXPECT_DOUBLE_EQ(drawer->GetWidth(), (-0.99 + 1.0) * 0.5);
}
