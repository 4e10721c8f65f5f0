// The particle demonstration's windows on a real X server. The functions
// share one control window; each starts from the sample file and opens a
// view of its own when it needs one.

#include "BmpImage.h"
#include "FChart.h"
#include "FormGL.h"
#include "MaxF.h"
#include "ParticleMessages.h"
#include "ProgramDir.h"
#include "StateWait.h"

#include <QChart>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QOpenGLWidget>
#include <QScopeGuard>
#include <QScatterSeries>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <utility>

#include <sys/stat.h>

using namespace ferrolyt::particles;

class GlParticles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QStringList messages_;
    TMaxF* control_ = nullptr;

    QByteArray Bytes(const QString& name) const
    {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static bool StatusHasNoNan(TFormGL* view)
    {
        for (int bar : {1, 2})
            for (int k = 0; k < 9; ++k) {
                const QString t = view->Panel(bar, k)->text();
                if (t.contains("NAN", Qt::CaseInsensitive) || t.contains("INF", Qt::CaseInsensitive)) {
                    qWarning() << "panel" << bar << k << t;
                    return false;
                }
            }
        return true;
    }

    // Starts the view from the control window, in a normal window of a fixed
    // size, and waits for its first frames.
    TFormGL* OpenView()
    {
        control_->StartButClick();
        TFormGL* view = FormGL;
        if (!view)
            return nullptr;
        view->showNormal();
        view->resize(960, 720);
        if (!QTest::qWaitForWindowExposed(view) || !view->ViewStarted())
            return nullptr;
        const auto frames = view->TotalFrames();
        if (!QTest::qWaitFor([&] { return view->TotalFrames() > frames + 5; }, StateWaitMs))
            return nullptr;
        return view;
    }

    // Runs frames and a statistics tick so that every text is fresh.
    static void Settle(TFormGL* view, int frames)
    {
        const auto target = view->TotalFrames() + std::uint64_t(frames);
        QTRY_VERIFY_WITH_TIMEOUT(view->TotalFrames() >= target, StateWaitMs);
        view->Timer2Timer();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        std::filesystem::copy(FERROLYT_DATA "/DezOzevev", (dir_.path() + "/DezOzevev").toStdString(),
                              std::filesystem::copy_options::recursive);
        ferrolyt::SetProgramDir(dir_.path().toStdString());
        SetParticleMessageHook([this](const QString& caption, const QString& text) {
            messages_ << caption + ": " + text;
        });
        control_ = new TMaxF();
        control_->show();
        QVERIFY(QTest::qWaitForWindowExposed(control_));
    }

    void init() { QVERIFY(control_->LoadDataFile("HardSpheres.dat")); }

    // No step of the demonstration may raise a message; no view outlives its test.
    void cleanup()
    {
        const QStringList messages = std::exchange(messages_, {});
        if (FormGL)
            delete FormGL.data();
        if (FChart)
            FChart->hide();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    }

    void cleanupTestCase()
    {
        if (FormGL)
            delete FormGL.data();
        delete control_;
        SetParticleMessageHook({});
    }

    void controlWindowLoadsTheSampleFile()
    {
        QCOMPARE(QString::fromStdString(control_->DataFile()), QString("HardSpheres.dat"));
        QCOMPARE(control_->windowTitle(), QString("Zivad Urevezozu HardSpheres.dat"));
    }

    void viewOpensAndDraws()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        QCOMPARE(view->Model().NBalls, 120);
        const QImage frame = static_cast<QOpenGLWidget*>(view->GLArea())->grabFramebuffer();
        QSet<QRgb> colours;
        for (int y = 0; y < frame.height(); y += 4)
            for (int x = 0; x < frame.width(); x += 4)
                colours.insert(frame.pixel(x, y));
        QVERIFY2(colours.size() > 10, "the frame is (nearly) uniform");
        const QString shots = qEnvironmentVariable("FERROLYT_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            view->KeyCommand('W');
            Settle(view, 60);
            view->grab().save(shots + "/screenshot-particles.png");
            view->KeyCommand('W');
        }
    }

    // A pipe named like a picture would block the view for good, and a link
    // to an endless device fill the memory: such textures are refused and
    // drawn in their plain colour.
    void texturesThatAreNoFilesGiveThePlainColour()
    {
        const std::filesystem::path folder = (dir_.path() + "/DezOzevev").toStdString();
        std::filesystem::rename(folder / "Back.bmp", folder / "Back.bmp.kept");
        std::filesystem::rename(folder / "Grass.bmp", folder / "Grass.bmp.kept");
        QCOMPARE(::mkfifo((folder / "Back.bmp").c_str(), 0644), 0);
        std::filesystem::create_symlink("/dev/zero", folder / "Grass.bmp");
        TFormGL* view = OpenView();
        std::filesystem::remove(folder / "Back.bmp");
        std::filesystem::remove(folder / "Grass.bmp");
        std::filesystem::rename(folder / "Back.bmp.kept", folder / "Back.bmp");
        std::filesystem::rename(folder / "Grass.bmp.kept", folder / "Grass.bmp");
        QVERIFY(view);
        const QImage frame = static_cast<QOpenGLWidget*>(view->GLArea())->grabFramebuffer();
        QVERIFY(!frame.isNull());
    }

    // Each frame steps the model once, and whoever reaches the model between
    // frames finds that step ended.
    void everyFrameStepsTheModelOnce()
    {
        // Enough particles that a step outlasts the paint that starts it.
        const ParticleParams saved = control_->ControlParams();
        for (int t = 1; t <= 3; ++t)
            control_->findChild<QSpinBox*>(QString("SpinN%1").arg(t))->setValue(400);
        control_->IniVButClick();
        TFormGL* view = OpenView();
        control_->SetControlParams(saved);
        QVERIFY(view);
        for (int k = 0; k < 20; ++k) {
            const auto frames = view->TotalFrames();
            const auto counter = view->Model().FrameCounter;
            static_cast<QOpenGLWidget*>(view->GLArea())->grabFramebuffer();  // one paint, now
            QCOMPARE(view->TotalFrames(), frames + 1);
            QCOMPARE(view->Model().FrameCounter, counter + 1);
        }
    }

    void savedFrameIsA24BitBitmapOfTheGlArea()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        QVERIFY(view->SaveFrame(dir_.filePath("frame.with.dots.png")));
        const QByteArray bytes = Bytes("frame.with.dots.bmp");
        QVERIFY(bytes.size() > 54);
        QCOMPARE(int(bytes[28]), 24);
        TRgbImage image;
        QVERIFY(DecodeBmp(std::string_view(bytes.constData(), std::size_t(bytes.size())), image));
        const qreal dpr = view->GLArea()->devicePixelRatioF();
        QCOMPARE(image.Width, qRound(view->GLArea()->width() * dpr));
        QCOMPARE(image.Height, qRound(view->GLArea()->height() * dpr));
    }

    void oneKeyCommandsRunWithoutNan()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        Settle(view, 3);
        QVERIFY(StatusHasNoNan(view));
        const int before = view->Model().NBalls;

        QTest::keyClick(view, 'f');
        QVERIFY(view->IsFullScreen());
        Settle(view, 2);
        QTest::keyClick(view, 'n');
        QVERIFY(!view->IsFullScreen());

        QTest::keyClick(view, 'x');
        QVERIFY(view->NoGraphicsRunning());
        const auto frameCount = view->Model().FrameCounter;
        QTRY_VERIFY_WITH_TIMEOUT(view->Model().FrameCounter > frameCount + 20, StateWaitMs);
        view->Timer2Timer();
        QVERIFY(StatusHasNoNan(view));
        // Closing during the loop without drawing only ends the loop.
        QVERIFY(!view->close());
        QVERIFY(FormGL);
        QVERIFY(!view->NoGraphicsRunning());

        for (char key : {'p', 'g', 'w', 'l', 'l', 'm'}) {
            QTest::keyClick(view, key);
            Settle(view, 2);
            QVERIFY2(StatusHasNoNan(view), &key);
        }
        QVERIFY(view->Model().Periodic);
        QVERIFY(view->Model().GravityOn);
        QVERIFY(view->ShowScenery());
        QCOMPARE(view->Model().NBalls, before - 1);
        QTest::keyClicks(view, "pgs");
        QCOMPARE(view->Model().NBalls, before - 1);  // the counts followed L and M
        Settle(view, 12);
        QVERIFY(StatusHasNoNan(view));
        QTest::keyClick(view, 'c');
        QVERIFY(FChart);
        QTRY_VERIFY_WITH_TIMEOUT(FChart->isVisible(), StateWaitMs);
        QVERIFY(FChart->TimerActive());
    }

    // Every number of the status bars reads back in the user's locale: the
    // decimal comma where the user has one, and no stray '.'.
    void statusNumbersTakeTheUsersSeparator()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        const auto restore = qScopeGuard([saved = QLocale()] { QLocale::setDefault(saved); });
        for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Ukrainian, QLocale::Ukraine)}) {
            QLocale::setDefault(locale);
            QTest::keyClick(view, Qt::Key_Left);  // the camera text anew
            Settle(view, 3);
            const QChar other = locale.decimalPoint() == QLatin1String(".") ? QLatin1Char(',') : QLatin1Char('.');
            int fractions = 0;
            for (int bar : {1, 2})
                for (int k = 0; k < 9; ++k)
                    for (const QString& word : view->Panel(bar, k)->text().split(' ', Qt::SkipEmptyParts)) {
                        if (!word.front().isDigit() && !(word.size() > 1 && word[0] == '-' && word[1].isDigit()))
                            continue;
                        bool ok = false;
                        locale.toDouble(word, &ok);
                        QVERIFY2(ok && !word.contains(other), qPrintable(locale.name() + ": " + word));
                        fractions += word.contains(locale.decimalPoint()) ? 1 : 0;
                    }
            QVERIFY2(fractions >= 5, qPrintable(locale.name()));
        }
    }

    void cameraKeysAndTinyWindows()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Left);
        QCOMPARE(int(view->Camera().CameraAzimuth), -2);
        QVERIFY(view->Panel(1, 1)->text().contains("Azi -2"));
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(int(view->Camera().CameraAzimuth), 0);
        const QSize size = view->size();
        // Smaller than the status bars: the GL area shrinks to nothing.
        view->resize(60, 10);
        Settle(view, 3);
        QVERIFY(view->Viewport().W >= 0 && view->Viewport().H >= 0);
        QVERIFY(view->Viewport().W <= view->GLArea()->width() * view->GLArea()->devicePixelRatioF());
        view->showMinimized();
        QTest::qWait(100);
        view->showNormal();
        view->resize(size);
        Settle(view, 3);
        QVERIFY(view->Viewport().W > 0 && view->Viewport().H > 0);
    }

    void viewOpensBesideTheControlWindowWithEveryPanelWhole()
    {
        control_->move(0, 0);
        control_->StartButClick();
        TFormGL* view = FormGL;
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        const QRect area = view->screen()->availableGeometry();
        QVERIFY2(!view->frameGeometry().intersects(control_->frameGeometry()),
                 qPrintable(QString("view at %1,%2").arg(view->x()).arg(view->y())));
        QVERIFY(area.contains(view->frameGeometry()));

        // The size the window is made with: every text of both bars whole,
        // in the window, with a running measurement in every panel.
        view->resize(800, 600);
        Settle(view, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);  // the new texts laid out
        for (int bar : {1, 2})
            for (int k = 0; k < 9; ++k) {
                const QLabel* panel = view->Panel(bar, k);
                const QString where = QString("panel %1 of bar %2: \"%3\"").arg(k).arg(bar).arg(panel->text());
                QVERIFY2(panel->isVisible(), qPrintable(where));
                QVERIFY2(panel->width() >= panel->sizeHint().width(), qPrintable(where));
                const QRect inView(panel->mapTo(view, QPoint(0, 0)), panel->size());
                QVERIFY2(view->rect().contains(inView), qPrintable(where));
                QVERIFY2(inView.top() >= view->GLArea()->geometry().bottom(), qPrintable(where));
            }
        QVERIFY(view->Panel(1, 0)->text().startsWith(" Fps "));
        QVERIFY(view->Panel(2, 1)->text().startsWith(" Pi = "));
    }

    void chartsShowTheirPoints()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        view->KeyCommand('C');
        QVERIFY(FChart);
        Settle(view, 15);
        FChart->TabCtrl()->setCurrentIndex(0);
        FChart->ShowGraphs();
        QCOMPARE(FChart->Series1()->count(), 97);
        FChart->TabCtrl()->setCurrentIndex(1);
        FChart->SelectTypePair(3);  // "12"
        QCOMPARE(FChart->Series1()->count(), 116);
        const QList<QPointF> p12 = FChart->Series1()->points();
        FChart->SelectTypePair(1);  // "21"
        QCOMPARE(FChart->Series1()->points(), p12);
        const QString shots = qEnvironmentVariable("FERROLYT_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            Settle(view, 150);
            FChart->TabCtrl()->setCurrentIndex(0);
            FChart->ShowGraphs();
            FChart->resize(720, 520);
            QTest::qWait(200);
            FChart->grab().save(shots + "/screenshot-charts.png");
        }
        FChart->hide();
        QVERIFY(!FChart->TimerActive());
    }

    void anEmptyTypeShowsADash()
    {
        control_->findChild<QSpinBox*>("SpinN3")->setValue(0);
        TFormGL* view = OpenView();
        QVERIFY(view);
        Settle(view, 3);
        QVERIFY2(view->Panel(1, 6)->text().endsWith(" –"), qPrintable(view->Panel(1, 6)->text()));
        QVERIFY(StatusHasNoNan(view));
        view->KeyCommand('C');
        QVERIFY(FChart);
        FChart->TabCtrl()->setCurrentIndex(1);
        FChart->SelectTypePair(8);  // "33"
        QCOMPARE(FChart->Series1()->count(), 0);
        QCOMPARE(FChart->Chart()->title(), QString("–"));
    }

    void startRestartsAnOpenView()
    {
        TFormGL* view = OpenView();
        QVERIFY(view);
        control_->findChild<QLineEdit*>("EdRad1")->setText("0.2");
        control_->StartButClick();
        QCOMPARE(FormGL.data(), view);
        QCOMPARE(view->Model().BallTypes[1].Radius, 0.2);
        QCOMPARE(view->Model().NBalls, 120);
        control_->findChild<QLineEdit*>("EdRad1")->setText("0.3");
        view->close();
        QTRY_VERIFY_WITH_TIMEOUT(!FormGL, StateWaitMs);
    }

    void calculateGivesTheSmallestBox()
    {
        const ParticleParams saved = control_->ControlParams();
        for (int t = 1; t <= 3; ++t) {
            control_->findChild<QLineEdit*>(QString("EdRad%1").arg(t))->setText("0.5");
            control_->findChild<QSpinBox*>(QString("SpinN%1").arg(t))->setValue(t == 1 ? 100 : 0);
        }
        control_->IniVButClick();
        for (QLineEdit* edit : {control_->EditLx(), control_->EditLy(), control_->EditLz()}) {
            bool ok = false;
            QCOMPARE(QLocale().toDouble(edit->text(), &ok), 2.55);
            QVERIFY2(ok, qPrintable(edit->text()));
        }
        control_->SetControlParams(saved);
    }

    void batchWritesStopsAndResumes()
    {
        BatchPlan plan;
        plan.EquilibrationFrames = 20;
        plan.Frames = 150;
        plan.LongFrames = 150;
        plan.MessageEvery = 1;
        plan.ProgressEvery = 10;
        plan.Seed = 11;
        control_->SetBatchPlan(plan);
        QSignalSpy ended(control_, &TMaxF::BatchEnded);
        control_->TDFloopButClick();
        QVERIFY(control_->BatchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(Bytes("HardSpheres.tdf").count('\n') >= 2, StateWaitMs);
        control_->TDFloopButClick();  // second click: stop
        QVERIFY(ended.wait(StateWaitMs));
        QVERIFY(!control_->BatchRunning());
        QVERIFY2(Bytes("HardSpheres.tdf").count('\n') < 26, "the batch ran to its end before the stop");
        control_->TDFloopButClick();  // resumes after the finished lines
        QVERIFY(ended.wait(60000));
        QCOMPARE(Bytes("HardSpheres.tdf").count('\n'), 26);
        const QList<QByteArray> lines = Bytes("HardSpheres.tdf").split('\n');
        QVERIFY(lines[0].startsWith("N1 N2 P1 P2 P"));
        // Compositions follow each other without a gap or a repeat: N2 of
        // the last line is all of types 1 and 2 (100 percent).
        QVERIFY(lines[1].startsWith("100 0 "));
        QVERIFY(lines[25].startsWith("0 100 "));
    }
};

QTEST_MAIN(GlParticles)
#include "gl_particles.moc"
