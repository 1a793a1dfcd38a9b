// The server's command line: what it runs with, and a clear word for every
// mistake.
#include <gtest/gtest.h>

#include <map>

#include "server/CommandLine.h"

using server::CommandLine;
using server::ParseCommandLine;

namespace {

server::Environment Env(std::map<std::string, std::string> variables) {
    return [variables](const char* name) -> std::optional<std::string> {
        const auto it = variables.find(name);
        if (it == variables.end()) return std::nullopt;
        return it->second;
    };
}

const server::Environment kHome = Env({{"HOME", "/home/ann"}});

TEST(CommandLine, RunsWithAVersionAndAPatch) {
    const CommandLine c = ParseCommandLine({"--version", "30", "--patch", "Patch.exe"}, kHome);
    ASSERT_EQ(c.kind, CommandLine::Kind::Run) << c.message;
    EXPECT_EQ(c.options.Version, 30);
    EXPECT_EQ(c.options.Patch, "Patch.exe");
    EXPECT_EQ(c.options.Board, "/home/ann/.local/share/trotwick/leaders-board.sqlite");
    EXPECT_TRUE(c.options.MakeBoardFolder);
    EXPECT_EQ(c.options.Listen, "") << "every address of the machine";
}

TEST(CommandLine, TakesEveryOptionInEitherForm) {
    const CommandLine c = ParseCommandLine(
        {"--listen=192.168.0.2", "--board", "/srv/board.sqlite", "--patch=/srv/Patch.exe", "--version=2147483647"},
        kHome);
    ASSERT_EQ(c.kind, CommandLine::Kind::Run) << c.message;
    EXPECT_EQ(c.options.Version, 2147483647);
    EXPECT_EQ(c.options.Patch, "/srv/Patch.exe");
    EXPECT_EQ(c.options.Board, "/srv/board.sqlite");
    EXPECT_FALSE(c.options.MakeBoardFolder) << "a board named on the command line goes where it is told";
    EXPECT_EQ(c.options.Listen, "192.168.0.2");
}

TEST(CommandLine, HelpWinsOverWhatIsMissing) {
    EXPECT_EQ(ParseCommandLine({"--help"}, kHome).kind, CommandLine::Kind::Help);
    EXPECT_EQ(ParseCommandLine({"--version", "3", "-h"}, kHome).kind, CommandLine::Kind::Help);
    EXPECT_NE(server::HelpText("trotwick-server").find("--patch FILE"), std::string::npos);
}

TEST(CommandLine, EveryMistakeIsNamed) {
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const Case cases[] = {
        {{}, "--version is missing"},
        {{"--version", "30"}, "--patch is missing"},
        {{"--patch", "p"}, "--version is missing"},
        {{"--version", "3x", "--patch", "p"}, "not '3x'"},
        {{"--version", "-1", "--patch", "p"}, "not '-1'"},
        {{"--version", "2147483648", "--patch", "p"}, "not '2147483648'"},
        {{"--version", " 30", "--patch", "p"}, "not ' 30'"},
        {{"--version", "30", "--patch"}, "--patch needs a value"},
        {{"--version", "30", "--patch="}, "--patch needs a value"},
        {{"--version", "30", "--patch", "p", "--patch", "q"}, "--patch is given twice"},
        {{"--version", "30", "--patch", "p", "--port", "1"}, "unknown option '--port'"},
        {{"30"}, "unknown option '30'"},
    };
    for (const Case& c : cases) {
        const CommandLine result = ParseCommandLine(c.arguments, kHome);
        EXPECT_EQ(result.kind, CommandLine::Kind::Error) << c.says;
        EXPECT_NE(result.message.find(c.says), std::string::npos) << result.message;
    }
}

TEST(CommandLine, TheDefaultBoardFollowsTheDataFolder) {
    struct Case {
        std::map<std::string, std::string> environment;
        std::optional<std::string> board;
    };
    const Case cases[] = {
        {{{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/ann"}}, "/data/trotwick/leaders-board.sqlite"},
        {{{"XDG_DATA_HOME", ""}, {"HOME", "/home/ann"}}, "/home/ann/.local/share/trotwick/leaders-board.sqlite"},
        {{{"XDG_DATA_HOME", "relative/data"}, {"HOME", "/h"}}, "/h/.local/share/trotwick/leaders-board.sqlite"},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto path = server::DefaultBoardPath(Env(c.environment));
        EXPECT_EQ(path ? std::optional<std::string>(path->string()) : std::nullopt, c.board);
    }
    const CommandLine homeless = ParseCommandLine({"--version", "1", "--patch", "p"}, Env({}));
    EXPECT_EQ(homeless.kind, CommandLine::Kind::Error);
    EXPECT_NE(homeless.message.find("--board is missing"), std::string::npos);
    EXPECT_EQ(ParseCommandLine({"--version", "1", "--patch", "p", "--board", "b"}, Env({})).kind,
              CommandLine::Kind::Run);
}

}  // namespace
