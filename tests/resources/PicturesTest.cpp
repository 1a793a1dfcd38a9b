#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Pictures.h"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace {

using resources::CoatIcon;
using resources::HorseBitmap;
using resources::ProductIcon;
using resources::ProductImage;

QImage Pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

int OpaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) ++count;
    return count;
}

// Pixels whose colours differ by more than a glance would miss.
int VisiblyDifferentPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int distance = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                                 std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
            if (distance > 60) ++count;
        }
    return count;
}

struct SizeCase {
    int first, last;
    QSize size;
};

TEST(HorseBitmap, EveryPictureNumberGivesAPictureOfItsSize) {
    for (const SizeCase& c : {SizeCase{101, 145, {48, 36}}, SizeCase{146, 148, {96, 64}},
                              SizeCase{149, 149, {48, 36}}}) {
        for (int id = c.first; id <= c.last; ++id) {
            SCOPED_TRACE(id);
            const QPixmap picture = HorseBitmap(id);
            ASSERT_FALSE(picture.isNull());
            EXPECT_EQ(picture.size(), c.size);
            EXPECT_EQ(picture.devicePixelRatio(), 1.0);
        }
    }
}

TEST(HorseBitmap, AnyOtherNumberGivesNoPicture) {
    for (int id : {INT_MIN, -101, -1, 0, 1, 45, 99, 100, 150, 201, 245, 1101, INT_MAX}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(HorseBitmap(id).isNull());
    }
}

TEST(HorseBitmap, CoatsStandOnATransparentBackgroundAndFillTheirPicture) {
    for (int id = resources::kFirstCoat; id <= resources::kLastCoat; ++id) {
        SCOPED_TRACE(id);
        const QImage image = Pixels(HorseBitmap(id));
        ASSERT_TRUE(image.hasAlphaChannel());
        for (QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 35), QPoint(47, 35)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << corner.x() << "," << corner.y();
        // A galloping horse covers a good part of its box, but not all of it.
        const int opaque = OpaquePixels(image);
        EXPECT_GT(opaque, 48 * 36 / 5);
        EXPECT_LT(opaque, 48 * 36 * 3 / 4);
    }
}

TEST(HorseBitmap, TheFortyFiveCoatsAreAllDifferent) {
    std::vector<QImage> coats;
    for (int id = resources::kFirstCoat; id <= resources::kLastCoat; ++id) coats.push_back(Pixels(HorseBitmap(id)));
    for (std::size_t i = 0; i < coats.size(); ++i)
        for (std::size_t j = i + 1; j < coats.size(); ++j)
            EXPECT_NE(coats[i], coats[j]) << "coats " << 101 + i << " and " << 101 + j;
}

// The number on the saddle cloth always tells two coats apart; the horses
// themselves must differ too, in more than a few stray pixels.
TEST(HorseBitmap, CoatsDifferBeyondTheNumberOnTheCloth) {
    std::vector<QImage> horses;
    for (int id = resources::kFirstCoat; id <= resources::kLastCoat; ++id) {
        QImage canvas(48, 36, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        resources::PaintHorse(painter, *resources::CoatFor(id), 0, QRectF(0, 0, 48, 36));
        painter.end();
        horses.push_back(canvas);
    }
    for (std::size_t i = 0; i < horses.size(); ++i)
        for (std::size_t j = i + 1; j < horses.size(); ++j)
            EXPECT_GT(VisiblyDifferentPixels(horses[i], horses[j]), 60)
                << "coats " << 101 + i << " and " << 101 + j;
}

TEST(HorseBitmap, EmptySlotIsAFaintOutlineUnlikeAnyHorse) {
    const QImage empty = Pixels(HorseBitmap(149));
    int strongest = 0, marked = 0;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 48; ++x) {
            const int alpha = qAlpha(empty.pixel(x, y));
            strongest = std::max(strongest, alpha);
            if (alpha > 0) ++marked;
        }
    EXPECT_GT(marked, 100);      // something shows where the horse would be...
    EXPECT_LT(strongest, 255);   // ...but nothing solid
    for (int id = resources::kFirstCoat; id <= resources::kLastCoat; ++id)
        EXPECT_NE(empty, Pixels(HorseBitmap(id))) << id;
}

TEST(HorseBitmap, PicturesAreDrawnOnceAndRedrawnTheSame) {
    const QPixmap first = HorseBitmap(117);
    EXPECT_EQ(HorseBitmap(117).cacheKey(), first.cacheKey());
    const QImage before = Pixels(first);
    QPixmapCache::clear();
    const QPixmap again = HorseBitmap(117);
    EXPECT_NE(again.cacheKey(), first.cacheKey());
    EXPECT_EQ(Pixels(again), before);
}

// --- Arrow keys ------------------------------------------------------------

struct KeyAreas {
    QRect up{39, 7, 18, 18}, left{8, 38, 18, 18}, down{39, 38, 18, 18}, right{70, 38, 18, 18};
};

QImage Area(const QImage& image, const QRect& area) { return image.copy(area); }

bool MostlyRed(const QImage& area) {
    int red = 0;
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) {
            const QRgb p = area.pixel(x, y);
            if (qRed(p) > 150 && qRed(p) > qGreen(p) + 80 && qRed(p) > qBlue(p) + 80) ++red;
        }
    return red * 2 > area.width() * area.height();
}

TEST(ArrowKeys, OnlyTheLitKeyChangesAndItTurnsRed) {
    const KeyAreas k;
    const QImage left = Pixels(HorseBitmap(146));
    const QImage none = Pixels(HorseBitmap(147));
    const QImage right = Pixels(HorseBitmap(148));

    EXPECT_NE(Area(left, k.left), Area(none, k.left));
    EXPECT_EQ(Area(left, k.right), Area(none, k.right));
    EXPECT_NE(Area(right, k.right), Area(none, k.right));
    EXPECT_EQ(Area(right, k.left), Area(none, k.left));
    for (const QRect& unlit : {k.up, k.down}) {
        EXPECT_EQ(Area(left, unlit), Area(none, unlit));
        EXPECT_EQ(Area(right, unlit), Area(none, unlit));
    }

    EXPECT_TRUE(MostlyRed(Area(left, k.left)));
    EXPECT_TRUE(MostlyRed(Area(right, k.right)));
    for (const QRect& key : {k.up, k.left, k.down, k.right}) EXPECT_FALSE(MostlyRed(Area(none, key)));
}

TEST(ArrowKeys, EachKeyShowsADarkArrowOnAPaleFace) {
    const KeyAreas k;
    const QImage none = Pixels(HorseBitmap(147));
    for (const QRect& key : {k.up, k.left, k.down, k.right}) {
        int dark = 0, pale = 0;
        const QImage area = Area(none, key);
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x) {
                const int grey = qGray(area.pixel(x, y));
                if (grey < 90) ++dark;
                if (grey > 180) ++pale;
            }
        EXPECT_GT(dark, 40) << key.x();
        EXPECT_GT(pale, 80) << key.x();
    }
    // The arrows point four ways: no two keys look alike.
    EXPECT_NE(Area(none, k.left), Area(none, k.right));
    EXPECT_NE(Area(none, k.up), Area(none, k.down));
}

// --- Icons, products, splash -----------------------------------------------

TEST(CoatIcon, EachCoatHasItsOwnSixteenPixelIcon) {
    std::vector<QImage> icons;
    for (int image = 1; image <= resources::kCoatCount; ++image) {
        SCOPED_TRACE(image);
        const QIcon icon = CoatIcon(image);
        ASSERT_FALSE(icon.isNull());
        const QPixmap small = icon.pixmap(QSize(16, 16));
        ASSERT_EQ(small.size(), QSize(16, 16));
        icons.push_back(Pixels(small));
        EXPECT_GT(OpaquePixels(icons.back()), 16 * 16 / 4);
    }
    // Sixteen pixels leave little room: still, two icons differ in more
    // than a handful of them.
    for (std::size_t i = 0; i < icons.size(); ++i)
        for (std::size_t j = i + 1; j < icons.size(); ++j)
            EXPECT_GT(VisiblyDifferentPixels(icons[i], icons[j]), 15) << "icons " << i + 1 << " and " << j + 1;
}

TEST(CoatIcon, OutsideTheCoatsThereIsNoIcon) {
    for (int image : {INT_MIN, -1, 0, 46, 101, INT_MAX}) EXPECT_TRUE(CoatIcon(image).isNull()) << image;
}

TEST(ProductImage, SevenDifferentProductPictures) {
    std::vector<QImage> products;
    for (int image = 1; image <= 7; ++image) {
        SCOPED_TRACE(image);
        const QPixmap picture = ProductImage(image);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), QSize(32, 32));
        EXPECT_GT(OpaquePixels(Pixels(picture)), 32 * 32 / 8);
        EXPECT_EQ(ProductIcon(image).pixmap(QSize(16, 16)).size(), QSize(16, 16));
        products.push_back(Pixels(picture));
    }
    for (std::size_t i = 0; i < products.size(); ++i)
        for (std::size_t j = i + 1; j < products.size(); ++j)
            EXPECT_NE(products[i], products[j]) << "products " << i + 1 << " and " << j + 1;
}

TEST(ProductImage, OutsideTheImageListThereIsNoPicture) {
    for (int image : {INT_MIN, -1, 0, 8, 101, INT_MAX}) {
        EXPECT_TRUE(ProductImage(image).isNull()) << image;
        EXPECT_TRUE(ProductIcon(image).isNull()) << image;
    }
}

TEST(SplashPicture, FillsItsWholeCanvas) {
    const QPixmap splash = resources::SplashPicture();
    ASSERT_FALSE(splash.isNull());
    EXPECT_EQ(splash.size(), QSize(400, 250));
    EXPECT_EQ(OpaquePixels(Pixels(splash)), 400 * 250);
}

}  // namespace
