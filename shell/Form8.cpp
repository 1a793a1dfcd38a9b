#include "shell/Form8.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <algorithm>

#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "runtime/Numbers.h"
#include "shell/GradientRect.h"
#include "shell/PlayerProfile.h"

namespace shell {

using platform::PlaceTwips;

namespace {

constexpr const char* kWelcome =
    "Welcome to your Player Profile room, this room contains information kept on your gaming history. "
    "The medals to the left indicate how many times you have won the game (you win a game whenever you "
    "exceed \xA3" "1,000,000,000)";

// The medal column at the left, in pixels: three medals a row.
constexpr QRect kMedalArea(8, 8, 112, 224);
constexpr int kMedalColumns = 3;
constexpr int kMedalRows = 5;
constexpr QSize kMedalCell(36, 44);

void DrawMedal(QPainter& painter, const QRect& cell) {
    const int cx = cell.center().x();
    // The ribbon, then the disc hanging from it.
    QPainterPath ribbon;
    ribbon.moveTo(cx - 9, cell.top() + 2);
    ribbon.lineTo(cx - 2, cell.top() + 2);
    ribbon.lineTo(cx + 3, cell.top() + 18);
    ribbon.lineTo(cx - 4, cell.top() + 18);
    ribbon.closeSubpath();
    painter.fillPath(ribbon, QColor(0x1F, 0x3F, 0xA0));
    QPainterPath other;
    other.moveTo(cx + 9, cell.top() + 2);
    other.lineTo(cx + 2, cell.top() + 2);
    other.lineTo(cx - 3, cell.top() + 18);
    other.lineTo(cx + 4, cell.top() + 18);
    other.closeSubpath();
    painter.fillPath(other, QColor(0xC0, 0x20, 0x20));
    const QRect disc(cx - 11, cell.top() + 15, 22, 22);
    QRadialGradient shine(disc.center() - QPoint(3, 3), 14);
    shine.setColorAt(0, QColor(0xFF, 0xF0, 0x90));
    shine.setColorAt(1, QColor(0xD4, 0xA0, 0x17));
    painter.setPen(QPen(QColor(0x8A, 0x64, 0x0A), 1.5));
    painter.setBrush(shine);
    painter.drawEllipse(disc);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc.adjusted(5, 5, -5, -5));
}

}  // namespace

Form8::Form8(const core::GameState& game, QWidget* owner)
    : FormWindow(owner, "Form8", QStringLiteral("Player Profile"), 7320, 3720), game_(game) {
    SetBackColor(0xE0E0E0);

    Label1 = new QLabel(platform::ToQString(kWelcome), this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    PlaceTwips(Label1, 1920, 120, 5280, 1095);

    Text1 = new platform::PlainTextBox(this);
    Text1->setObjectName("Text1");
    Text1->setReadOnly(true);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    PlaceTwips(Text1, 1920, 1320, 5280, 2280);

    CloseOnEscape();
    Form_Load();
}

void Form8::Form_Load() {
    ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
    DrawMedals();
    Text1->setPlainText(platform::ToQStringLines(PlayerProfileText(game_)));
}

void Form8::DrawMedals() {
    const int won = std::max(0, game_.Level);
    if (won == 0) return;
    const int room = kMedalColumns * kMedalRows;
    // Beyond what the column holds, the last row says how many there are.
    const int drawn = won <= room ? won : room - kMedalColumns;
    QPainter painter(&Canvas());
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < drawn; ++i) {
        const QPoint corner(kMedalArea.left() + (i % kMedalColumns) * kMedalCell.width(),
                            kMedalArea.top() + (i / kMedalColumns) * kMedalCell.height());
        DrawMedal(painter, QRect(corner, kMedalCell));
    }
    if (drawn < won) {
        const QRect countRow(kMedalArea.left(), kMedalArea.top() + (kMedalRows - 1) * kMedalCell.height(),
                             kMedalArea.width(), kMedalCell.height());
        QFont font = painter.font();
        font.setBold(true);
        font.setPointSize(11);
        painter.setFont(font);
        painter.setPen(QColor(0x60, 0x48, 0x08));
        painter.drawText(countRow, Qt::AlignCenter,
                         QString::fromStdString("x " + runtime::NumberText(static_cast<std::int64_t>(won))));
    }
    painter.end();
    Refresh();
}

}  // namespace shell
