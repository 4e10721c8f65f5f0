#pragma once
// One field of a valid data file damaged at a time, as a hand edit in the
// wrong place damages it: left out, given twice, mistyped, or merely
// written another way for the same value. A reader must then load exactly
// the tables it loaded before or refuse the file naming that very line.

#include "Utils.h"

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace ferrolyt::test {

// A field: its line (0-based) and its byte span in that line.
struct TField {
    std::size_t Line;
    std::size_t Begin;
    std::size_t End;
};

// The blank-separated words of a line from byte `from` on, as fields.
inline std::vector<TField> Words(const std::string& line, std::size_t index, std::size_t from = 0)
{
    std::vector<TField> words;
    std::size_t pos = from;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start)
            words.push_back({index, start, pos});
    }
    return words;
}

struct TDamage {
    std::vector<std::string> Lines;
    std::string What;      // for the failure message
    bool SameValue = false; // written another way for the same value
};

// Damages `field` of `lines` in one of several ways, chosen by `random`.
inline TDamage DamageField(const std::vector<std::string>& lines, const TField& field, std::mt19937& random)
{
    TDamage d{lines, {}, false};
    std::string& line = d.Lines[field.Line];
    const std::string text = line.substr(field.Begin, field.End - field.Begin);
    auto put = [&](const std::string& with, const std::string& what) {
        line.replace(field.Begin, field.End - field.Begin, with);
        d.What = what + ": \"" + text + "\" -> \"" + with + "\" in line " + std::to_string(field.Line + 1);
    };
    static const char* const Typos[] = {"abc", "0x10", "--1", "nan", "inf", "1,5,2", "1.5.2", "1e400", "5/", "/5", "+"};
    switch (random() % 6) {
    case 0: // left out, with the blank before it
        line.erase(field.Begin, field.End - field.Begin);
        d.What = "left out: \"" + text + "\" in line " + std::to_string(field.Line + 1);
        break;
    case 1:
        put(text + " " + text, "given twice");
        break;
    case 2:
        put(Typos[random() % std::size(Typos)], "mistyped");
        break;
    case 3:
        put(text + std::string(300, '0'), "longer than a field holds");
        break;
    default: {
        // The same number written another way: a decimal comma, a plus
        // sign, a trailing zero.
        std::string same = text;
        long double v = 0;
        const std::size_t dot = same.find('.');
        if (same.find(',') == std::string::npos && dot != std::string::npos && random() % 2)
            same[dot] = ',';
        else if (!same.empty() && same[0] >= '0' && same[0] <= '9')
            same.insert(0, "+");
        else if (dot != std::string::npos && same.find_first_of("eE/") == std::string::npos)
            same += "0";
        d.SameValue = same != text && TryParseReal(DecimalDot(same.substr(same[0] == '+' ? 1 : 0)), v);
        put(same, "written another way");
        break;
    }
    }
    return d;
}

} // namespace ferrolyt::test
