#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include "cipher/Module1.h"
#include "cipher/modHEX.h"

namespace {

TEST(Module1, WordsAreBigEndianWithHighBytes) {
    std::string bytes("\x80\xFF\x01\x02\xFE", 5);
    EXPECT_EQ(cipher::GetWord(bytes, 0), 0x80FF0102u);
    EXPECT_EQ(cipher::GetWord(bytes, 1), 0xFF0102FEu);
    cipher::PutWord(0xA1B2C3D4u, bytes, 1);
    EXPECT_EQ(bytes, std::string("\x80\xA1\xB2\xC3\xD4", 5));
    EXPECT_THROW(cipher::GetWord(bytes, 2), std::out_of_range);
    EXPECT_THROW(cipher::PutWord(0, bytes, 5), std::out_of_range);
    EXPECT_THROW(cipher::GetWord(bytes, static_cast<std::size_t>(-1)), std::out_of_range);
}

TEST(Module1, UnsignedAddWrapsModulo2To32) {
    EXPECT_EQ(cipher::UnsignedAdd(0xFFFFFFFFu, 2u), 1u);
    EXPECT_EQ(cipher::UnsignedAdd(0x80000000u, 0x80000000u), 0u);
    EXPECT_EQ(cipher::UnsignedAdd(0x12345678u, 0x0000FFFFu), 0x12355677u);
}

TEST(ModHex, FileExistWhenItsLengthCanBeRead) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("trotwick-filexist-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "empty").close();
    std::ofstream(folder / "full") << "x";
    EXPECT_TRUE(cipher::FileExist(folder / "empty"));
    EXPECT_TRUE(cipher::FileExist(folder / "full"));
    EXPECT_FALSE(cipher::FileExist(folder / "absent"));
    EXPECT_FALSE(cipher::FileExist(folder));
    EXPECT_FALSE(cipher::FileExist(folder / "full" / "below"));
    fs::remove_all(folder);
}

}  // namespace
