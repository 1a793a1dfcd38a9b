#pragma once

#include <QLabel>

namespace shell {

// A one-line label that keeps its whole text (text() and the tool tip) but
// shows what does not fit its width ending in "…", instead of cutting the
// last letters off mid-word.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace shell
