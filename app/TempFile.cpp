#include "app/TempFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace app
{
int CreateTempBeside(const std::string& target, std::string& tempPath, std::string& error)
{
    std::string pattern = target + ".partial-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
    {
        error = "cannot write '" + target + "': " + std::strerror(errno);
        return -1;
    }
    // mkstemp makes the file private (0600); the finished file should look like any other.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    tempPath = pattern;
    return fd;
}
} // namespace app
