#include "shell/GradientRect.h"

#include <cmath>

#include "platform/Colours.h"
#include "platform/QtDialogs.h"
#include "platform/Gdi.h"
#include "platform/PictureBox.h"
#include "runtime/Error.h"
#include "runtime/Rounding.h"

namespace shell {

using runtime::CLng;

namespace {

std::int32_t ResolveSystemColour(std::int32_t colour) {
    if (colour < 0 && (static_cast<std::uint32_t>(colour) & 0x7FFFFFFFu) < 25u) {
        return static_cast<std::int32_t>(platform::GetSysColor(static_cast<int>(colour & 0x7FFFFFFF)));
    }
    return colour;
}

struct PointL {
    std::int32_t X;
    std::int32_t Y;
};

}  // namespace

void clsGradient::SetColor1(std::int32_t colour) { color1_ = ResolveSystemColour(colour); }
void clsGradient::SetColor2(std::int32_t colour) { color2_ = ResolveSystemColour(colour); }

float clsGradient::Normalised(double degrees) {
    return static_cast<float>(degrees - runtime::Int(degrees / 360.0) * 360.0);
}

void clsGradient::SetAngle(float degrees) { angle_ = Normalised(degrees); }

double clsGradient::SafeDivide(double numerator, double denominator) {
    return denominator == 0 ? 0.0 : numerator / denominator;
}

void clsGradient::RotatePoint(const PointF& centre, PointF& point, float angle) {
    const float theta = static_cast<float>(angle * 0.017453292519943278);
    const double dx = static_cast<double>(point.X - centre.X);
    const double dy = static_cast<double>(point.Y - centre.Y);
    const double s = std::sin(static_cast<double>(theta));
    const double c = std::cos(static_cast<double>(theta));
    point.X = static_cast<float>(dy * s + dx * c + centre.X);
    point.Y = static_cast<float>(dy * c - dx * s + centre.Y);
}

std::int32_t clsGradient::BlendColors(std::int32_t colour1, std::int32_t colour2, std::int32_t steps,
                                      std::vector<std::int32_t>& colours) const {
    if (steps < 2) steps = 2;
    const std::int32_t red1 = colour1 & 0xFF, green1 = (colour1 & 0xFF00) / 256, blue1 = (colour1 & 0xFF0000) / 65536;
    const std::int32_t red2 = colour2 & 0xFF, green2 = (colour2 & 0xFF00) / 256, blue2 = (colour2 & 0xFF0000) / 65536;
    const auto redStep = static_cast<float>(SafeDivide(red2 - red1, steps));
    const auto greenStep = static_cast<float>(SafeDivide(green2 - green1, steps));
    const auto blueStep = static_cast<float>(SafeDivide(blue2 - blue1, steps));
    colours.assign(static_cast<std::size_t>(steps), 0);
    colours.front() = colour1;
    colours.back() = colour2;
    for (std::int32_t k = 1; k <= steps - 2; ++k) {
        colours[static_cast<std::size_t>(k)] = CLng(blue1 + k * static_cast<double>(blueStep)) * 65536 +
                                               CLng(green1 + k * static_cast<double>(greenStep)) * 256 +
                                               CLng(red1 + k * static_cast<double>(redStep));
    }
    return steps;
}

bool clsGradient::Draw(platform::PictureBox& picObj) {
    picObj.setUpdatesEnabled(false);
    const int width = picObj.width();
    const int height = picObj.height();
    bool drawn = false;
    if (width > 1 && height > 1) drawn = Draw(picObj.Canvas(), width, height);
    picObj.setUpdatesEnabled(true);
    return drawn;
}

bool clsGradient::Draw(QImage& surface, int width, int height) {
    if (width <= 1 || height <= 1) return false;
    try {
        return DrawGradient(surface, width, height) > 0;
    } catch (const runtime::Error& error) {
        ReportError("GradientRect", error.Description().c_str());
        return false;
    } catch (const std::exception& error) {
        ReportError("GradientRect", error.what());
        return false;
    }
}

void clsGradient::ReportError(const char* title, const char* description) const {
    if (dialogs_) dialogs_->MsgBox(description, platform::kExclamation, title);
}

std::int32_t clsGradient::DrawGradient(QImage& surface, int width, int height) {
    const PointF centre{static_cast<float>(width / 2), static_cast<float>(height / 2)};
    const double longest = width > height ? width : height;
    const double radius = (std::sqrt(longest * longest + longest * longest) + 2) / 2;
    PointF p0{static_cast<float>(centre.X - radius), centre.Y};
    PointF p1{static_cast<float>(centre.X + radius), centre.Y};
    const float rotation = Normalised(static_cast<double>(angle_) + 90.0);
    RotatePoint(centre, p0, rotation);
    RotatePoint(centre, p1, rotation);

    // The sweep runs across the guide line, from the edge where it starts.
    const float dx = std::fabs(p0.X - p1.X);
    const float dy = std::fabs(p0.Y - p1.Y);
    const float smallX = p0.X > p1.X ? p1.X : p0.X, largeX = p0.X > p1.X ? p0.X : p1.X;
    const float smallY = p0.Y > p1.Y ? p1.Y : p0.Y, largeY = p0.Y > p1.Y ? p0.Y : p1.Y;
    double offX = 0, offY = 0;
    int stepX = 0, stepY = 0;
    const bool steep = dy >= dx;
    if (angle_ <= 90.0f) {
        if (steep) offX = -largeX, stepX = 1; else offY = height - smallY, stepY = -1;
    } else if (angle_ <= 180.0f) {
        if (steep) offX = width - smallX, stepX = -1; else offY = height - smallY, stepY = -1;
    } else if (angle_ <= 270.0f) {
        if (steep) offX = width - smallX, stepX = -1; else offY = -largeY, stepY = 1;
    } else {
        if (steep) offX = -largeX, stepX = 1; else offY = -largeY, stepY = 1;
    }

    const auto pastFarEdge = [&](const PointL& p) {
        if (stepX == 1) return p.X > width;
        if (stepX == -1) return p.X < 0;
        if (stepY == 1) return p.Y > height;
        return p.Y < 0;
    };
    std::vector<PointL> points;
    points.reserve(1000);
    points.push_back({CLng(offX + p0.X), CLng(offY + p0.Y)});
    points.push_back({CLng(offX + p1.X), CLng(offY + p1.Y)});
    do {
        const PointL& back = points[points.size() - 2];
        points.push_back({back.X + stepX, back.Y + stepY});
    } while (!(pastFarEdge(points[points.size() - 1]) && pastFarEdge(points[points.size() - 2])));

    const auto count = static_cast<std::int32_t>(points.size());
    std::vector<std::int32_t> colours;
    BlendColors(color1_, color2_, CLng(count / 2.0), colours);

    platform::DeviceContext dc(surface);
    std::int32_t j = 0;
    for (; j <= count - 2; j += 2) {
        dc.MoveToEx(points[static_cast<std::size_t>(j)].X, points[static_cast<std::size_t>(j)].Y);
        const auto colour = static_cast<std::uint32_t>(colours[static_cast<std::size_t>(j / 2)]);
        const platform::Pen previous = dc.SelectObject(platform::CreatePen(0, 1, colour));
        dc.LineTo(points[static_cast<std::size_t>(j) + 1].X, points[static_cast<std::size_t>(j) + 1].Y);
        dc.SelectObject(previous);
    }
    return j;
}

void ApplyGradient(platform::PictureBox& target, float angle, std::int32_t colour1, std::int32_t colour2) {
    // One painter for the whole program, made on first use.
    static platform::QtDialogs errorBoxes;
    static clsGradient painter(&errorBoxes);
    painter.SetAngle(angle);
    painter.SetColor1(colour1);
    painter.SetColor2(colour2);
    painter.Draw(target);
    target.Refresh();
}

}  // namespace shell
