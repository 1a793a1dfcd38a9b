#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Starting another program from the game. Never through a shell: the
// program and each argument are passed as they are, so no text that came
// from the network or a file can become a command.
namespace online {

// A program file held open from its checks to its start, so that what
// starts is the file that was checked, whatever its name stands for by then
// (in a folder others can write to, a file can be swapped in between).
class ProgramFile {
public:
    // The file at `path` when it is the player's own program: a regular
    // file itself (never a link, nor what one points to), owned by the
    // player and known by no other name. It is made runnable by the player
    // alone. Nothing otherwise.
    static std::optional<ProgramFile> OpenOwn(const std::filesystem::path& path);

    ~ProgramFile();
    ProgramFile(ProgramFile&& other) noexcept;
    ProgramFile& operator=(ProgramFile&& other) noexcept;
    ProgramFile(const ProgramFile&) = delete;
    ProgramFile& operator=(const ProgramFile&) = delete;

    // Open for reading; no program the game starts inherits it, but for a
    // script started from it, whose interpreter reads it through it.
    int Descriptor() const { return fd_; }
    // Where it was opened: the name the program is given as its own.
    const std::filesystem::path& Path() const { return path_; }

private:
    ProgramFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    std::filesystem::path path_;
};

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts `program` with `arguments` (paths, as bytes) on its own; the
    // game keeps running. False when it could not be started.
    virtual bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) = 0;
    // Starts the very file held open, as StartDetached does. By default
    // through its descriptor's name in /proc, which a child of the game
    // opens as its own copy of the descriptor: enough for a program file,
    // but a script's interpreter finds it closed. SystemProcessStarter
    // starts from the descriptor itself.
    virtual bool StartFileDetached(const ProgramFile& program, const std::vector<std::string>& arguments);
};

// Starts programs in a process of their own session, which the game does
// not wait for: they run on when the game closes.
class SystemProcessStarter final : public ProcessStarter {
public:
    bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override;
    // The file is run from its descriptor; the program gets its path as its
    // own name.
    bool StartFileDetached(const ProgramFile& program, const std::vector<std::string>& arguments) override;
};

}  // namespace online
