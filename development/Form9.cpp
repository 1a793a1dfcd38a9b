#include "development/Form9.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "platform/QtText.h"
#include "platform/Twips.h"
#include "resources/Pictures.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace development {

using platform::PlaceTwips;

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, double left, double top, double width,
                  double height) {
    return shell::MakeLabel(parent, name, QString::fromLatin1(text), left, top, width, height);
}

// The coats at a size where they can be told apart.
QIcon AppearanceIcon(int image) { return QIcon(resources::HorseBitmap(image + 100)); }

constexpr double kBarsLeft = 3840;
constexpr double kBarsWidth = 3840;

}  // namespace

Form9::Form9(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree, QWidget* owner)
    : shell::FormWindow(owner, "Form9", QStringLiteral("Create Elite Horse"), 7800, 4920),
      game_(game),
      notices_(notices),
      stableTree_(stableTree) {
    SetBackColor(0xE0E0E0);

    Label12 = MakeLabel(this, "Label12", "Genetical Engineering Lab", 120, 120, 7560, 495);
    Label12->setAlignment(Qt::AlignCenter);
    QFont heading = Label12->font();
    heading.setPointSize(16);
    heading.setBold(true);
    Label12->setFont(heading);

    Text3 = MakeLabel(this, "Text3", "Name:", 120, 750, 900, 255);
    Text4 = shell::MakeTextBox(this, "Text4", QString::fromLatin1(kDefaultEliteName), 1080, 720, 2520, 315);
    shell::LimitToSavedLength(*Text4);

    Text1 = MakeLabel(this, "Text1", "Sex:", 120, 1170, 900, 255);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName("Combo1");
    Combo1->addItems({QStringLiteral("Male"), QStringLiteral("Female")});
    PlaceTwips(Combo1, 1080, 1140, 2520, 315);

    Label1 = MakeLabel(this, "Label1", "Choose Appearance:", 120, 1590, 3480, 255);
    StableTree = new shell::TreeView(AppearanceIcon, this);
    StableTree->setObjectName("StableTree");
    StableTree->setIconSize(QSize(32, 24));
    PlaceTwips(StableTree, 120, 1830, 3480, 2970);

    Speed = MakeBar("Speed", "Speed:", "Label6", 720, kRatingBudget, kDefaultRating, &Form9::Speed_Change);
    Stamina = MakeBar("Stamina", "Stamina:", "Label5", 1380, kRatingBudget, kDefaultRating, &Form9::Stamina_Change);
    HScroll1 = MakeBar("HScroll1", "Pace Style (Start):", "Label3", 2040, kPaceBudget, kDefaultPace,
                       &Form9::HScroll1_Change);
    HScroll2 = MakeBar("HScroll2", "Pace Style (Finish):", "Label4", 2700, kPaceBudget, kDefaultPace,
                       &Form9::HScroll2_Change);

    Command22 = new QPushButton(QStringLiteral("Create Horse"), this);
    Command22->setObjectName("Command22");
    PlaceTwips(Command22, 5760, 4305, 1920, 495);
    connect(Command22, &QPushButton::clicked, this, &Form9::Command22_Click);

    Form_Load();
}

QScrollBar* Form9::MakeBar(const char* name, const char* label, const char* labelName, double top, int maximum,
                           int value, void (Form9::*handler)()) {
    MakeLabel(this, labelName, label, kBarsLeft, top, 2880, 255);
    // The bars show no number of their own; the player sees it beside the label.
    QLabel* shown = MakeLabel(this, (std::string(name) + "Value").c_str(), "", kBarsLeft + 2880, top, 960, 255);
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* bar = new QScrollBar(Qt::Horizontal, this);
    bar->setObjectName(name);
    bar->setRange(0, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(10);
    bar->setValue(value);
    PlaceTwips(bar, kBarsLeft, top + 255, kBarsWidth, 255);
    shownValues_[bar] = shown;
    ShowValue(bar);
    connect(bar, &QScrollBar::valueChanged, this, handler);
    return bar;
}

void Form9::ShowValue(const QScrollBar* bar) {
    if (auto found = shownValues_.find(bar); found != shownValues_.end()) found->second->setNum(bar->value());
}

void Form9::Form_Load() {
    StableTree->Clear();
    for (int coat = kFirstCoat; coat <= kLastCoat; ++coat) {
        StableTree->AddNode(AppearanceKey(coat), AppearanceText(coat), coat - 100);
    }
    Combo1->setCurrentIndex(0);
    shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
}

// Setting the partner raises its own handler, which sets this bar to the
// value it already has; an unchanged value raises nothing, so the exchange
// ends there, and every later move starts a new one.
void Form9::Speed_Change() {
    ShowValue(Speed);
    Stamina->setValue(PartnerValue(kRatingBudget, Speed->value()));
}

void Form9::Stamina_Change() {
    ShowValue(Stamina);
    Speed->setValue(PartnerValue(kRatingBudget, Stamina->value()));
}

void Form9::HScroll1_Change() {
    ShowValue(HScroll1);
    HScroll2->setValue(PartnerValue(kPaceBudget, HScroll1->value()));
}

void Form9::HScroll2_Change() {
    ShowValue(HScroll2);
    HScroll1->setValue(PartnerValue(kPaceBudget, HScroll2->value()));
}

EliteDesign Form9::Design() const {
    EliteDesign design;
    design.name = platform::FromQString(Text4->text());
    design.sexChoice = Combo1->currentIndex();
    design.appearanceKey = StableTree->SelectedKey();
    design.speed = Speed->value();
    design.stamina = Stamina->value();
    design.start = HScroll1->value();
    design.end = HScroll2->value();
    return design;
}

void Form9::Command22_Click() {
    const CreateOutcome outcome = CreateEliteHorse(game_, notices_, stableTree_, Design(), game_.Random());
    if (outcome.result == CreateResult::Created) close();
}

}  // namespace development
