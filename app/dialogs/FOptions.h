#pragma once
// The modal dialog "Опції": the fields of Settings in six pages. Showing it
// loads the controls from Settings; closing it with "Прийняти" writes them
// back (an emptied edit stores its fall-back; what a field cannot hold is
// refused as it is typed), "Відміна" stores nothing.

#include <QDialog>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

class TFOptions : public QDialog {
    Q_OBJECT

public:
    explicit TFOptions(QWidget* parent = nullptr);

    QTabWidget* Pages = nullptr;
    QPushButton* OkBut = nullptr;
    QPushButton* CancelBut = nullptr;
    QPushButton* HelpBut = nullptr;
    QSpinBox* AutoSaveSpin = nullptr;

    // Controls by their names ("BolotoTempEd", "CalcNmiChk", "MetGrp").
    QLineEdit* Edit(const char* name) const;
    QCheckBox* Check(const char* name) const;
    QButtonGroup* Group(const char* name) const;

    void FormCreate();
    // Settings to the controls.
    void FormShow();
    // The controls to Settings when `result` is Accepted.
    void FormClose(int result);

    void ShowSomeGasesChkClick();
    void CalcNmiChkClick();
    void AutoRadNmiChkClick();
    void ExpoNmiChkClick(QCheckBox* sender);
    void HelpButClick();

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPages();
    QWidget* GroupWidget(int page, const QString& group);
    // The controls of one NMI export group besides its check box.
    QList<QWidget*> ExportGroupControls(QCheckBox* box) const;

    QList<QWidget*> pageWidgets_;
    QList<QButtonGroup*> groups_;
};
