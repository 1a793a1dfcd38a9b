#include "shell/PanelControls.h"

#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/Colours.h"
#include "platform/GameTextValidator.h"
#include "platform/PictureBox.h"
#include "platform/Twips.h"
#include "resources/Pictures.h"
#include "savegame/modRegistry.h"

namespace shell {

using platform::PlaceTwips;

std::string IndexedName(const char* name, int index) {
    return std::string(name) + "(" + std::to_string(index) + ")";
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, double left, double top,
                        double width, double height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    PlaceTwips(button, left, top, width, height);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, double left, double top, double width,
                  double height) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setAttribute(Qt::WA_TranslucentBackground);
    PlaceTwips(label, left, top, width, height);
    return label;
}

QLabel* MakeStatusLine(QWidget* parent, const char* name, double left, double top, double width, double height) {
    QLabel* status = MakeLabel(parent, name, QString(), left, top, width, height);
    status->setAlignment(Qt::AlignCenter);
    status->setWordWrap(true);
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);
    return status;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QString& text, double left, double top,
                       double width, double height) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    platform::GameTextValidator::Guard(*box);
    PlaceTwips(box, left, top, width, height);
    return box;
}

void LimitToSavedLength(QLineEdit& box) { box.setMaxLength(static_cast<int>(savegame::kLongestReadValue)); }

QRadioButton* MakeOption(QWidget* parent, const char* name, const QString& caption, double left, double top,
                         double width, double height) {
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(name);
    option->setAttribute(Qt::WA_TranslucentBackground);
    PlaceTwips(option, left, top, width, height);
    return option;
}

platform::PictureBox* MakePicture(QWidget* parent, const char* name, double left, double top, double width,
                                  double height) {
    auto* box = new platform::PictureBox(parent);
    box->setObjectName(name);
    PlaceTwips(box, left, top, width, height);
    return box;
}

void ShowBitmap(platform::PictureBox& box, int id) {
    const QPixmap bitmap = resources::HorseBitmap(id);
    if (bitmap.isNull()) {
        box.SetPicture(QPixmap());
        return;
    }
    box.SetPicture(bitmap.scaled(box.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void MoveToLeft(QWidget* widget, double leftTwips) { widget->move(platform::Pixels(leftTwips), widget->y()); }

double LeftOnTrack(double left, double finish, double trackWidth, double pictureWidth) {
    if (finish <= 0) return 0;
    return std::clamp(left, 0.0, finish) * (trackWidth - pictureWidth) / finish;
}

void PaintRaceTrack(platform::PictureBox& track, std::uint32_t turfBgr, int lanes, double firstLineTop,
                    double laneHeight, double postLeft) {
    QImage& canvas = track.Canvas();
    canvas.fill(platform::FromBgr(turfBgr));
    QPainter painter(&canvas);
    painter.setPen(QPen(Qt::white, 1));
    for (int line = 0; line <= lanes; ++line) {
        const int y = platform::Pixels(firstLineTop + line * laneHeight);
        painter.drawLine(0, y, track.width(), y);
    }
    const int post = std::min(platform::Pixels(postLeft), track.width()) - 3;
    for (int y = 0; y < track.height(); y += 6) {
        painter.fillRect(post - 3, y, 3, 3, (y / 6) % 2 ? Qt::black : Qt::white);
        painter.fillRect(post, y, 3, 3, (y / 6) % 2 ? Qt::white : Qt::black);
    }
}

}  // namespace shell
