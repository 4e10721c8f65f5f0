#include "FieldRanges.h"

#include "Model.h"

#include <cmath>
#include <cstdio>

namespace ferrolyt {

namespace {

std::string Number(long double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6Lg", v);
    return buf;
}

// A text the strict parser refused that still means a number: a word for
// infinity or not-a-number, or digits with an exponent too large to hold.
bool MeansANumber(std::string_view text)
{
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    std::string lower;
    for (char c : text.substr(0, 3))
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "nan" || lower == "inf")
        return true;
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != ',' && c != 'e' && c != 'E' && c != '+' && c != '-')
            return false;
    }
    return digit && text.find_first_of("eE") != std::string_view::npos;
}

} // namespace

std::string OutOfRange(const TFieldRange& range, long double v, bool unsetAllowed)
{
    if ((unsetAllowed && IsUnset(v)) || (v >= range.Min && v <= range.Max))
        return {};
    return Number(v) + " поза межами " + Number(range.Min) + ".." + Number(range.Max);
}

std::string InvertedRange(long double lo, long double hi)
{
    if (IsUnset(lo) || IsUnset(hi) || !(lo > hi))
        return {};
    return "нижня межа " + Number(lo) + " більша за верхню " + Number(hi);
}

bool ReadFieldOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi,
                      const TFieldRange& range, std::string& refusal, bool unsetAllowed)
{
    refusal.clear();
    lo = hi = UnsetValue;
    std::string token;
    if (!CutValueField(line, marker, delims, token))
        return false;
    auto readPart = [&](std::string_view text, long double& value) {
        if (TryParseReal(DecimalDot(text), value)) {
            if (refusal.empty())
                refusal = OutOfRange(range, value, unsetAllowed);
            return true;
        }
        value = UnsetValue;
        if (refusal.empty() && MeansANumber(text))
            refusal = "\"" + Utf8Left(text, 24) + "\" не є скінченним числом";
        return false;
    };
    const std::size_t slash = token.find('/');
    if (slash == std::string::npos) {
        const bool ok = readPart(token, lo);
        hi = lo;
        return ok;
    }
    const bool okLo = readPart(std::string_view(token).substr(0, slash), lo);
    const bool okHi = readPart(std::string_view(token).substr(slash + 1), hi);
    return okLo && okHi;
}

} // namespace ferrolyt
