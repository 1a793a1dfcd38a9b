#include "shell/Form12.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/GradientRect.h"
#include "shell/HelpTexts.h"

namespace shell {

using platform::PlaceTwips;

namespace {

// Every page of the stack (the prompt and the seven texts) has this place.
constexpr double kPageLeft = 2295, kPageTop = 120, kPageWidth = 6135, kPageHeight = 3735;

// The buttons' handlers, in the order of the topics.
constexpr std::array<void (Form12::*)(), 7> kHandlers = {
    &Form12::Command1_Click, &Form12::Command2_Click, &Form12::Command3_Click, &Form12::Command4_Click,
    &Form12::Command5_Click, &Form12::Command6_Click, &Form12::Command9_Click,
};

}  // namespace

Form12::Form12(QWidget* owner) : FormWindow(owner, "Form12", QStringLiteral("Help Files"), 8550, 3975) {
    SetBackColor(0xE0E0E0);
    for (std::size_t i = 0; i < kHelpTopics.size(); ++i) {
        const HelpTopic& topic = kHelpTopics[i];
        auto* button = new QPushButton(QString::fromLatin1(topic.caption), this);
        button->setObjectName(topic.button);
        PlaceTwips(button, 120, 120 + 540 * static_cast<double>(i), 2055, 495);
        connect(button, &QPushButton::clicked, this, kHandlers[i]);
        Buttons[i] = button;

        auto* box = new platform::PlainTextBox(this);
        box->setObjectName(topic.box);
        box->setReadOnly(true);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setPlainText(platform::ToQStringLines(topic.text));
        PlaceTwips(box, kPageLeft, kPageTop, kPageWidth, kPageHeight);
        Boxes[i] = box;
    }

    Picture1 = new platform::PictureBox(this);
    Picture1->setObjectName("Picture1");
    Picture1->SetBackColor(0xFFFFFF);
    PlaceTwips(Picture1, kPageLeft, kPageTop, kPageWidth, kPageHeight);
    Prompt = new QLabel(QString::fromLatin1(kHelpPrompt), Picture1);
    Prompt->setObjectName("Label1");
    Prompt->setAlignment(Qt::AlignCenter);
    Prompt->setAttribute(Qt::WA_TranslucentBackground);
    QFont font = Prompt->font();
    font.setPointSize(14);
    font.setBold(true);
    Prompt->setFont(font);
    PlaceTwips(Prompt, 0, 1380, kPageWidth, 495);
    auto* line = new QFrame(Picture1);
    line->setObjectName("Line1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    PlaceTwips(line, 600, 1920, kPageWidth - 1200, 30);

    CloseOnEscape();
    Form_Load();
}

void Form12::Form_Load() {
    ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
    ApplyGradient(*Picture1, 225, 0xE0E0E0, 0xFFFFFF);
    BringToFront(Picture1);
}

void Form12::BringToFront(QWidget* page) {
    front_ = page;
    page->show();
    page->raise();
    // The pages behind are out of reach of the keyboard.
    for (QWidget* box : Boxes) {
        if (box != page) box->hide();
    }
    if (Picture1 != page) Picture1->hide();
}

void Form12::ShowTopic(std::size_t topic) { BringToFront(Boxes.at(topic)); }

void Form12::Command1_Click() { ShowTopic(0); }
void Form12::Command2_Click() { ShowTopic(1); }
void Form12::Command3_Click() { ShowTopic(2); }
void Form12::Command4_Click() { ShowTopic(3); }
void Form12::Command5_Click() { ShowTopic(4); }
void Form12::Command6_Click() { ShowTopic(5); }
void Form12::Command9_Click() { ShowTopic(6); }

}  // namespace shell
