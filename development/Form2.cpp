#include "development/Form2.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/FormWindow.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace development {

namespace {

constexpr const char* kClose = "CLOSE";

struct SexLook {
    const char* line;
    std::int32_t colour1;
    std::int32_t colour2;
};

constexpr SexLook kBoy = {"(P.S. It's A Boy)", 0xFF8080, 0xFFC0C0};   // blues
constexpr SexLook kGirl = {"(P.S. It's A Girl)", 0x80C0FF, 0xC0E0FF};  // oranges

}  // namespace

Form2::Form2(shell::Form1& form, const FoalTicket& foal)
    : QWidget(&form, Qt::Window), ID(foal.slot), form_(form), foal_(foal) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Congratulations!!!"));
    setFixedSize(platform::Pixels(4800), platform::Pixels(2580));

    Client = shell::MakePicture(this, "Form2Client", 0, 0, 4800, 2580);
    Label1 = shell::MakeLabel(
        Client, "Label1",
        QStringLiteral("Whey!!! You got yourself a new horse - what would you like to call it?"), 120, 120, 4560, 495);
    Label1->setWordWrap(true);
    HorsePic = shell::MakePicture(Client, "HorsePic", 120, 720, 720, 540);
    Label2 = shell::MakeLabel(Client, "Label2", QString(), 1020, 855, 3600, 255);
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    Text1 = shell::MakeTextBox(Client, "Text1", QString(), 120, 1440, 4560, 315);
    shell::LimitToSavedLength(*Text1);
    Command1 = shell::MakeButton(Client, "Command1", QStringLiteral("Okay"), 3360, 1920, 1320, 435);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Form2::Command1_Click);
}

void Form2::LoadUp() {
    shell::CentreOverOwner(*this);
    show();
    const core::HorseRec& foal = form_.Game().OwnedHorse.at(static_cast<std::size_t>(ID));
    HorsePic->SetBackColor(foal.Sex == core::kMale ? kBoy.colour2 : kGirl.colour2);
    shell::ShowBitmap(*HorsePic, foal.Colour);
    const SexLook& look = foal.Sex == core::kMale ? kBoy : kGirl;
    Label2->setText(QString::fromLatin1(look.line));
    shell::ApplyGradient(*Client, 135, look.colour1, look.colour2);
    Text1->setFocus();
}

void Form2::Command1_Click() {
    if (Tag == kClose) return;
    const NamingResult result =
        NameFoal(form_.Game(), *form_.StableTree, foal_, platform::FromQString(Text1->text()));
    if (result == NamingResult::Empty) return;
    Dismiss();
}

void Form2::Dismiss() {
    Tag = kClose;
    close();
}

void Form2::closeEvent(QCloseEvent* event) {
    if (Tag == kClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace development
