#include "resources/Pictures.h"

#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Painters.h"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QString>
#include <functional>

namespace resources {
namespace {

constexpr int kLeftKeys = 146;
constexpr int kNoKeys = 147;
constexpr int kRightKeys = 148;
constexpr int kEmptySlot = 149;
constexpr QSize kHorseSize(48, 36);
constexpr QSize kKeysSize(96, 64);
constexpr QSize kSplashSize(400, 250);

using Painting = std::function<void(QPainter&, const QRectF&)>;

// Draws on a transparent canvas of the given size and keeps the result under
// key, so each picture is drawn once per run (or again if the cache had to
// let it go).
QPixmap Cached(const QString& key, QSize size, const Painting& paint) {
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    pixmap = QPixmap::fromImage(canvas);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap CoatPicture(int id) {
    const Coat* coat = CoatFor(id);
    if (!coat) return {};
    return Cached(QStringLiteral("trotwick/coat/%1").arg(id), kHorseSize,
                  [coat, id](QPainter& p, const QRectF& r) { PaintHorse(p, *coat, id - kFirstCoat + 1, r); });
}

QPixmap KeysPicture(int id, LitKey lit) {
    return Cached(QStringLiteral("trotwick/keys/%1").arg(id), kKeysSize,
                  [lit](QPainter& p, const QRectF& r) { PaintArrowKeys(p, lit, r); });
}

QPixmap HeadPicture(int id, int side) {
    const Coat* coat = CoatFor(id);
    if (!coat) return {};
    return Cached(QStringLiteral("trotwick/head/%1/%2").arg(id).arg(side), QSize(side, side),
                  [coat](QPainter& p, const QRectF& r) { PaintHorseHead(p, *coat, r); });
}

QPixmap ProductPicture(int image, int side) {
    if (image < kFirstProduct || image > kLastProduct) return {};
    return Cached(QStringLiteral("trotwick/product/%1/%2").arg(image).arg(side), QSize(side, side),
                  [image](QPainter& p, const QRectF& r) { PaintProduct(p, image, r); });
}

}  // namespace

QPixmap HorseBitmap(int id) {
    switch (id) {
        case kLeftKeys: return KeysPicture(id, LitKey::Left);
        case kNoKeys: return KeysPicture(id, LitKey::None);
        case kRightKeys: return KeysPicture(id, LitKey::Right);
        case kEmptySlot:
            return Cached(QStringLiteral("trotwick/empty"), kHorseSize,
                          [](QPainter& p, const QRectF& r) { PaintEmptyHorse(p, r); });
        default: return CoatPicture(id);
    }
}

QIcon CoatIcon(int image) {
    // The range first: any image number may come in, and the sum must not run over.
    if (image < 1 || image > kCoatCount) return {};
    const int id = kFirstCoat - 1 + image;
    if (!CoatFor(id)) return {};
    QIcon icon;
    icon.addPixmap(HeadPicture(id, 16));
    icon.addPixmap(HeadPicture(id, 32));
    return icon;
}

QPixmap ProductImage(int image) { return ProductPicture(image, 32); }

QIcon ProductIcon(int image) {
    if (image < kFirstProduct || image > kLastProduct) return {};
    QIcon icon;
    icon.addPixmap(ProductPicture(image, 16));
    icon.addPixmap(ProductPicture(image, 32));
    return icon;
}

QImage GameIconImage(int side) {
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    PaintGameIcon(painter, QRectF(0, 0, side, side));
    return canvas;
}

QIcon GameIcon() {
    QIcon icon;
    for (int side : kIconSizes) icon.addPixmap(QPixmap::fromImage(GameIconImage(side)));
    return icon;
}

QPixmap SplashPicture() {
    return Cached(QStringLiteral("trotwick/splash"), kSplashSize,
                  [](QPainter& p, const QRectF& r) { PaintSplash(p, r); });
}

}  // namespace resources
