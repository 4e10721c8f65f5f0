#include "FieldRanges.h"

#include "Model.h"

#include <algorithm>
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

std::string OutOfRange(const TFieldRange& range, long double v)
{
    if (v >= range.Min && v <= range.Max)
        return {};
    return Number(v) + " поза межами " + Number(range.Min) + ".." + Number(range.Max);
}

std::string InvertedRange(long double lo, long double hi, char separator)
{
    if (IsUnset(lo) || IsUnset(hi) || !(lo > hi))
        return {};
    auto number = [separator](long double v) {
        std::string s = Number(v);
        std::replace(s.begin(), s.end(), '.', separator);
        return s;
    };
    return "нижня межа " + number(lo) + " більша за верхню " + number(hi);
}

TFileNumber ReadFileNumber(std::string_view text, long double& value, const TFieldRange& range,
                           std::string& refusal, bool unsetAllowed)
{
    refusal.clear();
    value = UnsetValue;
    if (const std::size_t length = Utf8Length(text); length > ShortStringCapacity) {
        refusal = "значення з " + std::to_string(length) + " символів довше за " +
                  std::to_string(ShortStringCapacity) + ", що вміщує поле";
        return TFileNumber::Refused;
    }
    if (unsetAllowed && text == "-")
        return TFileNumber::Unset;
    long double v = 0;
    if (TryParseReal(DecimalDot(text), v)) {
        refusal = OutOfRange(range, v);
        if (!refusal.empty())
            return TFileNumber::Refused;
        value = v;
        return TFileNumber::Number;
    }
    if (text.empty())
        refusal = "немає значення";
    else if (MeansANumber(text))
        refusal = "\"" + Utf8Left(text, 24) + "\" не є скінченним числом";
    else
        refusal = "\"" + Utf8Left(text, 24) + "\" не є числом (" + DecimalSeparatorNote + ")";
    return TFileNumber::Refused;
}

bool ReadFieldOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi,
                      const TFieldRange& range, std::string& refusal, bool unsetAllowed)
{
    refusal.clear();
    lo = hi = UnsetValue;
    std::string token;
    // Cut without the short string's capacity: a longer field is refused,
    // never cut into another number.
    if (!CutValueField(line, marker, delims, token, std::string::npos))
        return false;
    auto readPart = [&](std::string_view text, long double& value) {
        std::string reason;
        const TFileNumber read = ReadFileNumber(text, value, range, reason, unsetAllowed);
        if (refusal.empty())
            refusal = reason;
        return read == TFileNumber::Number;
    };
    if (Utf8Length(token) > ShortStringCapacity) {
        long double ignored = 0;
        readPart(token, ignored);
        return false;
    }
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
