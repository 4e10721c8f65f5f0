#include "AboutBox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    ProductName = new QLabel(this);
    ProductName->setObjectName("ProductName");
    QFont big = ProductName->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(this);
    Version->setObjectName("Version");
    Comments = new QLabel(this);
    Comments->setObjectName("Comments");
    Comments->setWordWrap(true);
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addWidget(Comments);
    top->addLayout(texts, 1);
    layout->addLayout(top);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    FormCreate();
}

void TAboutBox::FormCreate()
{
    setWindowTitle(QStringLiteral("Про програму ") + QStringLiteral("Ferrolyt").toUpper());
    ProductName->setText(QStringLiteral("Ferrolyt"));
    Version->setText(QStringLiteral("Версiя 2.00"));
    Comments->setText(QStringLiteral("Термодинамічний розрахунок сталеплавильної плавки: рівновага металу, "
                                     "шлаку, газу й неметалевих включень, тепловий баланс і оптимізація шихти."));
}
