#include "fuzz/FuzzRequire.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz
{
void FuzzRequire(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}
} // namespace fuzz
