#include "platform/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <utility>

namespace platform {

namespace {

QEvent::Type MessageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class MessageEvent final : public QEvent {
public:
    MessageEvent(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, MessageWindow::Admission admit)
        : QEvent(MessageEventType()), msg(msg), wParam(wParam), lParam(lParam), admit(std::move(admit)) {}

    const std::uint32_t msg;
    const std::int32_t wParam;
    const std::int32_t lParam;
    const MessageWindow::Admission admit;
};

std::uint64_t NextWindowSerial() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

}  // namespace

MessageWindow::MessageWindow() : serial_(NextWindowSerial()) {}

MessageWindow::~MessageWindow() = default;

void MessageWindow::SetProcedure(Procedure procedure) { procedure_ = std::move(procedure); }

void MessageWindow::PostMessage(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, Admission admit) {
    if (destroyed_) return;
    // Posted events to one receiver are delivered in the order posted.
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam, std::move(admit)));
    ++queued_;
}

void MessageWindow::DeliverOrPost(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, Admission admit) {
    if (destroyed_) return;
    if (queued_ > 0 || dispatchDepth_ > 0 || !procedure_) {
        PostMessage(msg, wParam, lParam, std::move(admit));
        return;
    }
    Deliver(msg, wParam, lParam, admit);
}

void MessageWindow::Destroy() {
    destroyed_ = true;
    procedure_ = nullptr;
    // Deleting an object inside its own event handler is not safe; the
    // window waits for the event loop then.
    if (dispatchDepth_ > 0) {
        deleteLater();
    } else {
        delete this;
    }
}

bool MessageWindow::event(QEvent* e) {
    if (e->type() != MessageEventType()) return QObject::event(e);
    --queued_;
    auto* message = static_cast<MessageEvent*>(e);
    if (destroyed_ || !procedure_) return true;
    Deliver(message->msg, message->wParam, message->lParam, message->admit);
    return true;
}

void MessageWindow::Deliver(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam, const Admission& admit) {
    ++dispatchDepth_;
    // Nothing may be thrown into Qt's event loop.
    try {
        if (!admit || admit()) {
            // A copy: the procedure may replace itself while it runs.
            const Procedure procedure = procedure_;
            if (procedure) procedure(msg, wParam, lParam);
        }
    } catch (...) {
    }
    --dispatchDepth_;
}

}  // namespace platform
