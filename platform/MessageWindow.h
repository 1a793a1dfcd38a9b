#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

// Our stand-in for a hidden window that receives posted messages: socket
// notifications and finished host-name lookups are posted to it and reach its
// window procedure later, from Qt's event loop, one at a time and in the order
// they were posted. Never inside the call that posted them (a poster that is
// itself called from the event loop may have its message delivered at once,
// see DeliverOrPost).
namespace platform {

class MessageWindow final : public QObject {
public:
    // The window procedure: message number, wParam, lParam.
    using Procedure = std::function<void(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam)>;
    // Asked just before delivery; false drops the message. Lets the poster
    // withdraw a message that has become stale while it waited in the queue
    // (a socket closed since, a lookup cancelled).
    using Admission = std::function<bool()>;

    MessageWindow();
    ~MessageWindow() override;

    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Installs the window procedure; an empty one switches delivery off (the
    // messages still queued are then dropped when their turn comes).
    void SetProcedure(Procedure procedure);

    // Queues a message for the window procedure.
    void PostMessage(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, Admission admit = {});

    // For a poster that runs straight from the event loop (a socket's
    // readiness), never from inside a call of the program: hands the message
    // to the procedure at once when that changes nothing in the order (no
    // message waits in the queue and the procedure is not running), which
    // saves the message a trip round the event loop; otherwise queues it.
    void DeliverOrPost(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, Admission admit = {});

    // Destroys the window. Safe from inside its own procedure: the window
    // then stops delivering at once and is deleted once control is back in
    // the event loop. The pointer must not be used afterwards.
    void Destroy();

    // A number no other window of this run has had, to tell windows apart.
    std::uint64_t Serial() const noexcept { return serial_; }

protected:
    bool event(QEvent* e) override;

private:
    void Deliver(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, const Admission& admit);

    Procedure procedure_;
    std::uint64_t serial_;
    int dispatchDepth_ = 0;
    int queued_ = 0;  // posted and not yet delivered or dropped
    bool destroyed_ = false;
};

}  // namespace platform
