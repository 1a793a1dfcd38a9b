#include "platform/Registry.h"

#include <cstring>
#include <vector>

#include "runtime/Text.h"

namespace platform {

struct Registry::Node {
    struct Value {
        std::uint32_t type;
        std::string data;
    };
    std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
    std::map<std::string, Value> values;                    // by folded name
};

namespace {

constexpr std::uint32_t kAllAccess = kKeyQueryValue | kKeySetValue | kKeyCreateSubKey;

std::string Fold(std::string_view name) { return runtime::UpperCase(name); }

// The parts of a key path; false for an empty part ("\A", "A\\B"). One "\"
// at the end is allowed, as Windows allows it.
bool SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
    if (!path.empty() && path.front() == '\\') return false;
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.empty()) return true;
    std::size_t start = 0;
    for (;;) {
        const auto end = path.find('\\', start);
        const std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty()) return false;
        parts.push_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

}  // namespace

Registry::Registry() {
    for (RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig,
                        kHkeyDynData}) {
        roots_.emplace(root, std::make_unique<Node>());
    }
}

Registry::~Registry() = default;

Registry::Node* Registry::NodeFor(RegKey key, std::uint32_t* access) {
    if (const auto root = roots_.find(key); root != roots_.end()) {
        *access = kAllAccess;
        return root->second.get();
    }
    const auto handle = open_.find(key);
    if (handle == open_.end()) return nullptr;
    *access = handle->second.access;
    return handle->second.node;
}

std::int32_t Registry::Walk(RegKey parent, std::string_view path, bool create, std::uint32_t access, RegKey& key) {
    key = 0;
    std::uint32_t parentAccess = 0;
    Node* node = NodeFor(parent, &parentAccess);
    if (!node) return kErrorInvalidHandle;
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts)) return kErrorBadPathname;
    for (std::string_view part : parts) {
        const std::string folded = Fold(part);
        auto child = node->children.find(folded);
        if (child == node->children.end()) {
            if (!create) return kErrorFileNotFound;
            child = node->children.emplace(folded, std::make_unique<Node>()).first;
        }
        node = child->second.get();
    }
    key = next_++;
    open_.emplace(key, Handle{node, access});
    return kErrorSuccess;
}

std::int32_t Registry::OpenKey(RegKey parent, std::string_view path, std::uint32_t access, RegKey& key) {
    return Walk(parent, path, false, access, key);
}

std::int32_t Registry::CreateKey(RegKey parent, std::string_view path, std::uint32_t access, RegKey& key) {
    return Walk(parent, path, true, access, key);
}

std::int32_t Registry::QueryValue(RegKey key, std::string_view name, std::uint32_t* type, char* data,
                                  std::uint32_t* size) {
    std::uint32_t access = 0;
    Node* node = NodeFor(key, &access);
    if (!node) return kErrorInvalidHandle;
    if (!(access & kKeyQueryValue)) return kErrorAccessDenied;
    const auto found = node->values.find(Fold(name));
    if (found == node->values.end()) return kErrorFileNotFound;
    const auto& value = found->second;
    if (type) *type = value.type;
    const auto stored = static_cast<std::uint32_t>(value.data.size());
    if (!size) return data ? kErrorInvalidParameter : kErrorSuccess;
    const std::uint32_t room = *size;
    *size = stored;
    if (!data) return kErrorSuccess;
    if (room < stored) return kErrorMoreData;
    if (stored > 0) std::memcpy(data, value.data.data(), stored);
    return kErrorSuccess;
}

std::int32_t Registry::SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) {
    std::uint32_t access = 0;
    Node* node = NodeFor(key, &access);
    if (!node) return kErrorInvalidHandle;
    if (!(access & kKeySetValue)) return kErrorAccessDenied;
    node->values[Fold(name)] = Node::Value{type, std::string(data)};
    return kErrorSuccess;
}

std::int32_t Registry::CloseKey(RegKey key) {
    if (roots_.count(key)) return kErrorSuccess;
    return open_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace platform
