// Utility and parsing routines.
#include "RecordingHost.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace ferrolyt;

namespace {

constexpr long double Unset = -1e20L;
const long double NaN = std::numeric_limits<long double>::quiet_NaN();

const TCharSet Markers = TCharSet::Of("$#");

std::filesystem::path TempFolder(const std::string& tag)
{
    auto p = std::filesystem::temp_directory_path() /
             ("ferrolyt-utils-" + tag + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

std::string Slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
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
    EXPECT_EQ(s.Bytes()[0], 0x01);      // code 0
    EXPECT_EQ(s.Bytes()[1], 0x02);      // code 9
    EXPECT_EQ(s.Bytes()[12], 0x02);     // code 97 'a'
}

TEST(CharSet, BytesLayoutUnionAndRemove)
{
    TCharSet s{0, 9, 255};
    EXPECT_EQ(s.Bytes()[0], 0x01);
    EXPECT_EQ(s.Bytes()[1], 0x02);
    EXPECT_EQ(s.Bytes()[31], 0x80);
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
    EXPECT_EQ(UpperCase1251("вапно"), "ВАПНО");
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

TEST(NextToken, SkipsBlanksAndLeavesTheStopBlank)
{
    // Three blanks, abc, two blanks and def.
    std::string line = "   abc  def";
    std::string token = "junk";
    EXPECT_TRUE(NextToken(line, token, 1, 1, BlankSet));
    EXPECT_EQ(token, "abc");
    EXPECT_EQ(line, "  def");
    EXPECT_TRUE(NextToken(line, token, 1, 1, BlankSet));
    EXPECT_EQ(token, "def");
    EXPECT_EQ(line, "");
}

TEST(NextToken, EmptyLineGivesEmptyTokenAndFalse)
{
    std::string line;
    std::string token = "junk";
    EXPECT_FALSE(NextToken(line, token, 1, 1, BlankSet));
    EXPECT_EQ(token, "");
    EXPECT_EQ(line, "");
}

TEST(NextToken, LastCharacterIsNeverSkippedAsBlank)
{
    // A lone blank with a delimiter set without blanks: the raw token is the
    // blank itself (True), trimmed to empty.
    std::string line = " ";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 1, 1, TCharSet::Of(",")));
    EXPECT_EQ(token, "");
    EXPECT_EQ(line, "");
    // With blanks as delimiters it stops on it: False, nothing deleted.
    line = "  ";
    EXPECT_FALSE(NextToken(line, token, 1, 1, BlankSet));
    EXPECT_EQ(line, " ");
}

TEST(NextToken, StartInsideTheLineDeletesOnlyFromStart)
{
    std::string line = "ab,cd,ef";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 4, 1, TCharSet::Of(",")));
    EXPECT_EQ(token, "cd");
    EXPECT_EQ(line, "ab,,ef");
    // A stop character at Start: empty token, False, line unchanged.
    EXPECT_FALSE(NextToken(line, token, 3, 1, TCharSet::Of(",")));
    EXPECT_EQ(token, "");
    EXPECT_EQ(line, "ab,,ef");
}

TEST(NextToken, StartBeyondTheEndOrBelowOne)
{
    std::string line = "abc";
    std::string token = "x";
    EXPECT_FALSE(NextToken(line, token, 4, 1, BlankSet));
    EXPECT_EQ(token, "");
    EXPECT_EQ(line, "abc");
    EXPECT_FALSE(NextToken(line, token, 200, 1, BlankSet));
    EXPECT_EQ(line, "abc");
    EXPECT_TRUE(NextToken(line, token, 0, 1, BlankSet)); // counts as 1
    EXPECT_EQ(token, "abc");
    EXPECT_EQ(line, "");
}

TEST(NextToken, CountPassesOverBlankDelimiters)
{
    std::string line = "one two three";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 1, 2, BlankSet));
    EXPECT_EQ(token, "two");
    EXPECT_EQ(line, " three");
    // A non-blank stop character stops every further pass at once.
    line = "a,b";
    EXPECT_FALSE(NextToken(line, token, 1, 2, TCharSet::Of(",")));
    EXPECT_EQ(token, "");
    EXPECT_EQ(line, ",b");
    // Count below 1 counts as 1.
    line = "x y";
    EXPECT_TRUE(NextToken(line, token, 1, 0, BlankSet));
    EXPECT_EQ(token, "x");
}

TEST(NextToken, RightTrimsTheToken)
{
    std::string line = "  name \t |rest";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 1, 1, TCharSet::Of("|")));
    EXPECT_EQ(token, "name");
    EXPECT_EQ(line, "|rest");
}

TEST(NextToken, CutsToCapacityInCharactersNeverInsideASequence)
{
    std::string line = "Вапно|x";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 1, 1, TCharSet::Of("|"), 3));
    EXPECT_EQ(token, "Вап");
    EXPECT_EQ(line, "|x");
    // The default capacity is 255 characters (510 bytes here).
    std::string longLine;
    for (int k = 0; k < 300; ++k)
        longLine += "ж";
    std::string copy = longLine;
    EXPECT_TRUE(NextToken(copy, token, 1, 1, BlankSet));
    EXPECT_EQ(Utf8Length(token), 255u);
    EXPECT_EQ(token.size(), 510u);
    EXPECT_EQ(copy, ""); // the whole scanned text leaves the line
    EXPECT_TRUE(NextToken(longLine, token, 1, 1, BlankSet, 0));
    EXPECT_EQ(token, "");
}

TEST(NextToken, TabsAreBlanks)
{
    std::string line = "\t\tx\ty";
    std::string token;
    EXPECT_TRUE(NextToken(line, token, 1, 1, BlankSet));
    EXPECT_EQ(token, "x");
    EXPECT_EQ(line, "\ty");
}

// ---------------------------------------------------------------------------
// ReadValueOrRange

TEST(ReadValueOrRange, WithoutMarker)
{
    long double lo = 0, hi = 0;
    std::string line = "1,5/2,5";
    EXPECT_TRUE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 1.5L);
    EXPECT_EQ(hi, 2.5L);
    EXPECT_EQ(line, "");

    line = "7";
    EXPECT_TRUE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 7.0L);
    EXPECT_EQ(hi, 7.0L);

    line = "-";
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, Unset);

    line = "3/x";
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 3.0L);
    EXPECT_EQ(hi, Unset);

    line = "1,5,2";
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, Unset);
}

TEST(ReadValueOrRange, MarkersConsumeTheirFieldAndStay)
{
    long double lo = 0, hi = 0;
    std::string line = "name $ 120 #0,9/1";
    EXPECT_TRUE(ReadValueOrRange(line, '$', Markers, lo, hi));
    EXPECT_EQ(lo, 120.0L);
    EXPECT_EQ(hi, 120.0L);
    EXPECT_EQ(line, "name $ #0,9/1"); // the blank and 120 left; '$' stays
    EXPECT_TRUE(ReadValueOrRange(line, '#', Markers, lo, hi));
    EXPECT_EQ(lo, 0.9L);
    EXPECT_EQ(hi, 1.0L);
    EXPECT_EQ(line, "name $ #");
    // Reading '$' again now finds nothing behind it.
    EXPECT_FALSE(ReadValueOrRange(line, '$', Markers, lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, Unset);
}

TEST(ReadValueOrRange, AbsentMarkerLeavesLineUnchanged)
{
    long double lo = 5, hi = 5;
    std::string line = " 1/2 #3";
    EXPECT_FALSE(ReadValueOrRange(line, '$', Markers, lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, Unset);
    EXPECT_EQ(line, " 1/2 #3");
}

TEST(ReadValueOrRange, SuccessiveFieldsWithoutMarker)
{
    // Column values of a materials line (stop character '$').
    std::string line = " 0,5  1/2 - 3 $100";
    long double lo, hi;
    const TCharSet stop = TCharSet::Of("$");
    EXPECT_TRUE(ReadValueOrRange(line, '\0', stop, lo, hi));
    EXPECT_EQ(lo, 0.5L);
    EXPECT_TRUE(ReadValueOrRange(line, '\0', stop, lo, hi));
    EXPECT_EQ(lo, 1.0L);
    EXPECT_EQ(hi, 2.0L);
    EXPECT_FALSE(ReadValueOrRange(line, '\0', stop, lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_TRUE(ReadValueOrRange(line, '\0', stop, lo, hi));
    EXPECT_EQ(lo, 3.0L);
    EXPECT_EQ(line, " $100");
    EXPECT_FALSE(ReadValueOrRange(line, '\0', stop, lo, hi)); // stops on '$'
    EXPECT_EQ(line, "$100");
    EXPECT_TRUE(ReadValueOrRange(line, '$', stop, lo, hi));
    EXPECT_EQ(lo, 100.0L);
}

TEST(ReadValueOrRange, PartsAndExponents)
{
    long double lo, hi;
    std::string line = "1e3/-2.5E-2";
    EXPECT_TRUE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 1000.0L);
    EXPECT_EQ(hi, -0.025L);
    line = "/5";
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, 5.0L);
    line = "5/";
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 5.0L);
    EXPECT_EQ(hi, Unset);
    line = "1/2/3"; // the text after the first '/' is "2/3"
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, 1.0L);
    EXPECT_EQ(hi, Unset);
    line = "-/2,5"; // a missing lower bound
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
    EXPECT_EQ(lo, Unset);
    EXPECT_EQ(hi, 2.5L);
    line = "   "; // blanks only
    EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi));
}

TEST(ReadValueOrRange, InfNanAndOverflowAreUnset)
{
    long double lo, hi;
    for (const char* text : {"inf", "nan", "INF", "-Infinity", "NaN(1)", "1e5000", "-1e5000", "0x10", "1e", "1e+",
                             ".", "+", "1..2", " 1", "1 ", "1d0", "1,5."}) {
        std::string line = text;
        // Blanks would end the field early: read these with no delimiters
        // through the strict conversion directly as well.
        long double v = 42;
        EXPECT_FALSE(TryParseReal(text, v)) << text;
        EXPECT_EQ(v, 42) << text;
        if (std::string(text).find(' ') == std::string::npos) {
            EXPECT_FALSE(ReadValueOrRange(line, '\0', TCharSet(), lo, hi)) << text;
            EXPECT_EQ(lo, Unset) << text;
            EXPECT_EQ(hi, Unset) << text;
        }
    }
}

TEST(TryParseReal, AcceptsTheStrictGrammar)
{
    long double v = 0;
    EXPECT_TRUE(TryParseReal("0", v));
    EXPECT_EQ(v, 0.0L);
    EXPECT_TRUE(TryParseReal("+12.5", v));
    EXPECT_EQ(v, 12.5L);
    EXPECT_TRUE(TryParseReal("-.5", v));
    EXPECT_EQ(v, -0.5L);
    EXPECT_TRUE(TryParseReal("3.", v));
    EXPECT_EQ(v, 3.0L);
    EXPECT_TRUE(TryParseReal("-1e20", v));
    EXPECT_EQ(v, -1e20L);
    EXPECT_TRUE(TryParseReal("1.5e4000", v)); // finite for long double
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 1e4000L);
    EXPECT_TRUE(TryParseReal("1e-5000", v)); // underflow reads as zero
    EXPECT_EQ(v, 0.0L);
    EXPECT_TRUE(TryParseReal("0.1", v));
    EXPECT_EQ(v, 0.1L); // correctly rounded in extended precision
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
    std::string longText;
    for (int k = 0; k < 300; ++k)
        longText += "ж";
    EXPECT_EQ(Utf8Length(PadRight(longText, 10)), 255u);
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
    long double x = 5;
    ClampRange(x, 0, 3);
    EXPECT_EQ(x, 3.0L);
    x = -5;
    ClampRange(x, 0, 3);
    EXPECT_EQ(x, 0.0L);
    x = 2;
    ClampRange(x, 0, 3);
    EXPECT_EQ(x, 2.0L);
    x = NaN;
    ClampRange(x, 0, 3);
    EXPECT_EQ(x, 3.0L); // a NaN becomes Hi

    x = 10;
    ClampAbs(x, 4);
    EXPECT_EQ(x, 4.0L);
    x = -10;
    ClampAbs(x, 4);
    EXPECT_EQ(x, -4.0L);
    x = 1;
    ClampAbs(x, 4);
    EXPECT_EQ(x, 1.0L);
    x = NaN;
    ClampAbs(x, 4);
    EXPECT_EQ(x, -4.0L); // a NaN becomes -M

    double d = std::numeric_limits<double>::quiet_NaN();
    ClampRange(d, -1, 1);
    EXPECT_EQ(d, 1.0);
    d = std::numeric_limits<double>::quiet_NaN();
    ClampAbs(d, 2);
    EXPECT_EQ(d, -2.0);
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
    const auto dir = TempFolder("shortcut");
    const std::string linkFolder = dir.string() + "/";
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
    std::filesystem::remove_all(dir);
}

TEST(CreateShortcut, NoSeparatorIsInsertedAndFailureIsReported)
{
    const auto dir = TempFolder("shortcut2");
    // LinkFolder without a trailing separator: the name is glued on.
    ASSERT_TRUE(CreateShortcut((dir / "pre").string(), "/t", "f", "", "Title"));
    EXPECT_TRUE(std::filesystem::exists(dir / "preTitle.desktop"));
    std::string error;
    EXPECT_FALSE(CreateShortcut((dir / "no-such-folder").string() + "/", "/t", "f", "", "Title", &error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove_all(dir);
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
