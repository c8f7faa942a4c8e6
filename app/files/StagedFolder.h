#pragma once
// A folder of outputs written as a whole (the analysis report's pictures, page and JSON): every
// file goes into a new folder beside the target, "<folder>.partial-XXXXXX"; the entries of the
// folder there now that the new files do not replace are carried over (files and links as hard
// or new links, anything else moved in at the swap), and the two folders are exchanged in one
// step with the terminating signals held back. A failure or an interruption before the exchange
// leaves the previous folder exactly as it was; after it, the new folder is complete.

#include <string>
#include <utility>
#include <vector>

namespace app
{
// (name in the folder, bytes) pairs.
using FolderFiles = std::vector<std::pair<std::string, std::string>>;

// Whether dir is the working folder or one that holds it (it cannot be exchanged under the
// user's feet).
bool HoldsWorkingFolder(const std::string& dir);

// False with a one-line error, the previous folder untouched.
bool WriteFolderAtomically(const std::string& dir, const FolderFiles& files, std::string& error);
} // namespace app
