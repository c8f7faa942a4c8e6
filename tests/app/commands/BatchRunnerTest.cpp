// BatchRunner: results handed back in input order whatever order the workers finish in, and a
// job's failure ending the run once every worker has stopped.

#include "app/commands/BatchRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace
{
std::vector<std::string> Names(int n)
{
    return std::vector<std::string>(n, "file");
}

TEST(BatchRunner, DeliversInInputOrderWhateverOrderTheJobsEndIn)
{
    // Three workers take the files three at a time; in each three the first waits for the
    // second to end, the second for the third, so the jobs end in the reverse order.
    const int n = 9;
    std::vector<int> finished, delivered;
    std::vector<bool> done(n, false);
    std::mutex m;
    std::condition_variable ended;
    app::BatchRunner(3, false).Run(
        Names(n),
        [&](int i, const std::function<void(double)>& share)
        {
            std::unique_lock<std::mutex> lock(m);
            if (i % 3 != 2)
                ended.wait(lock, [&] { return done[i + 1]; });
            share(1.0);
            done[i] = true;
            finished.push_back(i);
            ended.notify_all();
        },
        [&](int i)
        {
            std::lock_guard<std::mutex> lock(m);
            EXPECT_TRUE(done[i]); // delivered only after its own job
            delivered.push_back(i);
        });
    EXPECT_EQ(finished, (std::vector<int>{2, 1, 0, 5, 4, 3, 8, 7, 6}));
    EXPECT_EQ(delivered, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BatchRunner, AFailingJobEndsTheRunAfterTheWorkersStop)
{
    std::atomic<int> running{0}, started{0};
    std::vector<int> delivered;
    const auto run = [&]
    {
        app::BatchRunner(2, false).Run(
            Names(50),
            [&](int i, const std::function<void(double)>&)
            {
                ++running;
                ++started;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                --running;
                if (i == 3)
                    throw std::runtime_error("job 3 failed");
            },
            [&](int i) { delivered.push_back(i); });
    };
    EXPECT_THROW(run(), std::runtime_error);
    EXPECT_EQ(running, 0);
    EXPECT_LT(started, 50); // no new jobs after the failure
    EXPECT_TRUE(delivered.size() <= 3u);
}
} // namespace
