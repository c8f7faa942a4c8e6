#pragma once
// File names are bytes; JSON, HTML and drawn text need UTF-8. A name that is not valid UTF-8 is
// shown with each byte that does not belong to a valid sequence written as \xNN, so that it stays
// visible and distinct instead of aborting the writer or vanishing.

#include <string>

namespace app
{
// text with every byte outside a well-formed sequence replaced by "\xNN" (upper-case hex).
std::string EscapeInvalidUtf8(const std::string& text);
} // namespace app
