#include "DataFiles.h"

#include "FieldRanges.h"

#include "Host.h"
#include "Model.h"
#include "PathResolver.h"
#include "ProgramDir.h"
#include "TextFile.h"
#include "Utils.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <system_error>

namespace ferrolyt {

namespace {

namespace fs = std::filesystem;

// ln 10: the constants file gives the slag pairs in decimal-log form.
constexpr long double Ln10 = 2.302585093L;
// -R x 1873.15 K: the interaction energies are referred to 1600 °C.
constexpr long double EnergyFactor = -15574.2532268L;


// A token that starts as a number is meant as one ("0x10", "nan" and
// "1,5,2" included), unlike a note after a row's last field.
bool StartsAsNumber(std::string_view token)
{
    if (token.empty())
        return false;
    const char c = token[0];
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',')
        return true;
    const std::string word = UpperCase1251(token.substr(0, 3));
    return word == "NAN" || word == "INF";
}

bool StartsWithCapital(const std::string& line) { return !line.empty() && line[0] >= 'A' && line[0] <= 'Z'; }

// Reads blank-separated tokens from a position of one line on, continuing on
// the following lines as the runtime's text input does for numbers.
class TokenCursor {
public:
    TokenCursor(const std::vector<std::string>& lines, std::size_t line, std::size_t pos)
        : lines_(lines), line_(line), pos_(pos)
    {
    }

    bool Next(std::string& token, bool crossLines)
    {
        for (;;) {
            if (line_ >= lines_.size())
                return false;
            const std::string& s = lines_[line_];
            while (pos_ < s.size() && IsBlankOrControl(s[pos_]))
                ++pos_;
            if (pos_ < s.size())
                break;
            if (!crossLines)
                return false;
            // The next element's line ends this element's fields: a field
            // left out is named on its own element's line, never taken from
            // the next element.
            if (line_ + 1 < lines_.size() && StartsWithCapital(lines_[line_ + 1]))
                return false;
            ++line_;
            pos_ = 0;
        }
        const std::string& s = lines_[line_];
        const std::size_t start = pos_;
        while (pos_ < s.size() && !IsBlankOrControl(s[pos_]))
            ++pos_;
        token = s.substr(start, pos_ - start);
        return true;
    }

    // The next token of the current line, left to be read.
    bool Peek(std::string& token)
    {
        TokenCursor copy = *this;
        return copy.Next(token, false);
    }

    // The next n characters of the current line as they stand (fewer at its end).
    std::string Chars(std::size_t n)
    {
        if (line_ >= lines_.size())
            return {};
        const std::string& s = lines_[line_];
        const std::string part = Utf8Left(std::string_view(s).substr(std::min(pos_, s.size())), n);
        pos_ += part.size();
        return part;
    }

    bool AtLineEnd() const { return line_ >= lines_.size() || pos_ >= lines_[line_].size(); }
    std::size_t Line() const { return line_; }

private:
    const std::vector<std::string>& lines_;
    std::size_t line_;
    std::size_t pos_;
};

// The values of an interaction or slag row, after the symbol that starts
// it: separated by blanks, tabs or other control characters.
std::vector<std::string> RowValues(const std::string& line, std::string& symbol)
{
    std::string rest = line;
    NextToken(rest, symbol, 1, 1, BlankSet);
    std::vector<std::string> values;
    std::size_t pos = 0;
    while (pos < rest.size()) {
        while (pos < rest.size() && IsBlankOrControl(rest[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < rest.size() && !IsBlankOrControl(rest[pos]))
            ++pos;
        if (pos > start)
            values.emplace_back(rest, start, pos - start);
    }
    return values;
}

// " (Si)": the database element of a row's column, for messages.
std::string ColumnElement(std::size_t column)
{
    return column < static_cast<std::size_t>(ElementBase.Count) ? " (" + ElementBase.Items[column].Symbol + ")"
                                                                 : std::string();
}

// "-" ends an interaction or slag row, and only a note may follow it. A
// number there is a value meant for a later column, as "-" leaves a single
// column empty in the materials and task files: read as a note it would be
// lost without a word.
std::string AfterRowEnd(const std::vector<std::string>& values, std::size_t end)
{
    if (end + 1 >= values.size() || !StartsAsNumber(values[end + 1]))
        return {};
    return "\"" + Utf8Left(values[end + 1], 20) +
           "\" після \"-\", яким закінчується рядок (далі може бути лише примітка, що не починається з числа)";
}

// Where a row of an interaction or slag file stands, and the symbol it gives.
struct TRowSymbol {
    std::size_t Line; // 0-based index into the lines
    std::string Symbol;
};

// A row belongs to the element of its place, and its symbol was never
// compared with anything: a file of the past may hold any text there and
// still be right, so a symbol that is not the element of its place is
// told, and the file read as it always was. Rows past the constants'
// elements belong to none and are not compared.
void WarnRowsOutOfPlace(const std::string& fileName, const std::vector<TRowSymbol>& rows, std::size_t firstElement)
{
    std::string list;
    for (std::size_t k = 0; k < rows.size() && firstElement + k < static_cast<std::size_t>(ElementBase.Count); ++k) {
        const std::string& expected = ElementBase.Items[firstElement + k].Symbol;
        if (UpperCase1251(rows[k].Symbol) != UpperCase1251(expected))
            list += "\nРядок " + std::to_string(rows[k].Line + 1) + ": символ " + Utf8Left(rows[k].Symbol, 20) +
                    ", а на цьому місці — " + expected;
    }
    if (!list.empty())
        ShowWarning("Файл " + fileName +
                    ": рядки належать елементам за порядком файлу констант, а символи цих рядків інші "
                    "(значення віднесено до елементів за порядком):" +
                    list);
}

// The shapes an interaction or slag table may have: every row as long as
// the others (a full table), or row r holding the r columns before its
// own element (the lower triangle), or those and its own. A row that ends
// early at "-" says so and is exempt. Any other length is a value left out
// or one too many, which would move the row's later values onto the wrong
// partners. The shape most rows fit is the table's, so that the row named
// is the odd one.
class TRowShapes {
public:
    void Add(std::size_t row, std::size_t count, std::size_t line, const std::string& symbol)
    {
        rows_.push_back({row, count, line, symbol});
    }

    // Empty when every row fits one shape; otherwise the line (0-based)
    // of the first row that does not, and the reason.
    std::pair<std::size_t, std::string> Check() const
    {
        std::map<std::size_t, std::size_t> lengths;
        std::size_t lower = 0;
        std::size_t withOwn = 0;
        for (const TRow& r : rows_) {
            ++lengths[r.Count];
            lower += r.Count == r.Row;
            withOwn += r.Count == r.Row + 1;
        }
        std::size_t length = 0;
        std::size_t full = 0;
        for (const auto& [count, times] : lengths)
            if (times > full) {
                length = count;
                full = times;
            }
        // The table's shape: the full length most rows have, or the
        // triangle (with or without the row's own column).
        const bool triangle = lower > full || withOwn > full;
        const std::size_t own = withOwn > lower ? 1 : 0;
        for (const TRow& r : rows_) {
            const std::size_t expected = triangle ? r.Row + own : length;
            if (r.Count != expected)
                return {r.Line, r.Symbol + ": " + std::to_string(r.Count) + " значень, а " +
                                    (triangle ? "у трикутній таблиці — " : "в інших рядках таблиці — ") +
                                    std::to_string(expected) +
                                    " (рядок, у якому далі значень немає, закінчують знаком \"-\")"};
        }
        return {0, {}};
    }

private:
    struct TRow {
        std::size_t Row;
        std::size_t Count;
        std::size_t Line;
        std::string Symbol;
    };
    std::vector<TRow> rows_;
};

// Refusal of a file's content, carried to the loader's single exit.
struct ContentError {
    std::size_t line; // 0-based index into the lines
    std::string reason;
};

bool Fail(const std::string& fileName, const ContentError& e)
{
    ShowWarning(LoadFailedText(fileName, e.line + 1, e.reason));
    return false;
}


} // namespace

std::string LoadFailedText(const std::string& fileName) { return "Неможливо завантажити файл " + fileName; }

std::string NoRecordsText(const std::string& what) { return "файл не містить " + what; }

std::string LoadFailedText(const std::string& fileName, std::size_t line, const std::string& reason)
{
    return LoadFailedText(fileName) + "\nРядок " + std::to_string(line) + ": " + reason;
}

fs::path ResolveProjectFile(const std::string& name)
{
    std::error_code ec;
    const fs::path here = ResolveDataPath(fs::path(), name);
    if (fs::exists(here, ec))
        return here;
    const fs::path inProgram = ResolveDataPath(fs::path(ProgramDir()), name);
    if (fs::exists(inProgram, ec))
        return inProgram;
    return here;
}

std::string ShownFileName(const std::string& name, const fs::path& file)
{
    std::error_code ec;
    const fs::path here = ResolveDataPath(fs::path(), name);
    const fs::path inProgram = ResolveDataPath(fs::path(ProgramDir()), name);
    const bool fromProgramFolder = file != here;
    const bool twins = fs::exists(here, ec) && fs::exists(inProgram, ec) && !fs::equivalent(here, inProgram, ec);
    if (!fromProgramFolder && !twins)
        return name;
    const fs::path full = fs::absolute(file, ec);
    return ec ? name : full.lexically_normal().string();
}

bool ReadDataFileLines(const fs::path& path, const std::string& fileName, std::vector<std::string>& lines,
                       std::string& message, bool* utf8)
{
    TTextReadNotes notes;
    if (utf8)
        *utf8 = false;
    try {
        lines = ReadTextFile1251(path, &notes);
    } catch (const LineEndError& e) {
        message = LoadFailedText(fileName, e.line, e.reason);
        lines.clear();
        return false;
    } catch (const std::exception& e) {
        message = LoadFailedText(fileName) + "\n" + e.what();
        return false;
    }
    if (notes.ControlBytes * 20 > notes.Bytes) {
        message = LoadFailedText(fileName) + "\nце не текст: " + std::to_string(notes.ControlBytes) +
                  " керівних символів на " + std::to_string(notes.Bytes) + " байт";
        lines.clear();
        return false;
    }
    // A NUL is no character of either encoding: an editor put it there,
    // and a reader would take it for a blank between two values.
    // A file of two encodings has one part read as mojibake.
    auto refuse = [&](std::size_t line, const char* reason) {
        message = LoadFailedText(fileName, line, reason);
        lines.clear();
        return false;
    };
    if (notes.NulLine)
        return refuse(notes.NulLine, "нульовий байт (NUL), якого в текстовому файлі не буває");
    if (notes.BomBeforeNonUtf8Line)
        return refuse(notes.BomBeforeNonUtf8Line,
                      "файл починається з позначки UTF-8 (BOM), а цей рядок записано не в UTF-8");
    if (notes.Utf8LineIn1251)
        return refuse(notes.Utf8LineIn1251,
                      "рядок записано в UTF-8, а файл — у Windows-1251 (два кодування в одному файлі)");
    // Every file of ours ends its lines with CR LF: a last line with text
    // and no line break is most likely a file cut short, and its last value
    // a number cut in two.
    if (!notes.LastLineEnded && !lines.empty() && !TrimBlanks(lines.back()).empty()) {
        message = LoadFailedText(fileName, lines.size(), "рядок не закінчується розривом рядка (файл обірвано?)");
        lines.clear();
        return false;
    }
    if (utf8)
        *utf8 = notes.Utf8;
    return true;
}

bool ReadDataFile(const fs::path& path, const std::string& fileName, std::vector<std::string>& lines)
{
    std::string message;
    bool utf8 = false;
    if (!ReadDataFileLines(path, fileName, lines, message, &utf8)) {
        ShowWarning(message);
        return false;
    }
    if (utf8)
        ShowWarning(Utf8FileText(fileName));
    return true;
}

bool SaveDataFile(const fs::path& file, const std::string& shownName, const std::vector<std::string>& lines)
{
    std::string error;
    bool readOnly = false;
    if (TryWriteTextFile1251(file, lines, &error, false, &readOnly))
        return true;
    if (readOnly) {
        if (!CurrentHost().AskYesNo(ReadOnlyQuestion(shownName)))
            return false;
        if (TryWriteTextFile1251(file, lines, &error, true))
            return true;
    }
    ShowWarning("Неможливо зберегти файл " + shownName + "\n" + error);
    return false;
}

std::string ReadOnlyQuestion(const std::string& fileName)
{
    return "Файл " + fileName + " призначено лише для читання. Замінити його?";
}

std::string Utf8FileText(const std::string& fileName)
{
    return "Файл " + fileName + " записано в кодуванні UTF-8, а не Windows-1251: його прочитано як UTF-8";
}

std::string TLongNames::Cut(const std::string& name, std::size_t limit, std::size_t line)
{
    std::string cut = Utf8Left(name, limit);
    if (cut.size() != name.size() && count_++ == 0) {
        line_ = line;
        limit_ = limit;
        name_ = name;
        cut_ = cut;
    }
    return cut;
}

std::string TLongNames::Text(const std::string& fileName) const
{
    if (count_ == 0)
        return {};
    std::string text = "Файл " + fileName + ", рядок " + std::to_string(line_ + 1) + ": назву «" + name_ +
                       "» довшу за " + std::to_string(limit_) + " символів прочитано як «" + cut_ + "»";
    if (count_ > 1)
        text += " (і ще довгих назв: " + std::to_string(count_ - 1) + ")";
    return text + ". Під час збереження буде записано скорочену назву.";
}

// ---------------------------------------------------------------------------
// Element constants

bool LoadConstants(const std::string& fileName)
{
    const fs::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadConstantsFromLines(lines, shown);
}

bool LoadConstantsFromLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    auto base = std::make_unique<TElems>();
    std::vector<std::size_t> elementLines; // where each element was described
    std::vector<bool> givesH298;           // whether its line gives field 28
    std::size_t i = 1; // the title line
    while (i < lines.size()) {
        const std::string& line = lines[i];
        if (!StartsWithCapital(line)) {
            ++i;
            continue;
        }
        if (base->Count >= MaxElements)
            return Fail(fileName, {i, "більше " + std::to_string(MaxElements) + " елементів (межа " +
                                          std::to_string(MaxElements) + ")"});
        TElementRecord rec;
        const std::string symbolPart = Utf8Left(line, 3);
        rec.Symbol = TrimBlanks(symbolPart);
        const std::string labelPart = Utf8Left(std::string_view(line).substr(symbolPart.size()), 6);
        rec.Label = TrimBlanks(labelPart);
        TokenCursor cursor(lines, i, symbolPart.size() + labelPart.size());

        std::string token;
        std::size_t field = 3;
        auto missing = [&]() -> ContentError {
            return {std::min(cursor.Line(), lines.size() - 1),
                    "елемент " + rec.Symbol + ": немає поля " + std::to_string(field)};
        };
        auto bad = [&]() -> ContentError {
            return {cursor.Line(), "елемент " + rec.Symbol + ": поле " + std::to_string(field) + " \"" +
                                       Utf8Left(token, 20) + "\" не є числом"};
        };
        // A field's name as the file's header line gives it, for messages.
        auto fieldName = [&]() -> std::string {
            static constexpr const char* Names[] = {"b",       "M",       "z",       "A1",       "B1",       "A2",
                                                    "B2",      "e2",      "H",       "S",        "q",        "k",
                                                    "solid a", "solid b", "solid c", "solid 4",  "solid 5",  "solid 6",
                                                    "liquid a", "liquid b", "liquid s", "liquid 4", "liquid 5",
                                                    "liquid 6", "s",       "h298"};
            const std::size_t k = field - 3;
            return "поле " + std::to_string(field) + (k < std::size(Names) ? std::string(" (") + Names[k] + ")" : "");
        };
        auto outOfRange = [&](const TFieldRange& range, long double v) {
            if (const std::string refusal = OutOfRange(range, v); !refusal.empty())
                throw ContentError{cursor.Line(), "елемент " + rec.Symbol + ": " + fieldName() + ": " + refusal};
        };
        auto readInt = [&](int32_t& v) -> bool {
            if (!cursor.Next(token, true))
                throw missing();
            if (!TryParseInt32(token, v))
                throw bad();
            outOfRange(FieldRange::FileByte, v);
            ++field;
            return true;
        };
        auto readReal = [&](const TFieldRange& range) -> long double {
            if (!cursor.Next(token, true))
                throw missing();
            long double v = 0;
            std::string refusal;
            if (ReadFileNumber(token, v, range, refusal, false) != TFileNumber::Number)
                throw ContentError{cursor.Line(), "елемент " + rec.Symbol + ": " + fieldName() + ": " + refusal};
            ++field;
            return v;
        };
        bool h298 = false;
        try {
            int32_t b = 0;
            readInt(b);
            rec.FileByte = static_cast<uint8_t>(static_cast<uint32_t>(b) & 0xFFu);
            // Every later routine divides by the molar mass and takes the
            // square root of e²: values that would poison them are refused here.
            rec.MolarMass = readReal(FieldRange::MolarMass);
            rec.Valence = readReal(FieldRange::Valence);
            rec.SlagA1 = readReal(FieldRange::SlagLogA) * Ln10;
            rec.SlagB1 = readReal(FieldRange::SlagLogB) * Ln10;
            rec.SlagA2 = readReal(FieldRange::SlagLogA) * Ln10;
            rec.SlagB2 = readReal(FieldRange::SlagLogB) * Ln10;
            const long double e2 = readReal(FieldRange::SlagEnergySquare);
            rec.MetalH = readReal(FieldRange::Enthalpy);
            rec.MetalS = readReal(FieldRange::Entropy);
            rec.Tolerance = readReal(FieldRange::SampleTolerance);
            int32_t k = 0;
            readInt(k);
            rec.DirectStandard = (static_cast<uint32_t>(k) & 0xFFu) != 0;
            for (auto* set : {&rec.SolidEnthalpy, &rec.LiquidEnthalpy}) {
                (*set)[0] = readReal(FieldRange::Enthalpy);
                (*set)[1] = readReal(FieldRange::HeatCapacity);
                for (std::size_t c = 2; c < set->size(); ++c)
                    (*set)[c] = readReal(set == &rec.LiquidEnthalpy && c == 2 ? FieldRange::EntropyShare
                                                                              : FieldRange::HeatCapacitySlope);
            }
            rec.NmiSurfaceCoef = readReal(FieldRange::SurfaceTension);
            // Optional, on the line of the last field only: older files end
            // there (or carry a note that was always ignored), and their
            // elements then stand at the standard state. Whatever starts
            // as a number there is the field all the same: it must be one,
            // in its range, and nothing that starts as a number may follow.
            if (std::string next; cursor.Peek(next) && StartsAsNumber(next)) {
                h298 = true;
                rec.ChargeEnthalpy = readReal(FieldRange::Enthalpy);
                if (cursor.Peek(next) && StartsAsNumber(next))
                    throw ContentError{cursor.Line(), "елемент " + rec.Symbol + ": зайве поле " + std::to_string(field) +
                                                          " \"" + Utf8Left(next, 20) + "\" (полів у рядку елемента " +
                                                          std::to_string(field - 1) + ")"};
            }
            rec.SlagEnergy = std::sqrt(e2);
        } catch (const ContentError& e) {
            return Fail(fileName, e);
        }
        // Every later table and look-up finds an element by its symbol:
        // a second line of the same symbol could never be reached.
        if (const int earlier = base->IndexOfSymbol(rec.Symbol); earlier >= 0)
            return Fail(fileName, {i, "елемент " + rec.Symbol + " уже описано в рядку " +
                                          std::to_string(elementLines[static_cast<std::size_t>(earlier)] + 1)});
        elementLines.push_back(i);
        givesH298.push_back(h298);
        rec.Index = static_cast<uint16_t>(base->Count);
        if (rec.Valence > 0 && rec.Symbol != "C")
            rec.CompoundFactor = 7.9997L * rec.Valence / rec.MolarMass + 1.0L;
        else
            rec.CompoundFactor = 1.0L;
        base->Add(rec);
        i = cursor.Line() + 1; // the rest of the last line is ignored
    }
    // Field 28 is a column of the file: given for every element or for
    // none. An element without it where the others have it has most
    // likely lost a field before it, and its last fields moved up one.
    const auto withH298 = static_cast<std::size_t>(std::count(givesH298.begin(), givesH298.end(), true));
    const bool h298Column = withH298 * 2 >= givesH298.size();
    for (std::size_t k = 0; k < givesH298.size(); ++k)
        if (givesH298[k] != h298Column)
            return Fail(fileName, {elementLines[k], "елемент " + base->Items[k].Symbol +
                                                        (h298Column ? ": немає поля 28 (h298), яке мають інші елементи"
                                                                    : ": поле 28 (h298) є лише в деяких елементів") +
                                                        " (дайте його всім елементам файлу або жодному)"});
    if (base->Count == 0)
        return Fail(fileName, {lines.empty() ? 0 : lines.size() - 1, NoRecordsText("жодного елемента")});
    ElementBase.Assign(*base);
    BaseElemLast = ElementBase.Count - 1;
    return true;
}

// ---------------------------------------------------------------------------
// Interaction parameters

bool LoadInteractionParams(const std::string& fileName)
{
    const fs::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadInteractionParamsFromLines(lines, shown);
}

bool LoadInteractionParamsFromLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    auto wagner = std::make_unique<std::array<std::array<double, MaxElements>, MaxElements>>();
    std::array<long double, MaxElements> e{};
    std::array<bool, MaxElements> eRead{};
    e[0] = 1.0L;
    eRead[0] = true;
    TRowShapes shapes;
    std::vector<TRowSymbol> rows;
    int r = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!StartsWithCapital(lines[i]))
            continue;
        ++r;
        if (r > MaxEpsRows)
            return Fail(fileName, {i, "більше " + std::to_string(MaxEpsRows) + " рядків даних (межа " +
                                          std::to_string(MaxEpsRows) + ")"});
        std::string symbol;
        const std::vector<std::string> values = RowValues(lines[i], symbol);
        // e, then ε for the columns 1, 2, ...; "-" ends the row.
        std::size_t k = 0;
        for (; k < values.size() && values[k] != "-"; ++k) {
            if (k >= static_cast<std::size_t>(MaxTableColumns))
                return Fail(fileName, {i, "більше " + std::to_string(MaxTableColumns - 1) +
                                              " параметрів взаємодії (межа " +
                                              std::to_string(MaxTableColumns - 1) + ")"});
            const std::string field = k == 0 ? std::string("e") : "ε" + std::to_string(k) + ColumnElement(k);
            long double v = 0;
            std::string refusal;
            if (ReadFileNumber(values[k], v, k == 0 ? FieldRange::InteractionE : FieldRange::Interaction, refusal,
                               false) != TFileNumber::Number)
                return Fail(fileName, {i, "параметр взаємодії " + symbol + " " + field + ": " + refusal});
            if (k == 0) {
                e[static_cast<std::size_t>(r)] = v;
                eRead[static_cast<std::size_t>(r)] = true;
                continue;
            }
            (*wagner)[static_cast<std::size_t>(r)][k] = static_cast<double>(v);
            (*wagner)[k][static_cast<std::size_t>(r)] = static_cast<double>(v);
        }
        if (const std::string after = AfterRowEnd(values, k); !after.empty())
            return Fail(fileName, {i, "параметр взаємодії " + symbol + " ε" + std::to_string(k + 1) +
                                          ColumnElement(k + 1) + ": " + after});
        if (k == values.size())
            shapes.Add(static_cast<std::size_t>(r), k, i, symbol);
        rows.push_back({i, symbol});
    }
    if (const auto [line, refusal] = shapes.Check(); !refusal.empty())
        return Fail(fileName, {line, "параметри взаємодії " + refusal});

    if (r == 0)
        return Fail(fileName, {lines.empty() ? 0 : lines.size() - 1, NoRecordsText("жодного рядка даних")});
    WagnerMatrix = *wagner;
    WagnerE = e;
    InteractionEnergy = {};
    WarnRowsOutOfPlace(fileName, rows, 1); // the solvent has no row
    // An element without a row has no parameter e: its pairs get no energy,
    // and one warning says so instead of one per pair.
    for (int k = 1; k <= BaseElemLast && k < MaxElements; ++k)
        if (!eRead[static_cast<std::size_t>(k)])
            ShowWarning("Файл " + fileName + " не містить параметра взаємодії елемента " +
                        ElementBase.Items[static_cast<std::size_t>(k)].Symbol);
    for (int ri = 0; ri <= BaseElemLast && ri < MaxElements; ++ri) {
        const auto rr = static_cast<std::size_t>(ri);
        for (std::size_t cc = 0; cc < rr; ++cc) {
            if (!eRead[rr] || !eRead[cc])
                continue;
            const long double er = e[rr];
            const long double ec = e[cc];
            const long double eps = cc == 0 ? 0.0L : static_cast<long double>(WagnerMatrix[rr][cc]);
            // e -> 0 drives 1/e to infinity and x to 0: incompatible.
            long double x = 0;
            if (er != 0 && ec != 0)
                x = (er * ec + 1.0L - eps) / (1.0L / er + 1.0L / ec);
            if (!(x > 0) || !std::isfinite(x)) {
                ShowWarning("Параметр взаємодії Вагнера " + ElementBase.Items[rr].Symbol + "-" +
                            ElementBase.Items[cc].Symbol + " не сумісний с параметрами МКЕ");
                x = 1.0L;
            }
            const long double energy = EnergyFactor * std::log(x);
            InteractionEnergy[rr][cc] = energy;
            InteractionEnergy[cc][rr] = energy;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Slag table

bool LoadSlagData(const std::string& fileName)
{
    const fs::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadSlagDataFromLines(lines, shown);
}

bool LoadSlagDataFromLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    auto table = std::make_unique<std::array<std::array<int32_t, MaxElements>, MaxElements>>();
    TRowShapes shapes;
    std::vector<TRowSymbol> rows;
    int r = -1;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!StartsWithCapital(lines[i]))
            continue;
        ++r;
        if (r >= MaxSlgRows)
            return Fail(fileName, {i, "більше " + std::to_string(MaxSlgRows) + " рядків даних (межа " +
                                          std::to_string(MaxSlgRows) + ")"});
        std::string symbol;
        const std::vector<std::string> values = RowValues(lines[i], symbol);
        // Columns 0, 1, ...; "-" ends the row.
        std::size_t c = 0;
        for (; c < values.size() && values[c] != "-"; ++c) {
            if (c >= static_cast<std::size_t>(MaxTableColumns))
                return Fail(fileName, {i, "більше " + std::to_string(MaxTableColumns) + " значень (межа " +
                                              std::to_string(MaxTableColumns) + ")"});
            long double v = 0;
            std::string refusal;
            if (ReadFileNumber(values[c], v, FieldRange::SlagEnergy, refusal, false) != TFileNumber::Number)
                return Fail(fileName, {i, "енергія пари " + symbol + ", значення " + std::to_string(c + 1) +
                                              ColumnElement(c) + ": " + refusal});
            if (c != static_cast<std::size_t>(r)) // the diagonal is read and discarded
                (*table)[static_cast<std::size_t>(r)][c] = static_cast<int32_t>(std::rint(v));
        }
        if (const std::string after = AfterRowEnd(values, c); !after.empty())
            return Fail(fileName, {i, "енергія пари " + symbol + ", значення " + std::to_string(c + 2) +
                                          ColumnElement(c + 1) + ": " + after});
        if (c == values.size())
            shapes.Add(static_cast<std::size_t>(r), c, i, symbol);
        rows.push_back({i, symbol});
    }
    if (const auto [line, refusal] = shapes.Check(); !refusal.empty())
        return Fail(fileName, {line, "енергії пар " + refusal});
    if (r < 0)
        return Fail(fileName, {lines.empty() ? 0 : lines.size() - 1, NoRecordsText("жодного рядка даних")});
    SlagMatrix = *table;
    WarnRowsOutOfPlace(fileName, rows, 0);
    return true;
}

// ---------------------------------------------------------------------------
// Gas species

bool LoadGases(const std::string& fileName)
{
    const fs::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadGasesFromLines(lines, shown);
}

bool LoadGasesFromLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    auto table = std::make_unique<TGasSpeciesTable>();
    int32_t count = 0;
    try {
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (TrimBlanks(lines[i]).empty())
                continue; // a blank line (often the last) is no species
            TokenCursor cursor(lines, i, 0);
            std::string token;
            int field = 1;
            auto next = [&]() {
                if (!cursor.Next(token, false))
                    throw ContentError{i, "немає поля " + std::to_string(field)};
            };
            auto bad = [&]() {
                return ContentError{i, "поле " + std::to_string(field) + " \"" + Utf8Left(token, 20) +
                                           "\" не є числом"};
            };
            TGasSpeciesRecord rec;
            for (auto& c : rec.Coef) {
                next();
                const TFieldRange& range = field <= 7 ? FieldRange::GibbsCoefficient : FieldRange::GasFormationEnthalpy;
                if (std::string refusal; ReadFileNumber(token, c, range, refusal, false) != TFileNumber::Number)
                    throw ContentError{i, "поле " + std::to_string(field) +
                                              (field <= 7 ? " (φ" + std::to_string(field) + ")" : std::string(" (H0)")) +
                                              ": " + refusal};
                ++field;
            }
            rec.Coef[7] *= 1000.0L; // H0: kJ/mol in the file
            int32_t ignored = 0;
            for (int k = 0; k < 2; ++k) {
                next();
                if (!TryParseInt32(token, ignored))
                    throw bad();
                if (const std::string refusal = OutOfRange(FieldRange::FitTemperature, ignored);
                    !refusal.empty())
                    throw ContentError{i, "поле " + std::to_string(field) + " (температура): " + refusal};
                ++field;
            }
            next();
            if (!TryParseInt32(token, rec.Count) || rec.Count < 1 || rec.Count > 4)
                throw ContentError{i, "кількість елементів \"" + Utf8Left(token, 20) + "\" має бути від 1 до 4"};
            ++field;
            bool dropped = false;
            for (int k = 0; k < 4; ++k) {
                TGasSpeciesPart& part = rec.Parts[static_cast<std::size_t>(k)];
                if (k >= rec.Count && cursor.AtLineEnd())
                    break; // unused groups may be left out
                part.Symbol = TrimBlanks(cursor.Chars(3));
                next();
                int32_t nu = 0;
                if (!TryParseInt32(token, nu) || nu < 0 || nu > 1000)
                    throw ContentError{i, "кількість атомів \"" + Utf8Left(token, 20) + "\" має бути від 0 до 1000"};
                ++field;
                part.Nu = nu;
                if (k < rec.Count) {
                    // A species of an element the constants file lacks is
                    // dropped; text that is no symbol at all is a field
                    // moved out of its column.
                    if (!StartsWithCapital(part.Symbol))
                        throw ContentError{i, "\"" + part.Symbol + "\" на місці елемента " + std::to_string(k + 1) +
                                                  " не є символом елемента"};
                    const int index = ElementBase.IndexOfSymbol(part.Symbol);
                    if (index < 0)
                        dropped = true;
                    else {
                        part.Elem = index;
                        rec.Atoms += nu;
                    }
                }
            }
            rec.Name = TrimBlanks(cursor.Chars(8));
            // Without its name a species cannot be told from the others,
            // and text after the name is a field this line cannot have.
            if (rec.Name.empty())
                throw ContentError{i, "немає назви частинки (8 символів після останньої кількості атомів)"};
            if (std::string extra; cursor.Next(extra, false))
                throw ContentError{i, "зайвий текст \"" + Utf8Left(extra, 20) + "\" після назви частинки " + rec.Name +
                                          " (назва — 8 символів)"};
            if (dropped)
                continue;
            if (count >= MaxGasSpecies)
                throw ContentError{i, "більше " + std::to_string(MaxGasSpecies) + " частинок газу (межа " +
                                          std::to_string(MaxGasSpecies) + ")"};
            (*table)[++count] = rec;
        }
    } catch (const ContentError& e) {
        return Fail(fileName, e);
    }
    // Without a species the gas phase cannot form and no melt converges.
    if (count == 0)
        return Fail(fileName, {lines.empty() ? 0 : lines.size() - 1,
                               NoRecordsText("жодної частинки газу з елементів файлу констант")});
    GasBase = *table;
    GasBaseCount = count;
    return true;
}

} // namespace ferrolyt
