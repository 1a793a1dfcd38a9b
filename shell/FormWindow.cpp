#include "shell/FormWindow.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "platform/Twips.h"

namespace shell {

void CentreOverOwner(QWidget& window) {
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    QScreen* screen = owner && owner->isVisible() ? owner->screen() : window.screen();
    if (!screen) return;
    const QRect desk = screen->availableGeometry();
    QSize size = window.frameGeometry().size();
    // A window never shown has no frame yet: it will get one like its owner's.
    if (!window.testAttribute(Qt::WA_WState_Created) && owner && owner->isVisible()) {
        size += owner->frameGeometry().size() - owner->size();
    }
    QRect frame(QPoint(0, 0), size);
    frame.moveCenter(owner && owner->isVisible() ? owner->frameGeometry().center() : desk.center());
    // Wholly on the screen, the title bar first when it is too small.
    frame.moveLeft(std::max(desk.left(), std::min(frame.left(), desk.right() - frame.width() + 1)));
    frame.moveTop(std::max(desk.top(), std::min(frame.top(), desk.bottom() - frame.height() + 1)));
    window.move(frame.topLeft());
}

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

void FormWindow::CloseOnEscape() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void FormWindow::showEvent(QShowEvent* event) {
    // Once: a window the player has moved stays where it was put.
    if (!placed_) {
        placed_ = true;
        CentreOverOwner(*this);
    }
    platform::PictureBox::showEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    platform::PictureBox::closeEvent(event);
    if (event->isAccepted()) emit Unloaded();
}

}  // namespace shell
