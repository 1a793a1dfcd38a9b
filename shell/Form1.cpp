#include "shell/Form1.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "core/Money.h"
#include "core/Products.h"
#include "platform/Colours.h"
#include "platform/PasteGuard.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "resources/Pictures.h"
#include "shell/ElidedLabel.h"
#include "shell/GradientRect.h"
#include "shell/NoticeLine.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace shell {

using platform::PlaceTwips;

namespace {

constexpr double kMoneyAfterLevelUp = 25000;

struct PanelLayout {
    Panel panel;
    const char* name;
};

constexpr std::array<PanelLayout, kPanelCount> kPanels = {{
    {Panel::Tracks, "Tracks"},     {Panel::Stables, "Stables"},     {Panel::Market, "Market"},
    {Panel::SellHor, "SellHor"},   {Panel::NewGamey, "NewGamey"},   {Panel::RaceOwn1, "RaceOwn1"},
    {Panel::RaceOwn2, "RaceOwn2"}, {Panel::Improve, "Improve"},     {Panel::SpeedImp, "SpeedImp"},
    {Panel::StamImp, "StamImp"},   {Panel::Drugs, "Drugs"},         {Panel::Picture2, "Picture2"},
    {Panel::Picture6, "Picture6"}, {Panel::LANtracks, "LANtracks"}, {Panel::Picture7, "Picture7"},
    {Panel::WANtracks, "WANtracks"}, {Panel::Picture8, "Picture8"},
}};

// Painted at start-up, in this order; the two race tracks keep their colour.
constexpr std::array<Panel, 15> kPaintedPanels = {
    Panel::StamImp,  Panel::Improve, Panel::RaceOwn1, Panel::Picture6, Panel::Picture7,
    Panel::Picture2, Panel::Picture8, Panel::Stables, Panel::Drugs,    Panel::Tracks,
    Panel::Market,   Panel::RaceOwn2, Panel::SpeedImp, Panel::SellHor, Panel::NewGamey,
};

struct TimerDesign {
    const char* name;
    int interval;
    bool enabled;
};

constexpr std::array<TimerDesign, 15> kTimers = {{
    {"NoticeTim", 1000, true},  {"Timer1", 1000, true},    {"LiveUpdate", 10000, false},
    {"MoveHorses", 50, false},  {"HorseMover", 50, false}, {"Baby", 0, false},
    {"SpeedTimer", 1000, false}, {"StamTimer", 1000, false}, {"Timer4", 500, true},
    {"Timer5", 500, true},      {"LANrace", 50, false},    {"PayEm", 1000, false},
    {"Timer2", 1000, true},     {"RandInterval", 1000, false}, {"Connecti", 500, true},
}};

QIcon CoatIconFor(int image) { return resources::CoatIcon(image); }

}  // namespace

const char* PanelName(Panel panel) { return kPanels.at(static_cast<std::size_t>(panel)).name; }

Form1::Form1(core::Game& game, platform::Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), game_(game), dialogs_(dialogs) {
    setObjectName("Form1");
    setWindowTitle("Trotwick - Kestrane Central");
    BuildMenus();
    BuildControls();
    BuildPanels();
    BuildStableScreens();
    BuildTimers();
    BringToFront(Panel::Tracks);
    // The screens have one designed size: the window neither grows (a
    // maximised window would show an empty grey area) nor shrinks.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form1::~Form1() = default;

void Form1::BuildControls() {
    Client = new platform::PictureBox(this);
    Client->setObjectName("Form1Client");
    Client->SetBackColor(0xE0E0E0);
    Client->setFixedSize(platform::Pixels(10200), platform::Pixels(5145));
    setCentralWidget(Client);

    Notice = new NoticeLine(Client);
    Notice->setObjectName("Notice");
    Notice->setReadOnly(true);
    Notice->setFocusPolicy(Qt::NoFocus);
    platform::SetBackColor(Notice, 0xE0E0E0);
    PlaceTwips(Notice, 0, 0, 10215, 345);

    Label11 = new QLabel(QStringLiteral("Money: \u00A33000"), Client);
    Label11->setObjectName("Label11");
    QFont moneyFont = Label11->font();
    moneyFont.setPointSize(12);
    Label11->setFont(moneyFont);
    PlaceTwips(Label11, 120, 4440, 4575, 375);

    Label13 = new ElidedLabel(QStringLiteral("Version 7.0 (2007)"), Client);
    Label13->setObjectName("Label13");
    platform::SetForeColor(Label13, 0x808080);
    PlaceTwips(Label13, 120, 4800, 4455, 255);

    const auto button = [this](const char* name, const char* caption, double left, void (Form1::*handler)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), Client);
        b->setObjectName(name);
        PlaceTwips(b, left, 4560, 1695, 495);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    Command8 = button("Command8", "Tracks", 4800, &Form1::Command8_Click);
    Command4 = button("Command4", "Stables", 6600, &Form1::Command4_Click);
    Command2 = button("Command2", "Horse Market", 8400, &Form1::Command2_Click);
}

void Form1::BuildPanels() {
    for (const auto& layout : kPanels) {
        auto* box = new platform::PictureBox(Client);
        box->setObjectName(layout.name);
        box->SetBackColor(0xC0C0C0);
        if (layout.panel == Panel::Tracks) {
            PlaceTwips(box, 0, 240, 10215, 4095);
        } else if (layout.panel == Panel::Picture8) {
            PlaceTwips(box, 120, 360, 10215, 3975);
        } else {
            PlaceTwips(box, 0, 360, 10215, 3975);
        }
        panels_[static_cast<std::size_t>(layout.panel)] = box;
    }
    const auto tree = [](const char* name, QWidget* parent, std::function<QIcon(int)> images) {
        auto* t = new TreeView(std::move(images), parent);
        t->setObjectName(name);
        return t;
    };
    StableTree = tree("StableTree", &PanelBox(Panel::Stables), CoatIconFor);
    MarketTree = tree("MarketTree", &PanelBox(Panel::Market), CoatIconFor);
    legal = tree("legal", &PanelBox(Panel::Drugs), [](int image) { return resources::ProductIcon(image); });
    illegal = tree("illegal", &PanelBox(Panel::Drugs), [](int image) { return resources::ProductIcon(image); });
}

namespace {

QPlainTextEdit* MakeCard(QWidget* parent, const char* name, double left, double top, double width, double height) {
    auto* card = new platform::PlainTextBox(parent);
    card->setObjectName(name);
    card->setReadOnly(true);
    card->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PlaceTwips(card, left, top, width, height);
    return card;
}

QLabel* MakeQuestion(QWidget* parent, const char* text) {
    auto* question = MakeLabel(parent, "Question", QString::fromLatin1(text), 0, 1080, 10215, 735);
    question->setAlignment(Qt::AlignCenter);
    QFont font = question->font();
    font.setPointSize(20);
    font.setBold(true);
    question->setFont(font);
    return question;
}

}  // namespace

void Form1::BuildStableScreens() {
    QWidget* stables = &PanelBox(Panel::Stables);
    PlaceTwips(StableTree, 120, 120, 3495, 3735);
    MakeLabel(stables, "Label8", QStringLiteral("Selected Horse Information:"), 3720, 120, 3855, 255);
    // The card is tall enough for every line of a horse's details; the
    // actions on the selected horse stand in the column beside it.
    Text1 = MakeCard(stables, "Text1", 3720, 360, 3855, 3495);
    MakeLabel(stables, "Label9", QStringLiteral("Stallion:"), 7740, 120, 2355, 255);
    MalePart = new platform::TextBox(stables);
    MalePart->setObjectName("MalePart");
    MalePart->Tag = "0";
    PlaceTwips(MalePart, 7740, 360, 2355, 315);
    MakeLabel(stables, "Label10", QStringLiteral("Mare:"), 7740, 780, 2355, 255);
    FemalePart = new platform::TextBox(stables);
    FemalePart->setObjectName("FemalePart");
    FemalePart->Tag = "0";
    PlaceTwips(FemalePart, 7740, 1020, 2355, 315);
    Command5 = MakeButton(stables, "Command5", "Breed Horses", 7740, 1500, 2355, 495);
    Command15 = MakeButton(stables, "Command15", "Improve Horse", 7740, 2280, 2355, 495);
    Command7 = MakeButton(stables, "Command7", "Race Horse", 7740, 2820, 2355, 495);
    Command6 = MakeButton(stables, "Command6", "Sell Horse", 7740, 3360, 2355, 495);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);

    QWidget* market = &PanelBox(Panel::Market);
    PlaceTwips(MarketTree, 120, 120, 3495, 3735);
    MakeLabel(market, "Label12", QStringLiteral("Horse Information:"), 3720, 120, 3855, 255);
    Text2 = MakeCard(market, "Text2", 3720, 360, 3855, 3495);
    Command10 = MakeButton(market, "Command10", "Buy Horse", 7740, 360, 2355, 495);

    QWidget* sell = &PanelBox(Panel::SellHor);
    MakeQuestion(sell, "SELL HORSE?");
    Command25 = MakeButton(sell, "Command25", "Yes", 3240, 2160, 1695, 495);
    Command27 = MakeButton(sell, "Command27", "No", 5280, 2160, 1695, 495);
    connect(Command27, &QPushButton::clicked, this, &Form1::Command27_Click);

    QWidget* newGame = &PanelBox(Panel::NewGamey);
    MakeQuestion(newGame, "START A NEW GAME?");
    Command26 = MakeButton(newGame, "Command26", "Yes", 3240, 2160, 1695, 495);
    Command20 = MakeButton(newGame, "Command20", "No", 5280, 2160, 1695, 495);
    connect(Command20, &QPushButton::clicked, this, &Form1::Command20_Click);
}

void Form1::BuildMenus() {
    fil = menuBar()->addMenu(QStringLiteral("&Game"));
    fil->setObjectName("fil");
    new_ = fil->addAction(QStringLiteral("&New Game"));
    new_->setObjectName("new");
    connect(new_, &QAction::triggered, this, &Form1::new_Click);
    Save = fil->addAction(QStringLiteral("&Save Game"));
    Save->setObjectName("Save");
    exit_ = fil->addAction(QStringLiteral("&Quit"));
    exit_->setObjectName("exit");
    connect(exit_, &QAction::triggered, this, &QWidget::close);

    help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName("help");
    ab = help->addAction(QStringLiteral("&About"));
    ab->setObjectName("ab");
    connect(ab, &QAction::triggered, this, [this] { Open(SmallWindow::About); });
}

void Form1::BuildTimers() {
    for (const auto& design : kTimers) {
        auto* timer = new platform::Timer(QString::fromLatin1(design.name), design.interval, this);
        timers_.emplace(design.name, timer);
    }
    connect(&Timer("NoticeTim"), &platform::Timer::Tick, this, &Form1::NoticeTim_Timer);
    connect(&Timer("Timer1"), &platform::Timer::Tick, this, &Form1::Timer1_Timer);
}

platform::Timer& Form1::Timer(const char* name) const {
    auto found = timers_.find(name);
    if (found == timers_.end()) throw std::out_of_range(std::string("no timer named ") + name);
    return *found->second;
}

void Form1::FillProductTrees() {
    legal->Clear();
    illegal->Clear();
    for (const core::Product& product : core::kProducts) {
        TreeView* tree = product.shop == core::Shop::Pharmacy ? legal : illegal;
        tree->AddNode(std::string(product.key), std::string(product.text), product.image);
    }
}

void Form1::EnableDesignTimeTimers() {
    for (const auto& design : kTimers) {
        if (design.enabled) Timer(design.name).SetEnabled(true);
    }
}

void Form1::PaintBackgrounds() {
    ApplyGradient(*Client, 225, 0xFFFFFF, 0xE0E0E0);
    for (Panel panel : kPaintedPanels) ApplyGradient(PanelBox(panel), 225, 0xFFFFFF, 0xC0C0C0);
}

platform::PictureBox& Form1::PanelBox(Panel panel) const { return *panels_.at(static_cast<std::size_t>(panel)); }

void Form1::BringToFront(Panel panel) {
    front_ = panel;
    platform::PictureBox& box = PanelBox(panel);
    box.show();
    box.raise();
    // The screens behind are out of reach of the mouse and the keyboard.
    for (platform::PictureBox* other : panels_) {
        if (other != &box) other->hide();
    }
    // The notice line stays readable above the tall race track.
    Notice->raise();
}

void Form1::ShowNotice(const std::string& text) {
    platform::Timer& timer = Timer("NoticeTim");
    timer.SetEnabled(false);
    NOTICEexpirey = 0;
    QFont font = Notice->font();
    font.setBold(true);
    Notice->setFont(font);
    Notice->setText(platform::ToQString(text));
    timer.SetEnabled(true);
}

void Form1::AddToNotice(const std::string& text) {
    const std::string shown = platform::FromQString(Notice->text());
    if (shown.empty()) {
        ShowNotice(text);
        return;
    }
    const bool sentenceEnds = shown.back() == '.' || shown.back() == '!' || shown.back() == '?';
    ShowNotice(shown + (sentenceEnds ? " " : ". ") + text);
}

void Form1::NoticeTim_Timer() {
    if (NOTICEexpirey < INT16_MAX) ++NOTICEexpirey;
    QFont font = Notice->font();
    font.setBold(false);
    Notice->setFont(font);
    if (NOTICEexpirey >= 6) {
        ShowNotice("");
        Timer("NoticeTim").SetEnabled(false);
    }
}

void Form1::Timer1_Timer() {
    if (game_.Money >= kLevelUpMoney) {
        game_.Money = kMoneyAfterLevelUp;
        if (game_.Level < INT32_MAX) ++game_.Level;
        Open(SmallWindow::EliteHorse);
    }
    UpdateMoneyLine();
}

void Form1::UpdateMoneyLine() {
    Label11->setText(platform::ToQString("Money: " + core::FormatMoney(game_.Money)));
}

void Form1::Command8_Click() { BringToFront(Panel::Tracks); }
void Form1::Command4_Click() { BringToFront(Panel::Stables); }
void Form1::Command2_Click() { BringToFront(Panel::Market); }
void Form1::Command6_Click() { BringToFront(Panel::SellHor); }
void Form1::Command27_Click() { BringToFront(Panel::Stables); }
void Form1::Command20_Click() { BringToFront(Panel::Tracks); }
void Form1::new_Click() { BringToFront(Panel::NewGamey); }

void Form1::SetOpener(SmallWindow window, std::function<void()> opener) { openers_[window] = std::move(opener); }

void Form1::Open(SmallWindow window) {
    auto found = openers_.find(window);
    if (found != openers_.end() && found->second) found->second();
}

}  // namespace shell
