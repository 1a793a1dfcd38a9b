#include "shell/Form1.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <stdexcept>

#include "core/Money.h"
#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "resources/Pictures.h"
#include "shell/GradientRect.h"
#include "shell/TreeView.h"

namespace shell {

using platform::PlaceTwips;

namespace {

constexpr double kLevelUpMoney = 1000000000;
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
    BuildTimers();
    BringToFront(Panel::Tracks);
}

Form1::~Form1() = default;

void Form1::BuildControls() {
    Client = new platform::PictureBox(this);
    Client->setObjectName("Form1Client");
    Client->SetBackColor(0xE0E0E0);
    Client->setFixedSize(platform::Pixels(10200), platform::Pixels(5145));
    setCentralWidget(Client);

    Notice = new QLineEdit(Client);
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

    Label13 = new QLabel(QStringLiteral("Version 7.0 (2007)"), Client);
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

void Form1::BuildMenus() {
    fil = menuBar()->addMenu(QStringLiteral("Game"));
    fil->setObjectName("fil");
    new_ = fil->addAction(QStringLiteral("New Game"));
    new_->setObjectName("new");
    connect(new_, &QAction::triggered, this, &Form1::new_Click);
    Save = fil->addAction(QStringLiteral("Save Game"));
    Save->setObjectName("Save");
    exit_ = fil->addAction(QStringLiteral("Quit"));
    exit_->setObjectName("exit");
    connect(exit_, &QAction::triggered, this, &QWidget::close);

    help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName("help");
    ab = help->addAction(QStringLiteral("About"));
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
void Form1::new_Click() { BringToFront(Panel::NewGamey); }

void Form1::SetOpener(SmallWindow window, std::function<void()> opener) { openers_[window] = std::move(opener); }

void Form1::Open(SmallWindow window) {
    auto found = openers_.find(window);
    if (found != openers_.end() && found->second) found->second();
}

}  // namespace shell
