#pragma once
// The file boundary for the data and task files: text in code page 1251
// with CR LF line ends on disk, UTF-8 lines inside the program.
//
// Conversion is done with iconv ("CP1251"). Code page 1251 leaves one byte
// undefined, 0x98. It is read as U+0098 (the C1 control character that
// Windows' own conversion gives it) and U+0098 is written back as 0x98, so
// such a byte survives a read and a write unchanged instead of failing the
// whole file. Every other byte has its character, so reading never fails on
// content.
//
// Writing refuses, never drops: a character that code page 1251 cannot hold
// (a CJK character, for instance; "€" and "№" are in 1251) or malformed
// UTF-8 raises EncodingError naming the character, its line and its column,
// and nothing on disk changes.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ferrolyt {

// A file that cannot be opened, read, written or renamed, or a line that
// cannot be written as one line. what() is a Ukrainian text naming the file.
class TextFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A character that code page 1251 cannot hold, or malformed UTF-8.
class EncodingError : public TextFileError {
public:
    EncodingError(const std::string& message, std::size_t line, std::size_t column, char32_t codePoint,
                  std::string character)
        : TextFileError(message), line(line), column(column), codePoint(codePoint), character(std::move(character))
    {
    }
    std::size_t line;       // 1-based line of the file; 0 when not converting a file's line
    std::size_t column;     // 1-based character position in the line (or string)
    char32_t codePoint;     // the character; InvalidUtf8 for malformed UTF-8
    std::string character;  // its UTF-8 text (the raw bytes when malformed)

    static constexpr char32_t InvalidUtf8 = 0xFFFFFFFFu;
};

// UTF-8 -> code page 1251. Throws EncodingError (line 0) on a character that
// 1251 cannot hold or on malformed UTF-8.
std::string ToCp1251(std::string_view utf8);

// Non-throwing form: false (and out unchanged) where ToCp1251 would throw;
// the message goes to *error when error is not null.
bool TryToCp1251(std::string_view utf8, std::string& out, std::string* error = nullptr);

// Length and code point of the well-formed UTF-8 sequence starting at
// s[pos]; 0 when none starts there (overlong forms, surrogates and values past
// U+10FFFF are not well-formed). pos must be inside s.
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& cp);

// Code page 1251 -> UTF-8. Never fails: 0x98 becomes U+0098 (see above).
std::string FromCp1251(std::string_view cp1251);

// No file the program reads is larger than this, nor has more lines: a
// bigger one is not ours, and reading it would only fill the memory.
inline constexpr std::uintmax_t MaxDataFileBytes = 64u * 1024u * 1024u;
inline constexpr std::size_t MaxDataFileLines = 1u << 20;

// What a text read found besides the lines.
struct TTextReadNotes {
    // The file was UTF-8 (valid UTF-8 holding Cyrillic letters, or starting
    // with the UTF-8 byte-order mark) and was read as such.
    bool Utf8 = false;
    // The last line ended with a line break; false for an empty file too.
    bool LastLineEnded = false;
    // The size of the text and its control characters other than tab, line
    // feed, form feed, carriage return and the old end-of-file mark 0x1A.
    // Text holds next to none; random or binary data about one byte in ten.
    // Both counted on the file's own bytes.
    std::size_t Bytes = 0;
    std::size_t ControlBytes = 0;
    // The first line (1-based; 0 when none) holding a NUL byte.
    std::size_t NulLine = 0;
    // The first line of a file read as code page 1251 that holds UTF-8
    // (two Cyrillic letters in a row encoded as UTF-8): a file of two
    // encodings, whose UTF-8 part would be read as mojibake.
    std::size_t Utf8LineIn1251 = 0;
    // The file starts with the UTF-8 byte-order mark but is no valid UTF-8:
    // the first line (1-based) holding a byte that UTF-8 cannot have.
    std::size_t BomBeforeNonUtf8Line = 0;
};

// A carriage return that ends no line: it would join two lines into one,
// and whatever the second held would be read as part of the first (or lost
// in its comment). line is 1-based; reason is the Ukrainian text without
// the file's name.
class LineEndError : public TextFileError {
public:
    LineEndError(const std::string& message, std::size_t line, std::string reason)
        : TextFileError(message), line(line), reason(std::move(reason))
    {
    }
    std::size_t line;
    std::string reason;
};

// Reads a whole file in code page 1251 into UTF-8 lines. A line ends at LF,
// CR LF, or CR CR LF (what a CR LF file becomes when converted once more);
// a CR anywhere else throws LineEndError naming its line. A final line
// break does not start another line: "a\r\nb\r\n" and "a\r\nb" both give
// {"a", "b"}; an empty file gives no lines. A UTF-8 file (see
// TTextReadNotes) is taken as it is; every other byte is kept, control
// characters too. Throws TextFileError when the file cannot be read (see
// ReadFileBytes) or holds more than MaxDataFileLines lines.
std::vector<std::string> ReadTextFile1251(const std::filesystem::path& path, TTextReadNotes* notes = nullptr);

// Non-throwing form for loaders (which report "Неможливо завантажити файл"
// and return false): false on failure, message in *error.
bool TryReadTextFile1251(const std::filesystem::path& path, std::vector<std::string>& lines,
                         std::string* error = nullptr, TTextReadNotes* notes = nullptr);

// Writes UTF-8 lines as code page 1251, each line followed by CR LF. Every
// line is converted before anything is written; the bytes go to a new
// temporary file in the target's folder, which is flushed to disk and then
// renamed over the target, so a failed write leaves the previous file as it
// was (and removes the temporary file). An existing target keeps its
// permission bits; a symbolic link is followed and the file it names is
// replaced. Throws EncodingError (with the 1-based line and column) for a
// character 1251 cannot hold, ReadOnlyFileError for a read-only target
// unless overwriteReadOnly, TextFileError for a line holding CR or LF and
// for any I/O failure.
void WriteTextFile1251(const std::filesystem::path& path, const std::vector<std::string>& lines,
                       bool overwriteReadOnly = false);

// Non-throwing form: false on failure, message in *error; *readOnly (when
// not null) tells a read-only target from other failures.
bool TryWriteTextFile1251(const std::filesystem::path& path, const std::vector<std::string>& lines,
                          std::string* error = nullptr, bool overwriteReadOnly = false, bool* readOnly = nullptr);

// The target of a write has no write permission for anyone. The rename
// would replace it all the same (the folder is writable), so the writer
// refuses unless the caller has asked the user.
class ReadOnlyFileError : public TextFileError {
public:
    using TextFileError::TextFileError;
};

// The atomic replacement used above, for bytes that are already encoded
// (the key store and the shortcut writer use it for UTF-8). After the
// rename the folder is flushed too, so that the new name survives a crash.
// Throws TextFileError on failure (ReadOnlyFileError as above), leaving any
// previous file intact.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool overwriteReadOnly = false);

// Removes what saves of `target` killed midway left beside it: the
// temporary files of the atomic replacement (their name pattern only) whose
// process no longer runs. Every successful replacement calls it.
void RemoveStaleTemporaryFiles(const std::filesystem::path& target);

// The one way every reader opens a file: only a regular file (a folder, a
// pipe or a device is refused, and opening never waits for a pipe's
// writer) of at most maxBytes is read. Throws TextFileError naming the file
// and the reason.
std::string ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes = MaxDataFileBytes);

} // namespace ferrolyt
