#pragma once
// What a file's header says about the length of its audio, read by hand for the containers whose
// reader in libsndfile quietly shortens the audio to what the file holds (WAV, RF64, W64, AIFF,
// AU): a file that ends before its header's length is truncated or damaged.

#include <string>

namespace app
{
// The byte offset at which the header says the audio data ends, or −1 when the header gives no
// length (a stream written to a pipe) or the container is not one of the above.
long long DeclaredAudioEnd(const std::string& path, int container);

// Whether path names a stream that can be read only once (a pipe, a socket).
bool IsStream(const std::string& path);

// Empty when the regular file at path holds all the audio its header declares; otherwise a
// one-line reason naming it as shownAs. Anything other than a regular file is taken as it comes.
std::string TruncationError(const std::string& path, int container, const std::string& shownAs);
} // namespace app
