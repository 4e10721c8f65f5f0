#include "FOptions.h"

#include "HelpDocument.h"
#include "NumberInput.h"
#include "OptionControls.h"
#include "Settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace ferrolyt;

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }

// A page that asks for room for all of itself and scrolls where the screen
// is lower than that (the dialog is taller than a laptop's 768 pixels).
class TPageScroll : public QScrollArea {
public:
    explicit TPageScroll(QWidget* parent) : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->setAutoFillBackground(false);
    }
    QSize sizeHint() const override
    {
        const QWidget* page = widget();
        if (!page)
            return QScrollArea::sizeHint();
        // The scroll bar's width is kept free so that it never covers a text.
        return page->sizeHint() + QSize(verticalScrollBar()->sizeHint().width(), 0);
    }
};

} // namespace

TFOptions::TFOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName("FOptions");
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    Pages->setObjectName("Pages");
    // Every page's tab is seen at once: the dialog is as wide as the tabs.
    Pages->setUsesScrollButtons(false);
    layout->addWidget(Pages);
    BuildPages();

    auto* buttons = new QHBoxLayout;
    OkBut = new QPushButton(this);
    OkBut->setObjectName("OkBut");
    OkBut->setDefault(true);
    CancelBut = new QPushButton(this);
    CancelBut->setObjectName("CancelBut");
    HelpBut = new QPushButton(this);
    HelpBut->setObjectName("HelpBut");
    buttons->addStretch(1);
    buttons->addWidget(OkBut);
    buttons->addWidget(CancelBut);
    buttons->addWidget(HelpBut);
    layout->addLayout(buttons);
    connect(OkBut, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBut, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well
    connect(HelpBut, &QPushButton::clicked, this, [this] { HelpButClick(); });

    connect(Check("ShowSomeGasesChk"), &QCheckBox::toggled, this, [this] { ShowSomeGasesChkClick(); });
    connect(Check("CalcNmiChk"), &QCheckBox::toggled, this, [this] { CalcNmiChkClick(); });
    connect(Check("AutoRadNmiChk"), &QCheckBox::toggled, this, [this] { AutoRadNmiChkClick(); });
    for (const char* name : {"ExpoKratNmiChk", "ExpoTempNmiChk"}) {
        QCheckBox* box = Check(name);
        connect(box, &QCheckBox::toggled, this, [this, box] { ExpoNmiChkClick(box); });
    }
    FormCreate();
    // Every page whole where the screen has room; lower screens scroll the
    // pages (the screen keeper fits the dialog in).
    resize(sizeHint());
}

QWidget* TFOptions::GroupWidget(int page, const QString& group)
{
    QWidget* pageWidget = pageWidgets_[page];
    if (group.isEmpty())
        return pageWidget;
    const QString name = QStringLiteral("Group%1_%2").arg(page).arg(group.trimmed());
    if (auto* box = pageWidget->findChild<QGroupBox*>(name))
        return box;
    auto* box = new QGroupBox(group, pageWidget);
    box->setObjectName(name);
    new QVBoxLayout(box);
    static_cast<QVBoxLayout*>(pageWidget->layout())->addWidget(box);
    return box;
}

void TFOptions::BuildPages()
{
    for (int p = 0; p < OptionsPageCount; ++p) {
        auto* scroll = new TPageScroll(Pages);
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(p));
        new QVBoxLayout(page);
        scroll->setWidget(page);
        page->setAutoFillBackground(false);
        Pages->addTab(scroll, U(OptionsPageCaptions[p]));
        pageWidgets_.append(page);
    }
    auto add = [](QWidget* parent, QWidget* w) { parent->layout()->addWidget(w); };

    for (const TOptionRadioGroup& g : OptionRadioGroups()) {
        auto* box = new QGroupBox(U(g.Caption), pageWidgets_[g.Page]);
        box->setObjectName(U(g.Name) + "Box");
        auto* v = new QVBoxLayout(box);
        auto* group = new QButtonGroup(box);
        group->setObjectName(U(g.Name));
        for (std::size_t i = 0; i < g.Items.size(); ++i) {
            auto* radio = new QRadioButton(U(g.Items[i]), box);
            group->addButton(radio, static_cast<int>(i));
            v->addWidget(radio);
        }
        groups_.append(group);
        add(pageWidgets_[g.Page], box);
    }
    for (const TOptionCheck& c : OptionChecks()) {
        auto* box = new QCheckBox(U(c.Caption), GroupWidget(c.Page, U(c.Group)));
        box->setObjectName(U(c.Name));
        if (*c.Hint)
            box->setToolTip(U(c.Hint));
        add(box->parentWidget(), box);
    }
    for (const TOptionEdit& e : OptionEdits()) {
        QWidget* parent = GroupWidget(e.Page, U(e.Group));
        auto* row = new QWidget(parent);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(row);
        edit->setObjectName(U(e.Name));
        edit->setMaximumWidth(110);
        // A whole-number or hundredths field refuses what it cannot hold,
        // so that only an emptied edit comes to its fall-back.
        KeepNumbersIn(*edit, U(*e.Label ? e.Label : *e.Hint ? e.Hint : e.Group).trimmed(),
                      [&e](const std::string& field, const std::string& typed) {
                          return OptionEditRefusal(e, field, typed);
                      });
        if (*e.Label) {
            auto* label = new QLabel(U(e.Label), row);
            label->setBuddy(edit);
            h->addWidget(label, 1);
        }
        h->addWidget(edit);
        if (*e.Suffix)
            h->addWidget(new QLabel(U(e.Suffix), row));
        if (!*e.Label)
            h->addStretch(1);
        if (*e.Hint)
            edit->setToolTip(U(e.Hint));
        add(parent, row);
    }
    // The autosave interval beside its check box.
    QWidget* saving = GroupWidget(opSaving, U(" Автоматично зберігати проєкт "));
    auto* row = new QWidget(saving);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    AutoSaveSpin = new QSpinBox(row);
    AutoSaveSpin->setObjectName("AutoSaveSpin");
    AutoSaveSpin->setRange(AutoSaveMinutesMin, AutoSaveMinutesMax);
    h->addWidget(AutoSaveSpin);
    h->addWidget(new QLabel(QStringLiteral("хв"), row));
    h->addStretch(1);
    add(saving, row);
    for (QWidget* page : pageWidgets_)
        static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
}

QLineEdit* TFOptions::Edit(const char* name) const { return findChild<QLineEdit*>(U(name)); }

QCheckBox* TFOptions::Check(const char* name) const { return findChild<QCheckBox*>(U(name)); }

QButtonGroup* TFOptions::Group(const char* name) const
{
    for (QButtonGroup* g : groups_)
        if (g->objectName() == U(name))
            return g;
    return nullptr;
}

void TFOptions::FormCreate()
{
    setWindowTitle(QStringLiteral("Опції"));
    OkBut->setText(QStringLiteral("Прийняти"));
    CancelBut->setText(QStringLiteral("Відміна"));
    HelpBut->setText(QStringLiteral("Довідка"));
}

void TFOptions::FormShow()
{
    for (const TOptionRadioGroup& g : OptionRadioGroups())
        if (QAbstractButton* b = Group(g.Name)->button(Settings.*g.Field))
            b->setChecked(true);
    for (const TOptionCheck& c : OptionChecks())
        Check(c.Name)->setChecked(Settings.*c.Field);
    for (const TOptionEdit& e : OptionEdits())
        Edit(e.Name)->setText(QString::fromStdString(OptionEditText(e, Settings)));
    AutoSaveSpin->setValue(Settings.AutoSaveMinutes);
    ShowSomeGasesChkClick();
    CalcNmiChkClick();
}

void TFOptions::FormClose(int result)
{
    if (result != QDialog::Accepted)
        return;
    for (const TOptionRadioGroup& g : OptionRadioGroups()) {
        const int id = Group(g.Name)->checkedId();
        if (id >= 0)
            Settings.*g.Field = static_cast<uint8_t>(id);
    }
    for (const TOptionCheck& c : OptionChecks())
        Settings.*c.Field = Check(c.Name)->isChecked();
    for (const TOptionEdit& e : OptionEdits())
        StoreOptionEdit(e, Edit(e.Name)->text().toStdString(), Settings);
    Settings.AutoSaveMinutes = static_cast<uint8_t>(AutoSaveSpin->value());
}

void TFOptions::done(int result)
{
    FormClose(result);
    QDialog::done(result);
}

void TFOptions::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TFOptions::ShowSomeGasesChkClick() { Edit("NoGasPEd")->setEnabled(Check("ShowSomeGasesChk")->isChecked()); }

QList<QWidget*> TFOptions::ExportGroupControls(QCheckBox* box) const
{
    QList<QWidget*> controls;
    for (QLineEdit* e : box->parentWidget()->findChildren<QLineEdit*>())
        controls.append(e->parentWidget()); // the row: the edit with its labels
    return controls;
}

void TFOptions::CalcNmiChkClick()
{
    QCheckBox* calc = Check("CalcNmiChk");
    const bool on = calc->isChecked();
    QWidget* page = pageWidgets_[opNmi];
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w != calc)
            w->setEnabled(on);
    for (QWidget* w : page->findChildren<QWidget*>())
        if (w != calc && w->parentWidget() != page)
            w->setEnabled(true); // their enabled state follows their container
    for (const char* name : {"ExpoKratNmiChk", "ExpoTempNmiChk"})
        ExpoNmiChkClick(Check(name));
    AutoRadNmiChkClick();
}

void TFOptions::ExpoNmiChkClick(QCheckBox* sender)
{
    sender->setEnabled(Check("CalcNmiChk")->isChecked());
    const bool on = sender->isEnabled() && sender->isChecked();
    for (QWidget* w : ExportGroupControls(sender))
        w->setEnabled(on);
}

void TFOptions::AutoRadNmiChkClick()
{
    QCheckBox* box = Check("AutoRadNmiChk");
    Edit("KratEndoEd")->parentWidget()->setEnabled(box->isEnabled() && box->isChecked());
}

void TFOptions::HelpButClick() { OpenHelpDocument(); }
