#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Starting another program from the game. Never through a shell: the
// program and each argument are passed as they are, so no text that came
// from the network or a file can become a command.
namespace online {

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts `program` with `arguments` (paths, as bytes) on its own; the
    // game keeps running. False when it could not be started.
    virtual bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) = 0;
};

class SystemProcessStarter final : public ProcessStarter {
public:
    bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override;
};

}  // namespace online
