#include "Materials.h"

#include "DataFiles.h"
#include "FieldRanges.h"
#include "Host.h"
#include "Model.h"
#include "Project.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "Utils.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>

namespace ferrolyt {

namespace {


// Tokens separated by blanks and tabs. A text that starts with a blank
// yields an empty first token (a header's empty balance formula).
std::vector<std::string> SplitHeader(std::string_view text)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    auto isSep = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t start = i;
    while (i < text.size() && !isSep(text[i]))
        ++i;
    tokens.emplace_back(text.substr(start, i - start));
    for (;;) {
        while (i < text.size() && isSep(text[i]))
            ++i;
        if (i >= text.size())
            break;
        start = i;
        while (i < text.size() && !isSep(text[i]))
            ++i;
        tokens.emplace_back(text.substr(start, i - start));
    }
    return tokens;
}

struct ContentError {
    std::size_t line; // 0-based
    std::string reason;
};

std::string Limit(const std::string& what, int limit)
{
    return "більше " + std::to_string(limit) + " " + what + " (межа " + std::to_string(limit) + ")";
}

// Adds to a single-precision table cell; a sum the cell cannot hold refuses
// the file instead of overflowing.
void AddTo(float& cell, long double add, std::size_t line)
{
    const long double sum = static_cast<long double>(cell) + add;
    if (!(std::fabs(sum) <= static_cast<long double>(FLT_MAX)))
        throw ContentError{line, "склад матеріалу поза межами"};
    cell = static_cast<float>(sum);
}

void SetTo(float& cell, long double value, std::size_t line)
{
    cell = 0;
    AddTo(cell, value, line);
}

// ReadFieldOrRange, a refusal raised as the file's error.
bool ReadChecked(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi,
                 const TFieldRange& range, std::size_t lineNo, const char* what)
{
    std::string refusal;
    const bool read = ReadFieldOrRange(line, marker, delims, lo, hi, range, refusal);
    if (!refusal.empty())
        throw ContentError{lineNo, std::string(what) + ": " + refusal};
    if (const std::string inverted = InvertedRange(lo, hi); !inverted.empty())
        throw ContentError{lineNo, std::string(what) + ": " + inverted};
    return read;
}

std::string FormatPercentSum(long double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4Lg", v);
    return buf;
}

enum class Section { Ordinary, Energy, ChargePlus, ChargeMinus };

// Everything a load builds before it replaces the model.
struct LoadState {
    TElems Elems;
    TMaterialTable Table;
    TCompositionTable Min{};
    TCompositionTable Max{};
    int32_t Count = 0;
    // fraction[i][j]: mass fraction of system element i in column j's compound.
    std::array<std::array<long double, MaxMaterialColumns + 1>, MaxElements> Fraction{};
    std::array<std::string, MaxMaterialColumns + 1> Formula{};
    int Columns = 0;
    bool HasBalance = false;
    Section Kind = Section::Ordinary;
    // Upper-cased names (as MaterialIndexByName compares them) and their lines.
    std::vector<std::pair<std::string, std::size_t>> Names;
    TLongNames LongNames;
};

void ParseColumnFormula(LoadState& st, const std::string& formulaText, int column, std::size_t line)
{
    const std::string formula = Utf8Left(formulaText, MaxFormulaLength);
    st.Formula[static_cast<std::size_t>(column)] = formula;
    struct Atom {
        int Elem;
        long double Mass;
    };
    std::vector<Atom> atoms;
    long double total = 0;
    std::size_t i = 0;
    while (i < formula.size()) {
        // One character, then the lower-case letters after it: at most 3 in all.
        const std::size_t first = Utf8Left(std::string_view(formula).substr(i), 1).size();
        std::string symbol = formula.substr(i, first);
        i += first;
        while (i < formula.size() && Utf8Length(symbol) < 3 && formula[i] >= 'a' && formula[i] <= 'z')
            symbol += formula[i++];
        const std::size_t countStart = i;
        while (i < formula.size() && ((formula[i] >= '0' && formula[i] <= '9') || formula[i] == '.'))
            ++i;
        long double count = 1;
        if (i > countStart && !TryParseReal(std::string_view(formula).substr(countStart, i - countStart), count))
            throw ContentError{line, "формула " + formula + ": кількість атомів не є числом"};
        int index = st.Elems.IndexOfSymbol(symbol);
        if (index < 0) {
            const int baseIndex = ElementBase.IndexOfSymbol(symbol);
            if (baseIndex < 0)
                throw ContentError{line, "формула " + formula + ": елемента " + symbol + " немає у файлі констант"};
            if (st.Elems.Count >= MaxElements)
                throw ContentError{line, Limit("елементів у системі", MaxElements)};
            st.Elems.Add(ElementBase.Items[static_cast<std::size_t>(baseIndex)]);
            index = st.Elems.Count - 1;
        }
        const long double mass = st.Elems.Items[static_cast<std::size_t>(index)].MolarMass * count;
        atoms.push_back({index, mass});
        total += mass;
    }
    if (atoms.empty())
        return;
    if (!(total > 0) || !std::isfinite(total))
        throw ContentError{line, "формула " + formula + " не має маси"};
    for (const Atom& a : atoms)
        st.Fraction[static_cast<std::size_t>(a.Elem)][static_cast<std::size_t>(column)] = a.Mass / total;
}

void ReadHeaderLine(LoadState& st, const std::string& line, std::size_t lineNo)
{
    std::string text = line.substr(1);
    const std::size_t brace = text.find('{');
    if (brace != std::string::npos)
        text.resize(brace);
    for (auto& row : st.Fraction)
        row.fill(0);
    const std::vector<std::string> tokens = SplitHeader(text);
    const std::string& first = tokens.front();
    if (first == "E") {
        st.Kind = Section::Energy;
        return;
    }
    if (!first.empty() && first[0] == 'Q') {
        st.Kind = first == "Q+" ? Section::ChargePlus : first == "Q-" ? Section::ChargeMinus : Section::Ordinary;
        return;
    }
    st.Kind = Section::Ordinary;
    const int columns = static_cast<int>(tokens.size()) - 1;
    if (columns > MaxMaterialColumns)
        throw ContentError{lineNo, Limit("стовпців", MaxMaterialColumns)};
    for (auto& f : st.Formula)
        f.clear();
    // A column given twice would take two values of one analysis, and the
    // second would stand in for whatever column it pushed aside.
    for (int j = 1; j <= columns; ++j)
        for (int k = 0; k < j; ++k)
            if (Utf8Left(tokens[static_cast<std::size_t>(j)], MaxFormulaLength) ==
                Utf8Left(tokens[static_cast<std::size_t>(k)], MaxFormulaLength))
                throw ContentError{lineNo, "стовпець " + tokens[static_cast<std::size_t>(j)] + " указано двічі"};
    st.Columns = columns;
    st.HasBalance = !first.empty();
    if (st.HasBalance)
        ParseColumnFormula(st, first, 0, lineNo);
    for (int j = 1; j <= columns; ++j)
        ParseColumnFormula(st, tokens[static_cast<std::size_t>(j)], j, lineNo);
}

const TCharSet MarkerDelims = TCharSet::Of("!#%&*@{~");

void ReadMaterialLine(LoadState& st, const std::string& line, std::size_t lineNo)
{
    if (st.Count >= MaxMaterials)
        throw ContentError{lineNo, Limit("матеріалів", MaxMaterials)};
    const int m = ++st.Count;
    TMaterialRecord& rec = st.Table[m];
    rec = ZeroMaterialRecord();
    switch (st.Kind) {
    case Section::Energy: rec.Type = mtEnergy; break;
    case Section::ChargePlus:
    case Section::ChargeMinus: rec.Type = mtChargeCarrier; break;
    case Section::Ordinary: rec.Type = mtMetal; break;
    }

    std::string rest = line;
    const std::size_t bar = rest.find('|');
    if (bar != std::string::npos) {
        rec.Name = st.LongNames.Cut(TrimBlanks(std::string_view(rest).substr(0, bar)), MaterialNameLength, lineNo);
        rest.erase(0, bar + 1);
    }

    // Materials are found by name: a second one of the same name could
    // never be charged, and a task naming it would get the first.
    if (!rec.Name.empty()) {
        const std::string key = UpperCase1251(rec.Name);
        for (const auto& [name, line] : st.Names)
            if (name == key)
                throw ContentError{lineNo, "матеріал " + rec.Name + " уже є в рядку " + std::to_string(line + 1)};
        st.Names.emplace_back(key, lineNo);
    }

    const int last = st.Elems.Count - 1;
    long double sumLo = 0;
    long double sumHi = 0;
    const TCharSet valueDelims{'$'};
    // An energy or charge section carries no composition: its materials
    // hold no column values, whatever header came before.
    const int columns = st.Kind == Section::Energy || st.Kind == Section::ChargePlus ||
                                st.Kind == Section::ChargeMinus
                            ? 0
                            : st.Columns;
    for (int j = 1; j <= columns; ++j) {
        long double lo = 0;
        long double hi = 0;
        const std::string field = "аналіз " + st.Formula[static_cast<std::size_t>(j)];
        // Every column has its value ("-" for none): a value left out would
        // move the ones after it into the wrong columns.
        const std::size_t at = rest.find_first_not_of(" \t");
        if (at == std::string::npos || std::string_view("$#@~*{").find(rest[at]) != std::string_view::npos)
            throw ContentError{lineNo, "матеріал " + rec.Name + ": немає значення стовпця " + std::to_string(j) + " (" +
                                           st.Formula[static_cast<std::size_t>(j)] + "; \"-\", коли його немає)"};
        if (!ReadChecked(rest, '\0', valueDelims, lo, hi, FieldRange::Percent, lineNo, field.c_str()))
            continue;
        if (Settings.WidenFerroalloys)
            CompleteFerroalloyComposition(rec.Name, st.Formula[static_cast<std::size_t>(j)], lo, hi);
        sumLo += lo;
        sumHi += hi;
        for (int i = 0; i <= last; ++i) {
            const long double f = st.Fraction[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (!(f > 0))
                continue;
            if (lo > 0)
                AddTo(st.Min[static_cast<std::size_t>(i + 1)][m], 0.01L * lo * f, lineNo);
            if (hi > 0)
                AddTo(st.Max[static_cast<std::size_t>(i + 1)][m], 0.01L * hi * f, lineNo);
        }
    }
    // The lower ends must leave room for each other: more than the whole
    // would melt to more metal than was charged.
    if (sumLo > 100 + AnalysisSumTolerance)
        throw ContentError{lineNo, "матеріал " + rec.Name + ": нижні межі аналізу дають разом " +
                                       FormatPercentSum(sumLo) + " %, більше 100 %"};
    if (st.HasBalance) {
        for (int i = 0; i <= last; ++i) {
            const long double f0 = st.Fraction[static_cast<std::size_t>(i)][0];
            if (!(f0 > 0))
                continue;
            AddTo(st.Min[static_cast<std::size_t>(i + 1)][m], f0 * (1.0L - 0.01L * sumLo), lineNo);
            AddTo(st.Max[static_cast<std::size_t>(i + 1)][m], f0 * (1.0L - 0.01L * sumHi), lineNo);
        }
    }

    long double lo = 0;
    long double hi = 0;
    // An unreadable price counts as none: an unset value would make the
    // material look infinitely cheap to the optimiser.
    rec.Price = ReadChecked(rest, '$', MarkerDelims, lo, hi, FieldRange::Price, lineNo, "ціна") ? lo : 0.0L;
    // The cost optimiser needs prices of at least 0: a negative one makes a
    // charge look the cheaper the more of it there is.
    if (rec.Price < 0)
        throw ContentError{lineNo, "матеріал " + rec.Name + ": ціна не може бути від'ємною"};
    if (ReadChecked(rest, '#', MarkerDelims, lo, hi, FieldRange::Recovery, lineNo, "засвоєння")) {
        rec.RecoveryLo = lo;
        rec.RecoveryHi = hi;
        for (int i = 0; i <= last; ++i) {
            SetTo(st.Min[static_cast<std::size_t>(i + 1)][m], st.Min[static_cast<std::size_t>(i + 1)][m] * lo, lineNo);
            SetTo(st.Max[static_cast<std::size_t>(i + 1)][m], st.Max[static_cast<std::size_t>(i + 1)][m] * hi, lineNo);
        }
    } else {
        rec.RecoveryLo = 1.0L;
        rec.RecoveryHi = 1.0L;
    }
    if (rest.find('~') != std::string::npos)
        rec.Type = mtGas;

    long double rowMin = 0;
    long double rowMax = 0;
    for (int i = 0; i <= last; ++i) {
        const long double mm = st.Elems.Items[static_cast<std::size_t>(i)].MolarMass;
        rowMin += st.Min[static_cast<std::size_t>(i + 1)][m] / mm;
        rowMax += st.Max[static_cast<std::size_t>(i + 1)][m] / mm;
    }
    SetTo(st.Min[0][m], rowMin, lineNo);
    SetTo(st.Max[0][m], rowMax, lineNo);

    auto setEnergyHeat = [&](long double perUnit) {
        rec.HeatA[0] = rec.HeatTotal[0] = rec.RecoveryLo * perUnit;
        rec.HeatA[1] = rec.HeatTotal[1] = rec.RecoveryHi * perUnit;
        rec.HeatContent = 0;
    };
    if (rec.Type == mtEnergy) {
        setEnergyHeat(3600.0L);
    } else if (rec.Type == mtChargeCarrier) {
        rec.HeatA = {};
        rec.HeatTotal = {};
        rec.HeatContent = 0;
    } else if (rec.Type != mtGas) {
        long double charge = 0;
        for (int i = 0; i <= last; ++i) {
            const TElementRecord& el = st.Elems.Items[static_cast<std::size_t>(i)];
            charge += el.Valence *
                      (static_cast<long double>(st.Min[static_cast<std::size_t>(i + 1)][m]) +
                       st.Max[static_cast<std::size_t>(i + 1)][m]) /
                      el.MolarMass;
        }
        const long double amount = static_cast<long double>(st.Min[0][m]) + st.Max[0][m];
        if (amount != 0 && std::fabs(charge / amount) <= 0.65L)
            rec.Type = mtSlag;
    }
    if (st.Kind == Section::ChargePlus)
        rec.ChargeSign = {1, 1};
    else if (st.Kind == Section::ChargeMinus)
        rec.ChargeSign = {-1, -1};

    rec.Temperature =
        ReadChecked(rest, '@', MarkerDelims, lo, hi, FieldRange::Temperature, lineNo, "температура") ? lo : UnsetValue;
    rec.Molten = rest.find('*') != std::string::npos;
    // What the markers leave is the markers themselves and a note after
    // '{'; a value beyond the columns would be a value of no column.
    const std::string word = SurplusWord(std::string_view(rest).substr(0, rest.find('{')), "$#@~*");
    if (!word.empty())
        throw ContentError{lineNo, "матеріал " + rec.Name + ": зайве значення \"" + Utf8Left(word, 24) +
                                       "\" (стовпців " + std::to_string(columns) + ")"};
    if (rec.Type == mtEnergy && rec.Molten)
        setEnergyHeat(-3600.0L);
}

} // namespace

bool LoadMaterials(const std::string& fileName, bool keepAmounts)
{
    const std::filesystem::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadMaterialsFromLines(lines, shown, keepAmounts, file);
}

bool LoadMaterialsFromLines(const std::vector<std::string>& lines, const std::string& fileName, bool keepAmounts,
                            const std::filesystem::path& file)
{
    auto st = std::make_unique<LoadState>();
    for (auto& m : st->Table)
        m = ZeroMaterialRecord();
    try {
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::string line = TrimBlanks(lines[n]);
            if (line.empty() || line[0] == '#')
                continue;
            if (line[0] == '@')
                ReadHeaderLine(*st, line, n);
            else
                ReadMaterialLine(*st, line, n);
        }
    } catch (const ContentError& e) {
        ShowWarning(LoadFailedText(fileName, e.line + 1, e.reason));
        return false;
    }
    if (st->Count == 0) {
        ShowWarning(LoadFailedText(fileName, lines.empty() ? 1 : lines.size(), NoRecordsText("жодного матеріалу")));
        return false;
    }
    if (const std::string cut = st->LongNames.Text(fileName); !cut.empty())
        ShowWarning(cut);

    Host& host = CurrentHost();
    host.ClearResults(keepAmounts, false, 1);
    ResultsShown = false;
    host.SetStatusText(4, "");

    // Pseudo-materials: the solver fills them with the computed phases.
    const char* pseudoNames[3] = {"Метал", "Шлак", "Газ"};
    const uint8_t pseudoTypes[3] = {mtMetal, mtSlag, mtGas};
    for (int k = 0; k < 3; ++k) {
        TMaterialRecord& rec = st->Table[st->Count + 1 + k];
        rec.Name = pseudoNames[k];
        rec.Type = pseudoTypes[k];
        rec.Molten = k < 2;
        rec.RecoveryLo = rec.RecoveryHi = 1.0L;
    }

    // Active gas species: those whose elements are all in the system.
    TElems& elems = st->Elems;
    ActiveGasCount = 0;
    for (auto& g : ActiveGases)
        g = TGasSpeciesRecord{};
    for (int s = 1; s <= GasBaseCount && s <= MaxGasSpecies; ++s) {
        TGasSpeciesRecord& species = GasBase[s];
        bool complete = true;
        for (int k = 0; k < species.Count && k < 4; ++k) {
            TGasSpeciesPart& part = species.Parts[static_cast<std::size_t>(k)];
            part.Elem = elems.IndexOfSymbol(part.Symbol);
            complete = complete && part.Elem >= 0;
        }
        if (complete)
            ActiveGases[++ActiveGasCount] = species;
    }
    // Reference species: the one-atom species of each element, and its
    // diatomic one-element species.
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& species = ActiveGases[s];
        const int elem = species.Parts[0].Elem;
        if (elem < 0 || elem >= elems.Count)
            continue;
        if (species.Atoms == 1) {
            for (int t = 1; t <= ActiveGasCount; ++t)
                for (int k = 0; k < ActiveGases[t].Count && k < 4; ++k)
                    if (ActiveGases[t].Parts[static_cast<std::size_t>(k)].Elem == elem)
                        ActiveGases[t].Parts[static_cast<std::size_t>(k)].RefSpecies = s;
            elems.Items[static_cast<std::size_t>(elem)].GasLinks[0] = static_cast<uint16_t>(s);
        } else if (species.Atoms == 2 && species.Count == 1) {
            elems.Items[static_cast<std::size_t>(elem)].GasLinks[1] = static_cast<uint16_t>(s);
        }
    }
    static const char* const keySymbols[KeyElementCount] = {"O", "Fe", "Si", "Ca", "Mg", "C", "Mn", "S", "P", "Al"};
    for (int k = 0; k < KeyElementCount; ++k) {
        const int index = elems.IndexOfSymbol(keySymbols[k]);
        elems.KeyIndex[static_cast<std::size_t>(k)] = index < 0 ? KeyAbsent : static_cast<uint8_t>(index);
    }
    elems.BasicOxides = elems.Key(keySi) >= 0 && (elems.Key(keyCa) >= 0 || elems.Key(keyMg) >= 0);

    // The new state replaces the model.
    MaterialTable = st->Table;
    CompositionMin = st->Min;
    CompositionMax = st->Max;
    MaterialCount = st->Count;
    // With no element at all the list is empty, not one blank element.
    SystemElemLast = elems.Count - 1;
    SystemElems(0).Assign(elems);
    SystemElems(1).Assign(elems);

    for (int m = 1; m <= MaterialCount; ++m)
        host.SetMaterialName(m, MaterialTable[m].Name);
    TTaskRecord& templ = TaskList.Items[0];
    templ.NEl = elems.Count;
    for (int i = 1; i <= MaxTaskElements; ++i)
        templ.Symbols[i] = i <= elems.Count ? elems.Items[static_cast<std::size_t>(i - 1)].Symbol : std::string();
    for (int i = 0; i < elems.Count; ++i)
        host.SetElementSymbol(i + 1, " " + elems.Items[static_cast<std::size_t>(i)].Symbol);
    // A task holds at most 30 materials; the template lists the first ones.
    templ.NMat = std::min(MaterialCount, MaxTaskMaterials);
    for (int j = 1; j <= MaxTaskMaterials; ++j) {
        templ.Materials[j] = TMaterialRecord{};
        if (j <= templ.NMat) {
            templ.Materials[j].Name = MaterialTable[j].Name;
            templ.Materials[j].TableIndex = static_cast<uint16_t>(j);
        }
    }

    const std::string stored = StoredFileName(file);
    host.SetStatusText(4, " " + stored);
    SetProjectValue("MatFile", stored);
    host.SetActionEnabled("MeltA", true);
    return true;
}

namespace {

enum class Grade { None, FerroManganese, FerroSilicon, SilicoManganese };

Grade GradeOf(const std::string& name)
{
    const std::string upper = Utf8Left(UpperCase1251(name), MaxFormulaLength);
    auto has = [&](std::initializer_list<const char*> parts) {
        for (const char* p : parts)
            if (upper.find(p) != std::string::npos)
                return true;
        return false;
    };
    if (has({"FEMN", "ФМН", "ФЕРРОМАРГАНЕЦ"}))
        return Grade::FerroManganese;
    if (has({"FESI", "ФС", "ФЕРРОСИЛИЦИЙ"}))
        return Grade::FerroSilicon;
    if (has({"SIMN", "МНС", "СИЛИКОМАРГАНЕЦ"}))
        return Grade::SilicoManganese;
    return Grade::None;
}

long double HalfWidth(Grade grade, const std::string& column, long double m)
{
    if (column == "C") {
        switch (grade) {
        case Grade::FerroManganese: return 0.15L;
        case Grade::FerroSilicon:
            return m <= 0.05L ? 0.008L
                 : m <= 0.1L  ? 0.015L
                 : m <= 0.2L  ? 0.02L
                 : m <= 0.5L  ? 0.03L
                 : m <= 1.0L  ? 0.05L
                 : m <= 2.0L  ? 0.07L
                              : 0.1L;
        case Grade::SilicoManganese: return m <= 2.0L ? 0.07L : 0.1L;
        case Grade::None: return 0;
        }
    }
    if (column == "Mn")
        return grade == Grade::FerroSilicon ? 0.0L : 0.5L;
    if (column == "Si") {
        switch (grade) {
        case Grade::FerroManganese: return m <= 2.0L ? 0.08L : m <= 5.0L ? 0.12L : 0.17L;
        case Grade::FerroSilicon: return m <= 25.0L ? 0.3L : m <= 50.0L ? 0.5L : 0.6L;
        case Grade::SilicoManganese: return m <= 20.0L ? 0.32L : 0.51L;
        case Grade::None: return 0;
        }
    }
    if (column == "S")
        return m <= 0.1L ? 0.01L : 0.02L;
    if (column == "P")
        return m <= 0.05L ? 0.006L
             : m <= 0.1L  ? 0.01L
             : m <= 0.2L  ? 0.015L
             : m <= 0.5L  ? 0.02L
             : m <= 0.7L  ? 0.03L
                          : 0.05L;
    return 0;
}

} // namespace

void CompleteFerroalloyComposition(const std::string& name, const std::string& columnFormula, long double& lo,
                                   long double& hi)
{
    const Grade grade = GradeOf(name);
    if (grade == Grade::None)
        return;
    const long double m = (lo + hi) / 2;
    const long double d = HalfWidth(grade, columnFormula, m);
    if (d > 0) {
        lo = std::max(0.0L, std::min(m - d, lo));
        hi = std::min(100.0L, std::max(m + d, hi));
    }
}

} // namespace ferrolyt
