#include "app/commands/BatchRunner.h"

#include "app/files/AudioFile.h"
#include "app/files/AudioHeader.h"
#include "app/commands/FolderProgress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace app
{
namespace
{
// How often the calling thread redraws the bar while no job finishes.
constexpr std::chrono::milliseconds kRedrawInterval(100);

// What the workers and the calling thread share.
struct Batch
{
    explicit Batch(size_t n) : done(n, false), shares(n) {}

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> done; // guarded by mutex
    std::exception_ptr failure; // the first exception of a job; guarded by mutex
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::atomic<double>> shares;
};

void RunJobs(Batch& batch, const BatchRunner::Work& work)
{
    for (;;)
    {
        const size_t i = batch.next++;
        if (i >= batch.done.size() || batch.stop)
            return;
        std::exception_ptr failure;
        try
        {
            work(static_cast<int>(i), [&batch, i](double s) { batch.shares[i] = s; });
        }
        catch (...)
        {
            failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(batch.mutex);
            batch.done[i] = true;
            if (failure && !batch.failure)
                batch.failure = failure;
        }
        if (failure)
            batch.stop = true;
        batch.changed.notify_one();
    }
}
// Hands each result back as soon as it and those before it are done, drawing the bar while it
// waits; returns at the end or at a job's failure.
void DeliverInOrder(Batch& batch, FolderProgress& progress, const std::vector<std::string>& names,
                    const BatchRunner::Deliver& deliver)
{
    const size_t n = names.size();
    size_t delivered = 0;
    std::unique_lock<std::mutex> lock(batch.mutex);
    while (delivered < n && !batch.failure)
    {
        if (!batch.done[delivered])
        {
            // The bar: the files handed back, plus what the workers have done of the others.
            double running = 0.0;
            for (size_t i = delivered; i < n; ++i)
                running += std::clamp(batch.shares[i].load(), 0.0, 1.0);
            progress.Show(static_cast<int>(delivered), running, names[delivered]);
            batch.changed.wait_for(lock, kRedrawInterval);
            continue;
        }
        lock.unlock();
        progress.Interrupt(); // what deliver prints starts on a clear line
        deliver(static_cast<int>(delivered));
        ++delivered;
        lock.lock();
    }
}
} // namespace

int DefaultJobCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

BatchRunner::BatchRunner(int jobs, bool showProgress)
    : mJobs(jobs > 0 ? jobs : DefaultJobCount()), mShowProgress(showProgress)
{
}

void BatchRunner::Run(const std::vector<std::string>& names, const Work& work,
                      const Deliver& deliver)
{
    const size_t n = names.size();
    Batch batch(n);
    FolderProgress progress(mShowProgress, static_cast<int>(n));
    std::vector<std::thread> workers;
    std::exception_ptr failure;
    try
    {
        const size_t count = std::min<size_t>(mJobs, n);
        for (size_t w = 0; w < count; ++w)
            workers.emplace_back(RunJobs, std::ref(batch), std::cref(work));
        DeliverInOrder(batch, progress, names, deliver);
    }
    catch (...)
    {
        failure = std::current_exception();
    }
    batch.stop = true;
    for (std::thread& t : workers)
        t.join();
    progress.Finish();
    if (!failure)
        failure = batch.failure;
    if (failure)
        std::rethrow_exception(failure);
}

RenderOptions ReportingShare(const RenderOptions& options, const std::string& path,
                             const std::function<void(double)>& share)
{
    RenderOptions o = options;
    o.showProgress = false;
    long long frames = 0;
    if (!IsStream(path)) // a stream (a pipe) can be read only once: by the render
    {
        AudioFileReader probe; // a file that cannot be opened is reported by the render
        if (probe.Open(path))
            frames = probe.Frames();
    }
    if (frames <= 0)
        return o;
    o.onOwnOutput = [own = options.onOwnOutput, share, frames, done = 0LL](
                        const float* left, const float* right, int n) mutable
    {
        if (own)
            own(left, right, n);
        done += n;
        share(static_cast<double>(done) / frames);
    };
    return o;
}
} // namespace app
