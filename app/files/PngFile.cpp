#include "app/files/PngFile.h"

#include "app/files/TempFile.h"
#include "editor/PngCodec.h"

namespace app
{
bool WritePngFile(const LICE_IBitmap& bitmap, const std::string& path, std::string& error)
{
    std::string bytes;
    return EncodePng(bitmap, bytes, error) && WriteFileAtomically(path, bytes, error);
}
} // namespace app
