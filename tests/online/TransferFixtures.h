#pragma once

#include <string>
#include <vector>

// Files and the messages that carry them, for the file transfer's tests.
namespace testing_support {

// A file of `size` bytes holding every byte value, NUL included, in an
// order that repeats rarely.
inline std::string TransferFileOf(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256 + 3) & 0xFF);
    return bytes;
}

// What a sender sends for a file, as the protocol has it: "C:" blocks of the
// block size while more than a block remains, then "F:" with the rest.
inline std::vector<std::string> TransferBlocksOf(const std::string& file, std::size_t blockSize) {
    std::vector<std::string> blocks;
    std::size_t at = 0;
    while (file.size() - at > blockSize) {
        blocks.push_back("C:" + file.substr(at, blockSize));
        at += blockSize;
    }
    blocks.push_back("F:" + file.substr(at));
    return blocks;
}

// What a receiver sends while `blocks` come: "FILE?", then "N!" for each
// block but the last.
inline std::vector<std::string> TransferRequestsFor(std::size_t blocks) {
    std::vector<std::string> requests{"FILE?"};
    requests.resize(blocks, "N!");
    return requests;
}

}  // namespace testing_support
