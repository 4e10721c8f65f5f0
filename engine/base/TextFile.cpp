#include "TextFile.h"

#include "Utils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ferrolyt {

namespace {

std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

std::string ErrnoText(int err) { return std::strerror(err); }

// One iconv conversion descriptor.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw TextFileError(std::string("iconv не знає перетворення ") + from + " -> " + to + ": " +
                                ErrnoText(errno));
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv() { iconv_close(cd_); }

    enum class Stop { Done, Illegal, Incomplete };

    // Converts from `pos` on, appending to out, until the input ends or a
    // sequence it cannot convert; pos is left on that sequence.
    Stop Convert(std::string_view in, std::size_t& pos, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // initial state
        char buffer[4096];
        while (pos < in.size()) {
            char* inPtr = const_cast<char*>(in.data() + pos);
            std::size_t inLeft = in.size() - pos;
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            pos = in.size() - inLeft;
            if (rc != static_cast<std::size_t>(-1))
                continue;
            if (err == E2BIG)
                continue;
            if (err == EILSEQ)
                return Stop::Illegal;
            if (err == EINVAL)
                return Stop::Incomplete;
            throw TextFileError("помилка iconv: " + ErrnoText(err));
        }
        return Stop::Done;
    }

private:
    iconv_t cd_;
};

std::string CodePointText(char32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

std::string HexBytes(std::string_view bytes)
{
    std::string r;
    for (char c : bytes) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s0x%02X", r.empty() ? "" : " ", static_cast<unsigned>(static_cast<unsigned char>(c)));
        r += buf;
    }
    return r;
}

// The conversion to 1251 with the encoding errors located by line.
std::string Convert(Iconv& cd, std::string_view utf8, std::size_t line)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    for (;;) {
        const Iconv::Stop stop = cd.Convert(utf8, pos, out);
        if (stop == Iconv::Stop::Done)
            return out;
        // U+0098 stands for the undefined byte 0x98 (see TextFile.h).
        if (utf8.size() - pos >= 2 && static_cast<unsigned char>(utf8[pos]) == 0xC2 &&
            static_cast<unsigned char>(utf8[pos + 1]) == 0x98) {
            out += static_cast<char>(0x98);
            pos += 2;
            continue;
        }
        const std::size_t column = Utf8Length(utf8.substr(0, pos)) + 1;
        const std::string where =
            line ? "рядок " + std::to_string(line) + ", позиція " + std::to_string(column)
                 : "позиція " + std::to_string(column);
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(utf8, pos, cp);
        if (len == 0) {
            const std::string bytes(utf8.substr(pos, 1));
            throw EncodingError(where + ": неправильна послідовність UTF-8 (байт " + HexBytes(bytes) + ")", line,
                                column, EncodingError::InvalidUtf8, bytes);
        }
        const std::string ch(utf8.substr(pos, len));
        throw EncodingError(where + ": символ «" + ch + "» (" + CodePointText(cp) +
                                ") не можна записати в кодуванні Windows-1251",
                            line, column, cp, ch);
    }
}

// Removes a temporary file on every way out unless released.
class TempFile {
public:
    explicit TempFile(std::filesystem::path p) : path_(std::move(p)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!released_)
            ::unlink(path_.c_str());
    }
    int& fd() { return fd_; }
    const std::filesystem::path& path() const { return path_; }
    void Release() { released_ = true; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool released_ = false;
};

std::atomic<unsigned> tempCounter{0};

bool AllDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The process id in the name of one of our own temporary files of `target`
// (".<target>.tmp-<pid>-<counter>-<stamp>"); 0 for any other name.
long TempFileOwner(const std::string& name, const std::string& target)
{
    const std::string prefix = "." + target + ".tmp-";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    const std::size_t a = rest.find('-');
    const std::size_t b = a == std::string_view::npos ? a : rest.find('-', a + 1);
    if (b == std::string_view::npos || !AllDigits(rest.substr(0, a)) || !AllDigits(rest.substr(a + 1, b - a - 1)) ||
        !AllDigits(rest.substr(b + 1)) || a > 9)
        return 0;
    return std::stol(std::string(rest.substr(0, a)));
}

} // namespace

void RemoveStaleTemporaryFiles(const std::filesystem::path& target)
{
    namespace fs = std::filesystem;
    const std::string name = target.filename().string();
    if (name.empty())
        return;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    // A bound on the work, should the folder be huge.
    for (int seen = 0; !ec && it != fs::directory_iterator() && seen < 100000; it.increment(ec), ++seen) {
        const long pid = TempFileOwner(it->path().filename().string(), name);
        if (pid <= 0)
            continue;
        // A save still running in another instance keeps its file: only the
        // leftovers of a process that no longer exists are removed.
        if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || it->is_symlink(typeEc))
            continue;
        std::error_code removeEc;
        fs::remove(it->path(), removeEc);
    }
}

namespace {

} // namespace

std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - pos < len)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[pos + k]);
        if ((b & 0xC0u) != 0x80u)
            return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string ToCp1251(std::string_view utf8)
{
    Iconv cd("CP1251", "UTF-8");
    return Convert(cd, utf8, 0);
}

bool TryToCp1251(std::string_view utf8, std::string& out, std::string* error)
{
    try {
        out = ToCp1251(utf8);
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

std::string FromCp1251(std::string_view cp1251)
{
    Iconv cd("UTF-8", "CP1251");
    std::string out;
    out.reserve(cp1251.size() * 2);
    std::size_t pos = 0;
    for (;;) {
        const Iconv::Stop stop = cd.Convert(cp1251, pos, out);
        if (stop == Iconv::Stop::Done)
            return out;
        // A single-byte code page stops only on its undefined byte 0x98:
        // it becomes U+0098; anything else the iconv library might refuse
        // becomes U+FFFD. Either way one byte is consumed.
        if (static_cast<unsigned char>(cp1251[pos]) == 0x98)
            out += "\xC2\x98";
        else
            out += "\xEF\xBF\xBD";
        ++pos;
    }
}

std::string ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    auto fail = [&](const std::string& reason) {
        return TextFileError("не вдалося прочитати файл " + Quoted(path) + ": " + reason);
    };
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw TextFileError("не вдалося відкрити файл " + Quoted(path) + ": " + ErrnoText(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw fail(ErrnoText(errno));
    if (S_ISDIR(st.st_mode))
        throw fail("це тека");
    if (!S_ISREG(st.st_mode))
        throw fail("це не звичайний файл (пристрій, канал чи сокет)");
    const std::string tooBig = "файл більший за " + std::to_string(maxBytes) + " байт";
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        throw fail(tooBig);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            // The file may grow while it is read.
            if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
                throw fail(tooBig);
            bytes.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        throw fail(ErrnoText(errno));
    }
    return bytes;
}

namespace {

// Control characters that no text file of ours holds (see TTextReadNotes).
bool IsForeignControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1A; }

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// True when bytes are UTF-8 that a code page 1251 reading would garble:
// valid UTF-8 that holds a Cyrillic letter (U+0400..U+04FF) or starts with
// the byte-order mark. Genuine 1251 text is practically never valid UTF-8
// once it has a few letters outside ASCII.
bool LooksLikeUtf8(std::string_view bytes)
{
    bool cyrillic = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(bytes, pos, cp);
        if (len == 0)
            return false;
        cyrillic = cyrillic || (cp >= 0x400 && cp <= 0x4FF);
        pos += len;
    }
    return cyrillic || bytes.starts_with(Utf8Bom);
}

// 1-based line of the byte at pos.
std::size_t LineOf(std::string_view bytes, std::size_t pos)
{
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(pos), '\n')) + 1;
}

// Where a file that is not UTF-8 still holds some: two Cyrillic letters in
// a row, each a well-formed two-byte UTF-8 sequence. A single pair occurs
// in genuine code page 1251 text ("Сі" is the bytes of U+0473), two such
// pairs in a row practically never.
std::size_t FirstUtf8Cyrillic(std::string_view bytes)
{
    auto cyrillicAt = [&](std::size_t pos) {
        char32_t cp = 0;
        return pos < bytes.size() && DecodeUtf8(bytes, pos, cp) == 2 && cp >= 0x400 && cp <= 0x4FF;
    };
    for (std::size_t pos = 0; pos + 4 <= bytes.size(); ++pos)
        if (cyrillicAt(pos) && cyrillicAt(pos + 2))
            return pos;
    return std::string_view::npos;
}

// The first byte that does not start a well-formed UTF-8 sequence.
std::size_t FirstNonUtf8(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(bytes, pos, cp);
        if (len == 0)
            return pos;
        pos += len;
    }
    return std::string_view::npos;
}

} // namespace

std::vector<std::string> ReadTextFile1251(const std::filesystem::path& path, TTextReadNotes* notes)
{
    std::string bytes = ReadFileBytes(path);
    const std::size_t lineBreaks = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (lineBreaks > MaxDataFileLines)
        throw TextFileError("не вдалося прочитати файл " + Quoted(path) + ": більше " +
                            std::to_string(MaxDataFileLines) + " рядків");
    const bool utf8 = LooksLikeUtf8(bytes);
    if (notes) {
        notes->Utf8 = utf8;
        notes->LastLineEnded = !bytes.empty() && bytes.back() == '\n';
        notes->Bytes = bytes.size();
        notes->ControlBytes = static_cast<std::size_t>(std::count_if(
            bytes.begin(), bytes.end(), [](char c) { return IsForeignControl(static_cast<unsigned char>(c)); }));
        const std::size_t nul = bytes.find('\0');
        notes->NulLine = nul == std::string::npos ? 0 : LineOf(bytes, nul);
        notes->Utf8LineIn1251 = 0;
        notes->BomBeforeNonUtf8Line = 0;
        if (!utf8) {
            const std::size_t mixed = FirstUtf8Cyrillic(bytes);
            notes->Utf8LineIn1251 = mixed == std::string::npos ? 0 : LineOf(bytes, mixed);
            if (bytes.starts_with(Utf8Bom))
                notes->BomBeforeNonUtf8Line = LineOf(bytes, FirstNonUtf8(bytes));
        }
    }
    const std::string text = !utf8 ? FromCp1251(bytes) : bytes.substr(bytes.starts_with(Utf8Bom) ? Utf8Bom.size() : 0);
    bytes.clear();
    bytes.shrink_to_fit();
    std::vector<std::string> lines;
    lines.reserve(lineBreaks + 1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        std::size_t cut = lf == std::string::npos ? text.size() : lf;
        for (int k = 0; k < 2 && lf != std::string::npos && cut > pos && text[cut - 1] == '\r'; ++k)
            --cut;
        if (std::string_view(text).substr(pos, cut - pos).find('\r') != std::string_view::npos) {
            const std::size_t line = lines.size() + 1;
            std::string reason = "символ CR (повернення каретки) не в кінці рядка: рядок закінчують LF, CR LF або "
                                 "CR CR LF, а CR усередині з'єднав би два рядки";
            throw LineEndError("не вдалося прочитати файл " + Quoted(path) + ": рядок " + std::to_string(line) +
                                   ": " + reason,
                               line, std::move(reason));
        }
        lines.emplace_back(text, pos, cut - pos);
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

bool TryReadTextFile1251(const std::filesystem::path& path, std::vector<std::string>& lines, std::string* error,
                         TTextReadNotes* notes)
{
    try {
        lines = ReadTextFile1251(path, notes);
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

void WriteFileAtomically(const std::filesystem::path& requested, std::string_view bytes, bool overwriteReadOnly)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path path = requested;
    // Follow a symbolic link, so that the file it names is replaced and the
    // link stays.
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        const fs::path to = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    if (path.filename().empty())
        throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": немає імені файлу");

    const fs::path folder = path.parent_path();
    mode_t mode = 0666; // narrowed by the umask when the file is new
    bool keepMode = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": це тека");
        mode = st.st_mode & 07777;
        keepMode = true;
        // Judged by the permission bits, not by access(): the superuser may
        // write anything, and the rename would replace the file anyway.
        if ((mode & 0222) == 0 && !overwriteReadOnly)
            throw ReadOnlyFileError("файл " + Quoted(requested) + " призначено лише для читання");
    }

    // A new, unique temporary file next to the target.
    int fd = -1;
    fs::path tempPath;
    int openErr = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const auto stamp = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        const std::string name = "." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(tempCounter.fetch_add(1)) + "-" + std::to_string(stamp % 1000000);
        tempPath = folder.empty() ? fs::path(name) : folder / name;
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        openErr = errno;
        if (fd < 0 && openErr != EEXIST)
            break;
    }
    if (fd < 0)
        throw TextFileError("не вдалося створити тимчасовий файл для " + Quoted(requested) + ": " +
                            ErrnoText(openErr));
    TempFile temp(tempPath);
    temp.fd() = fd;

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int err = n < 0 ? errno : EIO;
        throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
    if (keepMode && ::fchmod(fd, mode) != 0) {
        const int err = errno;
        throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
    const int closeRc = ::close(fd);
    temp.fd() = -1;
    if (closeRc != 0) {
        const int err = errno;
        throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        const int err = errno;
        throw TextFileError("не вдалося замінити файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
    temp.Release();
    RemoveStaleTemporaryFiles(path);
    // The rename lives in the folder: flush it, or a crash may bring back
    // the old file (or neither).
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        const int rc = ::fsync(dir);
        const int err = errno;
        ::close(dir);
        if (rc != 0 && err != EINVAL)
            throw TextFileError("не вдалося записати файл " + Quoted(requested) + ": " + ErrnoText(err));
    }
}

void WriteTextFile1251(const std::filesystem::path& path, const std::vector<std::string>& lines,
                       bool overwriteReadOnly)
{
    Iconv cd("CP1251", "UTF-8");
    std::string bytes;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        const std::size_t br = line.find_first_of("\r\n");
        if (br != std::string::npos)
            throw TextFileError("не вдалося записати файл " + Quoted(path) + ": рядок " + std::to_string(k + 1) +
                                " містить розрив рядка (позиція " +
                                std::to_string(Utf8Length(std::string_view(line).substr(0, br)) + 1) + ")");
        try {
            bytes += Convert(cd, line, k + 1);
        } catch (const EncodingError& e) {
            throw EncodingError("не вдалося записати файл " + Quoted(path) + ": " + e.what(), e.line, e.column,
                                e.codePoint, e.character);
        }
        bytes += "\r\n";
    }
    WriteFileAtomically(path, bytes, overwriteReadOnly);
}

bool TryWriteTextFile1251(const std::filesystem::path& path, const std::vector<std::string>& lines,
                          std::string* error, bool overwriteReadOnly, bool* readOnly)
{
    if (readOnly)
        *readOnly = false;
    try {
        WriteTextFile1251(path, lines, overwriteReadOnly);
        return true;
    } catch (const ReadOnlyFileError& e) {
        if (readOnly)
            *readOnly = true;
        if (error)
            *error = e.what();
        return false;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

} // namespace ferrolyt
