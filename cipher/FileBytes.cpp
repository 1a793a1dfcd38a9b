#include "cipher/FileBytes.h"

#include "runtime/Error.h"

namespace cipher {

namespace {
// The block cipher's header and padding: 12 to 19 bytes.
constexpr std::size_t kCipherRoom = 24;
}  // namespace

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::string bytes;
    if (const std::error_code error = runtime::ReadFileBytes(path, bytes, kCipherRoom)) {
        throw runtime::FileError("ReadFileBytes", error, false, path);
    }
    return bytes;
}

void ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    if (const std::error_code error = runtime::WriteFileAtomically(path, bytes)) {
        throw runtime::FileError("ReplaceFileBytes", error, true, path);
    }
}

}  // namespace cipher
