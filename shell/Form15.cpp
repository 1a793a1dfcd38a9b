#include "shell/Form15.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "resources/Pictures.h"

namespace shell {

Form15::Form15(std::function<void()> showMainWindow, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), showMainWindow_(std::move(showMainWindow)) {
    setObjectName("Form15");
    setWindowTitle(QStringLiteral("Trotwick"));
    const QPixmap picture = resources::SplashPicture();
    Picture1 = new platform::PictureBox(this);
    Picture1->setObjectName("Picture1");
    Picture1->SetPicture(picture);
    Picture1->setGeometry(0, 0, picture.width(), picture.height());
    // Clicks on the picture are clicks on the splash.
    Picture1->setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(picture.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    timer1_ = new platform::Timer(QStringLiteral("Timer1"), 2000, this);
    connect(timer1_, &platform::Timer::Tick, this, &Form15::Timer1_Timer);
    timer1_->SetEnabled(true);
}

Form15::~Form15() = default;

bool Form15::StartGame() {
    if (done_) return false;
    done_ = true;
    timer1_->SetEnabled(false);
    if (showMainWindow_) showMainWindow_();
    return true;
}

void Form15::Timer1_Timer() {
    if (StartGame()) close();
}

void Form15::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    Timer1_Timer();
}

void Form15::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: Timer1_Timer(); return;
        default: QWidget::keyPressEvent(event);
    }
}

void Form15::closeEvent(QCloseEvent* event) {
    // Closed before its time (by the window manager, say): the game starts
    // now rather than never.
    StartGame();
    event->accept();
}

}  // namespace shell
