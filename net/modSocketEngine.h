#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Winsock.h"

// What all socket objects of the process share: Winsock's start-up and
// clean-up, counted per socket object; the hidden window that Winsock posts
// every socket event and every finished name lookup to; the routing of those
// messages, by handle, to the socket object that owns the socket or the
// lookup; the registry of accepted connections waiting to be taken over; the
// Winsock error texts; and small conversions. Only the socket class uses it
// (tests inspect it).
//
// Owners are held as weak references: a routing entry that outlives its
// owner reaches nobody, and an owner reached is kept alive for the call.
namespace net {
class CSocketEngine;
}

namespace net::modSocketEngine {

// The hidden window's messages and the events every socket asks for.
inline constexpr std::uint32_t kHostResolvedMessage = 0x800;  // wParam task, lParam high word error
inline constexpr std::uint32_t kSocketMessage = 0x801;        // wParam socket, lParam event | error << 16
inline constexpr std::int32_t kSelectEvents = 0x3B;           // READ | WRITE | ACCEPT | CONNECT | CLOSE

using Owner = std::weak_ptr<CSocketEngine>;

std::int32_t InitiateProcesses();
std::int32_t FinalizeProcesses();

// "Unknown error." for a code the table does not hold.
std::string GetErrorDescription(std::int32_t code);

// Starts a host-name lookup that reports to the hidden window; the entry is
// written into `buffer`. The task handle, 0 on failure (see
// platform::ws::WSAGetLastError).
std::int32_t ResolveHost(const std::string& host, std::shared_ptr<platform::ws::HostEnt> buffer, Owner owner);

bool RegisterSocket(std::int32_t handle, Owner owner, bool selectEvents);
void UnregisterSocket(std::int32_t handle);
bool IsSocketRegistered(std::int32_t handle);
void UnregisterResolution(std::int32_t handle);
void ChangeSocketOwner(std::int32_t handle, Owner owner);

// Accepted connections: a holder object keeps each one until a listener's
// owner takes it over with Accept.
void RegisterAccept(std::int32_t handle);
bool IsAcceptRegistered(std::int32_t handle);
void UnregisterAccept(std::int32_t handle);
std::shared_ptr<CSocketEngine> GetAcceptClass(std::int32_t handle);

std::int32_t HiWord(std::int32_t value);
std::int32_t LoWord(std::int32_t value);
// The text at a NUL-terminated pointer, "" for a null pointer.
std::string StringFromPointer(const char* text);
// Port numbers 0..65535 as 16-bit values and back; outside that range
// UnsignedToInteger raises error 6, "Overflow".
std::int16_t UnsignedToInteger(std::int32_t value);
std::int32_t IntegerToUnsigned(std::int16_t value);

// The hidden window's procedure: routes one message to its owner at once.
// Tests inject notifications through it (or queue them with
// PostNotification, delivered like Winsock's own).
void WindowProc(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam);
// Queues a message on the hidden window; false when there is no window.
bool PostNotification(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam);

// For tests: the module's state.
struct Snapshot {
    int instances = 0;
    bool started = false;
    bool window = false;
    std::uint64_t windowSerial = 0;  // tells one window from the next
    int socketEntries = 0;           // n of the socket routing table
    int lookupEntries = 0;           // n of the lookup routing table
    int socketRoutes = 0;            // entries in use
    int lookupRoutes = 0;
    int registeredSockets = 0;
    int waitingAccepts = 0;
};
Snapshot Inspect();

}  // namespace net::modSocketEngine
