#pragma once

#include <QMimeData>
#include <QPlainTextEdit>

namespace platform {

// A multi-line text box that takes a paste or a drop only when there is
// something in it. While nothing has been copied, the X11 clipboard offers a
// source without a single format, and Debian 12's Qt 6.4 reads the first of
// its formats without looking: Ctrl+V, Shift+Insert or the middle button
// would end the game on the spot. Every multi-line box of the game is one of
// these (a rich-text box would be a PasteGuarded<QTextEdit>).
template <class Box>
class PasteGuarded : public Box {
public:
    using Box::Box;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return HoldsSomething(source) && Box::canInsertFromMimeData(source);
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (HoldsSomething(source)) Box::insertFromMimeData(source);
    }

private:
    static bool HoldsSomething(const QMimeData* source) { return source && !source->formats().isEmpty(); }
};

using PlainTextBox = PasteGuarded<QPlainTextEdit>;

}  // namespace platform
