#include <gtest/gtest.h>

#include <string>

#include "platform/Registry.h"

namespace {

using namespace platform;

constexpr std::uint32_t kReadWrite = kKeyQueryValue | kKeySetValue | kKeyCreateSubKey;

// Reads a value whole with the two-step query (size, then bytes).
std::int32_t ReadAll(Registry& registry, RegKey key, const std::string& name, std::uint32_t& type, std::string& data) {
    std::uint32_t size = 0;
    if (const auto status = registry.QueryValue(key, name, &type, nullptr, &size)) return status;
    data.assign(size, '\0');
    return registry.QueryValue(key, name, &type, data.data(), &size);
}

TEST(Registry, KeepsValuesUnderTheirRootAndPath) {
    Registry registry;
    RegKey key = 0;
    ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, "Software\\Kestrane\\Trotwick", kReadWrite, key), kErrorSuccess);
    ASSERT_EQ(registry.SetValue(key, "Server", kRegSz, std::string("host\0", 5)), kErrorSuccess);
    ASSERT_EQ(registry.CloseKey(key), kErrorSuccess);

    // Paths and names are matched without regard to case.
    ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "software\\KESTRANE\\trotwick", kKeyQueryValue, key), kErrorSuccess);
    std::uint32_t type = 0;
    std::string data;
    ASSERT_EQ(ReadAll(registry, key, "SERVER", type, data), kErrorSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, std::string("host\0", 5));
    EXPECT_EQ(registry.CloseKey(key), kErrorSuccess);

    // The other five roots are apart from it.
    for (RegKey root : {kHkeyClassesRoot, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig, kHkeyDynData}) {
        EXPECT_EQ(registry.OpenKey(root, "Software\\Kestrane\\Trotwick", kKeyQueryValue, key), kErrorFileNotFound)
            << std::hex << root;
        EXPECT_EQ(key, 0u);
    }
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST(Registry, AnswersTheSizeFirstAndRefusesASmallBuffer) {
    Registry registry;
    RegKey key = 0;
    ASSERT_EQ(registry.CreateKey(kHkeyLocalMachine, "A", kReadWrite, key), kErrorSuccess);
    ASSERT_EQ(registry.SetValue(key, "v", kRegBinary, "abcdef"), kErrorSuccess);

    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(registry.QueryValue(key, "v", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, kRegBinary);

    char small[4] = {'-', '-', '-', '-'};
    size = sizeof small;
    EXPECT_EQ(registry.QueryValue(key, "v", &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::string(small, 4), "----");  // nothing copied

    char exact[6] = {};
    size = sizeof exact;
    EXPECT_EQ(registry.QueryValue(key, "v", &type, exact, &size), kErrorSuccess);
    EXPECT_EQ(std::string(exact, 6), "abcdef");

    EXPECT_EQ(registry.QueryValue(key, "missing", &type, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(registry.QueryValue(key, "v", &type, exact, nullptr), kErrorInvalidParameter);

    // A new value replaces the old, type and all.
    ASSERT_EQ(registry.SetValue(key, "V", kRegDword, std::string(4, '\x01')), kErrorSuccess);
    EXPECT_EQ(registry.QueryValue(key, "v", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    registry.CloseKey(key);
}

TEST(Registry, HonoursTheAccessAKeyWasOpenedWith) {
    Registry registry;
    RegKey key = 0;
    ASSERT_EQ(registry.CreateKey(kHkeyUsers, "A", kKeySetValue, key), kErrorSuccess);
    ASSERT_EQ(registry.SetValue(key, "v", kRegSz, "x"), kErrorSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(registry.QueryValue(key, "v", nullptr, nullptr, &size), kErrorAccessDenied);
    registry.CloseKey(key);

    ASSERT_EQ(registry.OpenKey(kHkeyUsers, "A", kKeyQueryValue, key), kErrorSuccess);
    EXPECT_EQ(registry.SetValue(key, "v", kRegSz, "y"), kErrorAccessDenied);
    EXPECT_EQ(registry.QueryValue(key, "v", nullptr, nullptr, &size), kErrorSuccess);
    registry.CloseKey(key);
}

TEST(Registry, RefusesBadPathsAndHandles) {
    Registry registry;
    RegKey key = 0;
    for (const char* path : {"\\A", "A\\\\B", "\\"}) {
        EXPECT_EQ(registry.CreateKey(kHkeyCurrentUser, path, kReadWrite, key), kErrorBadPathname) << path;
    }
    // One "\" at the end is allowed, and an empty path is the key itself.
    ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, "A\\B\\", kReadWrite, key), kErrorSuccess);
    RegKey child = 0;
    ASSERT_EQ(registry.CreateKey(key, "C", kReadWrite, child), kErrorSuccess);
    registry.CloseKey(child);
    registry.CloseKey(key);
    ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "a\\b\\c", kKeyQueryValue, key), kErrorSuccess);
    registry.CloseKey(key);
    ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "", kKeyQueryValue, key), kErrorSuccess);
    registry.CloseKey(key);

    // A closed key is no key; closing a root is allowed and does nothing.
    EXPECT_EQ(registry.CloseKey(key), kErrorInvalidHandle);
    std::uint32_t size = 0;
    EXPECT_EQ(registry.QueryValue(key, "v", nullptr, nullptr, &size), kErrorInvalidHandle);
    EXPECT_EQ(registry.SetValue(key, "v", kRegSz, "x"), kErrorInvalidHandle);
    EXPECT_EQ(registry.OpenKey(key, "A", kKeyQueryValue, child), kErrorInvalidHandle);
    EXPECT_EQ(registry.OpenKey(0x80000004u, "A", kKeyQueryValue, child), kErrorInvalidHandle);
    EXPECT_EQ(registry.CloseKey(kHkeyCurrentUser), kErrorSuccess);
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

}  // namespace
