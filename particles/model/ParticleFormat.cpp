#include "ParticleFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ferrolyt::particles {

namespace {

bool NonFinite(double v, std::string& text)
{
    if (std::isnan(v))
        text = "NAN";
    else if (std::isinf(v))
        text = v > 0 ? "INF" : "-INF";
    else
        return false;
    return true;
}

void DropTrailingZeros(std::string& s)
{
    const std::size_t point = s.find('.');
    if (point == std::string::npos)
        return;
    std::size_t end = s.size();
    while (end > point + 1 && s[end - 1] == '0')
        --end;
    if (end == point + 1)
        --end;
    s.erase(end);
}

} // namespace

std::string FormatGeneral(double value, int precision, int width)
{
    std::string text;
    if (precision < 1)
        precision = 1;
    if (precision > 17)
        precision = 17;
    if (!NonFinite(value, text)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
        const char* e = std::strchr(buf, 'e');
        const int exponent = e ? std::atoi(e + 1) : 0;
        if (value == 0) {
            text = "0";
        } else if (exponent < -5 || exponent >= precision) {
            std::string mantissa(buf, static_cast<std::size_t>(e - buf));
            DropTrailingZeros(mantissa);
            std::snprintf(buf, sizeof buf, "E%c%d", exponent < 0 ? '-' : '+', std::abs(exponent));
            text = mantissa + buf;
        } else {
            std::snprintf(buf, sizeof buf, "%.*f", precision - 1 - exponent, value);
            text = buf;
            DropTrailingZeros(text);
        }
    }
    if (static_cast<int>(text.size()) < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

std::string FormatFixed(double value, int decimals)
{
    std::string text;
    if (NonFinite(value, text))
        return text;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

std::string FormatUpTo(double value, int decimals)
{
    std::string text = FormatFixed(value, decimals);
    if (text != "NAN" && text.find("INF") == std::string::npos) {
        DropTrailingZeros(text);
        if (text == "-0")
            text = "0";
    }
    return text;
}

std::string ShownOrNoValue(double value, std::string text, int width)
{
    if (std::isfinite(value))
        return text;
    std::string shown(NoValueText);
    if (width > 1)
        shown.insert(0, std::size_t(width - 1), ' ');
    return shown;
}

} // namespace ferrolyt::particles
