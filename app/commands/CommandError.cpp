#include "app/commands/CommandError.h"

#include <cstdio>

namespace app
{
void PrintError(const std::string& message)
{
    std::fprintf(stderr, "parandel: error: %s\n", message.c_str());
}
} // namespace app
