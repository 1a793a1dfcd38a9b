#pragma once

#include <QLineEdit>

namespace shell {

// The main window's notice line: a one-line box that shows a notice from its
// beginning, whole where it fits. A longer one shows as much of its start as
// fits, ending in "…", and the whole text stays the box's (text() and the
// tool tip).
class NoticeLine : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace shell
