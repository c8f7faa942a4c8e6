#pragma once
// The one way a fuzz target reports a broken invariant.

namespace fuzz
{
// Ends the program with "fuzz invariant broken: what" unless ok.
void FuzzRequire(bool ok, const char* what);
} // namespace fuzz
