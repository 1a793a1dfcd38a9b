#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LoopClient.h"
#include "server/OnlineServer.h"
#include "tests/support/TempFolder.h"

// The whole server in the test's process, on ports the system chose, with
// a patch file and a board in a fresh folder; its log kept for the test.
namespace server_testing {

struct RecordingLog final : server::ServerLog {
    std::vector<std::string> lines;
    void Write(std::string_view line) override { lines.emplace_back(line); }
    bool Has(std::string_view part) const {
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos) return true;
        }
        return false;
    }
    ~RecordingLog() override {
        if (!::testing::Test::HasFailure()) return;
        for (const auto& l : lines) std::printf("log: %s\n", l.c_str());
    }
};

struct ServerFixture : ::testing::Test {
    testing_support::TempFolder folder;
    RecordingLog log;
    server::ServerOptions options;
    server::ServerTimes times;
    std::unique_ptr<server::OnlineServer> server;

    ServerFixture() {
        options.Version = 30;
        options.Patch = folder / "Patch.exe";
        options.Board = folder / "board.sqlite";
        folder.Write("Patch.exe", "MZ patch");
    }

    void StartServer() {
        server = std::make_unique<server::OnlineServer>(options, server::ServicePorts::Any(), log);
        server->SetTimes(times);
        std::string error;
        ASSERT_TRUE(server->Start(error)) << error;
    }
};

}  // namespace server_testing
