#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <string>

namespace platform {

// A picture box: a plain area with a back colour, an optional picture at its
// top-left corner, and a drawing surface that keeps what was drawn on it (a
// painted gradient stays as the background until something is drawn over it).
// Every window's client area and every panel of the main window is one.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void SetBackColor(std::uint32_t bgr);
    std::uint32_t BackColor() const { return backColor_; }

    // The persistent drawing surface, as large as the client area. Drawing on
    // it shows at the next Refresh().
    QImage& Canvas();
    bool HasCanvas() const { return !canvas_.isNull(); }
    void Refresh();

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

    // Free text for the window's own bookkeeping, as a control's Tag.
    std::string Tag;

signals:
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void GrowCanvas();

    std::uint32_t backColor_ = 0xC0C0C0;
    QImage canvas_;
    QPixmap picture_;
};

}  // namespace platform
