#pragma once

#include <functional>

// Running Qt's event loop from a test, the way the game runs it: socket
// notifications and timers are delivered only while the loop runs.
namespace testing_support {

// Runs the event loop until `done` holds (checked every few milliseconds)
// or `timeoutMs` have passed. Returns whether `done` held.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the event loop for `ms` milliseconds.
void RunFor(int ms);

// Runs the event loop for `ms` milliseconds and returns how many socket
// notifier activations it delivered: 0 when every watched socket is idle,
// many when a notifier keeps firing on a readiness nobody acts on.
int SocketActivationsDuring(int ms);

}  // namespace testing_support
