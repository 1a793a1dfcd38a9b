#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/online/TransferFixtures.h"
#include "tests/support/RawSocket.h"

// The serving end of a file transfer written plainly over a blocking socket
// on its own thread, so the code under test runs its event loop meanwhile.
// It serves one connection as the protocol has it and records every message
// each way; a plan makes it cut blocks in two, or drop the line.
namespace testing_support {

struct ServePlan {
    std::string file;
    std::size_t blockSize = 1024;
    // Each block in two writes with a pause between them.
    bool splitBlocks = false;
    int pauseMs = 60;
    // Drops the connection after this many blocks (-1: never).
    int dropAfterBlocks = -1;
    // Sends half of this block (counted from 1) and closes in order (-1:
    // never).
    int closeInBlock = -1;
};

class ScriptedFileServer {
public:
    ScriptedFileServer() : listener_(RawSocket::Listen()) {}
    ~ScriptedFileServer() { Join(); }
    ScriptedFileServer(const ScriptedFileServer&) = delete;
    ScriptedFileServer& operator=(const ScriptedFileServer&) = delete;

    std::uint16_t Port() const { return listener_.Port(); }

    // Accepts one connection on its thread and serves the plan.
    void Serve(ServePlan plan) {
        thread_ = std::thread([this, plan = std::move(plan)] { Run(plan); });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool Done() const { return done_; }

    // Whole messages the receiver sent, and what was sent to it (a split
    // block counts once). Call after Join().
    const std::vector<std::string>& Received() const { return received_; }
    const std::vector<std::string>& Sent() const { return sent_; }

private:
    void Run(const ServePlan& plan) {
        RawSocket line = listener_.Accept(5000);
        if (line.Valid()) Converse(line, plan);
        done_ = true;
    }

    void Converse(RawSocket& line, const ServePlan& plan) {
        const std::string request = line.ReceiveExactly(5);
        received_.push_back(request);
        if (request != "FILE?") return;
        int sentBlocks = 0;
        for (const std::string& block : TransferBlocksOf(plan.file, plan.blockSize)) {
            if (sentBlocks + 1 == plan.closeInBlock) {
                line.SendAll(std::string_view(block).substr(0, block.size() / 2));
                line.Close();
                return;
            }
            if (plan.splitBlocks && block.size() > 1) {
                line.SendAll(std::string_view(block).substr(0, block.size() / 2));
                std::this_thread::sleep_for(std::chrono::milliseconds(plan.pauseMs));
                line.SendAll(std::string_view(block).substr(block.size() / 2));
            } else {
                line.SendAll(block);
            }
            sent_.push_back(block);
            if (++sentBlocks == plan.dropAfterBlocks) {
                line.Reset();
                return;
            }
            if (block.compare(0, 2, "F:") == 0) break;
            const std::string answer = line.ReceiveExactly(2);
            received_.push_back(answer);
            if (answer != "N!") return;
        }
        // Nothing more is expected after the last block.
        const std::string extra = line.ReceiveSome(300);
        if (!extra.empty()) received_.push_back(extra);
    }

    RawSocket listener_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::vector<std::string> received_;
    std::vector<std::string> sent_;
};

}  // namespace testing_support
