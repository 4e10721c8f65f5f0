// The main window after the start-up melt of the sample project, drawn on a
// real X server. With FERROLYT_SCREENSHOT_DIR set (scripts/screenshots) the
// picture is kept there for the README; otherwise it goes to a temporary
// folder, so a test run never changes the source tree.

#include "FForw.h"

#include "ProgramDir.h"
#include "QtHost.h"
#include "RunState.h"
#include "Settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace ferrolyt;

class GlScreenshot : public QObject {
    Q_OBJECT

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
        for (const QString& f : QDir(FERROLYT_DATA).entryList(QDir::Files))
            QVERIFY(QFile::copy(QString(FERROLYT_DATA) + "/" + f, dir.filePath(f)));
        SetProgramDir(dir.path().toStdString());
        QtHost host;
        TFForw window;
        host.AttachWindow(&window, window.SBarPanels);
        window.resize(1280, 760);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join("; ")));
        QVERIFY(ResultsShown);
        QTest::qWait(200);

        const QImage shot = window.grab().toImage();
        QVERIFY(!shot.isNull());
        QCOMPARE(shot.width(), window.width());
        const QString folder = qEnvironmentVariable("FERROLYT_SCREENSHOT_DIR", dir.path());
        const QString path = folder + "/screenshot-main.png";
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(shot.save(path));
        QtHost::SetMessageHook({});
        window.close();
    }
};

QTEST_MAIN(GlScreenshot)
#include "gl_screenshot.moc"
