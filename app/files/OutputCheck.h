#pragma once
// Checks on the files a command is about to write, made before anything is read or written, so
// that nothing the user holds is lost: an output may not be one of the command's inputs (the
// same file by device and inode, however it is named), nor the same file as another output,
// nor an existing file of another kind (an audio file named as the JSON report, the vectorscope
// image or a preset), nor an existing thing that is not a regular file.

#include <string>
#include <vector>

namespace app
{
enum class FileKind
{
    Unknown,
    Audio,
    Png,
    PropertyList,
    Json
};

struct OutputFile
{
    std::string path;
    FileKind kind;    // what will be written there
    const char* role; // how the command line names it: "OUT", "--json", …
};

// The kind of an existing file from its first bytes (audio: anything libsndfile opens); Unknown
// for anything else, an empty file and a missing one.
FileKind SniffFileKind(const std::string& path);

// False with a one-line message naming the output and the clash.
bool CheckOutputs(const std::vector<std::string>& inputs, const std::vector<OutputFile>& outputs,
                  std::string& error);
} // namespace app
