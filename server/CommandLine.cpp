#include "server/CommandLine.h"

#include <charconv>
#include <cstdlib>

namespace server {

namespace {

// A plain whole number from 0 to 2147483647, digits only: the game reads
// the announced version as a 32-bit whole number.
std::optional<std::int32_t> ParseVersion(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

CommandLine Failure(std::string message) {
    CommandLine result;
    result.kind = CommandLine::Kind::Error;
    result.message = std::move(message);
    return result;
}

}  // namespace

Environment ProcessEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
}

std::optional<std::filesystem::path> DefaultBoardPath(const Environment& environment) {
    std::filesystem::path data;
    // An empty or relative XDG_DATA_HOME is to be ignored.
    if (const auto xdg = environment("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
        data = *xdg;
    } else if (const auto home = environment("HOME"); home && !home->empty()) {
        data = std::filesystem::path(*home) / ".local" / "share";
    } else {
        return std::nullopt;
    }
    return data / "trotwick" / "leaders-board.sqlite";
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments, const Environment& environment) {
    std::optional<std::string> version, patch, board, listen;
    const auto slotOf = [&](std::string_view name) -> std::optional<std::string>* {
        if (name == "--version") return &version;
        if (name == "--patch") return &patch;
        if (name == "--board") return &board;
        if (name == "--listen") return &listen;
        return nullptr;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "-h") {
            CommandLine help;
            help.kind = CommandLine::Kind::Help;
            return help;
        }
        std::optional<std::string>* slot = slotOf(name);
        if (slot == nullptr) return Failure("unknown option '" + arguments[i] + "'");
        if (!value) {
            if (i + 1 >= arguments.size()) return Failure(name + " needs a value");
            value = arguments[++i];
        }
        if (value->empty()) return Failure(name + " needs a value");
        if (slot->has_value()) return Failure(name + " is given twice");
        *slot = std::move(value);
    }

    if (!version) return Failure("--version is missing: the newest version number of the game");
    const auto number = ParseVersion(*version);
    if (!number) return Failure("--version needs a whole number from 0 to 2147483647, not '" + *version + "'");
    if (!patch) return Failure("--patch is missing: the patch program that older copies download");

    CommandLine result;
    result.kind = CommandLine::Kind::Run;
    result.options.Version = *number;
    result.options.Patch = *patch;
    result.options.Listen = listen.value_or("");
    if (board) {
        result.options.Board = *board;
    } else if (const auto path = DefaultBoardPath(environment)) {
        result.options.Board = *path;
        result.options.MakeBoardFolder = true;
    } else {
        return Failure("--board is missing, and neither XDG_DATA_HOME nor HOME is set to find the data folder");
    }
    return result;
}

std::string HelpText(std::string_view program) {
    std::string text;
    text += "Usage: ";
    text += program;
    text += " --version N --patch FILE [--board FILE] [--listen ADDRESS]\n";
    text += R"(
Runs Trotwick's online services for a LAN party or a club: the live update,
the leader's board and the chat.

  --version N        the newest version of the game; older copies download
                     the patch program
  --patch FILE       the patch program older copies download
  --board FILE       the leader's board (SQLite); by default
                     $XDG_DATA_HOME/trotwick/leaders-board.sqlite
                     (~/.local/share/trotwick/leaders-board.sqlite)
  --listen ADDRESS   listen on this address of the machine only; by default
                     on every address
  --help             show this text

Ports (TCP): 2094 version check, 7812 patch download, 5917 leader's board,
3113 chat. It logs to standard error and stops on SIGTERM or Ctrl+C.
)";
    return text;
}

}  // namespace server
