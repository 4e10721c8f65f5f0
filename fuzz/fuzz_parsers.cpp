// Fuzz target for the tokenizer and the value-or-range parser,
// and for the UTF-8 and code page helpers they sit beside. The input is one
// line of a data file: it is read the way the materials and task readers
// read theirs (column values without a marker up to '$', then the marked
// fields), and cut into words.
#include "TextFile.h"
#include "Utils.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ferrolyt;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ReadFields(std::string line)
{
    static const TCharSet markerStops = TCharSet::Of("!#%&*@{~$|");
    long double lo = 0, hi = 0;
    // Column values until one does not read.
    for (int k = 0; k < 64; ++k) {
        const std::size_t before = line.size();
        const bool ok = ReadValueOrRange(line, '\0', TCharSet::Of("$"), lo, hi);
        Check(!std::isnan(lo) && !std::isnan(hi));
        Check(!ok || (std::isfinite(lo) && std::isfinite(hi)));
        if (!ok && line.size() == before)
            break;
    }
    // Marked fields, each read twice.
    for (char marker : {'$', '#', '%', '&', '*', '@', '|', '!'}) {
        for (int k = 0; k < 2; ++k) {
            const bool ok = ReadValueOrRange(line, marker, markerStops, lo, hi);
            Check(!std::isnan(lo) && !std::isnan(hi));
            Check(!ok || (std::isfinite(lo) && std::isfinite(hi)));
        }
    }
}

void CutWords(std::string line)
{
    std::string token;
    for (int k = 0; k < 4096 && !line.empty(); ++k) {
        const std::size_t before = line.size();
        NextToken(line, token, 1, 1, BlankSet, 25);
        Check(Utf8Length(token) <= 25);
        if (line.size() == before)
            line.erase(0, 1); // the stop blank stays: step over it
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    ReadFields(input);
    CutWords(input);

    // The same line as a reader sees it: decoded from code page 1251.
    const std::string utf8 = FromCp1251(input);
    ReadFields(utf8);
    CutWords(utf8);
    Check(ToCp1251(utf8) == input); // every byte has a character and back

    // A token from an arbitrary start with the first byte as a delimiter.
    if (size > 1) {
        std::string line = input;
        std::string token;
        NextToken(line, token, data[0], 1 + data[1] % 3, TCharSet{data[size - 1]}, data[0]);
        Check(Utf8Length(token) <= data[0]);
    }

    const std::string upper = UpperCase1251(input);
    Check(Utf8Length(upper) == Utf8Length(input));
    Check(Utf8Left(input, Utf8Length(input)) == input);
    return 0;
}
