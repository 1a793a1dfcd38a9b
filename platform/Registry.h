#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// A registry of our own, shaped like the Windows one the settings store was
// written against: six predefined roots, keys below them named by paths with
// "\" between the parts, and typed values under each key. Key and value
// names are matched without regard to case. It lives in memory: the game
// itself keeps no registry settings, so nothing needs to outlive the run.
namespace platform {

// Key handles. The predefined roots carry the numbers Windows gives them;
// keys opened below them get small numbers of their own.
using RegKey = std::uint32_t;
inline constexpr RegKey kHkeyClassesRoot = 0x80000000u;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;
inline constexpr RegKey kHkeyUsers = 0x80000003u;
inline constexpr RegKey kHkeyCurrentConfig = 0x80000005u;
inline constexpr RegKey kHkeyDynData = 0x80000006u;

// Value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Access rights asked for when a key is opened or created.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;

// Result codes: the Windows error numbers.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;    // no such key or value
inline constexpr std::int32_t kErrorAccessDenied = 5;    // the handle lacks the right
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorBadPathname = 161;   // an empty part in a key path
inline constexpr std::int32_t kErrorMoreData = 234;      // the buffer is too small

class Registry {
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Opens an existing key below `parent` (a root or an open key); an empty
    // path opens `parent` itself.
    std::int32_t OpenKey(RegKey parent, std::string_view path, std::uint32_t access, RegKey& key);
    // Opens a key, creating it and any missing keys on its path.
    std::int32_t CreateKey(RegKey parent, std::string_view path, std::uint32_t access, RegKey& key);
    // Reads a value. `size` holds the buffer's size on entry and the value's
    // size on return; with no buffer only the size (and type) is given; a
    // buffer too small gives kErrorMoreData and nothing is copied.
    std::int32_t QueryValue(RegKey key, std::string_view name, std::uint32_t* type, char* data, std::uint32_t* size);
    // Stores a value's bytes and type, replacing what the name held.
    std::int32_t SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data);
    // Closing a root does nothing and succeeds.
    std::int32_t CloseKey(RegKey key);

    // Keys opened and not yet closed, for tests that check every path closes.
    std::size_t OpenKeyCount() const { return open_.size(); }

private:
    struct Node;
    struct Handle {
        Node* node;
        std::uint32_t access;
    };
    Node* NodeFor(RegKey key, std::uint32_t* access);
    std::int32_t Walk(RegKey parent, std::string_view path, bool create, std::uint32_t access, RegKey& key);

    std::map<RegKey, std::unique_ptr<Node>> roots_;
    std::unordered_map<RegKey, Handle> open_;
    RegKey next_ = 1;
};

}  // namespace platform
