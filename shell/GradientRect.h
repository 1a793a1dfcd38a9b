#pragma once

#include <cstdint>
#include <vector>

#include <QImage>

namespace platform {
class Dialogs;
class PictureBox;
}  // namespace platform

namespace shell {

// Paints a linear two-colour gradient at any angle by sweeping parallel
// one-pixel lines across a picture, each line one step of the colour ramp.
// Colours are 0x00BBGGRR; a negative value below 25 in its low 31 bits names
// a system colour and is resolved when set.
class clsGradient {
public:
    // `dialogs` shows the error box of a failed painting; it may be null.
    explicit clsGradient(platform::Dialogs* dialogs = nullptr) : dialogs_(dialogs) {}

    // Paints onto the picture's drawing surface. False when the client area
    // is 1 pixel or less either way, or nothing was drawn.
    bool Draw(platform::PictureBox& picObj);
    // The same onto an image of the given client size (the image is the
    // surface; it must be at least that large).
    bool Draw(QImage& surface, int width, int height);

    // Fills `colours` with the ramp from colour1 to colour2 in `steps` colours
    // (at least 2) and returns their number. The step is the difference
    // divided by the count, so the next-to-last colour falls one step short
    // of colour2 and the last one is colour2 itself.
    std::int32_t BlendColors(std::int32_t colour1, std::int32_t colour2, std::int32_t steps,
                             std::vector<std::int32_t>& colours) const;

    void SetColor1(std::int32_t colour);
    std::int32_t Color1() const { return color1_; }
    void SetColor2(std::int32_t colour);
    std::int32_t Color2() const { return color2_; }
    // Held in 0 (inclusive) to 360 (exclusive): -45 becomes 315.
    void SetAngle(float degrees);
    float Angle() const { return angle_; }

private:
    struct PointF {
        float X;
        float Y;
    };

    std::int32_t DrawGradient(QImage& surface, int width, int height);
    static void RotatePoint(const PointF& centre, PointF& point, float angle);
    static double SafeDivide(double numerator, double denominator);
    static float Normalised(double degrees);
    void ReportError(const char* title, const char* description) const;

    std::int32_t color1_ = 0xFFFFD0;
    std::int32_t color2_ = 0x400000;
    float angle_ = 315.0f;
    platform::Dialogs* dialogs_;
};

// Paints a picture's background with the shared gradient painter:
// angle, then the two colours, then Draw, then a refresh so it shows.
void ApplyGradient(platform::PictureBox& target, float angle, std::int32_t colour1, std::int32_t colour2);

}  // namespace shell
