#include "net/SocketErrors.h"

#include "net/modSocketEngine.h"
#include "platform/Winsock.h"
#include "runtime/Error.h"

namespace net::socket_errors {

namespace {

[[noreturn]] void Throw(std::int32_t number, const std::string& operation, std::string description) {
    throw runtime::Error(number, "CSocketEngine." + operation, std::move(description));
}

}  // namespace

void RaiseInvalidState(const std::string& operation) { Throw(40020, operation, kInvalidState); }
void RaiseOutOfRange(const std::string& operation) { Throw(40014, operation, kOutOfRange); }
void RaiseUnsupportedType(const std::string& operation) { Throw(40018, operation, kUnsupportedType); }
void RaiseWrongState(const std::string& operation) { Throw(40006, operation, kWrongState); }

void RaiseWinsock(int code, const std::string& operation) {
    Throw(code, operation, modSocketEngine::GetErrorDescription(code));
}

void RaiseLastError(const std::string& operation) { RaiseWinsock(platform::ws::WSAGetLastError(), operation); }

}  // namespace net::socket_errors
