#include "Utils.h"

#include "Host.h"
#include "RunState.h"
#include "TextFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <locale.h>

namespace ferrolyt {

namespace {

// UnsetValue (Model.h), the parser's value for "not read".
constexpr long double ParserUnset = -1e20L;

// Bytes of the character at pos: the sequence, or 1 for a malformed byte.
std::size_t CharBytes(std::string_view s, std::size_t pos)
{
    char32_t cp;
    const std::size_t n = DecodeUtf8(s, pos, cp);
    return n ? n : 1;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t Upper1251(char32_t cp)
{
    if (cp >= U'a' && cp <= U'z')
        return cp - 0x20;
    if (cp >= 0x0430 && cp <= 0x044F) // а..я
        return cp - 0x20;
    if (cp >= 0x0451 && cp <= 0x045F && cp != 0x045D) // ё ђ ѓ є ѕ і ї ј љ њ ћ ќ ў џ
        return cp - 0x50;
    if (cp == 0x0491) // ґ
        return 0x0490;
    return cp;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The C locale, for a conversion that never depends on the process locale.
locale_t CLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

void RightTrim(std::string& s)
{
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 32)
        --n;
    s.resize(n);
}

// Reads one part of a field; -1e20 when it does not read.
bool ReadPart(std::string_view text, long double& value)
{
    long double v = 0;
    if (TryParseReal(DecimalDot(text), v)) {
        value = v;
        return true;
    }
    value = ParserUnset;
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// UTF-8 helpers

std::size_t Utf8Length(std::string_view s)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < s.size(); pos += CharBytes(s, pos))
        ++count;
    return count;
}

std::string Utf8Left(std::string_view s, std::size_t n)
{
    std::size_t pos = 0;
    for (std::size_t count = 0; count < n && pos < s.size(); ++count)
        pos += CharBytes(s, pos);
    return std::string(s.substr(0, pos));
}

std::string UpperCase1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp;
        const std::size_t n = DecodeUtf8(utf8, pos, cp);
        if (n == 0) {
            out += utf8[pos]; // malformed byte: kept as it is
            ++pos;
            continue;
        }
        const char32_t up = Upper1251(cp);
        if (up == cp)
            out.append(utf8.substr(pos, n));
        else
            AppendUtf8(out, up);
        pos += n;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Tokenizer and value parser

std::string SurplusWord(std::string_view text, std::string_view markers)
{
    for (std::size_t pos = text.find_first_not_of(" \t"); pos != std::string_view::npos;) {
        const std::size_t end = std::min(text.find_first_of(" \t", pos), text.size());
        const std::string_view word = text.substr(pos, end - pos);
        if (word.find_first_not_of(markers) != std::string_view::npos)
            return std::string(word);
        pos = text.find_first_not_of(" \t", end);
    }
    return {};
}

bool NextToken(std::string& line, std::string& token, std::size_t start, int count, const TCharSet& delims,
               std::size_t capacity)
{
    if (start < 1)
        start = 1;
    if (count < 1)
        count = 1;
    const std::size_t len = line.size();
    // 1-based positions, as in the routine's definition: Line[i] is line[i - 1].
    std::size_t i = start;
    std::size_t tokenStart = i;
    for (int pass = 0; pass < count; ++pass) {
        while (i < len && BlankSet.Contains(line[i - 1]))
            ++i;
        tokenStart = i;
        while (i <= len && !delims.Contains(line[i - 1]))
            ++i;
    }
    std::string raw;
    if (i > tokenStart)
        raw = line.substr(tokenStart - 1, i - tokenStart);
    RightTrim(raw);
    token = Utf8Left(raw, capacity);
    if (i > start) // then start <= len and i <= len + 1
        line.erase(start - 1, i - start);
    return i > tokenStart;
}

bool CutValueField(std::string& line, char marker, const TCharSet& delims, std::string& token, std::size_t capacity)
{
    std::size_t start = 1;
    if (marker != '\0') {
        const std::size_t p = PosChar(marker, line);
        if (p == 0)
            return false;
        start = p + 1;
    }
    return NextToken(line, token, start, 1, delims + BlankSet, capacity);
}

bool ReadValueOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi)
{
    lo = ParserUnset;
    hi = ParserUnset;
    std::string token;
    if (!CutValueField(line, marker, delims, token))
        return false;
    const std::size_t slash = token.find('/');
    if (slash != std::string::npos) {
        const bool okLo = ReadPart(std::string_view(token).substr(0, slash), lo);
        const bool okHi = ReadPart(std::string_view(token).substr(slash + 1), hi);
        return okLo && okHi;
    }
    const bool ok = ReadPart(token, lo);
    hi = lo;
    return ok;
}

bool TryParseReal(std::string_view text, long double& value)
{
    // Validate the whole text against the grammar first, so that strtold's
    // extras (leading blanks, hexadecimal, inf, nan) never get through.
    std::size_t p = 0;
    const std::size_t n = text.size();
    if (p < n && (text[p] == '+' || text[p] == '-'))
        ++p;
    std::size_t intDigits = 0;
    while (p < n && IsDigit(text[p])) {
        ++p;
        ++intDigits;
    }
    std::size_t fracDigits = 0;
    if (p < n && text[p] == '.') {
        ++p;
        while (p < n && IsDigit(text[p])) {
            ++p;
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0)
        return false;
    if (p < n && (text[p] == 'e' || text[p] == 'E')) {
        ++p;
        if (p < n && (text[p] == '+' || text[p] == '-'))
            ++p;
        std::size_t expDigits = 0;
        while (p < n && IsDigit(text[p])) {
            ++p;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (p != n)
        return false;

    const std::string copy(text); // NUL-terminated for strtold
    const locale_t loc = CLocale();
    if (loc == static_cast<locale_t>(nullptr))
        return false;
    char* end = nullptr;
    errno = 0;
    const long double v = strtold_l(copy.c_str(), &end, loc);
    if (end != copy.c_str() + copy.size())
        return false;
    if (std::isinf(v) || std::isnan(v)) // overflow: HUGE_VALL with ERANGE
        return false;
    value = v; // an underflow (ERANGE with a tiny or zero result) reads as that value
    return true;
}

void DecimalDot(std::string_view s, std::string& dest)
{
    std::string r(s);
    const std::size_t p = PosChar(',', r);
    if (p > 0)
        r[p - 1] = '.';
    dest = std::move(r);
}

std::string DecimalDot(std::string_view s)
{
    std::string r;
    DecimalDot(s, r);
    return r;
}

bool ReadShownNumber(std::string_view text, long double& value)
{
    const auto b = text.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return false;
    const auto e = text.find_last_not_of(" \t");
    long double v = 0;
    if (!TryParseReal(DecimalDot(text.substr(b, e - b + 1)), v) || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

void KeepCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

std::size_t PosChar(char c, std::string_view s)
{
    const std::size_t p = s.find(c);
    return p == std::string_view::npos ? 0 : p + 1;
}

void PadLeft(std::string_view s, int width, std::string& dest)
{
    const long long fill = static_cast<long long>(width) - static_cast<long long>(Utf8Length(s));
    std::string r;
    if (fill > 0)
        r.assign(static_cast<std::size_t>(fill), ' ');
    r.append(s);
    dest = Utf8Left(r, ShortStringCapacity);
}

void PadRight(std::string_view s, int width, std::string& dest)
{
    const long long fill = static_cast<long long>(width) - static_cast<long long>(Utf8Length(s));
    std::string r(s);
    if (fill > 0)
        r.append(static_cast<std::size_t>(fill), ' ');
    dest = Utf8Left(r, ShortStringCapacity);
}

std::string PadLeft(std::string_view s, int width)
{
    std::string r;
    PadLeft(s, width, r);
    return r;
}

std::string PadRight(std::string_view s, int width)
{
    std::string r;
    PadRight(s, width, r);
    return r;
}

// ---------------------------------------------------------------------------
// Numerics

int8_t SignFloat(long double x)
{
    if (!(x >= 0))
        return -1;
    return x > 0 ? 1 : 0;
}

int8_t SignInt(int32_t n)
{
    if (n < 0)
        return -1;
    return n > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Message boxes

int ShowWarning(const std::string& text) { return CurrentHost().ShowWarning(text); }

int AskStopCalculation()
{
    const bool yes = CurrentHost().AskYesNo("Зупинити розрахунок?");
    StopRequested = yes;
    return yes ? IdYes : IdNo;
}

// ---------------------------------------------------------------------------
// Shortcut

namespace {

// A desktop-entry "string" value: backslash, line breaks and tabs escaped.
std::string DesktopString(std::string_view s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

// One quoted Exec argument: inside double quotes '"', '`', '$' and '\' take
// a backslash; '%' is doubled (field codes); then the value is escaped as a
// desktop-entry string.
std::string ExecQuoted(std::string_view arg)
{
    std::string q = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            q += '\\';
        if (c == '%')
            q += '%';
        q += c;
    }
    q += '"';
    return DesktopString(q);
}

// The caller's argument text, already a command line: '%' doubled and line
// breaks turned into blanks, then escaped as a desktop-entry string.
std::string ExecArguments(std::string_view args)
{
    std::string a;
    for (char c : args) {
        if (c == '%')
            a += "%%";
        else if (c == '\n' || c == '\r')
            a += ' ';
        else
            a += c;
    }
    return DesktopString(a);
}

bool IsDocument(const std::string& file)
{
    std::string ext = std::filesystem::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".pdf" || ext == ".url" || ext == ".htm" || ext == ".html" || ext == ".txt";
}

} // namespace

bool CreateShortcut(const std::string& linkFolder, const std::string& targetFolder, const std::string& targetFile,
                    const std::string& arguments, const std::string& description, std::string* error)
{
    try {
        std::string target = targetFolder;
        if (target.empty() || (target.back() != '/' && target.back() != '\\'))
            target += '/';
        target += targetFile;

        std::string text = "[Desktop Entry]\n";
        text += "Type=Application\n";
        text += "Version=1.0\n";
        text += "Name=" + DesktopString(description) + "\n";
        text += "Comment=" + DesktopString(description) + "\n";
        // A document has no program of its own: the desktop opens it with
        // the one the user chose for its kind, as the shell opens a link to it.
        text += "Exec=" + std::string(IsDocument(targetFile) ? "xdg-open " : "") + ExecQuoted(target);
        if (!arguments.empty())
            text += " " + ExecArguments(arguments);
        text += "\n";
        text += "Path=" + DesktopString(targetFolder) + "\n";
        text += "Terminal=false\n";

        WriteFileAtomically(std::filesystem::path(linkFolder + description + ".desktop"), text);
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

// ---------------------------------------------------------------------------
// XOR descrambler

const TXorKeyTable& XorKeyTables()
{
    static const TXorKeyTable tables = [] {
        TXorKeyTable t;
        // The ball-texture key: 32 fixed bytes of our own.
        static constexpr unsigned char key3[] = {
            0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF0, 0x64, 0x9D, 0x31, 0xA7, 0x4C, 0xE9, 0x06, 0x7B, 0xD2, 0x58,
            0xB4, 0x1F, 0x83, 0x6E, 0xC9, 0x25, 0x9A, 0x47, 0xE1, 0x3C, 0x70, 0xAD, 0x12, 0xF6, 0x89, 0x5E,
        };
        t[3].assign(reinterpret_cast<const char*>(key3), sizeof key3);
        return t;
    }();
    return tables;
}

void XorDescramble(const TXorKeyTable& table, uint8_t k, std::string_view s, std::string& dest)
{
    std::string r(s); // a private copy: dest may be s itself
    const std::string& key = table[k];
    const std::size_t l = key.size();
    if (l > 0)
        for (std::size_t i = 0; i < r.size(); ++i)
            r[i] = static_cast<char>(static_cast<unsigned char>(r[i]) ^ static_cast<unsigned char>(key[i % l]));
    dest = std::move(r);
}

void XorDescramble(uint8_t k, std::string_view s, std::string& dest) { XorDescramble(XorKeyTables(), k, s, dest); }

std::string XorDescramble(uint8_t k, std::string_view s)
{
    std::string r;
    XorDescramble(k, s, r);
    return r;
}

void XorDescramble(uint8_t k, const std::vector<uint8_t>& s, std::vector<uint8_t>& dest)
{
    std::vector<uint8_t> r(s);
    const std::string& key = XorKeyTables()[k];
    const std::size_t l = key.size();
    if (l > 0)
        for (std::size_t i = 0; i < r.size(); ++i)
            r[i] = static_cast<uint8_t>(r[i] ^ static_cast<unsigned char>(key[i % l]));
    dest = std::move(r);
}

std::string TrimBlanks(std::string_view s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlankOrControl(s[b]))
        ++b;
    while (e > b && IsBlankOrControl(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string TrimSpacesAndTabs(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

std::string TrimRightBlanks(std::string_view s)
{
    std::size_t e = s.size();
    while (e > 0 && IsBlankOrControl(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

bool TryParseInt32(std::string_view text, int32_t& value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

} // namespace ferrolyt
