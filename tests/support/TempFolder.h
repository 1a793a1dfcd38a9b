#pragma once

#include <stdlib.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace testing_support {

// A fresh folder for one test, removed with everything in it at the end.
// It is open to every user (0755), so a child that drops to an unprivileged
// user (ChildProcess.h) can still reach the files inside.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trotwick-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
        path_ = pattern;
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~TempFolder() {
        std::error_code ignored;
        // A test may have left a folder read-only; open it again to remove it.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored)) std::filesystem::permissions(it->path(), std::filesystem::perms::all, ignored);
        }
        std::filesystem::permissions(path_, std::filesystem::perms::all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Whether programs can run from here (the temporary folder may be on a
    // file system mounted without).
    bool AllowsPrograms() const {
        struct statvfs info {};
        return ::statvfs(path_.c_str(), &info) == 0 && (info.f_flag & ST_NOEXEC) == 0;
    }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes as they are (no line-break translation).
    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(std::string_view name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The names of everything in a folder below this one (or in it), sorted:
    // shows that no temporary file was left behind.
    std::vector<std::string> Names(std::string_view sub = "") const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(sub.empty() ? path_ : path_ / sub)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
