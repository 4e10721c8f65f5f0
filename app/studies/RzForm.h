#pragma once
// The reaction-zone constructor: track bars choose the shares of the melted
// heat's metal and slag drawn into a zone with a mass of oxygen, and the
// shares of the zone's phases returned to the rest of the heat. The window
// shows the heat, the zone and the final system side by side; it computes
// when shown and on its calculate button and option controls, while the
// track bars only set the shares.

#include "ResultDisplay.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTableView;
class TGridModel;

namespace ferrolyt {
class TThSys;
}

inline constexpr int RzGridRows = 6;
inline constexpr int RzGridColumns = 15;

class TRzForm : public QWidget {
    Q_OBJECT
public:
    explicit TRzForm(QWidget* parent = nullptr);
    ~TRzForm() override;

    // Builds and solves the zone and the final system and fills the three
    // grids. With the window itself as Sender (it is being shown) the share
    // handlers first take the track bars' positions.
    void FormShow(QObject* Sender);
    // Couples the metal share, the oxygen share and the oxygen mass; Sender
    // is the control that changed (TrMetToRZ, TrackOxi or OxiEd).
    void TrMetToRZChange(QObject* Sender);
    void TrSlgToRZChange();
    void TrMetFromRZChange();
    void TrSlgFromRZChange();
    void TrGasFromRZChange();
    void GasAwayChkClick();
    void OxiEdEnter();
    // One system into one grid: masses in t, or per cent with ShowPercent.
    void ShowSystemInGrid(const ferrolyt::TThSys& system, ferrolyt::TStringGrid& grid);

    // The window's values (t and shares).
    double mO2 = 0;
    double kMet = 0.2, kSlg = 0.2, kO = 0.1;
    double mMetRZ = 0, mSlgRZ = 0;
    double kMetBack = 1, kSlgBack = 1, kGasBack = 1;
    bool ShowPercent = true;
    bool ZoneConverged = false, FinalConverged = false;

    ferrolyt::TStringGrid IniSysGridCells{RzGridColumns, RzGridRows};
    ferrolyt::TStringGrid RzGridCells{RzGridColumns, RzGridRows};
    ferrolyt::TStringGrid FinSysGridCells{RzGridColumns, RzGridRows};
    QTableView* IniSysGrid = nullptr;
    QTableView* RzGrid = nullptr;
    QTableView* FinSysGrid = nullptr;
    QSlider* TrMetToRZ = nullptr;
    QSlider* TrSlgToRZ = nullptr;
    QSlider* TrackOxi = nullptr;
    QSlider* TrMetFromRZ = nullptr;
    QSlider* TrSlgFromRZ = nullptr;
    QSlider* TrGasFromRZ = nullptr;
    // The percentage label beside each track bar, in the order above.
    std::array<QLabel*, 6> ShareLabels{};
    QLineEdit* OxiEd = nullptr;
    QCheckBox* FixOxiChk = nullptr;
    QCheckBox* GasAwayChk = nullptr;
    QGroupBox* PhCompGrp = nullptr;
    std::array<QRadioButton*, 2> PhCompItems{}; // "%", "т"
    QPushButton* CalcBut = nullptr;
    QLabel* LabelRZ = nullptr;
    QLabel* LabelFin = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void SetGridFrame(ferrolyt::TStringGrid& grid);
    void RefreshGrids();
    void SetLabelFailed(QLabel* label, bool failed);
    // The share of a vertical track bar: the top end is the whole share.
    static double Share(const QSlider* bar);
    void WriteShareLabel(int index, const QSlider* bar);

    std::array<TGridModel*, 3> models_{};
    QButtonGroup* phCompGroup_ = nullptr;
    bool coupling_ = false;
};
