#pragma once
// The camera of the particle view, kept apart from OpenGL so that it can be
// checked without a display. The projection stack of the view holds the
// untransformed perspective below and the camera transform on top; this
// class owns that camera transform and changes it the way the camera keys
// do: a key undoes the eye translation, applies its rotation and translates
// by the (possibly moved) eye again. Matrices are column-major 4x4 floats,
// multiplied on the right as glRotate and glTranslate do, so the view can
// load them unchanged.

#include <array>
#include <cstdint>

namespace ferrolyt::particles {

using TMatrix4 = std::array<float, 16>;

TMatrix4 IdentityMatrix();
// a x b (column-major), the product glMultMatrix forms.
TMatrix4 MultiplyMatrix(const TMatrix4& a, const TMatrix4& b);
// The matrices glRotate (degrees, axis need not be unit) and glTranslate make.
TMatrix4 RotationMatrix(double degrees, double x, double y, double z);
TMatrix4 TranslationMatrix(double x, double y, double z);

enum class TCameraKey { PageUp, PageDown, Home, Left, Right, Up, Down };
// "Shift" and "Alt" mean that modifier alone; any other mix counts as none.
enum class TCameraModifier { None, Shift, Alt };

class TCamera {
public:
    TCamera() { Home(); }

    std::int16_t CameraAzimuth = 0;
    std::int16_t CameraSlope = 0;
    std::array<double, 3> CameraEye = {0, 0, 14};
    double CameraStep = 0.5;

    // The camera transform (the top of the projection stack).
    const TMatrix4& Matrix() const { return matrix_; }

    // Eye (0, 0, 14), both angles 0, transform = translation by -eye.
    void Home();
    // The transform rebuilt from the angles and the eye, as the view does
    // when it (re)initialises: rotate azimuth about Y, rotate -slope about
    // X, translate by -eye.
    void Rebuild();

    void Key(TCameraKey key, TCameraModifier modifier);
    // The mouse wheel: one step along Y (Shift) or along the view direction.
    void Wheel(int delta, bool shift);

    // Forward direction of the view for the current angles.
    std::array<double, 3> ViewDirection() const;

private:
    void Rotate(double degrees, double x, double y, double z);
    void Translate(double x, double y, double z);
    void WrapAngles();
    void TurnEye(double degrees, double ax, double ay, double az);

    TMatrix4 matrix_{};
};

// Keeps an angle in -179..180.
std::int16_t WrapAngle(int degrees);

} // namespace ferrolyt::particles
