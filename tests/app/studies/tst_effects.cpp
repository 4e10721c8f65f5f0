// The effects and properties window on the melted sample project: each
// view's numbers against the tables they come from, the menu's choices, the
// edits of the Properties view, and the exported workbook read back.

#include "FormDKM.h"

#include "EffectsViews.h"
#include "ForwardProblem.h"
#include "GridModel.h"
#include "Host.h"
#include "Model.h"
#include "ProgramDir.h"
#include "Project.h"
#include "ResultDisplay.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Workbook.h"
#include "support/AppFixture.h"
#include "support/SavedWorkbook.h"
#include "support/ShownNumber.h"
#include "support/StateWait.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMap>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace ferrolyt;

namespace {

// Warnings go into a list instead of a box.
class TestHost : public Host {
public:
    TestHost() { previous_ = SetHost(this); }
    ~TestHost() override { SetHost(previous_); }
    int ShowWarning(const std::string& text) override
    {
        warnings.push_back(text);
        return 1;
    }
    std::vector<std::string> warnings;

private:
    Host* previous_ = nullptr;
};

QString Cell(const TStringGrid& g, int col, int row) { return QString::fromStdString(g.Cell(col, row)); }
QString Fmt(long double x) { return QString::fromStdString(FormatValue(x)); }

// A cell written as a number equal to the grid's text.
bool HoldsNumber(const TSavedSheet& s, const QString& ref, const QString& shown)
{
    return s.IsNumber.value(ref) && std::fabs(s.Values.value(ref).toDouble() - ShownNumber(shown)) < 1e-9;
}

} // namespace

class TstEffects : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestHost> host;
    std::unique_ptr<TFormDKM> w;

    const TThSys& S0() { return *ThSystems[0]; }
    const TThSys& S1() { return *ThSystems[1]; }
    const TStringGrid& G() { return w->DKMGridCells; }
    int Elements() { return SystemElemLast + 1; }

    void Show(QAction* view)
    {
        view->trigger();
        QCOMPARE(DkmViewMode, static_cast<uint8_t>(view->data().toInt()));
    }

private slots:
    void init()
    {
        ResetModel();
        SetOptionDefaults();
        DkmViewMode = dkmProperties;
        host = std::make_unique<TestHost>();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(UseSampleCopy(*dir));
        CreateSystems();
        QVERIFY(LoadProject(dir->filePath("FERROLYT.FWP").toStdString()));
        QVERIFY(MeltForward().BothConverged);
        QVERIFY2(host->warnings.empty(), host->warnings.empty() ? "" : host->warnings.front().c_str());
        QVERIFY(MaterialCount > 3);
        QVERIFY(SystemElemLast >= 5);
        w = std::make_unique<TFormDKM>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        w.reset();
        host.reset();
        dir.reset();
    }

    // --- captions and menu

    void captionsAndTabsAsCreated()
    {
        QCOMPARE(w->Tab->count(), 5);
        const QStringList tabs = {"Властивості", "Метал", "Шлак", "Газ", "Склад"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(w->Tab->tabText(i), tabs[i]);
        QCOMPARE(w->EffMatM->text(), QString("Еф. материалів"));
        QCOMPARE(w->EffElM->text(), QString("Еф. елементів (ДКЗ)"));
        QCOMPARE(w->PercM->text(), QString("Зміна у мас.%"));
        QCOMPARE(w->ExportM->text(), QString("Експорт..."));
        QCOMPARE(w->MetM->shortcut(), QKeySequence("Ctrl+M"));
        QCOMPARE(w->AveM->shortcut(), QKeySequence("Ctrl+A"));
        QVERIFY(w->N4->isChecked() && w->EffMatM->isChecked() && w->MassM->isChecked());
        QVERIFY(w->SlgOxiM->isChecked() && w->AveM->isChecked());
        QCOMPARE(Cell(G(), 0, 0), QString("N"));
    }

    void viewItemsAndTabsFollowEachOther()
    {
        Show(w->SlgM);
        QCOMPARE(w->Tab->currentIndex(), 2);
        w->Tab->setCurrentIndex(3);
        QCOMPARE(DkmViewMode, uint8_t(dkmGas));
        QVERIFY(w->GasM->isChecked());
        QCOMPARE(w->Caption(), QString("Дія матеріалів на поточний газ"));
        // A checked item chosen again redraws nothing: the grid keeps an edit.
        w->DKMGridCells.SetCell(2, 1, "marker");
        w->GasM->trigger();
        QCOMPARE(Cell(G(), 2, 1), QString("marker"));
        w->LowM->trigger();
        QVERIFY(Cell(G(), 2, 1) != "marker");
    }

    void popupShowsOnlyTheChoicesOfTheView()
    {
        w->PhasePopPopup();
        QVERIFY(!w->MassM->isVisible() && !w->PercM->isVisible());
        QVERIFY(!w->EffMatM->isVisible() && !w->SlgOxiM->isVisible());
        QVERIFY(w->HighM->isVisible() && w->ExportM->isVisible());
        Show(w->MetM);
        w->PhasePopPopup();
        QVERIFY(w->MassM->isVisible() && w->PercM->isVisible() && w->EffElM->isVisible());
        QVERIFY(!w->SlgEleM->isVisible());
        Show(w->SlgM);
        w->PhasePopPopup();
        QVERIFY(w->SlgOxiM->isVisible() && w->SlgEleM->isVisible());
    }

    // --- effect views against the effect tables

    void metalViewOfMaterialsInKg()
    {
        Show(w->MetM);
        QCOMPARE(w->Caption(), QString("Дія матеріалів на поточний метал"));
        QCOMPARE(w->Status(), QString(" Зміна маси фази (кг) та її складу (кг) при додаванні 1т матеріалу"));
        QCOMPARE(DkmRowCount, MaterialCount + 3);
        QCOMPARE(Cell(G(), 1, 0), QString("Матеріал"));
        QCOMPARE(Cell(G(), 2, 0), QString("Маса"));
        QCOMPARE(Cell(G(), 3, 0), "[" + QString::fromStdString(S0().El(0).Symbol) + "]");
        QCOMPARE(Cell(G(), 1, MaterialCount + 1), QString("Метал"));
        bool anyNonZero = false;
        for (int j = 1; j <= MaterialCount + 3; ++j) {
            long double d0 = 0, d1 = 0;
            for (int i = 0; i < Elements(); ++i) {
                const long double e0 = MaterialEffectsOnMetal[0][i + 1][j];
                const long double e1 = MaterialEffectsOnMetal[1][i + 1][j];
                d0 += e0;
                d1 += e1;
                QCOMPARE(Cell(G(), 3 + i, j), Fmt(1000 * 0.5L * (e0 + e1)));
                anyNonZero = anyNonZero || std::fabs(e0) > 1e-6;
            }
            QCOMPARE(Cell(G(), 2, j), Fmt(1000 * 0.5L * (d0 + d1)));
        }
        QVERIFY(anyNonZero);
        QCOMPARE(Cell(G(), 1, MaterialCount + 4), QString());
        // The bound choice takes either system instead of the mean.
        w->LowM->trigger();
        QCOMPARE(Cell(G(), 3, 1), Fmt(1000.0L * MaterialEffectsOnMetal[0][1][1]));
        w->HighM->trigger();
        QCOMPARE(Cell(G(), 3, 1), Fmt(1000.0L * MaterialEffectsOnMetal[1][1][1]));
        QVERIFY(w->HighM->isChecked() && !w->AveM->isChecked());
    }

    void percentShowsTheChangeOfTheMassFraction()
    {
        Show(w->MetM);
        w->PercM->trigger();
        QCOMPARE(w->Status(), QString(" Зміна маси фази (мас.%) та її складу (мас.%) при додаванні 1т матеріалу"));
        w->LowM->trigger();
        const TThSys& s = S0();
        for (int j = 1; j <= MaterialCount; ++j) {
            long double d = 0;
            for (int i = 0; i < Elements(); ++i)
                d += MaterialEffectsOnMetal[0][i + 1][j];
            QCOMPARE(Cell(G(), 2, j), Fmt(100 * d / s.MetalMass));
            for (int i = 0; i < Elements(); ++i) {
                const long double v = MaterialEffectsOnMetal[0][i + 1][j];
                QCOMPARE(Cell(G(), 3 + i, j), Fmt(100 * (v - s.El(i).MetalFraction * d) / s.MetalMass));
            }
        }
    }

    void proportionalAdditionChangesNoFraction()
    {
        // One tonne that goes entirely into the metal in its own proportions.
        const int j = 2;
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < Elements(); ++i)
                MaterialEffectsOnMetal[k][i + 1][j] = static_cast<float>(ThSystems[k]->El(i).MetalFraction);
        Show(w->MetM);
        w->PercM->trigger();
        QVERIFY(Cell(G(), 2, j) != "0");
        for (int i = 0; i < Elements(); ++i)
            QCOMPARE(Cell(G(), 3 + i, j), QString("0"));
    }

    void slagOxidesScaleByTheOxideFactor()
    {
        Show(w->SlgM);
        w->LowM->trigger();
        int checked = 0;
        for (int i = 0; i < Elements(); ++i) {
            const TElementRecord& e = S0().El(i);
            QCOMPARE(Cell(G(), 3 + i, 0), "(" + QString::fromStdString(e.Label) + ")");
            for (int j = 1; j <= MaterialCount; ++j) {
                const long double v = MaterialEffectsOnSlag[0][i + 1][j];
                QCOMPARE(Cell(G(), 3 + i, j), Fmt(1000 * v * e.CompoundFactor));
                checked += std::fabs(v) > 1e-6 && e.CompoundFactor > 1.01L;
            }
        }
        QVERIFY(checked > 0);
        const TEffectRow oxides = EffectRowValues(dkmSlag, w->Choices(), S0(), S1(), 1);
        w->SlgEleM->trigger();
        QCOMPARE(Cell(G(), 3, 0), "(" + QString::fromStdString(S0().El(0).Symbol) + ")");
        const TEffectRow elements = EffectRowValues(dkmSlag, w->Choices(), S0(), S1(), 1);
        for (int i = 0; i < Elements(); ++i) {
            QVERIFY(std::fabs(oxides.Elements[i] - elements.Elements[i] * S0().El(i).CompoundFactor)
                    <= 1e-12L * (1 + std::fabs(oxides.Elements[i])));
            QCOMPARE(Cell(G(), 3 + i, 1), Fmt(elements.Elements[i]));
        }
    }

    void gasOfMaterialsIsWhatMetalAndSlagDoNotTake()
    {
        Show(w->GasM);
        w->HighM->trigger();
        QCOMPARE(Cell(G(), 3, 0), "{" + QString::fromStdString(S0().El(0).Symbol) + "}");
        for (int j = 1; j <= MaterialCount; ++j)
            for (int i = 0; i < Elements(); ++i) {
                const long double v = static_cast<long double>(CompositionMax[i + 1][j])
                                      - MaterialEffectsOnMetal[1][i + 1][j] - MaterialEffectsOnSlag[1][i + 1][j];
                QCOMPARE(Cell(G(), 3 + i, j), Fmt(1000 * v));
            }
    }

    void elementRowsOfTheGasView()
    {
        Show(w->GasM);
        w->EffElM->trigger();
        QCOMPARE(w->Caption(), QString("Дія елементів на поточний газ"));
        QCOMPARE(w->Status(), QString(" Зміна маси фази (кг) та її складу (кг) при додаванні 1т елементу"));
        QCOMPARE(DkmRowCount, Elements());
        QCOMPARE(Cell(G(), 1, 0), QString("Element"));
        QCOMPARE(Cell(G(), 1, 1), "       " + QString::fromStdString(S0().El(0).Symbol));
        QCOMPARE(Cell(G(), 1, Elements() + 1), QString());
        w->LowM->trigger();
        for (int r = 0; r < Elements(); ++r)
            for (int i = 0; i < Elements(); ++i) {
                const long double v =
                    (i == r ? 1.0L : 0.0L) - ElementEffectsOnMetal[0][i][r] - ElementEffectsOnSlag[0][i][r];
                QCOMPARE(Cell(G(), 3 + i, r + 1), Fmt(1000 * v));
            }
        // An element that stays entirely in the metal adds nothing to the gas.
        for (int k = 0; k < 2; ++k) {
            ElementEffectsOnMetal[k][1][1] = 1;
            ElementEffectsOnSlag[k][1][1] = 0;
        }
        w->FormShow();
        QCOMPARE(Cell(G(), 4, 2), QString("0"));
    }

    void elementRowsOfTheMetalView()
    {
        Show(w->MetM);
        w->EffElM->trigger();
        for (int r = 0; r < Elements(); ++r) {
            long double d = 0;
            for (int i = 0; i < Elements(); ++i) {
                const long double e = 0.5L * (ElementEffectsOnMetal[0][i][r] + ElementEffectsOnMetal[1][i][r]);
                d += e;
                QCOMPARE(Cell(G(), 3 + i, r + 1), Fmt(1000 * e));
            }
            QCOMPARE(Cell(G(), 2, r + 1), Fmt(1000 * d));
        }
        // Switching back to materials leaves no element rows.
        w->EffMatM->trigger();
        QCOMPARE(Cell(G(), 1, 0), QString("Матеріал"));
        QCOMPARE(Cell(G(), 1, 1), QString::fromStdString(MaterialTable[1].Name));
    }

    // --- the Properties and Composition views

    void propertiesFromTheMaterialRecords()
    {
        const long double metalMass = S0().MetalMass;
        const long double amount0 = S0().El(0).Amount;
        const long double pressure = S1().GasPressureSum;
        Show(w->MetM);
        Show(w->N4);
        QCOMPARE(w->Caption(), QString("Властивості матеріалів"));
        QVERIFY(w->Status().startsWith(" Т-ра,°C | Фаза | Ознака рідкого стану"));
        const QStringList header = {"Матеріал", "t,°C", "Фаза", "Рідкий", "DT", "H std", "H mix", "H", "Q1600",
                                    "C1600", "Ціна"};
        for (int c = 1; c <= 11; ++c)
            QCOMPARE(Cell(G(), c, 0), header[c - 1]);
        // A narrower view leaves no stale headers beyond its columns.
        QCOMPARE(Cell(G(), 12, 0), QString());

        // The solved systems stay as they were.
        QCOMPARE(S0().MetalMass, metalMass);
        QCOMPARE(S0().El(0).Amount, amount0);
        QCOMPARE(S1().GasPressureSum, pressure);

        w->LowM->trigger();
        const QStringList letters = {"e", "з", "м", "ш", "г"};
        for (int j = 1; j <= MaterialCount + 3; ++j) {
            const TMaterialRecord& m = MaterialTable[j];
            QCOMPARE(Cell(G(), 3, j), letters.value(m.Type, "м"));
            QCOMPARE(Cell(G(), 4, j), QString(m.Molten ? "+" : ""));
            const long double numbers[] = {m.TempEffect[0], m.HeatA[0], m.HeatB[0], m.HeatTotal[0],
                                           m.HeatToMolten[0], m.MoltenHeatCapacity[0], m.Price}; // DT .. Ціна
            for (int c = 5; c <= 11; ++c)
                QCOMPARE(Cell(G(), c, j), Fmt(numbers[c - 5]));
            if (m.Type >= 2 && m.Type <= 4)
                QCOMPARE(Cell(G(), 2, j), Fmt(MaterialShownTemperature(m)));
            else
                QCOMPARE(Cell(G(), 2, j), QString());
        }
        // The pseudo-metal is taken at the temperature the solver gave it.
        QCOMPARE(Cell(G(), 2, MaterialCount + 1), Fmt(S0().Temperature - 273.15L));
    }

    void heatToMoltenFollowsTheMoltenTemperature()
    {
        Show(w->N4);
        w->LowM->trigger();
        int metal = 0;
        for (int j = 1; j <= MaterialCount; ++j)
            if (MaterialTable[j].Type == mtMetal && !MaterialTable[j].Molten)
                metal = j;
        QVERIFY(metal > 0);
        const long double q1600 = MaterialTable[metal].HeatToMolten[0];
        QCOMPARE(Cell(G(), 9, metal), Fmt(q1600));
        Settings.MoltenMaterialTemp = 1650;
        w->FormShow();
        QCOMPARE(Cell(G(), 9, 0), QString("Q1650"));
        const long double q1650 = MaterialTable[metal].HeatToMolten[0];
        const long double c = MaterialTable[metal].MoltenHeatCapacity[0];
        // Fifty kelvin more change the heat by about fifty times the heat
        // capacity shown.
        QVERIFY(q1650 != q1600);
        QVERIFY(std::fabs((q1650 - q1600) / 50 - c) < 0.2L * std::fabs(c));
    }

    void gasMaterialWithoutTemperatureIsAtTwentyDegrees()
    {
        int gas = 0;
        for (int j = 1; j <= MaterialCount; ++j)
            if (MaterialTable[j].Type == mtGas)
                gas = j;
        if (gas == 0) {
            gas = 1;
            MaterialTable[gas].Type = mtGas;
        }
        MaterialTable[gas].Temperature = UnsetValue;
        TaskList.CurrentTask().AmbTemp = UnsetValue;
        Show(w->N5);
        Show(w->N4);
        QCOMPARE(Cell(G(), 2, gas), QString("20"));
        QCOMPARE(Cell(G(), 3, gas), QString("г"));
        TaskList.CurrentTask().AmbTemp = 35;
        w->FormShow();
        QCOMPARE(Cell(G(), 2, gas), QString("35"));
    }

    void compositionDividedByRecovery()
    {
        MaterialTable[1].RecoveryLo = 0.8L;
        MaterialTable[1].RecoveryHi = 0.9L;
        Show(w->N5);
        QCOMPARE(w->Caption(), QString("Хiмiчний склад матерiалiв"));
        QCOMPARE(w->Status(), QString(" Фізичне засвоєння та хімічний склад матеріалів, мас.%"));
        QCOMPARE(Cell(G(), 2, 0), QString("Ф/засв"));
        QCOMPARE(Cell(G(), 3, 0), QString::fromStdString(S0().El(0).Symbol));
        QCOMPARE(Cell(G(), 2, 1), Fmt(0.85L));
        for (int i = 0; i < Elements(); ++i) {
            const long double lo = static_cast<long double>(CompositionMin[i + 1][1]) / 0.8L;
            const long double hi = static_cast<long double>(CompositionMax[i + 1][1]) / 0.9L;
            QCOMPARE(Cell(G(), 3 + i, 1), Fmt(50 * (lo + hi)));
        }
        w->HighM->trigger();
        QCOMPARE(Cell(G(), 2, 1), Fmt(0.9L));
        for (int i = 0; i < Elements(); ++i)
            QCOMPARE(Cell(G(), 3 + i, 1), Fmt(100 * static_cast<long double>(CompositionMax[i + 1][1]) / 0.9L));
    }

    // --- edits of the Properties view

    void enterStoresTemperatureAndPrice()
    {
        Show(w->N4);
        auto edit = [this](int col, int row, const QString& text) {
            const QModelIndex index = w->DKMGridModel->index(row - 1, col - 1);
            w->DKMGrid->setCurrentIndex(index);
            w->DKMGrid->edit(index);
            auto* editor = qobject_cast<QLineEdit*>(w->DKMGrid->indexWidget(index));
            QVERIFY(editor);
            editor->setText(text);
            QTest::keyClick(editor, Qt::Key_Return);
            // The view commits and closes the editor after the key press.
            QTRY_VERIFY_WITH_TIMEOUT(!w->DKMGrid->indexWidget(index), StateWaitMs);
        };
        edit(2, 1, " 1234,5 ");
        QCOMPARE(MaterialTable[1].Temperature, 1234.5L);
        edit(11, 2, "321");
        QCOMPARE(MaterialTable[2].Price, 321.0L);
        // Unreadable and empty texts store nothing.
        edit(11, 2, "abc");
        QCOMPARE(MaterialTable[2].Price, 321.0L);
        edit(2, 1, "");
        QCOMPARE(MaterialTable[1].Temperature, 1234.5L);
    }

    void pseudoMaterialsAndOtherViewsTakeNoEdits()
    {
        const long double t = MaterialTable[MaterialCount + 1].Temperature;
        QVERIFY(!StoreDkmCell(dkmProperties, 2, MaterialCount + 1, "1500"));
        QCOMPARE(MaterialTable[MaterialCount + 1].Temperature, t);
        QVERIFY(!StoreDkmCell(dkmMetal, 2, 1, "1500"));
        QVERIFY(!StoreDkmCell(dkmProperties, 5, 1, "1500"));
        QVERIFY(StoreDkmCell(dkmProperties, 2, MaterialCount, "1500"));
        QCOMPARE(MaterialTable[MaterialCount].Temperature, 1500.0L);
        Show(w->MetM);
        QVERIFY(!(w->DKMGridModel->flags(w->DKMGridModel->index(0, 1)) & Qt::ItemIsEditable));
    }

    void clearingEmptiesTheTable()
    {
        Show(w->MetM);
        QVERIFY(!Cell(G(), 2, 1).isEmpty());
        w->ClearGrid();
        QCOMPARE(Cell(G(), 1, 1), QString());
        QCOMPARE(Cell(G(), 2, 1), QString());
        QCOMPARE(Cell(G(), 2, 0), QString("Маса"));
    }

    // --- export

    void exportFileNameIsCutTo27Characters()
    {
        QCOMPARE(QString::fromStdString(DkmExportFileName("Метал", "Плавка 1")), QString("Метал_Плавка 1"));
        QCOMPARE(QString::fromStdString(DkmExportFileName("Властивості", "Дуже довга назва плавки")),
                 QString("Властивості_Дуже довга назв"));
    }

    void exportWritesTheMetalTable()
    {
        Show(w->MetM);
        w->TaskText = [] { return std::string("Плавка"); };
        const QString asked = dir->filePath("metal.xls");
        const QString saved = QString::fromStdString(w->ExportTo(asked.toStdString()));
        QCOMPARE(saved, dir->filePath("metal.xlsx"));
        QVERIFY(!QFile::exists(asked));

        const TSavedSheet s = ReadSheet(saved);
        const int cols = Elements() + 3;
        const QString lastCol = QString::fromStdString(ColumnLetters(cols));
        QCOMPARE(s.Values.value("A1"), QString("N"));
        QCOMPARE(s.Values.value("B1"), QString("Матеріал"));
        QCOMPARE(s.Values.value("C1"), QString("Маса"));
        QCOMPARE(s.Values.value(lastCol + "1"), Cell(G(), cols - 1, 0));
        QVERIFY(!s.Values.contains(QString::fromStdString(ColumnLetters(cols + 1)) + "1"));
        for (int r = 1; r <= DkmRowCount; ++r) {
            const QString row = QString::number(r + 1);
            QCOMPARE(s.Values.value("A" + row), QString::number(r));
            QVERIFY(s.IsNumber.value("A" + row));
            QCOMPARE(s.Values.value("B" + row), Cell(G(), 1, r));
            QVERIFY(!s.IsNumber.value("B" + row));
            QVERIFY(HoldsNumber(s, "C" + row, Cell(G(), 2, r)));
            // In kilograms the mass change is the row's total: a formula with the shown value.
            QVERIFY2(s.Xml.contains(("<f>SUM(D" + row + ":" + lastCol + row + ")</f>")), qPrintable(row));
        }
        QVERIFY(!s.Values.contains("A" + QString::number(DkmRowCount + 2)));

        QVERIFY(s.Xml.contains("orientation=\"landscape\""));
        QVERIFY(s.Xml.contains("&amp;P of &amp;N"));
        QVERIFY(s.Xml.contains("gridLines=\"1\"") || s.Xml.contains("printOptions"));
        const QString book = ZipMember(saved, "xl/workbook.xml");
        // The caption's start, short enough for the print titles to name it twice.
        const QString name = "Дія матеріалів на поточний ме";
        QVERIFY(book.contains("name=\"" + name + "\""));
        QVERIFY(book.contains(QString("'%1'!$A:$A,'%1'!$1:$1</definedName>").arg(name)));
    }

    void exportOfPropertiesKeepsTextsAsText()
    {
        Show(w->N4);
        const QString saved = QString::fromStdString(w->ExportTo(dir->filePath("props.xlsx").toStdString()));
        const TSavedSheet s = ReadSheet(saved);
        QCOMPARE(s.Values.value("J1"), QString("Q1600"));
        QCOMPARE(s.Values.value("L1"), QString("Ціна"));
        QCOMPARE(s.Values.value("D2"), Cell(G(), 3, 1));
        QVERIFY(!s.IsNumber.value("D2"));
        if (!Cell(G(), 11, 1).isEmpty())
            QVERIFY(HoldsNumber(s, "L2", Cell(G(), 11, 1)));
    }

    void exportReadsCommasAndKeepsUnreadableText()
    {
        Show(w->N5);
        w->DKMGridCells.SetCell(3, 1, "1,5");
        w->DKMGridCells.SetCell(4, 1, "-");
        const QString saved = QString::fromStdString(w->ExportTo(dir->filePath("comp").toStdString()));
        QCOMPARE(saved, dir->filePath("comp.xlsx"));
        const TSavedSheet s = ReadSheet(saved);
        QCOMPARE(s.Values.value("D2"), QString("1.5"));
        QVERIFY(s.IsNumber.value("D2"));
        QCOMPARE(s.Values.value("E2"), QString("-"));
        QVERIFY(!s.IsNumber.value("E2"));
    }

    void exportGoesWhereTheDialogSays()
    {
        Show(w->MetM);
        QString suggested;
        w->TaskText = [] { return std::string("T1"); };
        w->ExpoDialog = [&](const std::string& name) {
            suggested = QString::fromStdString(name);
            return std::string();
        };
        w->ExportMClick();
        QCOMPARE(suggested, QString("Метал_T1"));
        QCOMPARE(QDir(dir->path()).entryList({"*.xlsx"}).size(), 0);

        w->ExpoDialog = [&](const std::string&) { return dir->filePath("chosen.xlsx").toStdString(); };
        w->ExportMClick();
        QVERIFY(QFile::exists(dir->filePath("chosen.xlsx")));
        QVERIFY(host->warnings.empty());
        // A folder that does not exist: a warning.
        w->ExpoDialog = [&](const std::string&) { return dir->filePath("no/such/folder/x.xlsx").toStdString(); };
        w->ExportMClick();
        QCOMPARE(host->warnings.size(), std::size_t(1));
    }
};

QTEST_MAIN(TstEffects)
#include "tst_effects.moc"
