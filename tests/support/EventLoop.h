#pragma once

#include <functional>

// Running Qt's event loop from a test, the way the game runs it: socket
// notifications and timers are delivered only while the loop runs.
namespace testing_support {

// Runs the event loop until `done` holds (checked every few milliseconds)
// or `timeoutMs` have passed. Returns whether `done` held.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the event loop for `ms` milliseconds. Nothing but one timer of its
// own wakes it, so a spinning notifier shows up as CPU time.
void RunFor(int ms);

// CPU time this process has used so far (user and system), in seconds.
double ProcessCpuSeconds();

}  // namespace testing_support
