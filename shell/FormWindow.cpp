#include "shell/FormWindow.h"

#include <QCloseEvent>

#include "platform/Twips.h"

namespace shell {

FormWindow::FormWindow(QWidget* owner, const char* name, const QString& caption, double widthTwips,
                       double heightTwips)
    : platform::PictureBox(owner) {
    // A window of its own that stays over the main window.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(name);
    setWindowTitle(caption);
    setFixedSize(platform::Pixels(widthTwips), platform::Pixels(heightTwips));
}

void FormWindow::closeEvent(QCloseEvent* event) {
    platform::PictureBox::closeEvent(event);
    if (event->isAccepted()) emit Unloaded();
}

}  // namespace shell
