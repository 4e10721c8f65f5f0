#include "ViewCamera.h"

#include <cmath>

namespace ferrolyt::particles {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double TurnDegrees = 2.0;

double Radians(double degrees) { return degrees * Pi / 180.0; }

} // namespace

TMatrix4 IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

TMatrix4 MultiplyMatrix(const TMatrix4& a, const TMatrix4& b)
{
    TMatrix4 r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            // Summed in double so that long key sequences drift less.
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += double(a[k * 4 + row]) * double(b[col * 4 + k]);
            r[col * 4 + row] = static_cast<float>(s);
        }
    return r;
}

TMatrix4 RotationMatrix(double degrees, double x, double y, double z)
{
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0))
        return IdentityMatrix();
    x /= len;
    y /= len;
    z /= len;
    const double c = std::cos(Radians(degrees));
    const double s = std::sin(Radians(degrees));
    const double t = 1 - c;
    TMatrix4 m = IdentityMatrix();
    m[0] = float(x * x * t + c);
    m[1] = float(y * x * t + z * s);
    m[2] = float(x * z * t - y * s);
    m[4] = float(x * y * t - z * s);
    m[5] = float(y * y * t + c);
    m[6] = float(y * z * t + x * s);
    m[8] = float(x * z * t + y * s);
    m[9] = float(y * z * t - x * s);
    m[10] = float(z * z * t + c);
    return m;
}

TMatrix4 TranslationMatrix(double x, double y, double z)
{
    TMatrix4 m = IdentityMatrix();
    m[12] = float(x);
    m[13] = float(y);
    m[14] = float(z);
    return m;
}

std::int16_t WrapAngle(int degrees)
{
    while (degrees > 180)
        degrees -= 360;
    while (degrees < -179)
        degrees += 360;
    return static_cast<std::int16_t>(degrees);
}

void TCamera::Home()
{
    CameraEye = {0, 0, 14};
    CameraAzimuth = 0;
    CameraSlope = 0;
    matrix_ = IdentityMatrix();
    Translate(-CameraEye[0], -CameraEye[1], -CameraEye[2]);
}

void TCamera::Rebuild()
{
    matrix_ = IdentityMatrix();
    Rotate(CameraAzimuth, 0, 1, 0);
    Rotate(-CameraSlope, 1, 0, 0);
    Translate(-CameraEye[0], -CameraEye[1], -CameraEye[2]);
}

void TCamera::Rotate(double degrees, double x, double y, double z)
{
    matrix_ = MultiplyMatrix(matrix_, RotationMatrix(degrees, x, y, z));
}

void TCamera::Translate(double x, double y, double z)
{
    matrix_ = MultiplyMatrix(matrix_, TranslationMatrix(x, y, z));
}

void TCamera::WrapAngles()
{
    CameraAzimuth = WrapAngle(CameraAzimuth);
    CameraSlope = WrapAngle(CameraSlope);
}

std::array<double, 3> TCamera::ViewDirection() const
{
    const double a = Radians(CameraAzimuth);
    const double s = Radians(CameraSlope);
    return {std::cos(s) * std::sin(a), std::sin(s), -std::cos(s) * std::cos(a)};
}

// The eye turned about an axis through the origin (Rodrigues' formula); an
// orbit turns the eye against the turn of the transform, so that the scene
// keeps its place in front of the camera.
void TCamera::TurnEye(double degrees, double ax, double ay, double az)
{
    const double len = std::sqrt(ax * ax + ay * ay + az * az);
    if (!(len > 0))
        return;
    ax /= len;
    ay /= len;
    az /= len;
    const double c = std::cos(Radians(degrees));
    const double s = std::sin(Radians(degrees));
    const auto& e = CameraEye;
    const double dot = ax * e[0] + ay * e[1] + az * e[2];
    const double cx = ay * e[2] - az * e[1];
    const double cy = az * e[0] - ax * e[2];
    const double cz = ax * e[1] - ay * e[0];
    CameraEye = {e[0] * c + cx * s + ax * dot * (1 - c), e[1] * c + cy * s + ay * dot * (1 - c),
                 e[2] * c + cz * s + az * dot * (1 - c)};
}

void TCamera::Key(TCameraKey key, TCameraModifier modifier)
{
    const double azi = Radians(CameraAzimuth);
    const double tiltX = std::cos(azi), tiltZ = std::sin(azi);
    const double c = std::cos(Radians(TurnDegrees)), s = std::sin(Radians(TurnDegrees));

    Translate(CameraEye[0], CameraEye[1], CameraEye[2]);
    switch (key) {
    case TCameraKey::PageUp:
        Rotate(-TurnDegrees, tiltX, 0, tiltZ);
        CameraSlope = static_cast<std::int16_t>(CameraSlope + 2);
        break;
    case TCameraKey::PageDown:
        Rotate(TurnDegrees, tiltX, 0, tiltZ);
        CameraSlope = static_cast<std::int16_t>(CameraSlope - 2);
        break;
    case TCameraKey::Home:
        if (modifier == TCameraModifier::Shift) {
            Rotate(-CameraAzimuth, 0, 1, 0);
            CameraAzimuth = 0;
        } else if (modifier == TCameraModifier::Alt) {
            Rotate(CameraSlope, tiltX, 0, tiltZ);
            CameraSlope = 0;
        } else {
            CameraEye = {0, 0, 14};
            CameraAzimuth = 0;
            CameraSlope = 0;
            matrix_ = IdentityMatrix();
        }
        break;
    case TCameraKey::Left:
    case TCameraKey::Right: {
        const double sign = key == TCameraKey::Left ? 1.0 : -1.0;
        if (modifier == TCameraModifier::Shift) {
            CameraEye[0] -= sign * std::cos(azi) * CameraStep;
            CameraEye[2] -= sign * std::sin(azi) * CameraStep;
        } else if (modifier == TCameraModifier::Alt) {
            CameraAzimuth = static_cast<std::int16_t>(CameraAzimuth + 2 * sign);
            Rotate(TurnDegrees * sign, 0, 1, 0);
            const double x = CameraEye[0], z = CameraEye[2];
            CameraEye[0] = c * x - sign * s * z;
            CameraEye[2] = sign * s * x + c * z;
        } else {
            Rotate(-TurnDegrees * sign, 0, 1, 0);
            CameraAzimuth = static_cast<std::int16_t>(CameraAzimuth - 2 * sign);
        }
        break;
    }
    case TCameraKey::Up:
    case TCameraKey::Down: {
        const double sign = key == TCameraKey::Up ? 1.0 : -1.0;
        if (modifier == TCameraModifier::Shift) {
            CameraEye[1] += sign * CameraStep;
        } else if (modifier == TCameraModifier::Alt) {
            Rotate(TurnDegrees * sign, tiltX, 0, tiltZ);
            CameraSlope = static_cast<std::int16_t>(CameraSlope - 2 * sign);
            TurnEye(-TurnDegrees * sign, tiltX, 0, tiltZ);
        } else {
            const auto d = ViewDirection();
            for (int k = 0; k < 3; ++k)
                CameraEye[k] += sign * CameraStep * d[k];
        }
        break;
    }
    }
    Translate(-CameraEye[0], -CameraEye[1], -CameraEye[2]);
    WrapAngles();
}

void TCamera::Wheel(int delta, bool shift)
{
    if (delta == 0)
        return;
    const double sign = delta > 0 ? 1.0 : -1.0;
    std::array<double, 3> move{0, 0, 0};
    if (shift)
        move[1] = sign * CameraStep;
    else {
        const auto d = ViewDirection();
        for (int k = 0; k < 3; ++k)
            move[k] = sign * CameraStep * d[k];
    }
    for (int k = 0; k < 3; ++k)
        CameraEye[k] += move[k];
    Translate(-move[0], -move[1], -move[2]);
}

} // namespace ferrolyt::particles
