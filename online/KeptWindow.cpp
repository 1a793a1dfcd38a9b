#include "online/KeptWindow.h"

#include <QCloseEvent>

namespace online {

KeptWindow::KeptWindow(QWidget* owner, const char* name, const QString& caption, double widthTwips,
                       double heightTwips, std::string closingTag)
    : shell::FormWindow(owner, name, caption, widthTwips, heightTwips), closingTag_(std::move(closingTag)) {}

void KeptWindow::closeEvent(QCloseEvent* event) {
    if (Tag != closingTag_) {
        event->ignore();
        hide();
        return;
    }
    shell::FormWindow::closeEvent(event);
}

}  // namespace online
