#include "platform/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/Colours.h"

namespace platform {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetBackColor(std::uint32_t bgr) {
    backColor_ = bgr;
    if (!canvas_.isNull()) canvas_.fill(FromBgr(bgr));
    update();
}

QImage& PictureBox::Canvas() {
    GrowCanvas();
    return canvas_;
}

void PictureBox::Refresh() { repaint(); }

void PictureBox::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureBox::GrowCanvas() {
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (!canvas_.isNull() && canvas_.width() >= wanted.width() && canvas_.height() >= wanted.height()) return;
    QImage grown(wanted.expandedTo(canvas_.size()), QImage::Format_RGB32);
    grown.fill(FromBgr(backColor_));
    if (!canvas_.isNull()) {
        QPainter painter(&grown);
        painter.drawImage(0, 0, canvas_);
    }
    canvas_ = std::move(grown);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (canvas_.isNull()) {
        painter.fillRect(rect(), FromBgr(backColor_));
    } else {
        painter.fillRect(rect(), FromBgr(backColor_));
        painter.drawImage(0, 0, canvas_);
    }
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!canvas_.isNull()) GrowCanvas();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit DblClick();
}

}  // namespace platform
