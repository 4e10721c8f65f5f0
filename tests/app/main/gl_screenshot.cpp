// The main window after the start-up melt of the sample project, drawn on a
// real X server at its default size. With FERROLYT_SCREENSHOT_DIR set
// (scripts/screenshots) the picture is kept there for the README; otherwise
// it goes to a temporary folder, so a test run never changes the source
// tree. What the real fonts draw is also looked at: no value is cut.
// Closing the main window closes the particle view it started.

#include "FForw.h"

#include "FormGL.h"
#include "LayoutChecks.h"
#include "MaxF.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "RunState.h"
#include "Settings.h"
#include "StateWait.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace ferrolyt;

class GlScreenshot : public QObject {
    Q_OBJECT

    static bool CopyFiles(const QString& from, const QString& to)
    {
        if (!QDir().mkpath(to))
            return false;
        for (const QString& f : QDir(from).entryList(QDir::Files))
            if (!QFile::copy(from + "/" + f, to + "/" + f))
                return false;
        return true;
    }

private slots:
    void mainWindowAfterMelt()
    {
        QStringList texts;
        QtHost::SetMessageHook([&texts](const QtHost::Message& m) {
            texts << m.text;
            return QMessageBox::Ok;
        });
        SetOptionDefaults();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(CopyFiles(FERROLYT_DATA, dir.path()));
        QVERIFY(CopyFiles(QString(FERROLYT_DATA) + "/DezOzevev", dir.filePath("DezOzevev")));
        SetProgramDir(dir.path().toStdString());
        QtHost host;
        TFForw window;
        host.AttachWindow(&window, window.SBarPanels);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join("; ")));
        QVERIFY(ResultsShown);
        QCOMPARE(window.size(), QSize(1180, 760));
        QTest::qWait(200);
        QVERIFY2(CutInMainWindow(window).isEmpty(), qPrintable(CutInMainWindow(window).join("; ")));

        const QImage shot = window.grab().toImage();
        QVERIFY(!shot.isNull());
        QCOMPARE(shot.width(), window.width());
        const QString folder = qEnvironmentVariable("FERROLYT_SCREENSHOT_DIR", dir.path());
        const QString path = folder + "/screenshot-main.png";
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(shot.save(path));

        window.DemonM->trigger();
        window.MaxF->StartButClick();
        QPointer<particles::TFormGL> view = particles::FormGL.data();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view.data()));
        QVERIFY(window.close());
        QTRY_VERIFY_WITH_TIMEOUT(!view || !view->isVisible(), StateWaitMs);
        QtHost::SetMessageHook({});
    }
};

QTEST_MAIN(GlScreenshot)
#include "gl_screenshot.moc"
