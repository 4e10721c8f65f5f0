#include "OptionControls.h"

#include "NumberInput.h"
#include "ResultDisplay.h"
#include "Utils.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace ferrolyt {

const char* const OptionsPageCaptions[OptionsPageCount] = {"Загальні", "Оптимізація", "Плавка в ДСП",
                                                           "Матеріали", "Немет.вкл.", "Збереження"};

namespace {

using S = TSettingsRecord;

constexpr const char* ExportHint = "Експорт даних - маси і х/с НВ";
constexpr const char* MultipleGroup = " Експорт даних в інтервалі кратн ";
constexpr const char* TempGroup = " Експорт даних в інтервалі т-р ";
constexpr const char* HeelGroup = " Болото ";
constexpr const char* MagnesiteGroup = " Магнезит ";
constexpr const char* SaveGroup = " Автоматично зберігати проєкт ";

TOptionEdit Word(const char* name, TOptionsPage page, const char* group, const char* label, const char* suffix,
                 const char* hint, uint16_t S::*field, double fallback)
{
    TOptionEdit e{name, page, group, label, suffix, hint, TEditForm::Integer, "", fallback};
    e.WordField = field;
    return e;
}

TOptionEdit Real(const char* name, TOptionsPage page, const char* label, const char* suffix, const char* hint,
                 TEditForm form, const char* mask, double S::*field, double fallback)
{
    TOptionEdit e{name, page, "", label, suffix, hint, form, mask, fallback};
    e.RealField = field;
    return e;
}

TOptionEdit Step(const char* name, const char* group, uint16_t S::*field, double fallback)
{
    TOptionEdit e{name, opNmi, group, "Крок", "", "", TEditForm::Hundredths, "", fallback};
    e.WordField = field;
    return e;
}

std::string ShortestText(double x)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

// How a text reads into a Word field kept in units of 1 / `scale`.
enum class TWordFit { Fits, NotNumber, Fraction, OutOfRange };

TWordFit ReadWord(const std::string& text, long double scale, uint16_t& value)
{
    long double x = 0;
    if (!ReadShownNumber(TrimBlanks(text), x))
        return TWordFit::NotNumber;
    const long double units = x * scale;
    const long double whole = std::round(units);
    // "0,29" is 28.999… hundredths in binary: that is no digit too many.
    if (std::fabs(units - whole) > 1e-9L * std::max(1.0L, std::fabs(units)))
        return TWordFit::Fraction;
    if (whole < 0 || whole > std::numeric_limits<uint16_t>::max())
        return TWordFit::OutOfRange;
    value = static_cast<uint16_t>(whole);
    return TWordFit::Fits;
}

long double WordScale(const TOptionEdit& edit) { return edit.Form == TEditForm::Hundredths ? 100 : 1; }

} // namespace

const std::vector<TOptionCheck>& OptionChecks()
{
    static const std::vector<TOptionCheck> checks = {
        {"AutoOxiChk", opGeneral, "", "Автоматично оцінювати [O] на випуску", "", &S::AutoOxygen},
        {"ShowSomeGasesChk", opGeneral, "", "Показувати гази с парціальним тиском не менше", "", &S::ShowSomeGases},
        {"BetterConvChk", opGeneral, "", "Покращена збіжність, повільніший розрахунок", "", &S::BetterConvergence},
        {"AveChk", opGeneral, "", "сер", "Середнє", &S::AverageValues},
        {"PhaseLgChk", opGeneral, "", "lg", "Десятковий логарифм", &S::LogValues},
        {"AccDispChk", opGeneral, "", "пт", "Підвищена точність", &S::MorePrecision},
        {"AccMChk", opGeneral, "", "Точний склад проби металу", "", &S::AccurateMetalSample},
        {"EleSChk", opGeneral, "", "Елементний склад шлаку", "", &S::ElementalSlag},
        {"AutoIniChk", opOptimisation, "", "Автоматичний пошук початкового наближення", "", &S::AutoInitialEstimate},
        {"AccOptiChk", opOptimisation, "", "Підвищена точність", "", &S::AccurateOptimisation},
        {"CrystalChk", opArcFurnace, "", "Допускається кристалізація металу", "", &S::AllowCrystallisation},
        {"WidenChk", opMaterials, "", "Розширення точкового складу феросплавів за нормативами", "",
         &S::WidenFerroalloys},
        {"CalcNmiChk", opNmi, "", "Розрахунок НВ", "", &S::CalcNmi},
        {"AutoRadNmiChk", opNmi, "", "Авто", "Автоматично визначати критичний радіус ендогенних НВ",
         &S::AutoNmiRadius},
        {"ExpoKratNmiChk", opNmi, MultipleGroup, "Експорт", ExportHint, &S::ExportNmiByMultiple},
        {"ExpoTempNmiChk", opNmi, TempGroup, "Експорт", ExportHint, &S::ExportNmiByTemp},
        {"ExitSaveChk", opSaving, SaveGroup, "При виході із програми", "", &S::ExitSave},
        {"AutoSaveChk", opSaving, SaveGroup, "Кожні", "", &S::AutoSave},
    };
    return checks;
}

const std::vector<TOptionRadioGroup>& OptionRadioGroups()
{
    static const std::vector<TOptionRadioGroup> groups = {
        {"MetGrp", opGeneral, " Модель металу ", {"Модифікована КЕ", "Розведений розчин"}, &S::MetalModel},
        {"SlgGrp", opGeneral, " Модель шлаку ", {"Модифікована КЕ - Kappa", "Модифікована КЕ - Nu/Eps"},
         &S::SlagModel},
        {"MolePercentGrp", opGeneral, " Склад фаз ", {"масові %", "мольні %", "кілограми", "кіломолі"},
         &S::CompositionUnit},
        {"TempGrp", opGeneral, " Розрахунок кінцевої температури ", {"Ні", "Точний", "Спрощ."}, &S::FinalTempMode},
        {"HeatAlgGrp", opArcFurnace, " Алгоритм розрахунку ",
         {"Зміщення lgK [Fe)", "Частка рівноваги", "Реакційна зона"}, &S::HeatAlg},
        {"RashodVarGrp", opArcFurnace, " Витрати ", {"Порційні", "Накопичені"}, &S::ConsumptionMode},
        {"MethodNmiGr", opNmi, " Метод розрахунку Rc ", {"Характ. рівняння", "Максимум G"}, &S::NmiRcMethod},
    };
    return groups;
}

const std::vector<TOptionEdit>& OptionEdits()
{
    using F = TEditForm;
    static const std::vector<TOptionEdit> edits = {
        Real("NoGasPEd", opGeneral, "", "атм", "", F::General3, "", &S::MinGasPressure, 1e-5),
        Word("BolotoTempEd", opArcFurnace, HeelGroup, "Т-ра,°C", "", "", &S::HotHeelTemp, 1700),
        Word("BolotoMetEd", opArcFurnace, HeelGroup, "Метал, т", "", "", &S::HotHeelMetal, 10),
        Word("BolotoSlgEd", opArcFurnace, HeelGroup, "Шлак, т", "", "", &S::HotHeelSlag, 5),
        Word("MagTempEd", opArcFurnace, MagnesiteGroup, "Т-ра,°C", "", "", &S::MagnesiteTemp, 1600),
        Word("MagMassEd", opArcFurnace, MagnesiteGroup, "Маса, кг", "", "", &S::MagnesiteMass, 300),
        Word("MeltLomTEd", opArcFurnace, "", "Т-ра плав. брухту,°С ", "", "", &S::ScrapMeltTemp, 1505),
        Real("RashElecEd", opArcFurnace, "Питома витрата електродів, кг/кВтг ", "", "", F::General3, "",
             &S::ElectrodeRate, 0.00375),
        Real("GasQsysEd", opArcFurnace, "Віддача тепла газу в систему, МДж/м3 ", "", "", F::Mask, "0.0#",
             &S::GasHeatToSystem, 10.0),
        Real("CoefEeEd", opArcFurnace, "К-т використання тепла ел/енергії ", "", "", F::Mask, "0.00#",
             &S::ElectricHeatCoef, 0.99),
        Real("LgConstFeEd", opArcFurnace, "Логарифм (B) константи [Fe) ", "", "", F::Mask, "0.000", &S::LgConstFe,
             -0.8),
        Real("PechVolEd", opArcFurnace, "Об'ем р/п печі, м3 ", "", "", F::Mask, "0.0#", &S::FurnaceVolume, 23.0),
        Word("WMatTempEd", opMaterials, "", "Т-ра розрахунку тепловмісту розплавленого матеріалу,°С", "", "",
             &S::MoltenMaterialTemp, 1600),
        Word("TempNmiEd", opNmi, "", "Т-ра,°С", "", "Розрахункова т-ра охолодження розплавленого металу,°С",
             &S::NmiTemp, 1500),
        Real("IniExoNmiEd", opNmi, "Поч. частка екз. НВ, % від M шлаку", "",
             "Поч. частка екзогенних НВ від поч. маси шлаку, %", F::Shortest, "", &S::InitialExoNmiShare, 0),
        Real("RadExoEd", opNmi, "Радіус екзогенних НВ, мкм", "", "", F::Shortest, "", &S::ExoNmiRadius, 0),
        Real("RadEndoEd", opNmi, "Радіус ендогенних НВ, мкм", "", "", F::Shortest, "", &S::EndoNmiRadius, 0),
        Real("KratEndoEd", opNmi, "", "x Rc", "Кратність ендогенних включень щодо критичного радіусу (> 1)",
             F::Shortest, "", &S::EndoNmiMultiple, 10.0),
        Word("ExpoKratNmiEd1", opNmi, MultipleGroup, "Rc x", "", "", &S::ExportMultipleFrom, 1),
        Word("ExpoKratNmiEd2", opNmi, MultipleGroup, "...", "", "", &S::ExportMultipleTo, 10),
        Step("ExpoKratNmiStepEd", MultipleGroup, &S::ExportMultipleStep, 0.1),
        Word("ExpoKratNmiTempEd", opNmi, MultipleGroup, "Т-ра,°С", "", "", &S::ExportMultipleTemp, 1500),
        Word("ExpoTempNmiEd1", opNmi, TempGroup, "Т-ра, С", "", "", &S::ExportTempFrom, 1500),
        Word("ExpoTempNmiEd2", opNmi, TempGroup, "...", "", "", &S::ExportTempTo, 1620),
        Step("ExpoTempNmiStepEd", TempGroup, &S::ExportTempStep, 1.0),
        Word("ExpoTempNmiKratEd", opNmi, TempGroup, "Rc x", "", "", &S::ExportTempMultiple, 10),
    };
    return edits;
}

std::string OptionEditText(const TOptionEdit& edit, const TSettingsRecord& record)
{
    switch (edit.Form) {
    case TEditForm::Integer:
        return std::to_string(record.*edit.WordField);
    case TEditForm::Hundredths:
        return WithDisplaySeparator(ShortestText(record.*edit.WordField / 100.0));
    case TEditForm::General3:
        return FormatGeneral(record.*edit.RealField, 3, 0);
    case TEditForm::Mask:
        return FormatFloatMask(edit.MaskText, record.*edit.RealField);
    case TEditForm::Shortest:
        return WithDisplaySeparator(ShortestText(record.*edit.RealField));
    }
    return {};
}

void StoreOptionEdit(const TOptionEdit& edit, const std::string& text, TSettingsRecord& record)
{
    if (edit.WordField) {
        const long double scale = WordScale(edit);
        uint16_t v = 0;
        record.*edit.WordField = ReadWord(text, scale, v) == TWordFit::Fits
                                     ? v
                                     : static_cast<uint16_t>(std::lround(edit.Fallback * static_cast<double>(scale)));
        return;
    }
    long double read = 0;
    record.*edit.RealField = ReadShownNumber(TrimBlanks(text), read) ? static_cast<double>(read) : edit.Fallback;
}

std::optional<std::string> OptionEditRefusal(const TOptionEdit& edit, const std::string& field,
                                             const std::string& typed)
{
    if (auto refusal = NumberRefusal(field, typed); refusal || !edit.WordField || TrimBlanks(typed).empty())
        return refusal;
    const long double scale = WordScale(edit);
    uint16_t v = 0;
    const std::string start = "Поле \"" + field + "\": \"" + TrimBlanks(typed) + "\" ";
    const std::string kept = ". Залишено попереднє значення.";
    switch (ReadWord(typed, scale, v)) {
    case TWordFit::Fits:
    case TWordFit::NotNumber: // told above
        return std::nullopt;
    case TWordFit::Fraction:
        return start + (scale == 1 ? "не є цілим числом" : "має більше двох десяткових знаків: поле зберігає лише соті") +
               kept;
    case TWordFit::OutOfRange:
        return start + "поза межами від 0 до " +
               WithDisplaySeparator(scale == 1 ? "65535" : "655.35") + kept;
    }
    return std::nullopt;
}

TOptionsEffect OptionsChangeEffect(const TSettingsRecord& before, const TSettingsRecord& after, bool resultsShown)
{
    // The range from AutoOxygen (offset 356) to the end of the inclusion
    // block (ExportTempMultiple ends at 448) holds everything a result
    // depends on; the arc-furnace constants and saving options lie outside.
    const auto a = EncodeSettings(before);
    const auto b = EncodeSettings(after);
    if (!resultsShown || std::equal(a.begin() + 356, a.begin() + 448, b.begin() + 356))
        return TOptionsEffect::Nothing;
    if (before.AutoOxygen != after.AutoOxygen || before.AccurateMetalSample != after.AccurateMetalSample ||
        before.ElementalSlag != after.ElementalSlag || before.BetterConvergence != after.BetterConvergence ||
        before.MetalModel != after.MetalModel || before.SlagModel != after.SlagModel ||
        before.FinalTempMode != after.FinalTempMode)
        return TOptionsEffect::Melt;
    if (!std::equal(a.begin() + 393, a.begin() + 448, b.begin() + 393))
        return TOptionsEffect::Melt;
    if (before.WidenFerroalloys != after.WidenFerroalloys)
        return TOptionsEffect::ReloadMaterials;
    return TOptionsEffect::Redisplay;
}

void SetFurnaceFallbacks(TSettingsRecord& record)
{
    for (const TOptionEdit& e : OptionEdits()) {
        if (e.Page != opArcFurnace)
            continue;
        if (e.WordField)
            record.*e.WordField = static_cast<uint16_t>(e.Fallback);
        else
            record.*e.RealField = e.Fallback;
    }
}

std::string ZeroFurnaceConstant(const TSettingsRecord& record)
{
    // A heel without metal or heat, scrap that melts at 0 °C, electric energy
    // that gives no heat and a furnace without volume make the replay's
    // numbers meaningless; no magnesite, no heel slag, no electrodes and no
    // heat from the gas are real cases, and lg B may well be 0.
    static const std::array<uint16_t S::*, 3> words{&S::HotHeelTemp, &S::HotHeelMetal, &S::ScrapMeltTemp};
    static const std::array<double S::*, 2> reals{&S::ElectricHeatCoef, &S::FurnaceVolume};
    for (const TOptionEdit& e : OptionEdits()) {
        const bool zeroWord = e.WordField && std::find(words.begin(), words.end(), e.WordField) != words.end() &&
                              record.*e.WordField == 0;
        const bool zeroReal = e.RealField && std::find(reals.begin(), reals.end(), e.RealField) != reals.end() &&
                              record.*e.RealField == 0;
        if (!zeroWord && !zeroReal)
            continue;
        std::string name = OptionsPageCaptions[e.Page];
        for (const char* part : {e.Group, e.Label})
            if (const std::string t = TrimSpacesAndTabs(part); !t.empty())
                name += " > " + t;
        return name;
    }
    return {};
}

} // namespace ferrolyt
