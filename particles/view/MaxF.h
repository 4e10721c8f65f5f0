#pragma once
// The control window of the particle demonstration: the parameters of the
// three particle types, the interaction matrix, the box, step, ensemble,
// start lattice, energy or temperature and boundaries; parameter files in
// the folder "DezOzevev"; the smallest box; the start of the 3D window; and
// the batch run over mixture compositions.
//
// The batch run works on a model of its own on a worker thread, so the 3D
// window and a batch can run at the same time; its texts and progress come
// back to this window through queued calls.

#include "ParticleBatch.h"
#include "ParticleFiles.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>
#include <string>

class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSpinBox;
class QTableWidget;
class QThread;
class QToolButton;

namespace ferrolyt::particles {

class TFChart;

class TMaxF : public QWidget {
    Q_OBJECT
public:
    explicit TMaxF(QWidget* parent = nullptr);
    ~TMaxF() override;

    // The controls as the parameter file holds them, and back.
    ParticleParams ControlParams() const;
    void SetControlParams(const ParticleParams& params);

    const std::string& DataFile() const { return dataFile_; }

    // Loads "DezOzevev/<name>" into the controls. False, with a message and
    // nothing applied, when the file is missing or a number field is not a
    // number.
    bool LoadDataFile(const std::string& name);
    // Saves the controls as "DezOzevev/<name>" (extension ".dat").
    bool SaveDataFile(const std::string& name);

    void StartButClick();
    void IniVButClick();
    void TDFloopButClick();
    void OpenButClick();
    void SaveButClick();

    // How long the batch parts run (the full plan unless changed).
    void SetBatchPlan(const BatchPlan& plan) { plan_ = plan; }
    bool BatchRunning() const { return batchThread_ != nullptr; }
    // Waits until a running batch has ended (for closing and tests).
    void WaitForBatch();

    QLineEdit* EditLx() const { return box_[0]; }
    QLineEdit* EditLy() const { return box_[1]; }
    QLineEdit* EditLz() const { return box_[2]; }
    QLabel* Label8() const { return label8_; }
    QProgressBar* ProBar1() const { return proBar1_; }
    QProgressBar* ProBar2() const { return proBar2_; }
    QToolButton* TDFloopBut() const { return tdfLoopBut_; }
    TFChart* Chart() const { return chart_; }

signals:
    void BatchEnded();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormShow();
    void SetCaption();
    void FitEpsGridHeight();
    void PlaceBeside(QWidget& view) const;
    void BatchFinished(const BatchResult& result);
    bool CheckNumberFields(const ParticleParams& params, std::string& error) const;
    std::filesystem::path Folder() const;

    std::array<QLineEdit*, 3> rad_{}, mass_{}, box_{};
    std::array<QSpinBox*, 3> spin_{};
    QTableWidget* epsGrid_ = nullptr;
    QLineEdit* stepEd_ = nullptr;
    QLineEdit* editE_ = nullptr;
    QLineEdit* editT_ = nullptr;
    QCheckBox* periodicBox_ = nullptr;
    QButtonGroup* ensGrp_ = nullptr;
    QButtonGroup* reshGrp_ = nullptr;
    QLabel* label8_ = nullptr;
    QProgressBar* proBar1_ = nullptr;
    QProgressBar* proBar2_ = nullptr;
    QAction* openA_ = nullptr;
    QAction* saveA_ = nullptr;
    QAction* startA_ = nullptr;
    QToolButton* tdfLoopBut_ = nullptr;
    TFChart* chart_ = nullptr;

    std::string dataFile_;
    NameValueList dataList_;
    bool shownOnce_ = false;
    BatchPlan plan_;
    QThread* batchThread_ = nullptr;
    std::shared_ptr<std::atomic<bool>> batchStop_;
};

} // namespace ferrolyt::particles
