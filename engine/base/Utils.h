#pragma once
// The small free routines shared by the whole program: the
// tokenizer and the value-or-range parser on which every text-file reader
// rests, the decimal-separator fix, space filling, the sign and clamping
// routines of the numerics, the warning and stop-question boxes, the
// registry read (our own INI key store, KeyStore.h), the shortcut writer and
// the XOR descrambler. No Qt; the boxes go through CurrentHost() (Host.h).
//
// Text inside the program is UTF-8 std::string. The Pascal original works on
// short strings of code page 1251 characters (a length byte and at most 255
// characters). Delimiters, blanks, markers, '/', ',' and '.' are all ASCII,
// and a UTF-8 multi-byte sequence contains no ASCII byte, so the tokenizer
// works on bytes and gives the same tokens as the original did on
// characters. Two consequences to keep in mind:
//   - positions (NextToken's Start, PosChar's result) are 1-based BYTE
//     positions in the UTF-8 string; they equal character positions while
//     the text before them is ASCII, and they always agree with each other;
//   - every "cut to a capacity of N" cuts to N CHARACTERS (code points),
//     never inside a UTF-8 sequence (Utf8Left).
// A TCharSet used on UTF-8 text should hold ASCII codes only: a byte of 0x80
// or above would match inside multi-byte sequences.
//
// The parsers never throw; none of these routines keeps state of its own
// except AskStopCalculation, which sets StopRequested (RunState.h).

#include "RunState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolyt {

// ---------------------------------------------------------------------------
// Character set: 32 bytes, one bit per byte code (Pascal's set of Char).

class TCharSet {
public:
    constexpr TCharSet() = default;
    constexpr TCharSet(std::initializer_list<unsigned char> codes)
    {
        for (unsigned char c : codes)
            Add(c);
    }
    // The set of the bytes of a text ("\t " is the blank set).
    static constexpr TCharSet Of(std::string_view chars)
    {
        TCharSet s;
        for (char c : chars)
            s.Add(static_cast<unsigned char>(c));
        return s;
    }

    constexpr bool Contains(unsigned char c) const { return (bits_[c >> 3] >> (c & 7)) & 1u; }
    constexpr bool Contains(char c) const { return Contains(static_cast<unsigned char>(c)); }
    constexpr TCharSet& Add(unsigned char c)
    {
        bits_[c >> 3] = static_cast<uint8_t>(bits_[c >> 3] | (1u << (c & 7)));
        return *this;
    }
    constexpr TCharSet& Add(char c) { return Add(static_cast<unsigned char>(c)); }
    constexpr TCharSet& Remove(unsigned char c)
    {
        bits_[c >> 3] = static_cast<uint8_t>(bits_[c >> 3] & ~(1u << (c & 7)));
        return *this;
    }
    constexpr TCharSet& Remove(char c) { return Remove(static_cast<unsigned char>(c)); }
    constexpr bool Empty() const
    {
        for (uint8_t b : bits_)
            if (b)
                return false;
        return true;
    }
    // Union.
    constexpr TCharSet operator+(const TCharSet& other) const
    {
        TCharSet r;
        for (std::size_t k = 0; k < bits_.size(); ++k)
            r.bits_[k] = static_cast<uint8_t>(bits_[k] | other.bits_[k]);
        return r;
    }
    constexpr TCharSet& operator+=(const TCharSet& other) { return *this = *this + other; }
    constexpr bool operator==(const TCharSet&) const = default;

    // The 32 bytes: bit (c mod 8) of byte (c div 8) is set when c is in the set.
    constexpr const std::array<uint8_t, 32>& Bytes() const { return bits_; }

private:
    std::array<uint8_t, 32> bits_{};
};
static_assert(sizeof(TCharSet) == 32);

// Tab and space: what NextToken skips before a token.
inline constexpr TCharSet BlankSet = TCharSet::Of("\t ");

// Capacity of a short string, in characters.
inline constexpr std::size_t ShortStringCapacity = 255;

// ---------------------------------------------------------------------------
// UTF-8 helpers. A "character" is one well-formed UTF-8 sequence (no
// overlong forms, no surrogates, at most U+10FFFF); a byte that does not
// start a well-formed sequence counts as one character of its own, so these
// helpers are total on arbitrary bytes.

// Number of characters.
std::size_t Utf8Length(std::string_view s);

// The first n characters of s (all of s when it has n or fewer); never cuts
// inside a well-formed sequence.
std::string Utf8Left(std::string_view s, std::size_t n);

// Upper-casing as the code page 1251 locale upper-cases: ASCII a-z, Cyrillic
// а-я -> А-Я, and ё і ї є ґ ў ј ѕ љ њ ћ ќ ђ џ ѓ -> Ё І Ї Є Ґ Ў Ј Ѕ Љ Њ Ћ Ќ Ђ Џ Ѓ.
// Every other character (and every malformed byte) is kept unchanged.
std::string UpperCase1251(std::string_view utf8);

// ---------------------------------------------------------------------------
// Tokenizer and value parser.

// The first blank-separated word of text that holds a character other than
// those of markers: what a reader refuses as a value beyond its columns.
// Empty when every word is made of markers alone.
std::string SurplusWord(std::string_view text, std::string_view markers);

// Cuts one token from the front part of Line ("NextToken"):
//   i := Start; Count times { skip tabs and spaces while i < Length(Line)
//   (the last character is never skipped as a blank); TokenStart := i; scan
//   while i <= Length(Line) and Line[i] is not in Delims }.
//   Token := Line[TokenStart .. i-1] right-trimmed, cut to `capacity`
//   characters; Line loses its characters Start .. i-1 (the stop character
//   and what follows stay); the result is i > TokenStart (the raw token,
//   before trimming, was not empty).
// Positions are 1-based byte positions. A Start below 1 counts as 1; a Start
// beyond the end of Line gives an empty token and False with Line unchanged.
// A Count below 1 counts as 1. Right trim removes trailing bytes with codes
// 0..32 (blanks and control characters), as the runtime's TrimRight does.
bool NextToken(std::string& line, std::string& token, std::size_t start, int count, const TCharSet& delims,
               std::size_t capacity = ShortStringCapacity);

// Reads one field introduced by a marker ("ReadValueOrRange").
// Lo := Hi := -1e20 (UnsetValue). Marker '\0' = none (the field starts at
// position 1); otherwise the field starts right after the first Marker in
// Line, and an absent marker gives False with Line unchanged. NextToken
// with Count 1 and the stop set Delims + tab + space cuts the field (its
// text and the blanks before it leave Line; the marker stays). A field with
// '/' gives Lo from the text before the first '/', Hi from the text after
// it; otherwise Lo is read from the whole field and Hi := Lo. Each part goes
// through DecimalDot and TryParseReal; a part that does not read stays
// -1e20. True only when every part was read.
bool ReadValueOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi);
// Its first step alone: cuts the field's text into token (cut to
// `capacity` characters); false (and Line unchanged when the marker is
// absent) when there is no field.
bool CutValueField(std::string& line, char marker, const TCharSet& delims, std::string& token,
                   std::size_t capacity = ShortStringCapacity);

// The strict real conversion: the whole text must be a number:
//   [+|-] (digits [. [digits]] | . digits) [(e|E) [+|-] digits]
// No blanks, no hexadecimal, no "inf"/"nan", decimal point '.' only (the C
// locale is never consulted). A finite value too large for long double
// (such as 1e5000) does not read (False); a value too small to represent
// reads as the nearest representable value (0 or a denormal). On False,
// `value` is left unchanged.
bool TryParseReal(std::string_view text, long double& value);

// A number as the screen shows it or the user types it: blanks around it
// and a decimal point or a decimal comma; false when it is no finite number.
bool ReadShownNumber(std::string_view text, long double& value);

// Sets the C library's numeric locale back to "C". Qt's application object
// takes the locale from the environment, and printf-style formatting (ours
// and the libraries', the workbook writer's numbers) must keep writing '.'
// on a desktop with a decimal comma: files are data, not display.
void KeepCNumericLocale();

// Dest := S with its first ',' replaced by '.'; only the first comma changes.
void DecimalDot(std::string_view s, std::string& dest);
std::string DecimalDot(std::string_view s);

// 1-based byte position of the first C in S; 0 when absent.
std::size_t PosChar(char c, std::string_view s);

// Spaces before (PadLeft) or after (PadRight) S up to Width characters; S
// unchanged when it already has Width characters or more. The result is cut
// to 255 characters.
void PadLeft(std::string_view s, int width, std::string& dest);
void PadRight(std::string_view s, int width, std::string& dest);
std::string PadLeft(std::string_view s, int width);
std::string PadRight(std::string_view s, int width);

// ---------------------------------------------------------------------------
// Numerics.

// -1 when not (X >= 0) (so NaN gives -1), else 1 when X > 0, else 0.
int8_t SignFloat(long double x);
// -1 below 0, 1 above 0, 0 at 0.
int8_t SignInt(int32_t n);

// When Lo > X then X := Lo; otherwise, when not (Hi >= X), X := Hi
// (a NaN becomes Hi).
// Inline: the solver clamps in its innermost loops.
template <typename Real>
inline void ClampRange(Real& x, Real lo, Real hi)
{
    if (lo > x)
        x = lo;
    else if (!(hi >= x))
        x = hi;
}
inline void ClampRange(long double& x, long double lo, long double hi) { ClampRange<long double>(x, lo, hi); }
inline void ClampRange(double& x, double lo, double hi) { ClampRange<double>(x, lo, hi); }
// When not (X >= -M) then X := -M; otherwise, when not (M >= X), X := M
// (a NaN becomes -M).
template <typename Real>
inline void ClampAbs(Real& x, Real m)
{
    if (!(x >= -m))
        x = -m;
    else if (!(m >= x))
        x = m;
}
inline void ClampAbs(long double& x, long double m) { ClampAbs<long double>(x, m); }
inline void ClampAbs(double& x, double m) { ClampAbs<double>(x, m); }

// ---------------------------------------------------------------------------
// Message boxes (through CurrentHost()).

// Message box result codes, as the Windows message box returns them.
inline constexpr int IdOk = 1;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;

// The warning box titled "Ferrolyt" (warning icon, OK only); returns the
// host's result (IdOk).
int ShowWarning(const std::string& text);

// Asks "Зупинити розрахунок?" (Yes/No, question icon);
// StopRequested := (answer = Yes). Returns IdYes or IdNo.
int AskStopCalculation();

// ReadRegistryString (our INI key store) is declared in KeyStore.h.

// ---------------------------------------------------------------------------
// Installation-mode shortcut.

// Writes a freedesktop desktop entry named LinkFolder + Description +
// ".desktop" (no separator is inserted: LinkFolder ends with '/'), with
//   Type=Application, Name=Description, Comment=Description,
//   Exec="TargetFolder/TargetFile" Arguments   (quoted and escaped as the
//        freedesktop desktop-entry format requires; a document, such as the
//        manual's PDF, is opened through xdg-open; Arguments, already a command
//        line, follow after one blank when not empty),
//   Path=TargetFolder.
// A '\' or '/' at the end of TargetFolder is not doubled. The file is UTF-8
// with LF line ends, written through a temporary file and a rename.
// Never throws: returns false on failure, with a message in *error when
// error is not null (the installation mode ignores the result, as the
// installer ignores the results of its link calls).
bool CreateShortcut(const std::string& linkFolder, const std::string& targetFolder, const std::string& targetFile,
                    const std::string& arguments, const std::string& description, std::string* error = nullptr);

// ---------------------------------------------------------------------------
// XOR descrambler.

// Key tables: entry k (a byte) is a key of up to 255 bytes; the key's length
// is the string's size.
using TXorKeyTable = std::array<std::string, 256>;

// The program's key tables: entry 3 is the ball-texture key of the particle view,
// a fixed key of our own of 32 bytes; every other entry is empty.
const TXorKeyTable& XorKeyTables();

// Dest := S with byte i xor-ed with Key[((i - 1) mod L) + 1], Key = entry K
// of the key table, L its length. The same call scrambles and unscrambles.
// A key of length 0 (never passed by the program) leaves the bytes as they
// are. Dest may be S itself.
void XorDescramble(uint8_t k, std::string_view s, std::string& dest);
std::string XorDescramble(uint8_t k, std::string_view s);
void XorDescramble(uint8_t k, const std::vector<uint8_t>& s, std::vector<uint8_t>& dest);
// The same with an explicit key table.
void XorDescramble(const TXorKeyTable& table, uint8_t k, std::string_view s, std::string& dest);

// ---------------------------------------------------------------------------
// Small text helpers of the file readers.

// Blanks and control characters (codes 0..32), which the readers trim.
inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }
// s without leading and trailing blanks and control characters.
std::string TrimBlanks(std::string_view s);
// s without trailing blanks and control characters.
std::string TrimRightBlanks(std::string_view s);
// s without leading and trailing spaces and tabs; other control characters
// stay (the entries of the option dialog and cell addresses are typed text).
std::string TrimSpacesAndTabs(std::string_view s);
// A whole text as a 32-bit integer: an optional sign and decimal digits,
// nothing else; false (value untouched) otherwise.
bool TryParseInt32(std::string_view text, int32_t& value);

} // namespace ferrolyt
