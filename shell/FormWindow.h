#pragma once

#include <QPointer>
#include <QString>
#include <functional>

#include "platform/PictureBox.h"

class QCloseEvent;

namespace shell {

// Places a small window (not yet shown) centred over its owner's window, or
// over the screen when the owner is hidden, and wholly on that screen.
void CentreOverOwner(QWidget& window);

// One of the game's small windows: a top-level window over its owner whose
// client area is a picture box (so a painted gradient stays as its
// background), of a fixed size in twips. It opens centred over its owner.
// Closing it unloads it: it is deleted, and Unloaded is raised first.
class FormWindow : public platform::PictureBox {
    Q_OBJECT
public:
    FormWindow(QWidget* owner, const char* name, const QString& caption, double widthTwips, double heightTwips);

    // Escape closes the window as its close box does (a window that is kept
    // loaded only hides). Each window that may go so easily asks for it; one
    // whose closing gives something up (the elite horse) does not.
    void CloseOnEscape();

signals:
    void Unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool placed_ = false;
};

// A window that exists at most once: Show loads it if it is not loaded and
// brings it to the front; once closed, the next Show loads it afresh.
template <class Window>
class SingleInstance {
public:
    explicit SingleInstance(std::function<Window*()> load) : load_(std::move(load)) {}

    Window* Show() {
        if (!window_) {
            window_ = load_();
            Window* loaded = window_;
            QObject::connect(loaded, &FormWindow::Unloaded, loaded, [this, loaded] {
                if (window_ == loaded) window_ = nullptr;
            });
        }
        window_->show();
        window_->raise();
        window_->activateWindow();
        return window_;
    }

    // The loaded window, or null.
    Window* Loaded() const { return window_; }

private:
    std::function<Window*()> load_;
    QPointer<Window> window_;
};

}  // namespace shell
