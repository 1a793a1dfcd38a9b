#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Winsock.h"

// Stands in for the system's name lookup while it lives: every name resolves
// to 127.0.0.1, the names the lookup worker really looked up are recorded,
// and the name "slow" keeps the worker busy until Release(), as a name whose
// server does not answer would.
namespace testing_support {

class LookupGate {
public:
    LookupGate() {
        // The worker may still be inside the resolver after the gate is
        // gone, so what it touches is shared with it.
        platform::ws::SetLookupResolver([state = state_](std::string_view name) {
            std::unique_lock lock(state->mutex);
            state->looked.emplace_back(name);
            if (name == "slow") state->wake.wait(lock, [&] { return state->released; });
            return std::optional<platform::ws::HostEnt>(
                platform::ws::HostEnt{std::string(name), {htonl(INADDR_LOOPBACK)}});
        });
    }
    ~LookupGate() {
        platform::ws::SetLookupResolver(nullptr);
        Release();
    }
    LookupGate(const LookupGate&) = delete;
    LookupGate& operator=(const LookupGate&) = delete;

    void Release() {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
        state_->wake.notify_all();
    }
    std::vector<std::string> Looked() const {
        std::lock_guard lock(state_->mutex);
        return state_->looked;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::vector<std::string> looked;
        bool released = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace testing_support
