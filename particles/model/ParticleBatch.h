#pragma once
// The batch run over mixture compositions: for each share of type 2 it sets
// up the particles, equilibrates, measures and appends one line of results
// to a .tdf table. A table that already holds finished compositions is
// continued after them.

#include "ParticleModel.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ferrolyt::particles {

// The share of type 2 in percent, composition by composition.
inline const std::vector<int> TDFCompositions = {0,  1,  3,  5,  10, 15, 20, 25, 30, 35, 40, 45, 50,
                                                 55, 60, 65, 70, 75, 80, 85, 90, 95, 97, 99, 100};

inline constexpr const char* TableHeaderLine = "N1 N2 P1 P2 P E1 E2 E K1 U1 Vir1 K2 U2 Vir2 Mu1 Mu2";

// How long each part runs; tests make it short.
struct BatchPlan {
    std::vector<int> Compositions = TDFCompositions;
    std::uint32_t EquilibrationFrames = 1000;
    std::uint32_t Frames = 100000;
    std::uint32_t LongFrames = 200000;
    // Compositions (numbered from 1) that run LongFrames: 1, 3, 5, 95, 97 and 99 percent.
    std::vector<int> LongCompositions = {2, 3, 4, 22, 23, 24};
    std::uint32_t MessageEvery = 100;    // frames between status texts and message processing
    std::uint32_t ProgressEvery = 1000;  // frames between steps of the frame progress
    std::optional<std::uint64_t> Seed;   // the clock when not given
};

struct BatchCallbacks {
    std::function<void(const std::string&)> Status;                             // the text line
    std::function<void(std::uint32_t frame, std::uint32_t frames)> FrameProgress;  // frames of one composition
    std::function<void(int lines)> CompositionProgress;                         // lines in the table (header too)
    // Lets the windows run; returns true when a stop was asked for.
    std::function<bool()> ProcessMessages;
};

enum class BatchOutcome { Finished, Stopped, Failed };

struct BatchResult {
    BatchOutcome Outcome = BatchOutcome::Finished;
    int FirstComposition = 1;  // where this run began (numbered from 1)
    int Written = 0;           // lines added by this run
    std::string Message;       // why it failed
};

// N1 for a share of c percent type 2 among total particles of types 1 and
// 2: (1 - c/100) total rounded to the nearest integer, ties to even,
// computed exactly in integers.
int BatchN1(int total, int percent);

// One result line of the model's sums (also sets model.Pressure).
std::string TableLine(ParticleModel& model);

// Runs the batch on a model whose parameters have been read
// (ReadModelParams). Types 1 and 2 share their total particles by the
// composition; type 3 keeps its count. The table is appended one flushed
// line at a time. An existing table that cannot be read stops the run
// before anything is written.
BatchResult RunBatch(ParticleModel& model, const std::filesystem::path& table, const BatchPlan& plan,
                     const BatchCallbacks& callbacks);

// What a batch run reads of an existing table before it appends: its
// non-empty lines (the header and the results) and whether the last one ends
// in a line break. Only a table the run itself writes is accepted: the
// header line, then at most `compositions` lines of 16 values as TableLine
// writes them. False, with the message, when the table exists but cannot be
// read or holds anything else; a missing table is an empty one.
bool ReadBatchTable(const std::filesystem::path& table, int& lines, bool& endsWithBreak, std::string& message,
                    std::size_t compositions = TDFCompositions.size());

} // namespace ferrolyt::particles
