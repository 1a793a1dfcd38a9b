#pragma once

#include <string>

#include "shell/FormWindow.h"

namespace online {

// A window that lives for the whole run: closing it only hides it, so what
// it holds (a chat log, a message being written) is there at the next
// opening. It closes for good only once its Tag says so, which the end of
// the program may set.
class KeptWindow : public shell::FormWindow {
    Q_OBJECT
public:
    KeptWindow(QWidget* owner, const char* name, const QString& caption, double widthTwips, double heightTwips,
               std::string closingTag);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::string closingTag_;
};

}  // namespace online
