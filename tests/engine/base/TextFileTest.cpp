// The code page 1251 text-file layer (TextFile.h).
#include "LoaderTestSupport.h"
#include "TextFile.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ferrolyt;
namespace fs = std::filesystem;

namespace {

using test::ScratchFolder;

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::size_t FilesIn(const fs::path& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++n;
    return n;
}

} // namespace

// ---------------------------------------------------------------------------
// Conversions

TEST(Cp1251, KnownCharacters)
{
    EXPECT_EQ(FromCp1251("\xC0\xFF"), "Ая");
    EXPECT_EQ(FromCp1251("\xA8\xB8"), "Ёё");
    EXPECT_EQ(FromCp1251("\xA5\xB4\xAA\xBA\xB2\xB3\xAF\xBF"), "ҐґЄєІіЇї");
    EXPECT_EQ(FromCp1251("\x88\xB9\x96"), "€№–");
    EXPECT_EQ(FromCp1251("abc"), "abc");
    EXPECT_EQ(ToCp1251("Вапно №1 €"), "\xC2\xE0\xEF\xED\xEE \xB9" "1 \x88");
    EXPECT_EQ(ToCp1251(""), "");
    EXPECT_EQ(FromCp1251(""), "");
}

TEST(Cp1251, RoundTripOfAllBytes)
{
    // The undefined byte 98 maps to U+0098 so that no byte is ever lost.
    EXPECT_EQ(FromCp1251("a\x98" "b"), "a\xC2\x98" "b");
    EXPECT_EQ(ToCp1251("a\xC2\x98" "b"), "a\x98" "b");
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = FromCp1251(all);
    EXPECT_EQ(Utf8Length(utf8), 256u);
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos); // no replacement character
    EXPECT_EQ(ToCp1251(utf8), all);
    for (unsigned char c : all) { // each byte alone, too
        const std::string one(1, static_cast<char>(c));
        const std::string u = FromCp1251(one);
        EXPECT_EQ(Utf8Length(u), 1u) << int(c);
        EXPECT_EQ(ToCp1251(u), one) << int(c);
    }
}

TEST(Cp1251, UnmappableCharacterIsRefusedWithItsPosition)
{
    try {
        ToCp1251("Шлак 中 x");
        FAIL() << "no exception";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.codePoint, U'中');
        EXPECT_EQ(e.character, "中");
        EXPECT_EQ(e.column, 6u);
        EXPECT_EQ(e.line, 0u);
        EXPECT_NE(std::string(e.what()).find("U+4E2D"), std::string::npos) << e.what();
    }
    std::string out = "unchanged", error;
    EXPECT_FALSE(TryToCp1251("😀", out, &error));
    EXPECT_EQ(out, "unchanged");
    EXPECT_NE(error.find("U+1F600"), std::string::npos) << error;
    // Characters outside 1251 that look harmless are refused too.
    EXPECT_THROW(ToCp1251("ä"), EncodingError);
    EXPECT_THROW(ToCp1251("ѐ"), EncodingError);
}

TEST(Cp1251, MalformedUtf8IsRefused)
{
    try {
        ToCp1251("ab\xD0");
        FAIL() << "no exception";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.codePoint, EncodingError::InvalidUtf8);
        EXPECT_EQ(e.column, 3u);
    }
    EXPECT_THROW(ToCp1251("\xC0\x80"), EncodingError);     // overlong
    EXPECT_THROW(ToCp1251("\xED\xA0\x80"), EncodingError); // surrogate
    EXPECT_THROW(ToCp1251("\xFF"), EncodingError);
}

// ---------------------------------------------------------------------------
// Reading

TEST(ReadTextFile1251, SplitsOnCrLfAndLfAndConverts)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "x.TSK";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"\xD1\xF2\xE0\xEB\xFC\r\nline2\nline3\r\n\r\nlast", {"Сталь", "line2", "line3", "", "last"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"", {}},
        {std::string("x\0y\n", 4), {std::string("x\0y", 3)}}, // NUL bytes are kept
    };
    for (const auto& [bytes, lines] : cases) {
        Spit(f, bytes);
        EXPECT_EQ(ReadTextFile1251(f), lines) << bytes;
    }
}

// LF, CR LF and CR CR LF (a CR LF file converted once more) end a line;
// any other CR would join two lines, and is refused by its line.
TEST(ReadTextFile1251, EndsLinesAtLfCrLfOrCrCrLfAndRefusesAnyOtherCrByItsLine)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "x.MAT";
    Spit(f, "a\r\r\nb\r\r\n");
    EXPECT_EQ(ReadTextFile1251(f), (std::vector<std::string>{"a", "b"}));
    Spit(f, "a\r\r\n\r\r\nb\n");
    EXPECT_EQ(ReadTextFile1251(f), (std::vector<std::string>{"a", "", "b"}));
    const std::pair<std::string, std::size_t> refused[] = {
        {"a\rb\r\n", 1}, {"a\r\nb\r", 2}, {"a\r\n\rb\r\n", 2}, {"a\r\nb\r\r\r\n", 2},
        {"# note\rBrukht | 1\r\n", 1}, {"a\r\nb\r\nc\rd", 3}};
    for (const auto& [bytes, line] : refused) {
        SCOPED_TRACE(bytes);
        Spit(f, bytes);
        std::string what = "read";
        try {
            ReadTextFile1251(f);
        } catch (const TextFileError& e) {
            what = e.what();
        }
        EXPECT_NE(what.find(f.string() + "\": рядок " + std::to_string(line) + ": "), std::string::npos) << what;
        std::vector<std::string> lines;
        std::string message;
        EXPECT_FALSE(ReadDataFileLines(f, "x.MAT", lines, message));
        EXPECT_EQ(message.rfind(LoadFailedText("x.MAT", line, "символ CR"), 0), 0u) << message;
    }
}

TEST(ReadTextFile1251, MissingFileOrFolderFails)
{
    ScratchFolder dir;
    EXPECT_THROW(ReadTextFile1251(dir.path() / "none.CON"), TextFileError);
    EXPECT_THROW(ReadTextFile1251(dir.path()), TextFileError);
    std::vector<std::string> lines{"keep"};
    std::string error;
    EXPECT_FALSE(TryReadTextFile1251(dir.path() / "none.CON", lines, &error));
    EXPECT_EQ(lines, std::vector<std::string>{"keep"});
    EXPECT_NE(error.find("none.CON"), std::string::npos) << error;
}

TEST(ReadTextFile1251, Utf8IsRecognisedByItsCyrillicOrItsMarkAnd1251IsNot)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "x.MAT";
    struct Case {
        std::string Bytes;
        std::vector<std::string> Lines;
        bool Utf8;
    };
    const Case cases[] = {
        {"\xD0\x91\xD1\x80\xD1\x83\xD1\x85\xD1\x82 | 1\r\n", {"Брухт | 1"}, true},
        {"\xEF\xBB\xBF@Fe C\r\n", {"@Fe C"}, true},          // the mark alone, before ASCII text
        {"\xC1\xF0\xF3\xF5\xF2 | 1\r\n", {"Брухт | 1"}, false}, // the same name in 1251
        {"\xD0\xE0\r\n", {"Ра"}, false},                          // a UTF-8 lead byte, then no continuation
        {"Fe 1\r\n", {"Fe 1"}, false},
    };
    for (const Case& c : cases) {
        Spit(f, c.Bytes);
        TTextReadNotes notes;
        EXPECT_EQ(ReadTextFile1251(f, &notes), c.Lines) << c.Bytes;
        EXPECT_EQ(notes.Utf8, c.Utf8) << c.Bytes;
    }
}

TEST(ReadFileBytes, OnlyRegularFilesUpToTheCapAndNoWaitForAPipe)
{
    ScratchFolder dir;
    const fs::path pipe = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const fs::path small = dir.path() / "small";
    Spit(small, "12345");
    EXPECT_THROW(ReadFileBytes(pipe), TextFileError); // no writer: it would wait for ever
    EXPECT_THROW(ReadFileBytes("/dev/zero"), TextFileError);
    EXPECT_THROW(ReadFileBytes(dir.path()), TextFileError);
    EXPECT_THROW(ReadFileBytes(small, 4), TextFileError);
    EXPECT_EQ(ReadFileBytes(small, 5), "12345");
}

// ---------------------------------------------------------------------------
// Writing

TEST(WriteTextFile1251, AReadOnlyTargetIsReplacedOnlyWhenAllowedAndStaysReadOnly)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "ro.TSK";
    Spit(f, "old\r\n");
    fs::permissions(f, fs::perms::owner_read | fs::perms::group_read);
    std::string error;
    bool readOnly = false;
    EXPECT_FALSE(TryWriteTextFile1251(f, {"new"}, &error, false, &readOnly));
    EXPECT_TRUE(readOnly);
    EXPECT_NE(error.find("ro.TSK"), std::string::npos) << error;
    EXPECT_EQ(Slurp(f), "old\r\n");
    EXPECT_TRUE(TryWriteTextFile1251(f, {"new"}, &error, true, &readOnly));
    EXPECT_FALSE(readOnly);
    EXPECT_EQ(Slurp(f), "new\r\n");
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(WriteTextFile1251, WritesCrLfInCodePage1251AndReadsBack)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "out.TSK";
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            bytes += static_cast<char>(b);
    const std::vector<std::string> lines{FromCp1251(bytes), "Сталь 20", "", "x"};
    WriteTextFile1251(f, lines);
    EXPECT_EQ(Slurp(f), bytes + "\r\n\xD1\xF2\xE0\xEB\xFC 20\r\n\r\nx\r\n");
    EXPECT_EQ(ReadTextFile1251(f), lines);
    WriteTextFile1251(f, {});
    EXPECT_EQ(Slurp(f), "");
    EXPECT_EQ(FilesIn(dir.path()), 1u); // no temporary file left
}

TEST(WriteTextFile1251, UnmappableCharacterOrLineBreakLeavesTheFileIntact)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "task.TSK";
    WriteTextFile1251(f, {"old", "content"});
    const std::string before = Slurp(f);
    try {
        WriteTextFile1251(f, {"new", "Сталь 中国", "more"});
        FAIL() << "no exception";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.line, 2u);
        EXPECT_EQ(e.column, 7u);
        EXPECT_EQ(e.codePoint, U'中');
        const std::string what = e.what();
        EXPECT_NE(what.find("task.TSK"), std::string::npos) << what;
        EXPECT_NE(what.find("中"), std::string::npos) << what;
    }
    EXPECT_EQ(Slurp(f), before);
    EXPECT_EQ(FilesIn(dir.path()), 1u);
    std::string error;
    EXPECT_FALSE(TryWriteTextFile1251(f, {"€ ok", "😀"}, &error));
    EXPECT_NE(error.find("U+1F600"), std::string::npos) << error;
    EXPECT_THROW(WriteTextFile1251(f, {"a\nb"}), TextFileError);
    EXPECT_THROW(WriteTextFile1251(f, {"ok", "a\r"}), TextFileError);
    EXPECT_EQ(Slurp(f), before);
}

TEST(WriteTextFile1251, FailedWriteLeavesTheOldFile)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "big.TSK";
    WriteTextFile1251(f, {"the previous content"});
    const std::string before = Slurp(f);

    // A real I/O failure in the middle of the write: a file-size limit
    // below the new content (EFBIG; the signal is ignored).
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::vector<std::string> big(2000, std::string(60, 'x'));
    std::string error;
    const bool ok = TryWriteTextFile1251(f, big, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("big.TSK"), std::string::npos) << error;
    EXPECT_EQ(Slurp(f), before);
    EXPECT_EQ(FilesIn(dir.path()), 1u); // the temporary file is gone
}

TEST(WriteTextFile1251, MissingFolderOrFolderTargetFails)
{
    ScratchFolder dir;
    EXPECT_THROW(WriteTextFile1251(dir.path() / "no" / "x.txt", {"a"}), TextFileError);
    fs::create_directory(dir.path() / "sub");
    EXPECT_THROW(WriteTextFile1251(dir.path() / "sub", {"a"}), TextFileError);
    EXPECT_TRUE(fs::is_directory(dir.path() / "sub"));
    EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(WriteTextFile1251, KeepsPermissionsAndFollowsSymlinks)
{
    ScratchFolder dir;
    const fs::path f = dir.path() / "p.txt";
    WriteTextFile1251(f, {"a"});
    ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
    WriteTextFile1251(f, {"b"});
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const fs::path link = dir.path() / "link.txt";
    fs::create_symlink("p.txt", link);
    WriteTextFile1251(link, {"c"});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(f), "c\r\n");
}

TEST(WriteTextFile1251, TheNextSaveRemovesTheLeftoversOfASaveThatWasKilled)
{
    ScratchFolder dir;
    // A process that is gone, as a save killed midway is.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string mine = std::to_string(::getpid());

    const std::vector<std::string> stale = {".Ferrolyt.TSK.tmp-" + dead + "-0-123456", ".Ferrolyt.TSK.tmp-" + dead + "-7-1"};
    const std::vector<std::string> kept = {
        ".Ferrolyt.TSK.tmp-" + mine + "-0-5",      // a save of this very process
        ".Ferrolyt.TSK.tmp-1-0-5",                 // a process that still runs
        ".FERROLYT.FWP.tmp-" + dead + "-0-1",      // another file's
        ".Ferrolyt.TSK.tmp-" + dead + "-x-1",      // not a name the program makes
        "Ferrolyt.TSK.tmp-" + dead + "-0-1",
        ".Ferrolyt.TSK.tmp-" + dead + "-0-1.bak",
        ".Ferrolyt.TSK.tmp-" + dead + "-0-2",      // a folder
        ".Ferrolyt.TSK.tmp-" + dead + "-0-3",      // a link
    };
    for (const std::string& name : stale)
        Spit(dir.path() / name, "half a task file");
    for (std::size_t k = 0; k + 2 < kept.size(); ++k)
        Spit(dir.path() / kept[k], "not ours to remove");
    fs::create_directory(dir.path() / kept[kept.size() - 2]);
    fs::create_symlink(kept[0], dir.path() / kept.back());

    WriteTextFile1251(dir.path() / "Ferrolyt.TSK", {"*task"});

    for (const std::string& name : stale)
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / name))) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir.path() / name))) << name;
    EXPECT_EQ(Slurp(dir.path() / "Ferrolyt.TSK"), "*task\r\n");
}
