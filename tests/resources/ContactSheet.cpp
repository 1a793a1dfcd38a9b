// Saves contact sheets of every picture, for looking at them as a player
// would: resources_contact_sheet [folder] (default /tmp) writes
// trotwick-coats.png (each picture enlarged, pixel for pixel),
// trotwick-closeup.png (a few coats much enlarged) and
// trotwick-sheet.png (everything at its real size, on a light background and
// on a green race lane, plus icons, products and the splash).
#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr int kColumns = 9;

void Label(QPainter& painter, int x, int y, const QString& text) {
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawText(x, y, text);
}

// The coats and the empty slot enlarged without smoothing, so each pixel
// shows; the three arrow-key pictures below them.
QImage EnlargedSheet(int zoom) {
    const int cellW = 48 * zoom + 12, cellH = 36 * zoom + 22;
    const int keysTop = 12 + 6 * cellH;
    QImage sheet(kColumns * cellW + 12, keysTop + 64 * 2 + 30, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF2, 0xF0, 0xEA));
    QPainter painter(&sheet);
    for (int id = 101; id <= 149; ++id) {
        if (id >= 146 && id <= 148) continue;
        const int index = id == 149 ? 45 : id - 101;
        const int x = 12 + (index % kColumns) * cellW, y = 12 + (index / kColumns) * cellH;
        const QPixmap picture = resources::HorseBitmap(id);
        painter.drawPixmap(QRect(x, y + 14, picture.width() * zoom, picture.height() * zoom), picture);
        Label(painter, x, y + 10, QString::number(id));
    }
    for (int id = 146; id <= 148; ++id) {
        const int x = 12 + (id - 146) * (96 * 2 + 20);
        const QPixmap keys = resources::HorseBitmap(id);
        painter.drawPixmap(QRect(x, keysTop + 14, keys.width() * 2, keys.height() * 2), keys);
        Label(painter, x, keysTop + 10, QString::number(id));
    }
    return sheet;
}

// A few pictures much enlarged, to judge the drawing itself.
QImage CloseUpSheet(std::initializer_list<int> ids, int zoom) {
    const int cellW = 48 * zoom + 10;
    QImage sheet(static_cast<int>(ids.size()) * cellW + 10, 36 * zoom + 20, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF2, 0xF0, 0xEA));
    QPainter painter(&sheet);
    int x = 10;
    for (int id : ids) {
        painter.drawPixmap(QRect(x, 10, 48 * zoom, 36 * zoom), resources::HorseBitmap(id));
        x += cellW;
    }
    return sheet;
}

// The tree icons enlarged, pixel for pixel.
QImage IconSheet(int zoom) {
    const int cell = 16 * zoom + 8;
    QImage sheet(kColumns * cell + 8, 5 * cell + 8, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF2, 0xF0, 0xEA));
    QPainter painter(&sheet);
    for (int image = 1; image <= 45; ++image) {
        const int x = 8 + ((image - 1) % kColumns) * cell, y = 8 + ((image - 1) / kColumns) * cell;
        painter.drawPixmap(QRect(x, y, 16 * zoom, 16 * zoom), resources::CoatIcon(image).pixmap(16, 16));
    }
    return sheet;
}

// The same drawings painted straight at a large size, to judge the shapes.
QImage VectorSheet(std::initializer_list<int> ids, int zoom) {
    const int cellW = 48 * zoom + 10;
    QImage sheet(static_cast<int>(ids.size()) * cellW + 10, 36 * zoom + 20, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF2, 0xF0, 0xEA));
    QPainter painter(&sheet);
    int x = 10;
    for (int id : ids) {
        resources::PaintHorse(painter, *resources::CoatFor(id), id - 100, QRectF(x, 10, 48 * zoom, 36 * zoom));
        x += cellW;
    }
    return sheet;
}

QImage RealSizeSheet() {
    QImage sheet(1000, 1010, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF2, 0xF0, 0xEA));
    QPainter painter(&sheet);
    Label(painter, 10, 16, QStringLiteral("coats at real size"));
    for (int id = 101; id <= 149; ++id) {
        if (id >= 146 && id <= 148) {
            painter.drawPixmap(600 + (id - 146) * 100, 150, resources::HorseBitmap(id));
            continue;
        }
        const int index = id == 149 ? 45 : id - 101;
        painter.drawPixmap(10 + (index % 15) * 60, 24 + (index / 15) * 42, resources::HorseBitmap(id));
    }
    // A race lane: green turf with lanes, horses spread along it.
    const QRect lane(10, 220, 980, 5 * 40);
    painter.fillRect(lane, QColor(0x3C, 0x8C, 0x3C));
    for (int i = 0; i < 45; ++i) {
        const int row = i % 5, x = 14 + (i / 5) * 106 + row * 12;
        painter.drawPixmap(x, lane.top() + 2 + row * 40, resources::HorseBitmap(101 + i));
    }
    Label(painter, 10, 440, QStringLiteral("tree icons, real size and x3"));
    for (int image = 1; image <= 45; ++image) {
        const QPixmap icon = resources::CoatIcon(image).pixmap(16, 16);
        const int x = 10 + (image - 1) * 21;
        painter.drawPixmap(x, 448, icon);
        painter.drawPixmap(QRect(10 + ((image - 1) % 11) * 52, 470 + ((image - 1) / 11) * 52, 48, 48), icon);
    }
    Label(painter, 10, 760, QStringLiteral("products 32, 16 and x2"));
    for (int image = 1; image <= 7; ++image) {
        const int x = 10 + (image - 1) * 60;
        painter.drawPixmap(x, 768, resources::ProductImage(image));
        painter.drawPixmap(x + 36, 768, resources::ProductIcon(image).pixmap(16, 16));
        painter.drawPixmap(QRect(x, 804, 64, 64), resources::ProductImage(image));
    }
    painter.drawPixmap(590, 750, resources::SplashPicture());
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    const QString coats = folder + QStringLiteral("/trotwick-coats.png");
    const QString sheet = folder + QStringLiteral("/trotwick-sheet.png");
    const QString closeUp = folder + QStringLiteral("/trotwick-closeup.png");
    if (!EnlargedSheet(3).save(coats) || !RealSizeSheet().save(sheet) ||
        !CloseUpSheet({101, 110, 105}, 9).save(closeUp) ||
        !VectorSheet({101, 110}, 12).save(folder + QStringLiteral("/trotwick-vector.png")) ||
        !IconSheet(6).save(folder + QStringLiteral("/trotwick-icons.png"))) {
        std::fprintf(stderr, "could not write the contact sheets into %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("%s\n%s\n%s\n", qPrintable(coats), qPrintable(sheet), qPrintable(closeUp));
    return 0;
}
