#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command line of trotwick-server:
//   trotwick-server --version N --patch FILE [--board FILE] [--listen ADDRESS]
namespace server {

struct ServerOptions {
    // The newest version of the game, announced to every copy that connects.
    std::int32_t Version = 0;
    // The patch program served to copies older than Version.
    std::filesystem::path Patch;
    // The leader's board (an SQLite file).
    std::filesystem::path Board;
    // The board is the default one in the data folder, whose folders are
    // made when missing; a board given on the command line must be in a
    // folder that exists.
    bool MakeBoardFolder = false;
    // The address every port listens on; empty for every address of the
    // machine.
    std::string Listen;
};

struct CommandLine {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Error;
    ServerOptions options;   // for Run
    std::string message;     // for Error: what is wrong, one line
};

// Reads an environment variable; nothing when it is not set.
using Environment = std::function<std::optional<std::string>(const char* name)>;
Environment ProcessEnvironment();

// `arguments` without the program's name. Both "--name value" and
// "--name=value" are read.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments, const Environment& environment);

// The leader's board's file when --board is not given: in the user's data
// folder ($XDG_DATA_HOME, else ~/.local/share), trotwick/leaders-board.sqlite.
// Nothing when neither variable is set.
std::optional<std::filesystem::path> DefaultBoardPath(const Environment& environment);

// What --help prints, and what follows an error.
std::string HelpText(std::string_view program);

}  // namespace server
