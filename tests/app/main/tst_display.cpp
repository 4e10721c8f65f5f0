// The result display without a window: number formats, the display values
// of a hand-built pair of systems in every unit and mode, the gas list, the
// limit colours and hints, and the alternatives' texts and order.

#include "ResultDisplay.h"

#include "ForwardProblem.h"
#include "Model.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "support/DesktopLocale.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ferrolyt;

namespace {

constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();

QString S(const std::string& s) { return QString::fromStdString(s); }

template <class T> QStringList Names(const std::vector<T>& items)
{
    QStringList names;
    for (const T& item : items)
        names << S(item.Name);
    return names;
}

// Against a threshold of 1e-10 atm.
QString Pressure(uint8_t unit, uint8_t logMode, long double atm)
{
    Settings.GasPressureUnit = unit;
    Settings.GasLogMode = logMode;
    return S(FormatPressure(atm, 1e-10L));
}

// Two elements, Fe (0) and O (1), in metal, slag and gas, with masses that
// make every unit easy to check by hand. The lower system has half the
// upper system's slag.
void BuildElement(TThSys& s, int i, const char* symbol, long double metal, long double slag, long double gas)
{
    TElementRecord& e = s.El(i);
    e.Symbol = symbol;
    e.MolarMass = i == 0 ? 55.847L : 16.0L;
    e.MetalMass = metal;
    e.SlagMass = slag;
    e.GasMass = gas;
    e.NmiMass = 0;
    e.TotalMass = metal + slag + gas;
    e.MetalAmount = metal / e.MolarMass;
    e.SlagAmount = slag / e.MolarMass;
    e.GasAmount = gas / e.MolarMass;
    e.Amount = e.TotalMass / e.MolarMass;
}

void Finish(TThSys& s)
{
    const TElementRecord &fe = s.El(0), &o = s.El(1);
    s.MetalMass = fe.MetalMass + o.MetalMass;
    s.SlagMass = fe.SlagMass + o.SlagMass;
    s.GasMass = fe.GasMass + o.GasMass;
    s.MetalMoles = fe.MetalAmount + o.MetalAmount;
    s.SlagMoles = fe.SlagAmount + o.SlagAmount;
    s.GasMoles = fe.GasAmount + o.GasAmount;
    s.TotalMass = s.MetalMass + s.SlagMass + s.GasMass;
    s.TotalMoles = s.MetalMoles + s.SlagMoles + s.GasMoles;
    for (int i = 0; i < 2; ++i) {
        TElementRecord& e = s.El(i);
        e.MetalFraction = e.MetalMass / s.MetalMass;
        e.SlagFraction = e.SlagMass / s.SlagMass;
        e.SlagCompoundFraction = i == 0 ? 0.9L : 0; // FeO: 90 % of the slag
        e.SystemFraction = e.TotalMass / s.TotalMass;
        e.MetalMoleFraction = e.MetalAmount / s.MetalMoles;
        e.SlagMoleFraction = e.SlagAmount / s.SlagMoles;
        e.GasMoleFraction = e.GasAmount / s.GasMoles;
        e.MoleFraction = e.Amount / s.TotalMoles;
    }
}

void BuildPair()
{
    ResetModel();
    CreateSystems();
    SystemElemLast = 1;
    for (int k = 0; k < 2; ++k) {
        TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
        s.Kind = k;
        s.Elems->Count = 2;
        s.Elems->KeyIndex.fill(KeyAbsent);
        s.Elems->KeyIndex[keyO] = 1;
        s.Elems->KeyIndex[keyFe] = 0;
        BuildElement(s, 0, "Fe", 99.0L, k == 0 ? 3.5L : 7.0L, 0.5L);
        BuildElement(s, 1, "O", 1.0L, k == 0 ? 1.5L : 3.0L, 0.5L);
        Finish(s);
    }
}

} // namespace

class TstDisplay : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        SetOptionDefaults();
        ElemRelToSystem = ElemRelToElement = false;
        DisplayDecimalSeparator = '.'; // the digits are what these tests check
    }

    // --- number formats

    void formatValue_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<bool>("more");
        QTest::addColumn<QString>("text");
        QTest::newRow("tiny positive") << 4.99e-5 << false << "0";
        QTest::newRow("tiny negative") << -4.99e-5 << false << "0";
        QTest::newRow("0.####") << 0.00012 << false << "0.0001";
        QTest::newRow("0.###") << 0.0123 << false << "0.012";
        QTest::newRow("rounds up to 10") << 9.9996 << false << "10";
        QTest::newRow("0.##") << 99.5 << false << "99.5";
        QTest::newRow("0") << 1234.4 << false << "1234";
        QTest::newRow("negative") << -2.5 << false << "-2.5";
        QTest::newRow("more precision") << 12.345 << true << "12.345";
        QTest::newRow("more precision 0.###") << 1.23456 << true << "1.2346";
        QTest::newRow("unset") << -1e20 << false << "";
        QTest::newRow("NaN") << double(NAN) << false << "";
        QTest::newRow("infinity") << double(INFINITY) << false << "";
    }
    void formatValue()
    {
        QFETCH(double, x);
        QFETCH(bool, more);
        QFETCH(QString, text);
        Settings.MorePrecision = more;
        const long double v = x == -1e20 ? UnsetValue : static_cast<long double>(x);
        QCOMPARE(S(FormatValue(v)), text);
    }

    // On a desktop with a decimal comma the screen shows the same digits
    // with the comma, and never a separator with no decimal after it.
    void numbersOnScreenTakeTheDesktopsSeparator()
    {
        const long double values[] = {10, 9.9996L, 55, -77, 99.5L, 0.00012L, -2.5L, 1234.4L, 2.5e-7L, 1e-3L, 5};
        const auto texts = [&] {
            QStringList t;
            for (const long double v : values)
                t << S(FormatValue(v)) << S(FormatGeneral(v, 3, 0)) << S(FormatGeneral(v, 15, 0))
                  << S(FormatFloatMask("0.##", v)) << S(FormatFloatMask("0.0e-", v))
                  << S(FormatRange(5, true, v, v * 2));
            return t;
        };
        QStringList point, comma;
        {
            const TDesktopLocale c("C");
            QVERIFY(c.Active());
            point = texts();
        }
        {
            const TDesktopLocale uk("uk_UA.UTF-8");
            QVERIFY2(uk.Active(), "the uk_UA.UTF-8 locale is missing");
            comma = texts();
            QCOMPARE(S(FormatValue(10)), QString("10"));
            QCOMPARE(S(FormatValue(99.5L)), QString("99,5"));
            QCOMPARE(S(FormatGeneral(2.5e-7L, 3, 0)), QString("2,5E-7"));
            // Texts the engine writes: decimals only, not ranges or words.
            QCOMPARE(S(WithDisplaySeparatorInText(" Mu/RT: -1.25..0.5 Ф.2")), QString(" Mu/RT: -1,25..0,5 Ф.2"));
        }
        for (int i = 0; i < point.size(); ++i) {
            QCOMPARE(QString(comma[i]).replace(',', '.'), point[i]);
            QVERIFY2(!point[i].contains(','), qPrintable(point[i]));
            for (const QString& t : {point[i], comma[i]})
                QVERIFY2(!t.endsWith('.') && !t.endsWith(',') && !t.contains(".E") && !t.contains(",E"),
                         qPrintable(t));
        }
    }

    void formatRange()
    {
        QCOMPARE(S(FormatRange(4, true, 2, 1)), QString("1..2"));
        QCOMPARE(S(FormatRange(4, false, 2, 1)), QString("2..1"));
        QCOMPARE(S(FormatRange(4, true, 1.5L, 1.5L)), QString("1.5"));
        QCOMPARE(S(FormatRange(4, true, 3, UnsetValue)), QString("3"));
        QCOMPARE(S(FormatRange(4, true, UnsetValue, 7)), QString("7"));
        QCOMPARE(S(FormatRange(4, true, UnsetValue, UnsetValue)), QString(""));
        // Precision decides when two values read as one.
        QCOMPARE(S(FormatRange(4, true, 100.01L, 100.04L)), QString("100"));
        QCOMPARE(S(FormatRange(5, true, 1640.02L, 1652.3L)), QString("1640..1652.3"));
        QCOMPARE(S(FormatRange(4, true, 1e-5L, 2)), QString("0..2"));
        // A range is never cut inside its second number (a ladle slag's
        // basicity).
        QCOMPARE(S(FormatRange(3, true, 1390, 1050)), QString("1.05E+3..1.39E+3"));
    }

    void formatGeneral()
    {
        QCOMPARE(S(FormatGeneral(0.0123456L, 3, 5)), QString("0.0123"));
        QCOMPARE(S(FormatGeneral(123456.0L, 3, 5)), QString("1.23E+00005"));
        QCOMPARE(S(FormatGeneral(1.5e-7L, 4, 0)), QString("1.5E-7"));
        QCOMPARE(S(FormatGeneral(2.0L, 4, 6)), QString("2"));
    }

    void formatPressure()
    {
        QCOMPARE(Pressure(1, 0, 1), QString("101.3"));
        QCOMPARE(Pressure(2, 0, 1), QString("101325"));
        QCOMPARE(Pressure(3, 0, 1), QString("760"));
        QCOMPARE(Pressure(0, 0, 0.001L), QString("1.0e-3"));
        QCOMPARE(Pressure(0, 0, NaN), QString(""));
        QCOMPARE(Pressure(0, 1, 1e-3L), QString("3"));
        QCOMPARE(Pressure(0, 2, std::exp(-5.0L)), QString("5"));
    }

    void pressureThresholdIsInAtmospheres()
    {
        // 5e-11 atm is 5e-6 kPa: below the threshold whatever the unit, and
        // 1e-9 atm is above it even in pascals (1.0e-4 Pa).
        QCOMPARE(Pressure(1, 0, 5e-11L), QString("      0"));
        QCOMPARE(Pressure(2, 0, 1e-9L), QString("1.0e-4"));
        QCOMPARE(Pressure(3, 1, 5e-11L), QString("      0"));
    }

    void headerListsKeepQuotedBlanks()
    {
        const auto items = SplitHeaderList(ElGridHeader);
        QCOMPARE(int(items.size()), ElGridColumns);
        QCOMPARE(S(items[23]), QString("[h] st"));
        QCOMPARE(S(items[26]), QString("{h} m"));
        const auto gas = SplitHeaderList(GasGridHeader);
        QCOMPARE(int(gas.size()), 4);
        QCOMPARE(S(gas[2]), QString("P >="));
    }

    // --- display values

    void displayValuesInEveryUnit()
    {
        BuildPair();
        TThSys& up = *ThSystems[1];
        // Phases: 0 total, 1 metal, 2 slag, 3 gas, 4 NMI.
        auto dv = [&](int i, int phase) {
            ComputeDisplayValues(up, nullptr);
            return double(up.El(i).DisplayValues[phase]);
        };
        // Mass %: metal fraction; slag by compounds; gas share of the gas.
        QCOMPARE(dv(0, 1), 99.0);
        QCOMPARE(dv(0, 2), 90.0);
        QCOMPARE(dv(0, 3), 50.0);
        QCOMPARE(dv(0, 0), double(100 * 106.5L / 111.0L));
        Settings.ElementalSlag = true;
        QCOMPARE(dv(0, 2), 70.0);
        Settings.ElementalSlag = false;
        // Relative to the element: each phase's share of the element.
        ElemRelToElement = true;
        QCOMPARE(dv(1, 2), double(100 * 3.0L / 4.5L));
        ElemRelToElement = false;
        // Relative to the system: slag by compounds × slag mass.
        ElemRelToSystem = true;
        QCOMPARE(dv(0, 2), double(100 * 0.9L * 10 / 111.0L));
        ElemRelToSystem = false;
        // Kilograms and kilomoles.
        Settings.CompositionUnit = 2;
        QCOMPARE(dv(0, 1), 99000.0);
        QCOMPARE(dv(0, 2), 9000.0);
        Settings.CompositionUnit = 3;
        QCOMPARE(dv(1, 3), double(1000 * 0.5L / 16));
        Settings.CompositionUnit = 1;
        QCOMPARE(dv(1, 1), double(100 * up.El(1).MetalMoleFraction));
    }

    void logarithmAndMean()
    {
        BuildPair();
        TThSys& lo = *ThSystems[0];
        TThSys& up = *ThSystems[1];
        Settings.CompositionUnit = 2;
        Settings.LogValues = true;
        ComputeDisplayValues(lo, nullptr);
        QCOMPARE(double(lo.El(0).DisplayValues[1]), double(std::log10(99000.0L)));
        // A value of 0 has no logarithm: its cell stays empty.
        QVERIFY(std::isnan(lo.El(0).DisplayValues[4]));
        Settings.LogValues = false;
        Settings.AverageValues = true;
        ComputeDisplayValues(lo, nullptr);
        ComputeDisplayValues(up, &lo);
        QCOMPARE(double(up.El(0).DisplayValues[2]), 0.5 * (0.9 * 5 * 1000 + 0.9 * 10 * 1000));
    }

    void gridCellsAndOxygenRule()
    {
        BuildPair();
        TStringGrid el(ElGridColumns, SystemElemLast + 4), mat(3, 2);
        ShowSystemInGrid(*ThSystems[0], false, false, el, mat, nullptr);
        ShowSystemInGrid(*ThSystems[1], false, false, el, mat, ThSystems[0].get());
        QCOMPARE(S(el.Cell(2, 1)), QString("99"));
        QCOMPARE(S(el.Cell(3, 1)), QString("99"));
        QCOMPARE(S(el.Cell(5, 1)), QString("90"));
        // Oxygen is counted in the compounds in mass %: no slag cell.
        QCOMPARE(S(el.Cell(4, 2)), QString(""));
        QCOMPARE(S(el.Cell(8, 1)), QString("")); // no NMI shown
        QCOMPARE(S(el.Cell(2, TotalsRow())), QString("100000"));
        Settings.CompositionUnit = 1;
        ShowSystemInGrid(*ThSystems[0], false, false, el, mat, nullptr);
        QVERIFY(!el.Cell(4, 2).empty());
        // Mean mode: the lower columns are empty, the upper ones hold means.
        Settings.CompositionUnit = 2;
        Settings.AverageValues = true;
        ShowSystemInGrid(*ThSystems[0], false, false, el, mat, nullptr);
        ShowSystemInGrid(*ThSystems[1], false, false, el, mat, ThSystems[0].get());
        QCOMPARE(S(el.Cell(2, 1)), QString(""));
        QCOMPARE(S(el.Cell(5, 1)), QString("6750"));
        QCOMPARE(S(el.Cell(5, TotalsRow())), QString(FormatValue(1000 * 0.5L * (5 + 10)).c_str()));
        // Logarithm of an empty phase: an empty cell, not "-inf".
        Settings.AverageValues = false;
        Settings.LogValues = true;
        ShowSystemInGrid(*ThSystems[0], true, false, el, mat, nullptr);
        QCOMPARE(S(el.Cell(8, 1)), QString(""));
        QCOMPARE(S(el.Cell(2, 1)), QString("4.996"));
    }

    // --- gas list

    void gasListSelectionAndOrder()
    {
        BuildPair();
        ActiveGasCount = 5;
        const char* names[] = {"CO", "CO2", "O2", "FeO", "LONGNAME9"};
        const long double p0[] = {0.2L, 0.7L, 1e-12L, NaN, 0.05L};
        const long double p1[] = {0.3L, 0.6L, 1e-12L, 2e-9L, 0.05L};
        for (int s = 1; s <= 5; ++s) {
            ActiveGases[s].Name = names[s - 1];
            ThSystems[0]->SpeciesPressures[s] = p0[s - 1];
            ThSystems[1]->SpeciesPressures[s] = p1[s - 1];
        }
        auto lines = SelectGasLines(*ThSystems[0], *ThSystems[1], 1e-10L);
        QCOMPARE(int(lines.size()), 4); // O2 is below the threshold in both
        QCOMPARE(double(lines[2].P0), 0.0); // NaN reads as 0
        SortGasLines(lines);
        QCOMPARE(Names(lines), (QStringList{"CO2", "CO", "LONGNAME", "FeO"}));

        TStringGrid gas(4, 4);
        ThSystems[0]->GasPressureSum = ThSystems[1]->GasPressureSum = 1;
        ThSystems[0]->GasVolume = 12.4L;
        ThSystems[1]->GasVolume = NaN;
        FillGasGrid(gas, *ThSystems[0], *ThSystems[1]);
        QCOMPARE(GasLineCount, 4);
        QCOMPARE(S(gas.Cell(1, 5)), QString("P tot"));
        QCOMPARE(S(gas.Cell(1, 6)), QString("V m3"));
        QCOMPARE(S(gas.Cell(2, 6)), QString("12"));
        QCOMPARE(S(gas.Cell(3, 6)), QString(""));
        Settings.AverageValues = true;
        FillGasGrid(gas, *ThSystems[0], *ThSystems[1]);
        QCOMPARE(S(gas.Cell(2, 1)), QString(""));
        QCOMPARE(S(gas.Cell(3, 1)), QString("0.65"));
        QCOMPARE(S(gas.Cell(3, 6)), QString("")); // the mean of a NaN volume
    }

    void gasSortKeepsEqualMeansInOrder()
    {
        std::vector<TGasLine> lines;
        for (int i = 0; i < 9; ++i)
            lines.push_back({"G" + std::to_string(i), 0, 0, i % 3 == 0 ? 1.0L : 0.5L});
        SortGasLines(lines);
        QCOMPARE(Names(lines), (QStringList{"G0", "G3", "G6", "G1", "G2", "G4", "G5", "G7", "G8"}));
    }

    void noSpeciesLeavesTheGasGridEmpty()
    {
        BuildPair();
        ActiveGasCount = 1;
        ActiveGases[1].Name = "CO";
        ThSystems[0]->SpeciesPressures[1] = ThSystems[1]->SpeciesPressures[1] = 1e-12L;
        TStringGrid gas(4, 4);
        gas.SetCell(1, 1, "old");
        FillGasGrid(gas, *ThSystems[0], *ThSystems[1]);
        QCOMPARE(GasLineCount, 0);
        for (int r = 1; r < gas.RowCount(); ++r)
            QVERIFY(gas.Cell(1, r).empty());
    }

    // --- colours and hints

    // A heat-balanced melt outside the liquid metal's range says so where
    // the heat effect would stand; a given temperature is never outside.
    void heatBalanceOutsideTheLiquidRangeReplacesTheHeatEffect()
    {
        BuildPair();
        TThSys &s0 = *ThSystems[0], &s1 = *ThSystems[1];
        s0.Temperature = s1.Temperature = 1600 + KelvinOffset;
        Settings.FinalTempMode = 1;
        QVERIFY(ResultStatusTexts(s0, s1, 0)[5].rfind(" Тепл. ефект: ", 0) == 0);
        for (const long double celsius : {1450.0L, 2050.0L}) {
            s1.Temperature = celsius + KelvinOffset;
            QCOMPARE(ResultStatusTexts(s0, s1, 0)[5], HeatBalanceOpenStatus);
        }
        Settings.FinalTempMode = 0;
        QVERIFY(ResultStatusTexts(s0, s1, 0)[5].rfind(" Тепл. ефект: ", 0) == 0);
    }

    void limitColours()
    {
        // Above the upper limit by the whole spread: full red; by half: half.
        TLimitTest t{false, true, 0, 1.0L, 1e-5L};
        QCOMPARE(LimitRedLevel(t, 1.2L, 1.0L, 1.2L).value(), 255);
        QCOMPARE(LimitRedLevel(t, 1.12L, 1.0L, 1.2L).value(), 153); // 0.6 of the spread
        QVERIFY(!LimitRedLevel(t, 1.0L, 1.0L, 1.2L).has_value());
        TLimitTest lower{true, false, 0.5L, 0, 1e-5L};
        QCOMPARE(LimitRedLevel(lower, 0.38L, 0.38L, 0.58L).value(), 153);

        BuildPair();
        TThSys& lo = *ThSystems[0];
        TThSys& up = *ThSystems[1];
        // The last element of the system is coloured like any other.
        up.El(1).MetalLimitGiven = true;
        up.El(1).MetalLimit = 0.005L;
        lo.El(1).MetalFraction = 0.005L;
        up.El(1).MetalFraction = 0.015L;
        QCOMPARE(ElementCellColour(3, 2, lo, up, nullptr).value(), (TRgb{255, 0, 0}));
        QVERIFY(!ElementCellColour(2, 2, lo, up, nullptr).has_value());
        up.El(1).MetalFraction = 0.011L;
        lo.El(1).MetalFraction = 0.001L;
        QCOMPARE(ElementCellColour(3, 2, lo, up, nullptr).value(), (TRgb{153, 0, 0}));
        // Totals row against the task's metal mass.
        TTaskRecord task;
        task.MaxMet = 99.0L;
        QCOMPARE(ElementCellColour(3, TotalsRow(), lo, up, &task).value(), (TRgb{255, 0, 0}));
        QCOMPARE(ElementColumnBackground(4).value(), (TRgb{255, 255, 238}));
        QVERIFY(!ElementColumnBackground(12).has_value());
    }

    void limitHints()
    {
        BuildPair();
        TThSys& lo = *ThSystems[0];
        TThSys& up = *ThSystems[1];
        QCOMPARE(S(ElementLimitHint(2, 1, lo, up, false)), QString("[Fe] не регл."));
        up.El(0).MetalLimitGiven = true;
        up.El(0).MetalLimit = 0.995L;
        QCOMPARE(S(ElementLimitHint(3, 1, lo, up, false)), QString("[Fe] не более 99.5%"));
        lo.El(0).SlagLimitGiven = true;
        lo.El(0).SlagLimit = 0.1L;
        QCOMPARE(S(ElementLimitHint(4, 1, lo, up, false)), QString("(Fe) не менее 10%"));
        lo.El(0).MetalLimitGiven = true;
        lo.El(0).MetalLimit = 0.98L;
        QCOMPARE(S(ElementLimitHint(2, 1, lo, up, false)), QString("[Fe] 98...99.5%"));
        QCOMPARE(S(ElementLimitHint(2, 1, lo, up, true)), QString(""));
        QCOMPARE(S(ElementHeaderHint(16)), QString("Activity coefficient in infinitely dilute metal"));
    }

    // --- alternatives

    void alternativesSortByTheirNumericCost()
    {
        std::vector<TAlternative> list = {{"a", 1, "", "", 1200, {}, 0}, {"b", 2, "", "", 950, {}, 0},
                                          {"c", 3, "", "", 1010, {}, 0}, {"d", 4, "", "", 10000, {}, 0},
                                          {"e", 5, "", "", 950, {}, 0}};
        SortAlternatives(list);
        // Equal costs keep their order; "10000" would sort before "950" as text.
        QCOMPARE(Names(list), (QStringList{"b", "e", "c", "a", "d"}));
        QCOMPARE(S(CostText(1234.6L)), QString("1235"));
    }

    void alternativeTextsAndMetTests()
    {
        BuildPair();
        TThSys& lo = *ThSystems[0];
        TThSys& up = *ThSystems[1];
        TTaskRecord task;
        task.MinMet = 95;
        task.MaxMet = 105;
        TConstraintBlockRecord metal{ckMetalMass, 1, 1, 2, "Мін маса металу", csLower};
        auto t = AlternativeTexts(metal, lo, up, task);
        QCOMPARE(S(t.Given), QString("95..105"));
        QCOMPARE(S(t.Expected), QString("100"));
        QVERIFY(t.LimitMet);
        task.MaxMet = 99.5L;
        QVERIFY(!AlternativeTexts(metal, lo, up, task).LimitMet);

        // Slag compounds: the compound fraction (90 % FeO) against compound
        // limits, not the element's fraction (70 % Fe).
        lo.El(0).SlagLimitGiven = true;
        lo.El(0).SlagLimit = 0.85L;
        t = AlternativeTexts({ckSlagCompound, 0, 1, 2, "(FeO) мін", csLower}, lo, up, task);
        QVERIFY(t.LimitMet);
        QCOMPARE(S(t.Expected), QString("90..90"));
        QCOMPARE(S(t.Given), QString("85..100"));

        lo.Temperature = 1600 + KelvinOffset;
        up.Temperature = 1650 + KelvinOffset;
        task.MinTemp = 1620;
        t = AlternativeTexts({ckTemperature, 1, 1, 2, "Мін температура", csLower}, lo, up, task);
        QCOMPARE(S(t.Expected), QString("1600..1650"));
        QVERIFY(!t.LimitMet);

        MaterialCount = 1;
        MaterialTable[1].Amount = 2.5L;
        MaterialTable[1].Fixed = 0;
        MaterialTable[1].MaxPercent = 10;
        t = AlternativeTexts({ckFixedMass, 1, 1, 1, "Відсутність", csLower}, lo, up, task);
        QCOMPARE(S(t.Given), QString("0"));
        QCOMPARE(S(t.Expected), QString("2.5"));
        QVERIFY(!t.LimitMet);
        ChargeTotal = 50;
        t = AlternativeTexts({ckMaterialShare, 1, 1, 2, "Макс частка", csUpper}, lo, up, task);
        QCOMPARE(S(t.Expected), QString("5"));
        QVERIFY(t.LimitMet);
    }

    void chargeTextsSetTheChargeTotal()
    {
        ResetModel();
        MaterialCount = 3;
        MaterialTable[1].Amount = 80;
        MaterialTable[1].Type = mtMetal;
        MaterialTable[1].Price = 100;
        MaterialTable[2].Amount = 40;
        MaterialTable[2].Type = mtEnergy;
        MaterialTable[2].Price = 2;
        MaterialTable[3].Amount = 0;
        MaterialTable[3].Type = mtSlag;
        TStringGrid mat(3, 4);
        mat.SetCell(2, 3, "stale");
        TResultTexts texts;
        FillChargeTexts(mat, texts);
        QCOMPARE(double(ChargeTotal), 120.0);
        QCOMPARE(S(texts.ChargeMass), QString("80")); // energy is no part of the charge mass
        QCOMPARE(S(texts.ChargeCost), QString("8080.00"));
        QCOMPARE(S(mat.Cell(2, 1)), QString("80"));
        QCOMPARE(S(mat.Cell(2, 3)), QString(""));
    }
};

QTEST_MAIN(TstDisplay)
#include "tst_display.moc"
