#pragma once

#include <cstdint>
#include <string>

// The errors the socket class raises: a number, "CSocketEngine." and the
// operation as the source, and the description.
namespace net::socket_errors {

inline constexpr const char* kInvalidState = "Invalid operation at current state";
inline constexpr const char* kOutOfRange =
    "The argument passed to a function was not in the correct format or in the specified range.";
inline constexpr const char* kUnsupportedType = "Unsupported variant type.";
inline constexpr const char* kInvalidArgument = "Invalid argument";
inline constexpr const char* kWrongState =
    "Wrong protocol or connection state for the requested transaction or request";

[[noreturn]] void RaiseInvalidState(const std::string& operation);    // 40020
[[noreturn]] void RaiseOutOfRange(const std::string& operation);      // 40014
[[noreturn]] void RaiseUnsupportedType(const std::string& operation); // 40018
[[noreturn]] void RaiseWrongState(const std::string& operation);      // 40006
// A Winsock code with its text.
[[noreturn]] void RaiseWinsock(int code, const std::string& operation);
// The calling thread's last Winsock error with its text.
[[noreturn]] void RaiseLastError(const std::string& operation);

}  // namespace net::socket_errors
