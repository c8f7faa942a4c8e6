#pragma once
// Runs one job per input file on worker threads and hands the results back on the calling thread
// in input order, as soon as a job and all those before it are done, so that what a run prints
// and writes does not depend on the number of workers. The calling thread draws the one progress
// bar of the run (FolderProgress) from the share of each file its worker reports.

#include "app/render/FileRenderer.h"

#include <functional>
#include <string>
#include <vector>

namespace app
{
// The workers when --jobs is not given: one per core.
int DefaultJobCount();

class BatchRunner
{
public:
    // jobs workers (one per core when jobs ≤ 0; at most one per file); the bar drawn when
    // showProgress.
    BatchRunner(int jobs, bool showProgress);

    // What a job is told: its file's index and a way to report the share 0 … 1 of it done (from
    // its worker thread, as often as it likes).
    using Work = std::function<void(int index, const std::function<void(double)>& share)>;
    // Called on the calling thread for each index in order, after its work.
    using Deliver = std::function<void(int index)>;

    // Runs work(i) for every i of names (the file names the bar shows) and deliver(i) in order.
    // An exception thrown by work is delivered as a failure of the whole run once the workers
    // have stopped: it is rethrown here.
    void Run(const std::vector<std::string>& names, const Work& work, const Deliver& deliver);

private:
    int mJobs;
    bool mShowProgress;
};

// The options of one file of a batch: no bar of its own; share is told the share of the file's
// output done (after any onOwnOutput of the options).
RenderOptions ReportingShare(const RenderOptions& options, const std::string& path,
                             const std::function<void(double)>& share);
} // namespace app
