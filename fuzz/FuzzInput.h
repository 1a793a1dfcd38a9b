#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Ports.h"

// What the fuzz targets that play a scripted game share: the fuzzer's bytes
// read as a script, a check that ends the run when an invariant breaks, and
// notices nobody reads.
namespace fuzzing {

inline void Check(bool holds) {
    if (!holds) std::abort();
}

class SilentNotices final : public core::Notices {
public:
    void ShowNotice(const std::string&) override {}
};

// The input, a byte or a run of bytes at a time; 0 and "" once it is used up.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Bytes(std::size_t n) {
        n = std::min(n, size_ - at_);
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzzing
