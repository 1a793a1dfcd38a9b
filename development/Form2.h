#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "development/Breeding.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class PictureBox;
}
namespace shell {
class Form1;
}

namespace development {

// The foal window "Congratulations!!!": one per delivered foal, showing its
// coat and sex and asking for its name. It cannot be closed before the foal
// is named.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(shell::Form1& form, const FoalTicket& foal);

    // Shows the window with the foal's coat, its sex line and the background
    // of its sex.
    void LoadUp();
    // "Okay": names the foal, adds it to the stable tree and closes.
    void Command1_Click();
    // Closes the window without naming anything (its foal is gone).
    void Dismiss();

    std::int32_t ID = 0;  // the foal's stable slot
    // The window's index among the foal windows; "CLOSE" lets it close.
    std::string Tag;

    platform::PictureBox* Client = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    platform::PictureBox* HorsePic = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    // The close guard: any close but the window's own is refused.
    void closeEvent(QCloseEvent* event) override;

private:
    shell::Form1& form_;
    FoalTicket foal_;
};

}  // namespace development
