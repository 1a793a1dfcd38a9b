#include "net/Socket.h"

#include "runtime/Rounding.h"

namespace net {

// Turns the engine's events into the control's signals.
class Socket::Relay final : public SocketEvents {
public:
    explicit Relay(Socket& owner) : owner_(owner) {}
    void CloseSck() override { emit owner_.CloseSckEvent(); }
    void Connect() override { emit owner_.ConnectEvent(); }
    void ConnectionRequest(std::int32_t requestID) override { emit owner_.ConnectionRequest(requestID); }
    void DataArrival(std::int32_t bytesTotal) override { emit owner_.DataArrival(bytesTotal); }
    void Error(int number, std::string& description, std::int32_t scode, const std::string& source,
               const std::string& helpFile, std::int32_t helpContext, bool& cancelDisplay) override {
        emit owner_.Error(number, description, scode, source, helpFile, helpContext, cancelDisplay);
    }
    void SendComplete() override { emit owner_.SendComplete(); }
    void SendProgress(std::int32_t bytesSent, std::int32_t bytesRemaining) override {
        emit owner_.SendProgress(bytesSent, bytesRemaining);
    }

private:
    Socket& owner_;
};

Socket::Socket(QObject* parent)
    : QObject(parent), relay_(std::make_unique<Relay>(*this)), engine_(CSocketEngine::Create()) {
    engine_->SetEvents(relay_.get());
}

Socket::~Socket() {
    // The engine may outlive the control for the rest of a notification it
    // is handling; it raises nothing more from now on.
    engine_->SetEvents(nullptr);
}

void Socket::GetData(std::string& text) {
    Variant data = std::string();
    engine_->GetData(data);
    text = std::get<std::string>(std::move(data));
}

void Socket::PeekData(std::string& text) {
    Variant data = std::string();
    engine_->PeekData(data);
    text = std::get<std::string>(std::move(data));
}

namespace {

std::int32_t LongOf(const Socket::PropertyBag& bag, const char* name) {
    const auto it = bag.find(name);
    if (it == bag.end()) return 0;
    const auto n = NumberOf(it->second);
    return n ? runtime::CLng(*n) : 0;
}

std::string TextOf(const Socket::PropertyBag& bag, const char* name) {
    const auto it = bag.find(name);
    return it == bag.end() ? std::string() : net::TextOf(it->second);
}

}  // namespace

void Socket::ReadProperties(const PropertyBag& bag) {
    LocalPort(LongOf(bag, "LocalPort"));
    Protocol(LongOf(bag, "Protocol"));
    RemoteHost(TextOf(bag, "RemoteHost"));
    RemotePort(LongOf(bag, "RemotePort"));
    Tag(TextOf(bag, "Tag"));
}

void Socket::WriteProperties(PropertyBag& bag) const {
    auto put = [&bag](const char* name, Variant value, bool isDefault) {
        if (isDefault) {
            bag.erase(name);
        } else {
            bag[name] = std::move(value);
        }
    };
    put("LocalPort", LocalPort(), LocalPort() == 0);
    put("Protocol", Protocol(), Protocol() == 0);
    put("RemoteHost", RemoteHost(), RemoteHost().empty());
    put("RemotePort", RemotePort(), RemotePort() == 0);
    put("Tag", Tag(), Tag().empty());
}

}  // namespace net
