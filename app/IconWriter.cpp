// Writes the game's icon, drawn by resources/IconPainter.cpp, as PNG files in
// the layout of the desktop's icon theme, for installing:
//
//   trotwick_icon_writer <folder>
//
// writes <folder>/<N>x<N>/apps/trotwick.png for every size of
// resources::kIconSizes.

#include <QDir>
#include <QString>
#include <cstdio>

#include "resources/Pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: trotwick_icon_writer <folder>\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int side : resources::kIconSizes) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(side);
        if (!QDir().mkpath(apps) || !resources::GameIconImage(side).save(apps + "/trotwick.png", "PNG")) {
            std::fprintf(stderr, "trotwick_icon_writer: cannot write %s/trotwick.png\n", qPrintable(apps));
            return 1;
        }
    }
    return 0;
}
