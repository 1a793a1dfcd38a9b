#include "shell/Form5.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "platform/QtText.h"
#include "platform/Twips.h"

namespace shell {

using platform::PlaceTwips;

const char* const kAboutParagraph =
    "Trotwick is a horse racing game published by Kestrane Central. The latest copy of the game can be "
    "downloaded free of charge from the Kestrane Central website. If you have a question about the game "
    "or run into a problem, ask Kestrane Central support through the help pages of the same website.";

Form5::Form5(QWidget* owner) : FormWindow(owner, "Form5", QStringLiteral("About"), 5655, 3135) {
    SetBackColor(0xFFFFFF);

    Label1 = new QLabel(QStringLiteral("Trotwick"), this);
    Label1->setObjectName("Label1");
    QFont title = Label1->font();
    title.setPointSize(22);
    title.setBold(true);
    Label1->setFont(title);
    PlaceTwips(Label1, 240, 180, 5175, 615);

    Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    PlaceTwips(Line1, 240, 840, 5175, 30);

    Label2 = new QLabel(platform::ToQString(kAboutParagraph), this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(Label2, 240, 990, 5175, 1455);

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    PlaceTwips(Command1, 4080, 2580, 1335, 375);
    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);

    CloseOnEscape();
    Form_Load();
}

void Form5::Command1_Click() { close(); }

}  // namespace shell
