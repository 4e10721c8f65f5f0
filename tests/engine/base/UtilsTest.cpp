// Utility and parsing routines.
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

using namespace ferrolyt;

namespace {

constexpr long double Unset = -1e20L;
const long double NaN = std::numeric_limits<long double>::quiet_NaN();

const TCharSet Markers = TCharSet::Of("$#");

std::string Slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Repeat(const std::string& s, int n)
{
    std::string r;
    for (int k = 0; k < n; ++k)
        r += s;
    return r;
}

} // namespace

// ---------------------------------------------------------------------------
// TCharSet and UTF-8 helpers

TEST(CharSet, HoldsOneBitPerByteCode)
{
    static_assert(sizeof(TCharSet) == 32);
    TCharSet s = TCharSet::Of("a\t");
    EXPECT_TRUE(s.Contains('a'));
    EXPECT_TRUE(s.Contains('\t'));
    EXPECT_FALSE(s.Contains('b'));
    s.Add(static_cast<unsigned char>(255)).Add('\0');
    EXPECT_TRUE(s.Contains(static_cast<unsigned char>(255)));
    EXPECT_TRUE(s.Contains('\0'));
    EXPECT_EQ(s.Bytes()[0], 0x01);  // code 0
    EXPECT_EQ(s.Bytes()[1], 0x02);  // code 9
    EXPECT_EQ(s.Bytes()[12], 0x02); // code 97 'a'
    EXPECT_EQ(s.Bytes()[31], 0x80); // code 255
    EXPECT_EQ(s, (TCharSet{0, 9, 97, 255}));

    const TCharSet u = s + TCharSet::Of("A");
    EXPECT_TRUE(u.Contains('A'));
    EXPECT_FALSE(s.Contains('A'));
    s.Remove(static_cast<unsigned char>(9));
    EXPECT_FALSE(s.Contains('\t'));
    EXPECT_TRUE(TCharSet().Empty());
    EXPECT_EQ(BlankSet, TCharSet::Of(" \t"));
}

TEST(Utf8, LengthAndLeftCountCharacters)
{
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("abc"), 3u);
    EXPECT_EQ(Utf8Length("Вапно"), 5u);
    EXPECT_EQ(Utf8Length("a中€😀"), 4u);
    EXPECT_EQ(Utf8Left("Вапно", 3), "Вап");
    EXPECT_EQ(Utf8Left("Вапно", 0), "");
    EXPECT_EQ(Utf8Left("Вапно", 99), "Вапно");
    EXPECT_EQ(Utf8Left("a😀b", 2), "a😀");
    // Malformed bytes count one each and are kept.
    EXPECT_EQ(Utf8Length("\xD0"), 1u);
    EXPECT_EQ(Utf8Length("\xC0\x80"), 2u); // overlong: two malformed bytes
    EXPECT_EQ(Utf8Length("a\xE4\xB8"), 3u); // truncated sequence
    EXPECT_EQ(Utf8Left("\xD0\x92\xD0", 2), "\xD0\x92\xD0");
    EXPECT_EQ(Utf8Left("\xED\xA0\x80x", 3), "\xED\xA0\x80"); // a surrogate is three malformed bytes
}

TEST(Utf8, UpperCase1251)
{
    EXPECT_EQ(UpperCase1251("Вапно"), "ВАПНО");
    EXPECT_EQ(UpperCase1251("abcxyz ABC 123"), "ABCXYZ ABC 123");
    EXPECT_EQ(UpperCase1251("абвгдеєжзиіїйклмнопрстуфхцчшщьюя"), "АБВГДЕЄЖЗИІЇЙКЛМНОПРСТУФХЦЧШЩЬЮЯ");
    EXPECT_EQ(UpperCase1251("ёъыэґўјѕљњћќђџѓ"), "ЁЪЫЭҐЎЈЅЉЊЋЌЂЏЃ");
    // Characters outside code page 1251, and non-letters, stay.
    EXPECT_EQ(UpperCase1251("ѐѝäßµ€№中"), "ѐѝäßµ€№中");
    EXPECT_EQ(UpperCase1251("a\xFF" "b"), "A\xFF" "B");
}

// ---------------------------------------------------------------------------
// NextToken

TEST(NextToken, TokenResultAndWhatStaysOfTheLine)
{
    const TCharSet comma = TCharSet::Of(",");
    struct Case {
        const char* what;
        std::string line;
        std::size_t start;
        int count;
        TCharSet delims;
        bool found;
        std::string token, rest;
        std::size_t capacity = ShortStringCapacity;
    };
    const Case cases[] = {
        {"blanks skipped, stop blank stays", "   abc  def", 1, 1, BlankSet, true, "abc", "  def"},
        {"last token", "  def", 1, 1, BlankSet, true, "def", ""},
        {"tabs are blanks", "\t\tx\ty", 1, 1, BlankSet, true, "x", "\ty"},
        {"empty line", "", 1, 1, BlankSet, false, "", ""},
        // The last character is never skipped as a blank: with a delimiter
        // set without blanks the raw token is the blank itself (True),
        // trimmed to empty; with blanks as delimiters it stops on it.
        {"lone blank, comma delimiter", " ", 1, 1, comma, true, "", ""},
        {"blanks only, blank delimiters", "  ", 1, 1, BlankSet, false, "", " "},
        {"start inside the line deletes only from start", "ab,cd,ef", 4, 1, comma, true, "cd", "ab,,ef"},
        {"stop character at start", "ab,,ef", 3, 1, comma, false, "", "ab,,ef"},
        {"start just beyond the end", "abc", 4, 1, BlankSet, false, "", "abc"},
        {"start far beyond the end", "abc", 200, 1, BlankSet, false, "", "abc"},
        {"start 0 counts as 1", "abc", 0, 1, BlankSet, true, "abc", ""},
        {"count passes over blank delimiters", "one two three", 1, 2, BlankSet, true, "two", " three"},
        {"non-blank stop ends every further pass", "a,b", 1, 2, comma, false, "", ",b"},
        {"count 0 counts as 1", "x y", 1, 0, BlankSet, true, "x", " y"},
        {"token is right-trimmed", "  name \t |rest", 1, 1, TCharSet::Of("|"), true, "name", "|rest"},
        {"capacity in characters", "Вапно|x", 1, 1, TCharSet::Of("|"), true, "Вап", "|x", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string line = c.line;
        std::string token = "junk";
        EXPECT_EQ(NextToken(line, token, c.start, c.count, c.delims, c.capacity), c.found);
        EXPECT_EQ(token, c.token);
        EXPECT_EQ(line, c.rest);
    }
}

TEST(NextToken, CutsToCapacityInCharactersNeverInsideASequence)
{
    // The default capacity is 255 characters (510 bytes here).
    const std::string longLine = Repeat("ж", 300);
    std::string copy = longLine;
    std::string token;
    EXPECT_TRUE(NextToken(copy, token, 1, 1, BlankSet));
    EXPECT_EQ(Utf8Length(token), 255u);
    EXPECT_EQ(token.size(), 510u);
    EXPECT_EQ(copy, ""); // the whole scanned text leaves the line
    copy = longLine;
    EXPECT_TRUE(NextToken(copy, token, 1, 1, BlankSet, 0));
    EXPECT_EQ(token, "");
}

// ---------------------------------------------------------------------------
// ReadValueOrRange

TEST(ReadValueOrRange, WholeLineWithoutMarker)
{
    struct Case {
        const char* text;
        bool ok;
        long double lo, hi;
        const char* rest = "";
    };
    const Case cases[] = {
        {"1,5/2,5", true, 1.5L, 2.5L},
        {"7", true, 7.0L, 7.0L},
        {"1e3/-2.5E-2", true, 1000.0L, -0.025L},
        {"-", false, Unset, Unset},
        {"3/x", false, 3.0L, Unset},
        {"1,5,2", false, Unset, Unset}, // only the first comma is a decimal point
        {"/5", false, Unset, 5.0L},
        {"5/", false, 5.0L, Unset},
        {"1/2/3", false, 1.0L, Unset}, // the text after the first '/' is "2/3"
        {"-/2,5", false, Unset, 2.5L}, // a missing lower bound
        {"   ", false, Unset, Unset, " "}, // the last blank is never skipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string line = c.text;
        long double lo = 0, hi = 0;
        EXPECT_EQ(ReadValueOrRange(line, '\0', TCharSet(), lo, hi), c.ok);
        EXPECT_EQ(lo, c.lo);
        EXPECT_EQ(hi, c.hi);
        EXPECT_EQ(line, c.rest);
    }
}

namespace {

// Reads the fields of one line in turn; each step is checked for its
// result, both bounds and what stays of the line.
struct ReadStep {
    char marker;
    bool ok;
    long double lo, hi;
    const char* rest;
};

void ReadInTurn(std::string line, const TCharSet& delims, std::initializer_list<ReadStep> steps)
{
    for (const auto& step : steps) {
        SCOPED_TRACE("reading '" + std::string(1, step.marker) + "' from \"" + line + "\"");
        long double lo = 5, hi = 5;
        EXPECT_EQ(ReadValueOrRange(line, step.marker, delims, lo, hi), step.ok);
        EXPECT_EQ(lo, step.lo);
        EXPECT_EQ(hi, step.hi);
        EXPECT_EQ(line, step.rest);
    }
}

} // namespace

TEST(ReadValueOrRange, MarkersConsumeTheirFieldAndStay)
{
    ReadInTurn("name $ 120 #0,9/1", Markers,
               {{'$', true, 120.0L, 120.0L, "name $ #0,9/1"}, // the blank and 120 leave; '$' stays
                {'#', true, 0.9L, 1.0L, "name $ #"},
                {'$', false, Unset, Unset, "name $#"}}); // only the blank was behind '$'
    ReadInTurn(" 1/2 #3", Markers, {{'$', false, Unset, Unset, " 1/2 #3"}}); // absent marker: line unchanged
}

TEST(ReadValueOrRange, SuccessiveFieldsWithoutMarker)
{
    // Column values of a materials line (stop character '$').
    ReadInTurn(" 0,5  1/2 - 3 $100", TCharSet::Of("$"),
               {{'\0', true, 0.5L, 0.5L, "  1/2 - 3 $100"},
                {'\0', true, 1.0L, 2.0L, " - 3 $100"},
                {'\0', false, Unset, Unset, " 3 $100"},
                {'\0', true, 3.0L, 3.0L, " $100"},
                {'\0', false, Unset, Unset, "$100"}, // stops on '$'
                {'$', true, 100.0L, 100.0L, "$"}});
}

TEST(ReadValueOrRange, InfNanAndOverflowAreUnset)
{
    long double lo, hi;
    for (const char* text : {"inf", "nan", "INF", "-Infinity", "NaN(1)", "1e5000", "-1e5000", "0x10", "1e", "1e+",
                             ".", "+", "1..2", " 1", "1 ", "1d0", "1,5."}) {
        // Blanks would end the field early: the strict conversion sees
        // these texts whole.
        long double v = 42;
        EXPECT_FALSE(TryParseReal(text, v)) << text;
        EXPECT_EQ(v, 42) << text;
        if (std::string(text).find(' ') == std::string::npos) {
            std::string line = text;
            EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi)) << text;
            EXPECT_EQ(lo, Unset) << text;
            EXPECT_EQ(hi, Unset) << text;
        }
    }
}

TEST(TryParseReal, AcceptsTheStrictGrammar)
{
    const std::pair<const char*, long double> cases[] = {
        {"0", 0.0L},       {"+12.5", 12.5L}, {"-.5", -0.5L}, {"3.", 3.0L}, {"-1e20", -1e20L},
        {"1e-5000", 0.0L}, // underflow reads as zero
        {"0.1", 0.1L},     // correctly rounded in extended precision
    };
    for (auto [text, expected] : cases) {
        long double v = 42;
        EXPECT_TRUE(TryParseReal(text, v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    long double v = 0;
    EXPECT_TRUE(TryParseReal("1.5e4000", v)); // finite for long double
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 1e4000L);
    EXPECT_FALSE(TryParseReal("", v));
    EXPECT_FALSE(TryParseReal(std::string_view("1\0", 2), v));
    EXPECT_FALSE(TryParseReal("1,5", v)); // DecimalDot is the caller's step
}

TEST(TryParseReal, DoesNotDependOnTheCLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A locale with a decimal comma, when the system has one.
    const bool switched = std::setlocale(LC_NUMERIC, "uk_UA.UTF-8") || std::setlocale(LC_NUMERIC, "de_DE.UTF-8") ||
                          std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    long double v = 0;
    EXPECT_TRUE(TryParseReal("2.25", v));
    EXPECT_EQ(v, 2.25L);
    EXPECT_FALSE(TryParseReal("2,25", v));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched)
        GTEST_LOG_(INFO) << "no decimal-comma locale installed; checked in the C locale only";
}

// ---------------------------------------------------------------------------
// DecimalDot, PosChar, PadLeft, PadRight

TEST(DecimalDot, OnlyTheFirstComma)
{
    EXPECT_EQ(DecimalDot("1,5"), "1.5");
    EXPECT_EQ(DecimalDot("1,5,2"), "1.5,2");
    EXPECT_EQ(DecimalDot("15"), "15");
    EXPECT_EQ(DecimalDot(""), "");
    std::string dest = "old";
    DecimalDot(",", dest);
    EXPECT_EQ(dest, ".");
    std::string same = "7,25";
    DecimalDot(same, same); // Dest may be S
    EXPECT_EQ(same, "7.25");
}

TEST(PosChar, OneBasedOrZero)
{
    EXPECT_EQ(PosChar('$', "ab$c$"), 3u);
    EXPECT_EQ(PosChar('$', "abc"), 0u);
    EXPECT_EQ(PosChar('a', ""), 0u);
    EXPECT_EQ(PosChar('a', "a"), 1u);
}

TEST(Pad, LeftAndRight)
{
    EXPECT_EQ(PadLeft("ab", 5), "   ab");
    EXPECT_EQ(PadRight("ab", 5), "ab   ");
    EXPECT_EQ(PadRight("abcdef", 3), "abcdef");
    EXPECT_EQ(PadLeft("abcdef", 3), "abcdef");
    EXPECT_EQ(PadLeft("abc", 3), "abc");
    EXPECT_EQ(PadLeft("", 2), "  ");
    EXPECT_EQ(PadLeft("ab", -4), "ab");
    // Width counts characters.
    EXPECT_EQ(PadLeft("жар", 5), "  жар");
    EXPECT_EQ(PadRight("жар", 4), "жар ");
    // The result is cut to 255 characters.
    EXPECT_EQ(PadLeft("x", 300).size(), 255u);
    EXPECT_EQ(PadLeft("x", 255), std::string(254, ' ') + "x");
    EXPECT_EQ(Utf8Length(PadRight(Repeat("ж", 300), 10)), 255u);
    std::string dest;
    PadRight("a", 3, dest);
    EXPECT_EQ(dest, "a  ");
}

// ---------------------------------------------------------------------------
// Signs and clamps

TEST(Sign, FloatAndInt)
{
    EXPECT_EQ(SignFloat(2.5L), 1);
    EXPECT_EQ(SignFloat(-2.5L), -1);
    EXPECT_EQ(SignFloat(0.0L), 0);
    EXPECT_EQ(SignFloat(-0.0L), 0);
    EXPECT_EQ(SignFloat(NaN), -1);
    EXPECT_EQ(SignFloat(std::numeric_limits<long double>::infinity()), 1);
    EXPECT_EQ(SignInt(5), 1);
    EXPECT_EQ(SignInt(-5), -1);
    EXPECT_EQ(SignInt(0), 0);
    EXPECT_EQ(SignInt(std::numeric_limits<int32_t>::min()), -1);
}

TEST(Clamp, RangeAndAbs)
{
    const auto range = [](auto x, auto lo, auto hi) { ClampRange(x, lo, hi); return x; };
    const auto abs = [](auto x, auto m) { ClampAbs(x, m); return x; };
    EXPECT_EQ(range(5.0L, 0.0L, 3.0L), 3.0L);
    EXPECT_EQ(range(-5.0L, 0.0L, 3.0L), 0.0L);
    EXPECT_EQ(range(2.0L, 0.0L, 3.0L), 2.0L);
    EXPECT_EQ(abs(10.0L, 4.0L), 4.0L);
    EXPECT_EQ(abs(-10.0L, 4.0L), -4.0L);
    EXPECT_EQ(abs(1.0L, 4.0L), 1.0L);
    // A NaN becomes Hi, or -M, in both precisions.
    EXPECT_EQ(range(NaN, 0.0L, 3.0L), 3.0L);
    EXPECT_EQ(abs(NaN, 4.0L), -4.0L);
    EXPECT_EQ(range(std::numeric_limits<double>::quiet_NaN(), -1.0, 1.0), 1.0);
    EXPECT_EQ(abs(std::numeric_limits<double>::quiet_NaN(), 2.0), -2.0);
}

// ---------------------------------------------------------------------------
// Message boxes

TEST(Boxes, ShowWarningGoesToTheHost)
{
    test::RecordingHost host;
    EXPECT_EQ(ShowWarning("Неможливо завантажити файл X.MAT"), IdOk);
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_EQ(host.warnings[0], "Неможливо завантажити файл X.MAT");
}

TEST(Boxes, AskStopCalculationSetsStopRequested)
{
    const bool saved = StopRequested;
    test::RecordingHost host;
    host.answers = {true, false};
    StopRequested = false;
    EXPECT_EQ(AskStopCalculation(), IdYes);
    EXPECT_TRUE(StopRequested);
    EXPECT_EQ(AskStopCalculation(), IdNo);
    EXPECT_FALSE(StopRequested);
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(host.questions[0], "Зупинити розрахунок?");
    StopRequested = saved;
}

// ---------------------------------------------------------------------------
// Shortcut

TEST(CreateShortcut, WritesADesktopEntry)
{
    const test::ScratchFolder dir;
    const std::string linkFolder = dir.path().string() + "/";
    std::string error;
    ASSERT_TRUE(CreateShortcut(linkFolder, "/opt/Ferrolyt", "Ferrolyt", "", "Ferrolyt", &error)) << error;
    const std::string text = Slurp(dir / "Ferrolyt.desktop");
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Ferrolyt\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/Ferrolyt/Ferrolyt\"\n"), std::string::npos);
    EXPECT_NE(text.find("\nPath=/opt/Ferrolyt\n"), std::string::npos);

    // Cyrillic title, arguments, and characters the Exec key must escape.
    ASSERT_TRUE(CreateShortcut(linkFolder, "/opt/My $App", "run 100%", "\"/opt/a b\" \"/x\"", "Видалення програми",
                               &error))
        << error;
    const std::string text2 = Slurp(dir / "Видалення програми.desktop");
    EXPECT_NE(text2.find("\nName=Видалення програми\n"), std::string::npos);
    EXPECT_NE(text2.find("\nExec=\"/opt/My \\\\$App/run 100%%\" \"/opt/a b\" \"/x\"\n"), std::string::npos) << text2;
    EXPECT_NE(text2.find("\nPath=/opt/My $App\n"), std::string::npos);
}

// The manual is no program: run directly, its entry would do nothing.
TEST(CreateShortcut, ADocumentIsOpenedByTheDesktop)
{
    const test::ScratchFolder dir;
    const std::string linkFolder = dir.path().string() + "/";
    ASSERT_TRUE(CreateShortcut(linkFolder, "/opt/Ferrolyt", "Ferrolyt.PDF", "", "Manual"));
    const std::string text = Slurp(dir / "Manual.desktop");
    EXPECT_NE(text.find("\nExec=xdg-open \"/opt/Ferrolyt/Ferrolyt.PDF\"\n"), std::string::npos) << text;
}

TEST(CreateShortcut, NoSeparatorIsInsertedAndFailureIsReported)
{
    const test::ScratchFolder dir;
    // LinkFolder without a trailing separator: the name is glued on.
    ASSERT_TRUE(CreateShortcut((dir / "pre").string(), "/t", "f", "", "Title"));
    EXPECT_TRUE(std::filesystem::exists(dir / "preTitle.desktop"));
    std::string error;
    EXPECT_FALSE(CreateShortcut((dir / "no-such-folder").string() + "/", "/t", "f", "", "Title", &error));
    EXPECT_FALSE(error.empty());
}

// ---------------------------------------------------------------------------
// XOR descrambler

TEST(XorDescramble, IsItsOwnInverseWithRepeatingKey)
{
    const std::string& key = XorKeyTables()[3];
    ASSERT_GE(key.size(), 1u);
    ASSERT_LE(key.size(), 255u);
    std::string plain;
    for (int k = 0; k < 1000; ++k)
        plain += static_cast<char>(k * 7);
    const std::string scrambled = XorDescramble(3, plain);
    ASSERT_EQ(scrambled.size(), plain.size());
    EXPECT_NE(scrambled, plain);
    for (std::size_t i = 0; i < plain.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(scrambled[i]),
                  static_cast<unsigned char>(plain[i]) ^ static_cast<unsigned char>(key[i % key.size()]));
    EXPECT_EQ(XorDescramble(3, scrambled), plain);
    std::string inPlace = scrambled;
    XorDescramble(3, inPlace, inPlace);
    EXPECT_EQ(inPlace, plain);

    std::vector<uint8_t> bytes(plain.begin(), plain.end()), out;
    XorDescramble(3, bytes, out);
    EXPECT_EQ(std::string(out.begin(), out.end()), scrambled);
}

TEST(XorDescramble, ExplicitTableAndEmptyKey)
{
    TXorKeyTable table;
    table[7] = "\x01\x02";
    std::string dest;
    XorDescramble(table, 7, std::string("\x10\x10\x10", 3), dest);
    EXPECT_EQ(dest, std::string("\x11\x12\x11", 3));
    XorDescramble(table, 8, "abc", dest); // length 0: unchanged
    EXPECT_EQ(dest, "abc");
    XorDescramble(table, 7, "", dest);
    EXPECT_EQ(dest, "");
}

// ---------------------------------------------------------------------------
// Randomised: arbitrary bytes never crash the parsers nor read out of bounds
// (the sanitizer build checks the bounds).

TEST(ParsersRandomised, ArbitraryBytes)
{
    std::mt19937 rng(20240611u);
    const std::string alphabet = " \t$#|/,.-+eE0123456789!%&*@{~x\xD0\xB6\xE4\xB8\xAD\x80\xFF";
    std::uniform_int_distribution<int> lengthDist(0, 300);
    std::uniform_int_distribution<int> byteDist(0, 255);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_int_distribution<int> coin(0, 1);
    const char markers[] = {'\0', '$', '#', '|', '%', '/', ' '};
    for (int round = 0; round < 5000; ++round) {
        std::string line;
        const int len = lengthDist(rng);
        const bool structured = coin(rng);
        for (int k = 0; k < len; ++k)
            line += structured ? alphabet[static_cast<std::size_t>(pick(rng))] : static_cast<char>(byteDist(rng));

        TCharSet delims;
        for (int k = 0, n = byteDist(rng) % 6; k < n; ++k)
            delims.Add(static_cast<unsigned char>(structured ? alphabet[static_cast<std::size_t>(pick(rng))]
                                                             : static_cast<char>(byteDist(rng))));

        // NextToken with arbitrary start, count and capacity.
        std::string copy = line;
        std::string token;
        const std::size_t start = static_cast<std::size_t>(byteDist(rng) % (len + 3));
        const int count = 1 + byteDist(rng) % 4;
        const std::size_t capacity = static_cast<std::size_t>(byteDist(rng));
        const std::size_t before = copy.size();
        const bool found = NextToken(copy, token, start, count, delims, capacity);
        ASSERT_LE(copy.size(), before);
        ASSERT_LE(Utf8Length(token), capacity);
        if (!found) {
            ASSERT_TRUE(token.empty());
        }
        // What stays of the line is its head before Start and a tail of it.
        const std::size_t s = std::max<std::size_t>(start, 1);
        if (s <= before) {
            ASSERT_EQ(copy.substr(0, s - 1), line.substr(0, s - 1));
            ASSERT_EQ(copy.substr(s - 1), line.substr(line.size() - (copy.size() - (s - 1))));
        } else {
            ASSERT_EQ(copy, line);
        }

        // ReadValueOrRange until nothing more is read.
        copy = line;
        for (int guard = 0; guard < 400; ++guard) {
            long double lo = 0, hi = 0;
            const char marker = markers[static_cast<std::size_t>(byteDist(rng)) % sizeof markers];
            const std::size_t sizeBefore = copy.size();
            const bool ok = ReadValueOrRange(copy, marker, delims, lo, hi);
            ASSERT_FALSE(std::isnan(lo));
            ASSERT_FALSE(std::isnan(hi));
            if (ok) {
                ASSERT_TRUE(std::isfinite(lo));
                ASSERT_TRUE(std::isfinite(hi));
            }
            if (copy.size() == sizeBefore && !ok)
                break;
        }
    }
}
