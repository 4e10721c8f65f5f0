#include "FormGL.h"

#include "BmpImage.h"
#include "FChart.h"
#include "ParticleFiles.h"
#include "ParticleKeys.h"
#include "ParticleMessages.h"
#include "PanelRows.h"
#include "ParticleStats.h"
#include "ProgramDir.h"
#include "ScreenText.h"
#include "SphereDetail.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>

namespace ferrolyt::particles {

QPointer<TFormGL> FormGL;

namespace {

Qt::WindowStates savedState = Qt::WindowMaximized;

constexpr int FrameIntervalMs = 20;
constexpr double FieldOfViewDegrees = 30;
constexpr double NearPlane = 1, FarPlane = 50;
// Lists 1..5 (frame start, the three spheres, the scenery), then the sphere
// geometry of each type at each level of detail.
constexpr int ListCount = 5 + 3 * int(SphereFacets.size());
constexpr int StatisticsIntervalMs = 1000;
constexpr int BarHeight = 20;
// The loop without drawing returns to the event loop this often.
constexpr auto NoGraphicsSlice = std::chrono::milliseconds(15);

struct TTextureFile {
    const char* name;
    bool scrambled;
    std::uint8_t r, g, b;  // the plain colour used when the file cannot be read
};
constexpr std::array<TTextureFile, 6> TextureFiles = {{
    {"Back.bmp", false, 90, 130, 200},
    {"Grass.bmp", false, 60, 140, 60},
    {"Brick.bmp", false, 160, 70, 50},
    {"RedBall.bmp", true, 210, 30, 30},
    {"BlkBall.bmp", true, 40, 40, 40},
    {"GrnBall.bmp", true, 30, 170, 60},
}};

QSurfaceFormat CompatibilityFormat()
{
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(16);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setAlphaBufferSize(8);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

Qt::WindowStates SavedWindowState() { return savedState; }

// --- GL area ----------------------------------------------------------------

TGLArea::TGLArea(TFormGL* owner) : QOpenGLWidget(owner), owner_(owner)
{
    setFormat(CompatibilityFormat());
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(1, 1);
}

TGLArea::~TGLArea()
{
    // The context dies in the base destructor, after this object is gone:
    // release the window's lists and textures while both are still whole.
    disconnect(contextGone_);
    ReleaseGL();
}

void TGLArea::ReleaseGL()
{
    makeCurrent();
    owner_->DoneGL();
    doneCurrent();
}

void TGLArea::initializeGL()
{
    // A context made again (the widget moved to another top-level window)
    // takes the window's objects with it.
    disconnect(contextGone_);
    contextGone_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { ReleaseGL(); },
                           Qt::DirectConnection);
    owner_->InitGL();
}

void TGLArea::resizeGL(int w, int h)
{
    const qreal dpr = devicePixelRatioF();
    owner_->FormResize(int(std::lround(w * dpr)), int(std::lround(h * dpr)));
}

void TGLArea::paintGL() { owner_->FormPaint(); }

void TGLArea::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        QOpenGLWidget::mousePressEvent(e);
        return;
    }
    owner_->MouseDown();
}

void TGLArea::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        QOpenGLWidget::mouseReleaseEvent(e);
        return;
    }
    owner_->MouseUp();
}

void TGLArea::wheelEvent(QWheelEvent* e)
{
    owner_->Wheel(e->angleDelta().y(), e->modifiers() == Qt::ShiftModifier);
}

// --- Window -------------------------------------------------------------------

TFormGL::TFormGL(std::unique_ptr<ParticleModel> model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(std::move(model))
{
    setObjectName("FormGL");
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    resize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    area_ = new TGLArea(this);
    layout->addWidget(area_, 1);
    // Every panel is as wide as its text at least; the spare width goes by
    // the usual length of the texts, and a narrow window wraps a bar.
    constexpr std::array<int, 9> Bar1Stretch = {2, 7, 3, 3, 3, 2, 6, 6, 2};
    constexpr std::array<int, 9> Bar2Stretch = {2, 6, 4, 4, 3, 1, 3, 3, 1};
    auto makeBar = [&](const char* name, std::array<QLabel*, 9>& panels, const std::array<int, 9>& stretch) {
        auto* bar = new QWidget(this);
        bar->setObjectName(name);
        auto* rows = new TPanelRows(bar, BarHeight);
        for (int k = 0; k < 9; ++k) {
            panels[k] = new QLabel(bar);
            panels[k]->setObjectName(QString("%1Panel%2").arg(name).arg(k));
            panels[k]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            rows->AddPanel(panels[k], stretch[k]);
        }
        return bar;
    };
    bar2Widget_ = makeBar("SBar2", bar2_, Bar2Stretch);
    bar1Widget_ = makeBar("SBar1", bar1_, Bar1Stretch);
    layout->addWidget(bar2Widget_);
    layout->addWidget(bar1Widget_);

    // Popup menu; the items send their key as a one-key command.
    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu1");
    normScrM_ = AddItem("NormScrM", "Нормальный экран (N)", 'N');
    fullScrM_ = AddItem("FullScrM", "Полный экран (F)", 'F');
    AddItem("M6", "Ускорить (+)", '=');
    AddItem("M7", "Замедлить (-)", '-');
    AddItem("M5", "Начать измерение (B)", 'B');
    AddItem("ChartM", "Графики (C)", 'C');
    popup_->addSeparator();
    AddItem("FixEM", "Микрокан. ансамбль (E)", 'E');
    AddItem("FixKM", "Изокин. ансамбль (K)", 'K');
    AddItem("FixTM", "Канонич. ансамбль (T)", 'T');
    AddItem("M8", "Без взаимодействия (R)", 'R');
    popup_->addSeparator();
    AddItem("M2", "Гравитация (G)", 'G');
    AddItem("M3", "Плоскость XY (H)", 'H');
    AddItem("M4", "Плоскость XZ (V)", 'V');
    lessBallsM_ = AddItem("LessBallsM", "Удалить частицу (L)", 'L');
    moreBallsM_ = AddItem("MoreBallsM", "Добавить частицу (M)", 'M');
    AddItem("M1", "Перезапуск (S)", 'S');
    AddItem("M9", "Стены (W)", 'W');
    AddItem("HideM", "Без графики (X)", 'X');
    popup_->addSeparator();
    auto addCommand = [&](const char* name, const QString& caption, const QKeySequence& keys, auto handler) {
        auto* a = popup_->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);  // the shortcut works without the menu
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    addCommand("IncVM", "Увеличить объем на 1%", QKeySequence(Qt::CTRL | Qt::Key_V), [this] {
        Model().ChangeVolume(true);
    });
    addCommand("DecVM", "Уменьшить объем на 1%", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_V), [this] {
        Model().ChangeVolume(false);
    });
    gravMoreM_ = addCommand("GravMoreM", "Увеличить G на 10%", QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
        if (Model().GravityOn)
            Model().ScaleGravity(1.1);
    });
    gravLessM_ = addCommand("GravLessM", "Уменьшить G на 10%", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G), [this] {
        if (Model().GravityOn)
            Model().ScaleGravity(1 / 1.1);
    });
    addCommand("Saveimage1", "Сохранить кадр...", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveImageClick(); });
    connect(popup_, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });

    frameClock_.setTimerType(Qt::PreciseTimer);
    frameClock_.setInterval(FrameIntervalMs);
    connect(&frameClock_, &QTimer::timeout, area_, qOverload<>(&QWidget::update));
    timer2_.setInterval(StatisticsIntervalMs);
    connect(&timer2_, &QTimer::timeout, this, [this] { Timer2Timer(); });
    noGraphicsTimer_.setInterval(0);
    connect(&noGraphicsTimer_, &QTimer::timeout, this, [this] { NoGraphicsTick(); });

    model_->SetMessageSink([this](const std::string& caption, const std::string& text) {
        ShowParticleMessage(this, Q(caption), Q(text));
    });
    model_->GravityOn = false;
    model_->ApplyGravitySetting();
    model_->Seed(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    model_->NoGraphicsRun = false;
    model_->BatchMode = false;
    started_ = model_->SetupParticles();
    gravMoreM_->setEnabled(model_->GravityOn);
    gravLessM_->setEnabled(model_->GravityOn);

    setWindowState(savedState);
    FormGL = this;
    if (started_) {
        StartFrameClock();
        timer2_.start();
        ShowCameraStatus();
    }
    fullScrM_->setVisible(true);
    normScrM_->setVisible(false);
}

TFormGL::~TFormGL()
{
    FinishStep();
    frameClock_.stop();
    timer2_.stop();
    noGraphicsTimer_.stop();
    // The GL area goes first, while the window whose objects it releases is whole.
    delete area_;
    area_ = nullptr;
    if (FormGL == this)
        FormGL = nullptr;
}

QWidget* TFormGL::GLArea() const { return area_; }

QLabel* TFormGL::Panel(int bar, int index) const
{
    if (index < 0 || index > 8)
        return nullptr;
    return bar == 2 ? bar2_[index] : bar1_[index];
}

QAction* TFormGL::AddItem(const char* name, const QString& caption, QChar tag)
{
    QAction* a = popup_->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, tag] { KeyCommand(tag); });
    return a;
}

// --- OpenGL -------------------------------------------------------------------

void TFormGL::InitGL()
{
    if (glReady_)
        DoneGL();
    glEnableClientState(GL_VERTEX_ARRAY);
    const GLfloat ambient[] = {0.12f, 0.12f, 0.12f, 1};
    const GLfloat white[] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 60);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat lightPos[] = {1, 1, 1, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPos);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    GLuint names[6];
    glGenTextures(6, names);
    for (int k = 0; k < 6; ++k) {
        textures_[k] = names[k];
        LoadTexture(k, TextureFiles[k].name, TextureFiles[k].scrambled);
    }
    camera_.Rebuild();
    aspectPending_ = true;
    listBase_ = glGenLists(ListCount);
    glReady_ = true;
    BuildLists();
    ShowCameraStatus();
    framesDrawn_ = 0;
}

void TFormGL::DoneGL()
{
    if (!glReady_)
        return;
    if (listBase_)
        glDeleteLists(listBase_, ListCount);
    listBase_ = 0;
    GLuint names[6];
    for (int k = 0; k < 6; ++k)
        names[k] = textures_[k];
    glDeleteTextures(6, names);
    textures_ = {};
    glReady_ = false;
}

void TFormGL::LoadTexture(int slot, const char* name, bool scrambled)
{
    const TTextureFile& file = TextureFiles[slot];
    // Opened as every data file is: a pipe or a device named like a
    // picture must neither hang the view nor fill the memory. A missing or
    // refused picture gives a plain colour instead of stopping the view.
    TRgbImage image;
    const std::filesystem::path folder =
        ParticleFilesFolder(std::filesystem::path(QDir::currentPath().toStdString()), std::filesystem::path(ProgramDir()));
    if (!ReadTexture(folder / name, scrambled, image))
        image = PlainImage(8, 8, file.r, file.g, file.b);
    glBindTexture(GL_TEXTURE_2D, textures_[slot]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.Width, image.Height, 0, GL_RGB, GL_UNSIGNED_BYTE, image.Rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void TFormGL::BuildLists()
{
    if (!glReady_)
        return;
    // 1: frame start.
    glNewList(listBase_, GL_COMPILE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEndList();
    // The sphere geometry of each type at each level of detail, and 2..4:
    // the spheres of the three types (texture and the finest geometry).
    GLUquadric* quadric = gluNewQuadric();
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    for (int t = 1; t <= 3; ++t) {
        const double radius = Model().BallTypes[t].Radius;
        listRadii_[t - 1] = radius;
        for (int level = 0; level < int(SphereFacets.size()); ++level) {
            glNewList(DetailList(t, level), GL_COMPILE);
            const TSphereFacets f = SphereFacets[level];
            gluSphere(quadric, std::isfinite(radius) && radius > 0 ? radius : 0.5, f.Slices, f.Stacks);
            glEndList();
        }
        glNewList(listBase_ + t, GL_COMPILE);
        glBindTexture(GL_TEXTURE_2D, textures_[2 + t]);
        glCallList(DetailList(t, 0));
        glLoadIdentity();
        glEndList();
    }
    gluDeleteQuadric(quadric);
    // 5: the scenery, fixed in size whatever the box.
    glNewList(listBase_ + 4, GL_COMPILE);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, textures_[0]);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-3, -3, -5);
    glTexCoord2f(2, 0);
    glVertex3f(3, -3, -5);
    glTexCoord2f(2, 1);
    glVertex3f(3, 3, -5);
    glTexCoord2f(0, 1);
    glVertex3f(-3, 3, -5);
    glEnd();
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    {
        const GLfloat s[] = {0.5f, 0.5f, 0, 0}, t[] = {0, 0.5f, 0.5f, 0.5f};
        glTexGenfv(GL_S, GL_OBJECT_PLANE, s);
        glTexGenfv(GL_T, GL_OBJECT_PLANE, t);
    }
    glBindTexture(GL_TEXTURE_2D, textures_[1]);
    glBegin(GL_QUADS);
    glVertex3f(-4, -3, -5);
    glVertex3f(-4, -3, 5);
    glVertex3f(4, -3, 5);
    glVertex3f(4, -3, -5);
    glEnd();
    {
        const GLfloat s[] = {0.5f, 0, 0.5f, 0}, t[] = {0, 0.5f, 0, 0.5f};
        glTexGenfv(GL_S, GL_OBJECT_PLANE, s);
        glTexGenfv(GL_T, GL_OBJECT_PLANE, t);
    }
    glBindTexture(GL_TEXTURE_2D, textures_[2]);
    for (int copy = 0; copy < 2; ++copy) {
        if (copy == 1)
            glTranslatef(-7, 0, 0);
        // The slab's outline in the x-y plane, extruded from z = -5 to 5.
        const GLfloat outline[5][2] = {{3, -3}, {4, -3}, {4, 3}, {3, 3}, {3, -3}};
        glBegin(GL_QUAD_STRIP);
        for (const auto& p : outline) {
            glVertex3f(p[0], p[1], -5);
            glVertex3f(p[0], p[1], 5);
        }
        glEnd();
    }
    glLoadIdentity();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_2D);
    glColor4ub(204, 204, 204, 204);
    glBegin(GL_QUADS);
    glVertex3f(-5, 3, -5);
    glVertex3f(5, 3, -5);
    glVertex3f(5, 3, 5);
    glVertex3f(-5, 3, 5);
    glEnd();
    glColor3f(1, 1, 1);
    glEnable(GL_LIGHTING);
    glEndList();
}

void TFormGL::TakeSpheres()
{
    ParticleModel& model = Model();
    for (auto& list : spheres_)
        list.clear();
    for (int i = 0; i < model.NBalls; ++i) {
        TBall& ball = model.Balls[i];
        const float* a = ball.SpinAxis;
        if (ball.SpinRate != 0 && (a[0] != 0 || a[1] != 0 || a[2] != 0) && std::isfinite(ball.SpinRate)) {
            TMatrix4 rotation;
            std::copy(std::begin(ball.Rotation), std::end(ball.Rotation), rotation.begin());
            rotation = MultiplyMatrix(RotationMatrix(ball.SpinRate, a[0], a[1], a[2]), rotation);
            std::copy(rotation.begin(), rotation.end(), std::begin(ball.Rotation));
        }
        // The translation times the turn, as glTranslate then glMultMatrix
        // would make it, so that one matrix load places the sphere.
        TSpherePlacement sphere{ball.X, ball.Y, ball.Z, {}};
        const float t[3] = {float(ball.X), float(ball.Y), float(ball.Z)};
        for (int column = 0; column < 4; ++column)
            for (int row = 0; row < 4; ++row)
                sphere.Matrix[std::size_t(4 * column + row)] =
                    ball.Rotation[4 * column + row] + (row < 3 ? t[row] * ball.Rotation[4 * column + 3] : 0.0f);
        spheres_[std::size_t(ball.BallType >= 1 && ball.BallType <= 3 ? ball.BallType - 1 : 0)].push_back(sphere);
    }
}

void TFormGL::FinishStep() const
{
    if (step_.valid())
        step_.get();
}

void TFormGL::FormResize(int w, int h)
{
    // The GL area lies above the bars already, so no bar height is taken off.
    if (aspectPending_ && w > 0 && h > 0) {
        viewAspect_ = ViewAspectFor(w, h, 0, viewAspect_);
        aspectPending_ = false;
    }
    viewport_ = FitViewport(w, h, 0, viewAspect_);
}

void TFormGL::FormPaint()
{
    if (!started_ || !glReady_) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    // The picture and the energy texts are of the frame the last step made;
    // the next step runs while they are drawn. Everything else that reaches
    // the model waits for it first, so the model meets the user's commands
    // between frames just as if the step ran here.
    TakeSpheres();
    if (!model_->NoGraphicsRun && !mouseHeld_) {
        ShowFrameTexts();
        step_ = std::async(std::launch::async, [model = model_.get()] { model->DoSteps(); });
    }
    glViewport(viewport_.X, viewport_.Y, viewport_.W, viewport_.H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FieldOfViewDegrees, viewAspect_, NearPlane, FarPlane);
    glMultMatrixf(camera_.Matrix().data());
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0, 0, 0, 1);
    glCallList(listBase_);
    // The spheres type by type, so that each texture is bound once a frame,
    // each with the facets its size on the screen needs, and none that lies
    // wholly outside the view. Their back faces lie behind their front
    // ones: culled, they cost nothing to draw. Nearest first (the largest
    // on the screen of a type), so that the depth test spares the texturing
    // and lighting of the many spheres hidden behind them.
    glEnable(GL_CULL_FACE);
    for (int t = 1; t <= 3; ++t) {
        const double radius = listRadii_[t - 1];
        inView_.clear();
        for (const TSpherePlacement& sphere : spheres_[std::size_t(t - 1)])
            if (SphereInView(camera_.Matrix(), sphere.X, sphere.Y, sphere.Z, radius, FieldOfViewDegrees, viewAspect_,
                             NearPlane, FarPlane))
                inView_.push_back({ProjectedRadius(camera_.Matrix(), sphere.X, sphere.Y, sphere.Z, radius, viewport_.H,
                                                   FieldOfViewDegrees),
                                   &sphere});
        std::sort(inView_.begin(), inView_.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        glBindTexture(GL_TEXTURE_2D, textures_[2 + t]);
        for (const auto& [pixels, sphere] : inView_) {
            glLoadMatrixf(sphere->Matrix.data());
            glCallList(DetailList(t, SphereDetailLevel(pixels)));
        }
    }
    glDisable(GL_CULL_FACE);
    glLoadIdentity();
    if (showScenery_)
        glCallList(listBase_ + 4);
    ++framesDrawn_;
    ++totalFrames_;
}

// --- Clock, statistics and texts ----------------------------------------------

void TFormGL::StartFrameClock()
{
    if (!started_)
        return;
    frameClock_.start();
    if (fullScreen_ && cursorShown_) {
        setCursor(Qt::BlankCursor);
        cursorShown_ = false;
    }
}

void TFormGL::StopFrameClock()
{
    frameClock_.stop();
    if (fullScreen_ && !cursorShown_) {
        unsetCursor();
        cursorShown_ = true;
    }
}

void TFormGL::ShowCameraStatus()
{
    bar1_[1]->setText(ScreenText(CameraText(camera_.CameraEye[0], camera_.CameraEye[1], camera_.CameraEye[2],
                                            camera_.CameraAzimuth, camera_.CameraSlope)));
}

void TFormGL::ShowFrameTexts()
{
    if (Model().BatchMode)
        return;
    const auto texts = FrameTexts(Model());
    for (int k = 0; k < 3; ++k)
        bar1_[2 + k]->setText(ScreenText(texts[k]));
}

void TFormGL::Timer2Timer()
{
    const TStatusTexts texts = StatisticsTick(Model(), framesDrawn_);
    for (int k = 0; k < 9; ++k) {
        if (texts.Bar1Set[k])
            bar1_[k]->setText(ScreenText(texts.Bar1[k]));
        if (texts.Bar2Set[k])
            bar2_[k]->setText(ScreenText(texts.Bar2[k]));
    }
    framesDrawn_ = 0;
}

void TFormGL::NoGraphicsTick()
{
    ParticleModel& model = Model();
    if (!model.NoGraphicsRun) {
        noGraphicsTimer_.stop();
        return;
    }
    const auto until = std::chrono::steady_clock::now() + NoGraphicsSlice;
    do {
        if (!model.DoSteps())
            break;
    } while (std::chrono::steady_clock::now() < until);
    ShowFrameTexts();
}

void TFormGL::ToggleNoGraphics()
{
    if (!started_)
        return;
    ParticleModel& model = Model();
    model.NoGraphicsRun = !model.NoGraphicsRun;
    if (model.NoGraphicsRun) {
        if (fullScreen_)
            LeaveFullScreen();
        StopFrameClock();
        noGraphicsTimer_.start();
    } else {
        noGraphicsTimer_.stop();
        StartFrameClock();
    }
}

// --- Commands -------------------------------------------------------------------

void TFormGL::KeyCommand(QChar key)
{
    const TKeyCommand command = KeyCommandFor(key.toUpper().unicode());
    if (!started_ && command != TKeyCommand::Escape && command != TKeyCommand::NormalScreen)
        return;
    const TKeyResult result = ApplyKeyCommand(Model(), command);
    if (result == TKeyResult::Done) {
        if (command == TKeyCommand::Gravity) {
            gravMoreM_->setEnabled(Model().GravityOn);
            gravLessM_->setEnabled(Model().GravityOn);
        }
        return;
    }
    if (result == TKeyResult::Refused) {
        if (command == TKeyCommand::EnsembleNVT)
            ShowParticleMessage(this, windowTitle(), "Канонічному ансамблю потрібне kT: задайте kT або дайте розрахунку спершу виміряти його.");
        return;
    }
    switch (command) {
    case TKeyCommand::NormalScreen:
        if (fullScreen_)
            LeaveFullScreen();
        break;
    case TKeyCommand::Escape:
        if (fullScreen_)
            LeaveFullScreen();
        else
            close();
        break;
    case TKeyCommand::Charts:
        if (FChart) {
            FChart->show();
            FChart->raise();
        }
        break;
    case TKeyCommand::FullScreen:
        if (!fullScreen_ && !Model().NoGraphicsRun)
            EnterFullScreen();
        break;
    case TKeyCommand::Scenery: showScenery_ = !showScenery_; break;
    case TKeyCommand::NoGraphics: ToggleNoGraphics(); break;
    default: break;
    }
}

bool TFormGL::Restart(const ParticleParams& params)
{
    std::string error;
    if (!ReadModelParams(params, Model(), &error)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return false;
    }
    ParticleModel& model = Model();
    model.BatchMode = false;
    const bool ok = model.SetupParticles();
    if (ok && glReady_) {
        area_->makeCurrent();
        BuildLists();
        area_->doneCurrent();
    }
    if (ok && !started_) {
        started_ = true;
        timer2_.start();
        if (!Model().NoGraphicsRun)
            StartFrameClock();
        ShowCameraStatus();
    }
    area_->update();
    return ok;
}

void TFormGL::PopupMenu1Popup()
{
    const ParticleModel& model = Model();
    moreBallsM_->setEnabled(model.NBalls < MaxBalls);
    lessBallsM_->setEnabled(model.NBalls >= 2);
    gravMoreM_->setEnabled(model.GravityOn);
    gravLessM_->setEnabled(model.GravityOn);
    fullScrM_->setVisible(!fullScreen_);
    normScrM_->setVisible(fullScreen_);
}

void TFormGL::contextMenuEvent(QContextMenuEvent* e) { popup_->popup(e->globalPos()); }

void TFormGL::keyPressEvent(QKeyEvent* e)
{
    TCameraKey key;
    switch (e->key()) {
    case Qt::Key_PageUp: key = TCameraKey::PageUp; break;
    case Qt::Key_PageDown: key = TCameraKey::PageDown; break;
    case Qt::Key_Home: key = TCameraKey::Home; break;
    case Qt::Key_Left: key = TCameraKey::Left; break;
    case Qt::Key_Right: key = TCameraKey::Right; break;
    case Qt::Key_Up: key = TCameraKey::Up; break;
    case Qt::Key_Down: key = TCameraKey::Down; break;
    case Qt::Key_Escape: KeyCommand(QChar(27)); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: KeyCommand(QChar('\r')); return;
    default: {
        const QString text = e->text();
        if (text.size() == 1 && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            KeyCommand(text.at(0));
        else
            QWidget::keyPressEvent(e);
        return;
    }
    }
    const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    TCameraModifier modifier = TCameraModifier::None;
    if (mods == Qt::ShiftModifier)
        modifier = TCameraModifier::Shift;
    else if (mods == Qt::AltModifier)
        modifier = TCameraModifier::Alt;
    camera_.Key(key, modifier);
    ShowCameraStatus();
}

void TFormGL::Wheel(int delta, bool shift)
{
    camera_.Wheel(delta, shift);
    ShowCameraStatus();
}

void TFormGL::MouseDown()
{
    if (Model().NoGraphicsRun)
        return;
    mouseHeld_ = true;
    StopFrameClock();
}

void TFormGL::MouseUp()
{
    if (Model().NoGraphicsRun || !mouseHeld_)
        return;
    mouseHeld_ = false;
    StartFrameClock();
}

// --- Full screen ------------------------------------------------------------------

void TFormGL::SetBarsVisible(bool visible)
{
    bar1Widget_->setVisible(visible);
    bar2Widget_->setVisible(visible);
}

void TFormGL::EnterFullScreen()
{
    if (fullScreen_ || Model().NoGraphicsRun)
        return;
    fullScreen_ = true;
    savedWindowState_ = windowState() & ~Qt::WindowFullScreen;
    if (savedWindowState_ == Qt::WindowNoState)
        savedBounds_ = geometry();
    SetBarsVisible(false);
    showScenery_ = false;
    aspectPending_ = true;
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    showFullScreen();
    if (frameClock_.isActive() && cursorShown_) {
        setCursor(Qt::BlankCursor);
        cursorShown_ = false;
    }
    fullScrM_->setVisible(false);
    normScrM_->setVisible(true);
}

void TFormGL::LeaveFullScreen()
{
    if (!fullScreen_)
        return;
    fullScreen_ = false;
    if (!cursorShown_) {
        unsetCursor();
        cursorShown_ = true;
    }
    setWindowFlags(Qt::Window);
    SetBarsVisible(true);
    aspectPending_ = true;
    if (savedWindowState_ & Qt::WindowMaximized)
        showMaximized();
    else {
        showNormal();
        if (savedBounds_.isValid())
            setGeometry(savedBounds_);
    }
    fullScrM_->setVisible(true);
    normScrM_->setVisible(false);
}

// --- Saving a frame -----------------------------------------------------------------

void TFormGL::SaveImageClick()
{
    const bool wasRunning = frameClock_.isActive();
    StopFrameClock();
    QFileDialog dialog(this, QString(), QDir::currentPath(), "BMP graphic files (*.bmp)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("bmp");
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (wasRunning)
        StartFrameClock();
    if (accepted)
        SaveFrame(dialog.selectedFiles().first());
}

bool TFormGL::SaveFrame(const QString& fileName)
{
    // The full name is kept; only its extension becomes ".bmp".
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    QString target = fileName;
    if (!suffix.isEmpty() && !info.fileName().startsWith('.'))
        target.chop(suffix.size() + 1);
    target += ".bmp";

    const QImage frame = area_->grabFramebuffer().convertToFormat(QImage::Format_RGB888);
    TRgbImage image;
    image.Width = frame.width();
    image.Height = frame.height();
    image.Rgb.resize(std::size_t(image.Width) * std::size_t(image.Height) * 3);
    for (int y = 0; y < image.Height; ++y) {
        // The bitmap's rows run bottom up.
        const uchar* src = frame.constScanLine(image.Height - 1 - y);
        std::copy(src, src + std::size_t(image.Width) * 3, image.Rgb.begin() + std::ptrdiff_t(y) * image.Width * 3);
    }
    const std::string bytes = EncodeBmp24(image);
    QFile out(target);
    if (bytes.empty() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !out.flush()) {
        ShowParticleMessage(this, windowTitle(), "Неможливо зберегти кадр у " + target);
        return false;
    }
    return true;
}

// --- Closing -----------------------------------------------------------------------

void TFormGL::closeEvent(QCloseEvent* e)
{
    // Closing during the loop without drawing only ends the loop.
    if (Model().NoGraphicsRun) {
        e->ignore();
        ToggleNoGraphics();
        return;
    }
    StopFrameClock();
    timer2_.stop();
    if (fullScreen_) {
        fullScreen_ = false;
        setWindowFlags(Qt::Window);
        setWindowState(savedWindowState_);
    }
    savedState = windowState() & ~Qt::WindowFullScreen;
    if (savedState & Qt::WindowMinimized)
        savedState = Qt::WindowNoState;
    e->accept();
}

} // namespace ferrolyt::particles
