// The particle control window without a display. Unusable files and numbers
// give a message and apply nothing.

#include "FormGL.h"
#include "MaxF.h"
#include "ParticleMessages.h"
#include "ProgramDir.h"
#include "WindowPlace.h"
#include "support/ShownNumber.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrolyt::particles;

namespace {

void WriteFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray SampleFile = "R1=0.3\r\nR2=0.4\r\nR3=0.5\r\nM1=1\r\nM2=2\r\nM3=4\r\nN1=60\r\nN2=40\r\nN3=20\r\n"
                              "E11=0\r\nE22=0\r\nE33=0\r\nE12=0\r\nE13=0\r\nE23=0\r\nLx=3\r\nLy=3\r\nLz=5\r\n"
                              "StepH=0.1\r\nEnsemble=NVT\r\nLattice=Cub\r\nSysT=0.01\r\n";

} // namespace

class TstParticlesControl : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QStringList messages_;

    QString Folder() const { return dir_.path() + "/DezOzevev"; }

    QString Edit(TMaxF& w, const char* name) { return w.findChild<QLineEdit*>(name)->text(); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkdir("DezOzevev"));
        ferrolyt::SetProgramDir(dir_.path().toStdString());
        SetParticleMessageHook([this](const QString& caption, const QString& text) {
            messages_ << caption + ": " + text;
        });
    }

    void init()
    {
        messages_.clear();
        WriteFile(Folder() + "/DezOzevev.ini", "DataFile=Sample.dat\r\n");
        WriteFile(Folder() + "/Sample.dat", SampleFile);
    }

    void cleanupTestCase() { SetParticleMessageHook({}); }

    void missingIniGivesAMessageAndAppliesNothing()
    {
        QVERIFY(QFile::remove(Folder() + "/DezOzevev.ini"));
        TMaxF w;
        w.show();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains("DezOzevev.ini"));
        QVERIFY(w.DataFile().empty());
        QCOMPARE(Edit(w, "EdRad1"), OnScreen("0.5"));
        w.close();
        // Nothing was chosen, so nothing is written back.
        QVERIFY(!QFile::exists(Folder() + "/DezOzevev.ini"));
    }

    void missingParameterFileGivesAMessage()
    {
        WriteFile(Folder() + "/DezOzevev.ini", "DataFile=Nowhere.dat\r\n");
        TMaxF w;
        w.show();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains("Nowhere.dat"));
        QVERIFY(w.DataFile().empty());
        QCOMPARE(Edit(w, "EdRad1"), OnScreen("0.5"));
    }

    void aFieldThatIsNotANumberAppliesNothing()
    {
        WriteFile(Folder() + "/Broken.dat", QByteArray(SampleFile).replace("R2=0.4", "R2=zero"));
        TMaxF w;
        w.show();
        QVERIFY(messages_.isEmpty());
        QCOMPARE(Edit(w, "EdRad2"), OnScreen("0.4"));
        QVERIFY(!w.LoadDataFile("Broken.dat"));
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains("R2"));
        // Still the previous file and its values.
        QCOMPARE(QString::fromStdString(w.DataFile()), QString("Sample.dat"));
        QCOMPARE(Edit(w, "EdRad2"), OnScreen("0.4"));
        QCOMPARE(w.windowTitle(), QString("Zivad Urevezozu Sample.dat"));
    }

    void loadingFillsEveryControl()
    {
        TMaxF w;
        w.show();
        QCOMPARE(Edit(w, "EdRad3"), OnScreen("0.5"));
        QCOMPARE(Edit(w, "EdMass2"), QString("2"));
        QCOMPARE(w.findChild<QSpinBox*>("SpinN1")->value(), 60);
        QCOMPARE(Edit(w, "EditLz"), QString("5"));
        QCOMPARE(Edit(w, "EditT"), OnScreen("0.01"));
        const ParticleParams p = w.ControlParams();
        QCOMPARE(p.Ensemble, TEnsemble::NVT);  // "NVT" reads as canonical
        QCOMPARE(p.Lattice, TLattice::Cubic);  // "Cub" reads as cubic
    }

    void savingKeepsOtherKeysAndDropsAnEmptyKt()
    {
        // A line that is no parameter is named when the file loads, and kept.
        WriteFile(Folder() + "/Noted.dat", SampleFile + "Note=kept\r\n");
        {
            TMaxF w;
            w.show();
            QVERIFY(messages_.isEmpty());
            QVERIFY(w.LoadDataFile("Noted.dat"));
            QCOMPARE(messages_.size(), 1);
            QVERIFY2(messages_[0].contains("Рядок 23: \"Note=kept\" не є параметром цього файлу"),
                     qPrintable(messages_[0]));
            w.findChild<QLineEdit*>("EditT")->setText("");
            w.findChild<QLineEdit*>("EdRad1")->setText("0,25"); // a decimal comma goes to the file as a point
            QVERIFY(w.SaveDataFile("Copy"));
            QCOMPARE(QString::fromStdString(w.DataFile()), QString("Copy.dat"));
            QCOMPARE(w.windowTitle(), QString("Zivad Urevezozu Copy.dat"));
            w.close();
        }
        const QByteArray saved = ReadFile(Folder() + "/Copy.dat");
        QVERIFY(saved.contains("R1=0.25\r\n"));
        QVERIFY(!saved.contains("SysT"));
        QVERIFY(saved.contains("Note=kept\r\n"));
        QCOMPARE(ReadFile(Folder() + "/DezOzevev.ini"), QByteArray("DataFile=Copy.dat\r\n"));
        TMaxF again;
        again.show();
        QCOMPARE(Edit(again, "EditT"), QString());
        QCOMPARE(Edit(again, "EdRad1"), OnScreen("0.25"));
    }

    void startRefusesUnusableFields()
    {
        TMaxF w;
        w.show();
        w.findChild<QLineEdit*>("EditLx")->setText("-1");
        w.StartButClick();
        QVERIFY(!FormGL);
        QCOMPARE(messages_.size(), 1);
        w.findChild<QLineEdit*>("EditLx")->setText("3");
        w.findChild<QLineEdit*>("EdMass1")->setText("heavy");
        w.TDFloopButClick();
        QVERIFY(!w.BatchRunning());
        QCOMPARE(messages_.size(), 2);
        w.findChild<QLineEdit*>("EdRad1")->setText("big");
        w.IniVButClick();
        QCOMPARE(messages_.size(), 3);
        QCOMPARE(Edit(w, "EditLx"), QString("3"));
    }

    // A project opened elsewhere makes its folder current; it has no
    // parameter files, and those next to the program serve.
    void aCurrentFolderWithoutParameterFilesUsesTheProgramsOwn()
    {
        QTemporaryDir project;
        TMaxF w;
        QVERIFY(QDir::setCurrent(project.path()));
        w.show();
        QDir::setCurrent(dir_.path());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("\n")));
        QCOMPARE(QString::fromStdString(w.DataFile()), QString("Sample.dat"));
        QCOMPARE(w.findChild<QSpinBox*>("SpinN1")->value(), 60);
        QVERIFY(!QDir(project.path() + "/DezOzevev").exists());
    }

    // What the window composes itself speaks the user's language; the
    // captions given word for word stay as they are.
    void theInteractionMatrixShowsAllItsRows()
    {
        // On a laptop's 1366×768 screen, at the window's size and at the
        // smallest the window allows.
        TMaxF w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* grid = w.findChild<QTableWidget*>("EpsGrid");
        for (const QSize size : {w.size(), w.minimumSizeHint()}) {
            w.resize(size);
            QTest::qWait(1);
            QVERIFY2(w.frameGeometry().height() <= 768, qPrintable(QString::number(w.frameGeometry().height())));
            const int shown = grid->viewport()->height();
            QVERIFY2(grid->rowViewportPosition(2) + grid->rowHeight(2) <= shown,
                     qPrintable(QString("rows end at %1, %2 shown")
                                    .arg(grid->rowViewportPosition(2) + grid->rowHeight(2))
                                    .arg(shown)));
            QCOMPARE(grid->verticalScrollBar()->maximum(), 0);
        }
    }

    void theViewOpensBesideTheControlWindow()
    {
        // A laptop's free area; the view's frame is 808 × 634.
        const QRect area(0, 0, 1366, 728);
        const QSize view(808, 634);
        // Room on the right (all but 2 pixels): there, a little smaller.
        QCOMPARE(BesideWindow(QRect(0, 0, 560, 700), view, area), QRect(560, 0, 806, 632));
        // On the right of the screen: on its left, at full size.
        QCOMPARE(BesideWindow(QRect(900, 20, 460, 700), view, area), QRect(92, 20, 808, 634));
        // Room only below a wide, low window.
        QCOMPARE(BesideWindow(QRect(0, 0, 1366, 90), view, area), QRect(0, 90, 808, 634));
        // No room anywhere: inside the screen all the same.
        const QRect covered = BesideWindow(QRect(0, 0, 1366, 728), view, area);
        QVERIFY(area.contains(covered));
        QCOMPARE(covered.size(), view);
    }

    void itsOwnMessagesAreUkrainian()
    {
        WriteFile(Folder() + "/Many.dat", QByteArray(SampleFile).replace("N1=60", "N1=1200"));
        WriteFile(Folder() + "/Cut.dat", "R1=0.3\r\nSysT=0.");
        WriteFile(Folder() + "/Far.dat", QByteArray(SampleFile).replace("E11=0", "E11=1e308"));
        TMaxF w;
        w.show();
        QVERIFY(w.LoadDataFile("Many.dat"));
        w.StartButClick();
        w.findChild<QSpinBox*>("SpinN1")->setValue(60);
        w.findChild<QTableWidget*>("EpsGrid")->item(0, 0)->setText("");
        w.TDFloopButClick();
        QVERIFY(!w.LoadDataFile("Cut.dat"));
        QVERIFY(!w.LoadDataFile("Far.dat"));
        const QStringList expected = {"Забагато частинок: N1 + N2 + N3 = 1260, можна не більше 1241",
                                      "Параметр E11: \"\" не є числом",
                                      "рядок не закінчується розривом рядка",
                                      "Рядок 10, параметр E11: \"1e308\" має бути не більшим за 10000"};
        QCOMPARE(messages_.size(), expected.size());
        for (int k = 0; k < expected.size(); ++k)
            QVERIFY2(messages_[k].contains(expected[k]), qPrintable(messages_[k]));
        // A refusal of the window's own fields is a sentence of its own.
        const QString text = messages_[1].mid(messages_[1].indexOf(": ") + 2);  // after the caption
        QVERIFY2(text.startsWith(expected[1]), qPrintable(messages_[1]));
        QVERIFY(!FormGL);
        QVERIFY(!w.BatchRunning());
    }
};

QTEST_MAIN(TstParticlesControl)
#include "tst_particles_control.moc"
