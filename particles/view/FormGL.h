#pragma once
// The 3D window of the particle demonstration: it owns one ParticleModel,
// advances it by one frame per paint and draws the spheres with their
// textures and spin through fixed-function OpenGL (display lists, GLU
// spheres, texture generation), so it asks for a compatibility-profile
// context. Keys, mouse and a popup menu steer the camera, the model and the
// window; two status bars show the statistics once a second.
//
// The frame clock is a precise 20 ms timer that only asks for a repaint;
// Qt merges repaint requests that arrive while one is pending, which drops
// a frame when the previous one is still being computed. The loop without
// drawing is a state driven by a zero-interval timer, so the window, its
// menus and its timers keep running while it goes on.

#include "ParticleModel.h"
#include "ViewCamera.h"
#include "ViewportFit.h"

#include <QAction>
#include <QMenu>
#include <QOpenGLWidget>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QMenu;

namespace ferrolyt::particles {

class TFormGL;
struct ParticleParams;

// The GL area above the status bars; it forwards its events to the window.
class TGLArea : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TGLArea(TFormGL* owner);
    ~TGLArea() override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void ReleaseGL();

    TFormGL* owner_;
    QMetaObject::Connection contextGone_;
};

class TFormGL : public QWidget {
    Q_OBJECT
public:
    // Takes a model whose parameters have been read; sets it up and starts
    // the view (without a picture when the box is too small).
    explicit TFormGL(std::unique_ptr<ParticleModel> model, QWidget* parent = nullptr);
    ~TFormGL() override;

    // The model, once the step running beside the drawing has ended.
    ParticleModel& Model()
    {
        FinishStep();
        return *model_;
    }
    const TCamera& Camera() const { return camera_; }
    bool ViewStarted() const { return started_; }
    bool IsFullScreen() const { return fullScreen_; }
    bool NoGraphicsRunning() const
    {
        FinishStep();
        return model_->NoGraphicsRun;
    }
    bool ShowScenery() const { return showScenery_; }
    std::uint32_t FramesDrawn() const { return framesDrawn_; }
    std::uint64_t TotalFrames() const { return totalFrames_; }
    QWidget* GLArea() const;
    QLabel* Panel(int bar, int index) const;  // bar 1 (bottom) or 2
    QMenu* PopupMenu() const { return popup_; }

    // Restart with new parameters (the control window's Start while the view
    // is open): the fields are read into the model, the particles set up
    // again and the sphere lists rebuilt for the new radii. False, with a
    // message, when the fields are unusable (nothing changes then).
    bool Restart(const ParticleParams& params);

    // One-key command (the key as typed; upper-cased here).
    void KeyCommand(QChar key);
    // Saves the current frame as a 24-bit bitmap; the name's extension
    // becomes ".bmp". False, with a message, when it cannot be written.
    bool SaveFrame(const QString& fileName);

    // The statistics tick (every second while the view runs).
    void Timer2Timer();

    void EnterFullScreen();
    void LeaveFullScreen();

    // Letterboxed viewport inside the GL area (device pixels).
    TViewportRect Viewport() const { return viewport_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    friend class TGLArea;

    void InitGL();
    void DoneGL();
    void BuildLists();
    unsigned DetailList(int type, int level) const { return listBase_ + 5 + unsigned(3 * level + type - 1); }
    void LoadTexture(int slot, const char* name, bool scrambled);
    // Turns each sphere by its spin and takes where the frame draws it.
    void TakeSpheres();
    void FinishStep() const;
    void FormPaint();
    void FormResize(int w, int h);
    void StartFrameClock();
    void StopFrameClock();
    void ShowCameraStatus();
    void ShowFrameTexts();
    void NoGraphicsTick();
    void ToggleNoGraphics();
    void PopupMenu1Popup();
    void SaveImageClick();
    void MouseDown();
    void MouseUp();
    void Wheel(int delta, bool shift);
    QAction* AddItem(const char* name, const QString& caption, QChar tag);
    void SetBarsVisible(bool visible);

    std::unique_ptr<ParticleModel> model_;
    // The next frame's physics, running while the last one is drawn.
    mutable std::future<void> step_;
    // A sphere as the frame draws it: its centre and its model matrix.
    struct TSpherePlacement {
        double X, Y, Z;
        std::array<float, 16> Matrix;
    };
    std::array<std::vector<TSpherePlacement>, 3> spheres_;  // by type
    std::vector<std::pair<double, const TSpherePlacement*>> inView_;  // projected radius, sphere
    TCamera camera_;
    TGLArea* area_ = nullptr;
    std::array<QLabel*, 9> bar1_{}, bar2_{};
    QWidget* bar1Widget_ = nullptr;
    QWidget* bar2Widget_ = nullptr;
    QMenu* popup_ = nullptr;
    QTimer frameClock_;
    QTimer timer2_;
    QTimer noGraphicsTimer_;

    QAction* fullScrM_ = nullptr;
    QAction* normScrM_ = nullptr;
    QAction* moreBallsM_ = nullptr;
    QAction* lessBallsM_ = nullptr;
    QAction* gravMoreM_ = nullptr;
    QAction* gravLessM_ = nullptr;

    bool started_ = false;      // the model was set up: the view runs
    bool glReady_ = false;      // lists and textures exist in the current context
    bool aspectPending_ = true; // take ViewAspect from the next size
    float viewAspect_ = 1.0f;
    TViewportRect viewport_;
    unsigned listBase_ = 0;
    std::array<unsigned, 6> textures_{};
    std::array<double, 3> listRadii_{};

    bool showScenery_ = false;
    bool fullScreen_ = false;
    bool cursorShown_ = true;
    bool mouseHeld_ = false;
    Qt::WindowStates savedWindowState_ = Qt::WindowMaximized;
    QRect savedBounds_;
    std::uint32_t framesDrawn_ = 0;
    std::uint64_t totalFrames_ = 0;
};

// The window while it exists.
extern QPointer<TFormGL> FormGL;

// The state a newly created window starts in (maximised at first; then the
// state of the last one closed).
Qt::WindowStates SavedWindowState();

} // namespace ferrolyt::particles
