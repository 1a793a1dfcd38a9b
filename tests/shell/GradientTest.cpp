#include <gtest/gtest.h>

#include <QImage>

#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "runtime/Rounding.h"
#include "shell/GradientRect.h"

namespace {

using shell::clsGradient;

std::uint32_t PixelBgr(const QImage& image, int x, int y) { return platform::ToBgr(QColor(image.pixel(x, y))); }
std::uint32_t Grey(int level) { return static_cast<std::uint32_t>(level) * 0x010101u; }

QImage Surface(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    return image;
}

TEST(clsGradient, AngleZeroSweepsVerticalLinesFromTheLeftEdge) {
    // 100 x 50: the lines are the columns 0..101, so 102 colours with a step
    // of 255 / 102 = 2.5 per column (rounded ties to even).
    clsGradient gradient;
    gradient.SetAngle(0);
    gradient.SetColor1(0x000000);
    gradient.SetColor2(0xFFFFFF);
    QImage image = Surface(100, 50);
    ASSERT_TRUE(gradient.Draw(image, 100, 50));
    const std::pair<int, int> columns[] = {{0, 0}, {1, 2}, {2, 5}, {3, 8}, {50, 125}, {98, 245}, {99, 248}};
    for (const auto& [x, level] : columns) {
        EXPECT_EQ(PixelBgr(image, x, 0), Grey(level)) << "column " << x;
        EXPECT_EQ(PixelBgr(image, x, 49), Grey(level)) << "column " << x;
        EXPECT_EQ(PixelBgr(image, x, 25), Grey(level)) << "column " << x;
    }
}

TEST(clsGradient, AngleOneEightyStartsAtTheRightEdge) {
    // The first line is the right edge itself (column 100, just outside the
    // picture), so column 99 shows the second colour.
    clsGradient gradient;
    gradient.SetAngle(180);
    gradient.SetColor1(0x000000);
    gradient.SetColor2(0xFFFFFF);
    QImage image = Surface(100, 50);
    ASSERT_TRUE(gradient.Draw(image, 100, 50));
    EXPECT_EQ(PixelBgr(image, 99, 10), Grey(2));
    EXPECT_EQ(PixelBgr(image, 98, 10), Grey(5));
    EXPECT_EQ(PixelBgr(image, 0, 10), Grey(250));
}

TEST(clsGradient, AngleNinetySweepsRowsFromTheBottom) {
    clsGradient gradient;
    gradient.SetAngle(90);
    gradient.SetColor1(0x0000FF);  // red in the low byte
    gradient.SetColor2(0x000000);
    QImage image = Surface(40, 60);
    ASSERT_TRUE(gradient.Draw(image, 40, 60));
    // Rows 60 (the bottom edge, just outside) up to -1 are 62 lines; the
    // red step is -255 / 62 in single precision.
    const float step = -255.0f / 62;
    EXPECT_EQ(PixelBgr(image, 20, 59), static_cast<std::uint32_t>(runtime::CLng(255 + 1 * static_cast<double>(step))));
    EXPECT_EQ(PixelBgr(image, 0, 59), 251u);
    EXPECT_EQ(PixelBgr(image, 20, 58), static_cast<std::uint32_t>(runtime::CLng(255 + 2 * static_cast<double>(step))));
    EXPECT_LT(PixelBgr(image, 20, 0) & 0xFF, 10u);
}

TEST(clsGradient, EveryPixelOfAWindowIsPaintedAtAnyAngle) {
    for (float angle : {0.0f, 45.0f, 90.0f, 135.0f, 180.0f, 225.0f, 270.0f, 315.0f, 30.0f, 200.0f, 359.0f}) {
        clsGradient gradient;
        gradient.SetAngle(angle);
        gradient.SetColor1(0xFFFFFF);
        gradient.SetColor2(0xC0C0C0);
        QImage image = Surface(681, 265);
        ASSERT_TRUE(gradient.Draw(image, 681, 265)) << angle;
        int unpainted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) unpainted += QColor(image.pixel(x, y)) == QColor(Qt::magenta);
        }
        EXPECT_EQ(unpainted, 0) << "angle " << angle;
    }
}

TEST(clsGradient, TooSmallAnAreaPaintsNothing) {
    clsGradient gradient;
    for (const QSize size : {QSize(1, 50), QSize(50, 1), QSize(1, 1), QSize(0, 0)}) {
        QImage image = Surface(std::max(1, size.width()), std::max(1, size.height()));
        EXPECT_FALSE(gradient.Draw(image, size.width(), size.height())) << size.width() << "x" << size.height();
        EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::magenta));
    }
    platform::PictureBox box;
    box.resize(80, 1);
    EXPECT_FALSE(gradient.Draw(box));
}

TEST(clsGradient, AngleIsHeldBelowThreeSixty) {
    const std::pair<float, float> cases[] = {{-45, 315}, {360, 0}, {720, 0}, {405, 45}, {225, 225}, {-360, 0}};
    clsGradient gradient;
    EXPECT_EQ(gradient.Angle(), 315.0f);
    for (const auto& [in, out] : cases) {
        gradient.SetAngle(in);
        EXPECT_EQ(gradient.Angle(), out) << in;
    }
}

TEST(clsGradient, SystemColoursAreResolvedWhenSet) {
    clsGradient gradient;
    EXPECT_EQ(gradient.Color1(), 0xFFFFD0);
    EXPECT_EQ(gradient.Color2(), 0x400000);
    gradient.SetColor1(static_cast<std::int32_t>(0x8000000Fu));
    EXPECT_EQ(gradient.Color1(), static_cast<std::int32_t>(platform::GetSysColor(15)));
    gradient.SetColor2(static_cast<std::int32_t>(0x80000040u));  // not a system colour index
    EXPECT_EQ(gradient.Color2(), static_cast<std::int32_t>(0x80000040u));
}

TEST(clsGradient, BlendColorsDividesByTheStepCount) {
    clsGradient gradient;
    std::vector<std::int32_t> colours;
    EXPECT_EQ(gradient.BlendColors(0x000000, 0xFFFFFF, 1, colours), 2);
    EXPECT_EQ(colours, (std::vector<std::int32_t>{0x000000, 0xFFFFFF}));
    EXPECT_EQ(gradient.BlendColors(0x000000, 0x0000FF, 4, colours), 4);
    // Red steps of 255 / 4 = 63.75: 64, 128 (127.5 to even), then the end colour.
    EXPECT_EQ(colours, (std::vector<std::int32_t>{0x000000, 64, 128, 0x0000FF}));
    EXPECT_EQ(gradient.BlendColors(0x102030, 0x102030, 3, colours), 3);
    EXPECT_EQ(colours, (std::vector<std::int32_t>{0x102030, 0x102030, 0x102030}));
}

TEST(ApplyGradient, ThePaintingStaysOnThePicture) {
    platform::PictureBox box;
    box.resize(120, 80);
    shell::ApplyGradient(box, 225, 0xFFFFFF, 0xE0E0E0);
    const QImage before = box.Canvas().copy(0, 0, 120, 80);
    box.Refresh();
    box.resize(120, 80);
    EXPECT_EQ(box.Canvas().copy(0, 0, 120, 80), before);
    EXPECT_NE(before.pixel(0, 0), before.pixel(119, 79));
    const QImage grabbed = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grabbed.pixel(60, 40), before.pixel(60, 40));
}

}  // namespace
