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

// Gives a line that shows only part of its text the whole text as its tool
// tip: as it stands (nothing in it read as markup, so a name such as
// "<b>Star</b>" shows as typed), wrapped where it is wider than a tip may be.
// No tip when the whole text shows.
void ShowWholeTextInTip(QWidget& line, const QString& text, bool shownWhole);

}  // namespace shell
