#include "ParticleBatch.h"

#include "ParticleFiles.h"
#include "ParticleFormat.h"
#include "ParticleStats.h"
#include "TextFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace ferrolyt::particles {

namespace {

// A value with a blank or a quote is written in double quotes, inner
// quotes doubled (the string list's delimited-text rule).
std::string Delimited(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const std::string& f = fields[k];
        if (k)
            line += ' ';
        const bool quote = std::any_of(f.begin(), f.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '"';
        });
        if (!quote) {
            line += f;
            continue;
        }
        line += '"';
        for (char c : f) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line;
}

struct TableState {
    int lines = 0;            // the header and the result lines
    bool endsWithBreak = true;
};

// Splits a line by the delimited-text rule Delimited writes: fields apart by
// one blank, a field with a blank or a quote in double quotes with inner
// quotes doubled. False when the line does not follow it.
bool SplitDelimited(std::string_view line, std::vector<std::string>& fields)
{
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '"')
                field += line[i++];
        }
        fields.push_back(std::move(field));
        if (i == line.size())
            return true;
        if (line[i] != ' ')
            return false;
        ++i;
    }
}

// A value of a result line as TableLine writes it: a count of particles for
// N1 and N2, otherwise a number (blanks before it for the width) or the
// formatter's "NAN", "INF" and "-INF".
bool TableValue(std::size_t column, const std::string& field)
{
    std::string_view text(field);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (column < 2) {
        if (text.empty() || text.size() > 4 || field.size() != text.size())
            return false;
        int n = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return false;
            n = n * 10 + (c - '0');
        }
        return n <= MaxBalls;
    }
    if (text == "NAN" || text == "INF" || text == "-INF")
        return true;
    double v;
    return !text.empty() && text.size() <= 24 && ParseNumber(text, v);
}

// Why a line is not one the batch run writes, or empty.
std::string TableLineProblem(std::string_view line, int index)
{
    if (index == 0)
        return line == TableHeaderLine ? std::string() : "це не заголовок таблиці";
    std::vector<std::string> fields;
    const std::size_t columns = 16;
    if (!SplitDelimited(line, fields) || fields.size() != columns)
        return "це не рядок із " + std::to_string(columns) + " значень";
    for (std::size_t c = 0; c < fields.size(); ++c)
        if (!TableValue(c, fields[c]))
            return "значення " + std::to_string(c + 1) + " не є числом, яке записує розрахунок";
    return {};
}

// The largest table the run could have written, with room to spare.
constexpr std::uintmax_t MaxTableBytes = 1u << 20;

// Reads an existing table; false when it exists but is not one the batch
// run wrote (so that appending to it would damage what it holds).
bool ReadTable(const std::filesystem::path& path, std::size_t compositions, TableState& state, std::string& message)
{
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
        return true;
    const std::string refused = "Таблицю результатів " + path.string() + " не можна продовжити: ";
    const std::string untouched = "; пакетний розрахунок зупинено, щоб не перезаписати її.";
    std::string bytes;
    try {
        bytes = ReadFileBytes(path, MaxTableBytes);
    } catch (const TextFileError& e) {
        message = refused + e.what() + untouched;
        return false;
    }
    std::size_t start = 0;
    int lineNo = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const bool ended = end != std::string::npos;
        if (!ended)
            end = bytes.size();
        std::string_view line(bytes.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++lineNo;
        start = end + 1;
        state.endsWithBreak = ended;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue; // a blank line holds nothing
        if (const std::string problem = TableLineProblem(line, state.lines); !problem.empty()) {
            message = refused + "рядок " + std::to_string(lineNo) + ": " + problem + untouched;
            return false;
        }
        if (std::size_t(state.lines) > compositions) {
            message = refused + "вона містить більше рядків, ніж є складів (" + std::to_string(compositions) + ")" +
                      untouched;
            return false;
        }
        ++state.lines;
    }
    return true;
}

// Appends (or, for a new table, writes) one line and flushes it.
bool AppendLine(const std::filesystem::path& path, const std::string& line, bool fresh, bool breakFirst,
                std::string& message)
{
    std::FILE* f = std::fopen(path.c_str(), fresh ? "wb" : "ab");
    if (!f) {
        message = "Неможливо записати таблицю результатів " + path.string();
        return false;
    }
    std::string bytes = (breakFirst ? "\r\n" : "") + line + "\r\n";
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        message = "Неможливо записати таблицю результатів " + path.string();
    return ok;
}

} // namespace

int BatchN1(int total, int percent)
{
    const std::int64_t q = std::int64_t(100 - percent) * total;
    std::int64_t n1 = q / 100;
    const std::int64_t rest = q % 100;
    if (rest > 50 || (rest == 50 && n1 % 2 != 0))
        ++n1;
    return static_cast<int>(n1);
}

std::string TableLine(ParticleModel& m)
{
    const double S = double(m.FrameCounter * std::uint64_t(std::max(m.StepsPerFrame, 0)));
    const double V = m.BoxVolume;
    const double F = double(m.FrameCounter);
    m.Pressure = (2 * m.SumK + m.VirialSum / m.StepsPerFrame) / (3 * F * V);
    const TBallTypeRecord& t1 = m.BallTypes[1];
    const TBallTypeRecord& t2 = m.BallTypes[2];
    const double P1 = TypePressure(m, 1), P2 = TypePressure(m, 2);
    auto g6 = [](double v) { return FormatGeneral(v, 6, 6); };
    auto g5 = [](double v) { return FormatGeneral(v, 5, 5); };
    return Delimited({std::to_string(t1.N), std::to_string(t2.N), g6(P1), g6(P2), g6(m.Pressure),
                      g5((t1.SumMV2 + t1.SumU) / (2 * S)), g5((t2.SumMV2 + t2.SumU) / (2 * S)), g5(m.SumE / F),
                      g6(t1.SumMV2 / (2 * S)), g6(t1.SumU / (2 * S)), g6(t1.SumVir / (2 * S)), g6(t2.SumMV2 / (2 * S)),
                      g6(t2.SumU / (2 * S)), g6(t2.SumVir / (2 * S)), g6(TypeChemicalPotential(m, 1, P1)),
                      g6(TypeChemicalPotential(m, 2, P2))});
}

BatchResult RunBatch(ParticleModel& model, const std::filesystem::path& table, const BatchPlan& plan,
                     const BatchCallbacks& cb)
{
    BatchResult result;
    TableState state;
    if (!ReadTable(table, plan.Compositions.size(), state, result.Message)) {
        model.ShowMessage("Ferrolyt", result.Message);
        result.Outcome = BatchOutcome::Failed;
        return result;
    }
    const bool fresh = state.lines == 0;
    bool breakFirst = !fresh && !state.endsWithBreak;
    if (fresh) {
        if (!AppendLine(table, TableHeaderLine, true, false, result.Message)) {
            model.ShowMessage("Ferrolyt", result.Message);
            result.Outcome = BatchOutcome::Failed;
            return result;
        }
        state.lines = 1;
    }
    result.FirstComposition = state.lines;
    if (cb.CompositionProgress)
        cb.CompositionProgress(state.lines);

    const int total12 = model.BallTypes[1].N + model.BallTypes[2].N;
    model.BatchMode = true;
    model.GravityOn = false;
    model.ApplyGravitySetting();
    model.Seed(plan.Seed ? *plan.Seed
                         : static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::uint32_t every = std::max<std::uint32_t>(plan.MessageEvery, 1);
    const std::uint32_t progressEvery = std::max<std::uint32_t>(plan.ProgressEvery, 1);
    auto stopAsked = [&] { return cb.ProcessMessages && cb.ProcessMessages(); };
    auto finish = [&](BatchOutcome outcome, std::string message) {
        model.BatchMode = false;
        result.Outcome = outcome;
        result.Message = std::move(message);
        return result;
    };
    auto halted = [&] { return finish(BatchOutcome::Failed, model.HaltMessage); };

    const int count = static_cast<int>(plan.Compositions.size());
    for (int k = state.lines; k <= count; ++k) {
        const int c = plan.Compositions[k - 1];
        model.BallTypes[1].N = BatchN1(total12, c);
        model.BallTypes[2].N = total12 - model.BallTypes[1].N;
        if (!model.SetupParticles())
            return finish(BatchOutcome::Failed, "Частинки не вміщуються в об'єм");
        char text[160];
        std::snprintf(text, sizeof text, "Preliminary equlibration on step %d", k);
        if (cb.Status)
            cb.Status(text);
        for (std::uint32_t i = 1; i <= plan.EquilibrationFrames; ++i) {
            if (!model.DoSteps())
                return halted();
            if (i % every == 0 && stopAsked())
                return finish(BatchOutcome::Stopped, {});
        }
        model.ResetStatistics();
        const bool longRun =
            std::find(plan.LongCompositions.begin(), plan.LongCompositions.end(), k) != plan.LongCompositions.end();
        const std::uint32_t frames = longRun ? plan.LongFrames : plan.Frames;
        if (cb.FrameProgress)
            cb.FrameProgress(0, frames);
        for (std::uint32_t i = 1; i <= frames; ++i) {
            if (!model.DoSteps())
                return halted();
            if (i % progressEvery == 0 && cb.FrameProgress)
                cb.FrameProgress(i, frames);
            if (i % every == 0) {
                std::snprintf(text, sizeof text, "Step %d. Integration: %u of %u", k, i, frames);
                if (cb.Status)
                    cb.Status(text);
                if (stopAsked())
                    return finish(BatchOutcome::Stopped, {});
            }
        }
        std::string message;
        if (!AppendLine(table, TableLine(model), false, breakFirst, message)) {
            model.ShowMessage("Ferrolyt", message);
            return finish(BatchOutcome::Failed, message);
        }
        breakFirst = false;
        ++state.lines;
        ++result.Written;
        if (cb.CompositionProgress)
            cb.CompositionProgress(state.lines);
    }
    return finish(BatchOutcome::Finished, {});
}

bool ReadBatchTable(const std::filesystem::path& table, int& lines, bool& endsWithBreak, std::string& message,
                    std::size_t compositions)
{
    TableState state;
    const bool read = ReadTable(table, compositions, state, message);
    lines = state.lines;
    endsWithBreak = state.endsWithBreak;
    return read;
}

} // namespace ferrolyt::particles
