#include "shell/PanelControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/PictureBox.h"
#include "platform/Twips.h"
#include "resources/Pictures.h"
#include "savegame/modRegistry.h"

namespace shell {

using platform::PlaceTwips;

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

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QString& text, double left, double top,
                       double width, double height) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
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

}  // namespace shell
