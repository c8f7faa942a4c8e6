#pragma once
// The parandel command line: the top-level app, its commands (process, analyze, params, preset,
// snapshot, demo, gui; each in its own file) and the dispatch. Exit codes: 0 success, 1 runtime
// failure (unreadable or unsupported file, write error), 2 usage error, 130 interrupted.

namespace app
{
int RunCommandLine(int argc, char** argv);
}
