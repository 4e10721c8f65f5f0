// The options dialog: round trip of every field, fall-backs, Cancel, the
// inclusion page's enabling rules and what a change asks of the main window.

#include "FOptions.h"
#include "OptionControls.h"
#include "ResultDisplay.h"
#include "Settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace ferrolyt;

class TstOptions : public QObject {
    Q_OBJECT

    // A record in which every field the dialog shows differs from its
    // default and from its fall-back.
    static TSettingsRecord Unusual()
    {
        TSettingsRecord r;
        r.MetalModel = r.SlagModel = r.ConsumptionMode = r.NmiRcMethod = 1;
        r.FinalTempMode = r.HeatAlg = 2;
        r.CompositionUnit = 3;
        r.AutoOxygen = r.ShowSomeGases = false;
        r.BetterConvergence = r.AverageValues = r.LogValues = r.MorePrecision = r.AccurateMetalSample = true;
        r.ElementalSlag = r.AutoInitialEstimate = r.AccurateOptimisation = r.AllowCrystallisation = true;
        r.WidenFerroalloys = r.CalcNmi = r.AutoNmiRadius = r.ExportNmiByMultiple = r.ExportNmiByTemp = true;
        r.ExitSave = r.AutoSave = true;
        r.MinGasPressure = 2.5e-7;
        r.HotHeelTemp = 1611;
        r.HotHeelMetal = 12;
        r.HotHeelSlag = 7;
        r.MagnesiteTemp = 1402;
        r.MagnesiteMass = 250;
        r.ScrapMeltTemp = 1490;
        r.ElectrodeRate = 0.00412;
        r.GasHeatToSystem = 12.25;
        r.ElectricHeatCoef = 0.875;
        r.LgConstFe = -0.725;
        r.FurnaceVolume = 31.5;
        r.MoltenMaterialTemp = 1550;
        r.NmiTemp = 1480;
        r.InitialExoNmiShare = 0.123456789;
        r.ExoNmiRadius = 35.5;
        r.EndoNmiRadius = 2.75;
        r.EndoNmiMultiple = 12.5;
        r.ExportMultipleFrom = 2;
        r.ExportMultipleTo = 20;
        r.ExportMultipleStep = 25;
        r.ExportMultipleTemp = 1520;
        r.ExportTempFrom = 1510;
        r.ExportTempTo = 1600;
        r.ExportTempStep = 150;
        r.ExportTempMultiple = 8;
        r.AutoSaveMinutes = 37;
        return r;
    }

private slots:
    void init() { SetOptionDefaults(); }

    void everyFieldGoesToItsControlAndBackUnchanged()
    {
        const TSettingsRecord r = Unusual();
        QVERIFY(!(r == TSettingsRecord{}));
        Settings = r;
        TFOptions d;
        d.FormShow();
        QCOMPARE(d.Group("MolePercentGrp")->checkedId(), 3);
        QVERIFY(d.Check("AveChk")->isChecked());
        QCOMPARE(d.AutoSaveSpin->value(), 37);
        const QString sep(DisplayDecimalSeparator);
        QCOMPARE(d.Edit("NoGasPEd")->text(), QString("2.5E-7").replace(".", sep));
        QCOMPARE(d.Edit("RashElecEd")->text(), QString("0.00412").replace(".", sep));
        QCOMPARE(d.Edit("LgConstFeEd")->text(), QString("-0.725").replace(".", sep));
        QCOMPARE(d.Edit("ExpoKratNmiStepEd")->text(), QString("0.25").replace(".", sep));
        QCOMPARE(d.Edit("BolotoTempEd")->text(), QString("1611"));
        Settings = TSettingsRecord{};
        d.OkBut->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(Settings == r);
        QCOMPARE(EncodeSettings(Settings), EncodeSettings(r));
    }

    void unparsableEditsStoreTheirFallbacks()
    {
        Settings = Unusual();
        TFOptions d;
        d.FormShow();
        for (const TOptionEdit& e : OptionEdits())
            d.Edit(e.Name)->setText("x");
        d.done(QDialog::Accepted);
        for (const TOptionEdit& e : OptionEdits()) {
            if (e.WordField) {
                const double expected = e.Form == TEditForm::Hundredths ? e.Fallback * 100 : e.Fallback;
                QVERIFY2(Settings.*e.WordField == uint16_t(std::lround(expected)), e.Name);
            } else {
                QVERIFY2(Settings.*e.RealField == e.Fallback, e.Name);
            }
        }
        QCOMPARE(Settings.MinGasPressure, 1e-5); // not the record's default 1e-10
        QCOMPARE(Settings.HotHeelTemp, uint16_t(1700));
        QCOMPARE(Settings.FurnaceVolume, 23.0);
        QCOMPARE(Settings.ExportMultipleStep, uint16_t(10));
        QCOMPARE(Settings.ExportTempStep, uint16_t(100));
    }

    void numberEditsStoreOnlyWhatTheirFieldCanHold()
    {
        TFOptions d;
        const QString sep(DisplayDecimalSeparator);
        Settings.ExportMultipleStep = 10; // steps are kept in hundredths
        d.FormShow();
        QCOMPARE(d.Edit("ExpoKratNmiStepEd")->text(), "0" + sep + "1");
        d.done(QDialog::Accepted);
        QCOMPARE(Settings.ExportMultipleStep, uint16_t(10));
        constexpr auto heel = &TSettingsRecord::HotHeelTemp, step = &TSettingsRecord::ExportMultipleStep;
        const std::tuple<const char*, QString, uint16_t TSettingsRecord::*, uint16_t> cases[] = {
            {"BolotoTempEd", "", heel, 1700},       {"BolotoTempEd", "1650" + sep + "5", heel, 1700},
            {"BolotoTempEd", " 1650 ", heel, 1650}, {"BolotoTempEd", "-5", heel, 1700},
            {"BolotoTempEd", "70000", heel, 1700},  {"BolotoTempEd", "65535", heel, 65535},
            {"BolotoTempEd", "+12", heel, 12},      {"ExpoKratNmiStepEd", "0" + sep + "25", step, 25},
            {"ExpoKratNmiStepEd", "0.25", step, 25}, {"ExpoKratNmiStepEd", "0,25", step, 25},
            {"ExpoTempNmiStepEd", "1000", &TSettingsRecord::ExportTempStep, 100}}; // 100000 does not fit
        for (const auto& [edit, text, field, stored] : cases) {
            d.FormShow();
            d.Edit(edit)->setText(text);
            d.done(QDialog::Accepted);
            QVERIFY2(Settings.*field == stored, qPrintable(QString("%1 '%2': %3").arg(edit, text).arg(Settings.*field)));
        }
    }

    void cancelStoresNothingAndTheNextShowingReloads()
    {
        Settings = Unusual();
        const TSettingsRecord before = Settings;
        TFOptions d;
        d.FormShow();
        d.Edit("BolotoTempEd")->setText("1234");
        d.Check("AutoOxiChk")->setChecked(true);
        d.Group("MetGrp")->button(0)->setChecked(true);
        d.AutoSaveSpin->setValue(5);
        d.CancelBut->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(Settings == before);

        // The next showing loads the settings again, not the cancelled edits.
        Settings.CompositionUnit = 2;
        d.FormShow();
        QCOMPARE(d.Edit("BolotoTempEd")->text(), QString("1611"));
        QCOMPARE(d.Group("MolePercentGrp")->checkedId(), 2);
    }

    void theInclusionPageFollowsItsCheckBoxes()
    {
        Settings.CalcNmi = false;
        Settings.ExportNmiByMultiple = true;
        Settings.AutoNmiRadius = true;
        TFOptions d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const char* edits[] = {"TempNmiEd", "IniExoNmiEd", "RadExoEd", "RadEndoEd", "KratEndoEd",
                               "ExpoKratNmiEd1", "ExpoKratNmiEd2", "ExpoKratNmiStepEd", "ExpoKratNmiTempEd",
                               "ExpoTempNmiEd1", "ExpoTempNmiEd2", "ExpoTempNmiStepEd", "ExpoTempNmiKratEd"};
        for (const char* e : edits)
            QVERIFY2(!d.Edit(e)->isEnabled(), e);
        for (const char* c : {"AutoRadNmiChk", "ExpoKratNmiChk", "ExpoTempNmiChk"})
            QVERIFY2(!d.Check(c)->isEnabled(), c);
        QVERIFY(!d.Group("MethodNmiGr")->button(0)->isEnabled());
        QVERIFY(d.Check("CalcNmiChk")->isEnabled());

        d.Check("CalcNmiChk")->setChecked(true);
        QVERIFY(d.Check("ExpoKratNmiChk")->isEnabled());
        QVERIFY(d.Check("ExpoTempNmiChk")->isEnabled());
        QVERIFY(d.Edit("ExpoKratNmiEd1")->isEnabled()); // its box is checked
        QVERIFY(!d.Edit("ExpoTempNmiEd1")->isEnabled()); // its box is not
        QVERIFY(d.Edit("KratEndoEd")->isEnabled());
        QVERIFY(d.Edit("TempNmiEd")->isEnabled());
        QVERIFY(d.Group("MethodNmiGr")->button(1)->isEnabled());

        d.Check("ExpoTempNmiChk")->setChecked(true);
        QVERIFY(d.Edit("ExpoTempNmiStepEd")->isEnabled());
        d.Check("AutoRadNmiChk")->setChecked(false);
        QVERIFY(!d.Edit("KratEndoEd")->isEnabled());

        d.Check("ShowSomeGasesChk")->setChecked(false);
        QVERIFY(!d.Edit("NoGasPEd")->isEnabled());
        d.Check("ShowSomeGasesChk")->setChecked(true);
        QVERIFY(d.Edit("NoGasPEd")->isEnabled());
        d.reject();
    }

    void captionsAreTheProgramsOwn()
    {
        TFOptions d;
        QCOMPARE(d.windowTitle(), QString("Опції"));
        QCOMPARE(d.OkBut->text(), QString("Прийняти"));
        QCOMPARE(d.CancelBut->text(), QString("Відміна"));
        QCOMPARE(d.HelpBut->text(), QString("Довідка"));
        QCOMPARE(d.Check("AutoOxiChk")->text(), QString("Автоматично оцінювати [O] на випуску"));
        QCOMPARE(d.Check("AveChk")->toolTip(), QString("Середнє"));
        QCOMPARE(d.Edit("TempNmiEd")->toolTip(), QString("Розрахункова т-ра охолодження розплавленого металу,°С"));
        QCOMPARE(d.Group("TempGrp")->button(2)->text(), QString("Спрощ."));
        QCOMPARE(d.AutoSaveSpin->minimum(), 1);
        QCOMPARE(d.AutoSaveSpin->maximum(), 60);
    }

    void aChangeAsksForAMeltARedrawOrAReload()
    {
        const TSettingsRecord base;
        auto effect = [&base](auto change, bool shown = true) {
            TSettingsRecord after = base;
            change(after);
            return OptionsChangeEffect(base, after, shown);
        };
        QCOMPARE(effect([](TSettingsRecord&) {}), TOptionsEffect::Nothing);
        QCOMPARE(effect([](TSettingsRecord& r) { r.GasPressureUnit = 1; }), TOptionsEffect::Redisplay);
        QCOMPARE(effect([](TSettingsRecord& r) { r.CompositionUnit = 2; }), TOptionsEffect::Redisplay);
        QCOMPARE(effect([](TSettingsRecord& r) { r.MinGasPressure = 1e-5; }), TOptionsEffect::Redisplay);
        QCOMPARE(effect([](TSettingsRecord& r) { r.MetalModel = 1; }), TOptionsEffect::Melt);
        QCOMPARE(effect([](TSettingsRecord& r) { r.FinalTempMode = 1; }), TOptionsEffect::Melt);
        QCOMPARE(effect([](TSettingsRecord& r) { r.ElementalSlag = true; }), TOptionsEffect::Melt);
        QCOMPARE(effect([](TSettingsRecord& r) { r.ExportTempMultiple = 3; }), TOptionsEffect::Melt);
        QCOMPARE(effect([](TSettingsRecord& r) { r.CalcNmi = true; r.WidenFerroalloys = true; }),
                 TOptionsEffect::Melt);
        QCOMPARE(effect([](TSettingsRecord& r) { r.WidenFerroalloys = true; r.AverageValues = true; }),
                 TOptionsEffect::ReloadMaterials);
        // Outside the result range: the furnace constants, saving, the optimiser.
        QCOMPARE(effect([](TSettingsRecord& r) { r.FurnaceVolume = 30; r.AutoSave = true; r.AutoSaveMinutes = 3; }),
                 TOptionsEffect::Nothing);
        QCOMPARE(effect([](TSettingsRecord& r) { r.MetalModel = 1; }, false), TOptionsEffect::Nothing);
    }
};

QTEST_MAIN(TstOptions)
#include "tst_options.moc"
