#include "cipher/modHEX.h"

#include <cstdint>
#include <system_error>

namespace cipher {

bool FileExist(const std::filesystem::path& path) noexcept {
    std::error_code error;
    const auto length = std::filesystem::file_size(path, error);
    return !error && length != static_cast<std::uintmax_t>(-1);
}

}  // namespace cipher
