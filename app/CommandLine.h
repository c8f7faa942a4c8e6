#pragma once
// The parandel command line: process, params, demo. Exit codes: 0 success, 1 runtime failure
// (unreadable or unsupported file, write error), 2 usage error, 130 interrupted.

namespace app
{
int RunCommandLine(int argc, char** argv);
}
