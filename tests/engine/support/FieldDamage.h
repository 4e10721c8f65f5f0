#pragma once
// One field of a valid data file damaged at a time, as a hand edit in the
// wrong place damages it: left out, given twice, mistyped, too long, or only
// written another way for the same value.

#include "Utils.h"

#include <random>
#include <string>
#include <vector>

namespace ferrolyt::test {

struct TField {
    std::size_t Line; // 0-based
    std::size_t Begin, End;
};

// The blank-separated words of lines[line] from byte `from` on.
inline std::vector<TField> Words(const std::vector<std::string>& lines, std::size_t line, std::size_t from = 0)
{
    std::vector<TField> words;
    const std::string& s = lines[line];
    for (std::size_t pos = from; pos < s.size();) {
        const std::size_t start = s.find_first_not_of(" \t", pos);
        if (start == std::string::npos)
            break;
        pos = std::min(s.find_first_of(" \t", start), s.size());
        words.push_back({line, start, pos});
    }
    return words;
}

struct TDamage {
    std::vector<std::string> Lines;
    std::string What;
    bool SameValue = false; // only written another way
};

inline TDamage DamageField(const std::vector<std::string>& lines, const TField& f, std::mt19937& random)
{
    static const char* const Typos[] = {"abc", "0x10", "--1", "nan", "inf", "1,5,2", "1.5.2", "1e400", "5/", "+"};
    TDamage d{lines, {}, false};
    const std::string text = lines[f.Line].substr(f.Begin, f.End - f.Begin);
    std::string with;
    switch (random() % 5) {
    case 0: break; // left out
    case 1: with = text + " " + text; break;
    case 2: with = Typos[random() % std::size(Typos)]; break;
    case 3: with = text + std::string(300, '0'); break;
    default: {
        // A decimal comma, a plus sign or a trailing zero.
        with = text;
        const std::size_t dot = with.find('.');
        if (dot != std::string::npos && with.find(',') == std::string::npos)
            with[dot] = ',';
        else if (!with.empty() && with[0] >= '0' && with[0] <= '9')
            with.insert(0, "+");
        long double v = 0;
        d.SameValue = with != text && TryParseReal(DecimalDot(with[0] == '+' ? with.substr(1) : with), v);
    }
    }
    d.Lines[f.Line].replace(f.Begin, f.End - f.Begin, with);
    d.What = "\"" + text + "\" -> \"" + with + "\" in line " + std::to_string(f.Line + 1);
    return d;
}

} // namespace ferrolyt::test
