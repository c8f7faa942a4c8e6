#pragma once
// Output files are written beside their target under a unique temporary name and renamed into
// place once complete, so a failed or interrupted run never leaves a partial file.

#include <string>

namespace app
{
// Creates and opens "<target>.partial-XXXXXX" with the permissions a new file normally gets
// (0666 less the umask). Returns the descriptor and sets tempPath, or −1 with error set.
int CreateTempBeside(const std::string& target, std::string& tempPath, std::string& error);
} // namespace app
