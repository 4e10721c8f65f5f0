#include "ChartImage.h"

#include "ModalDialog.h"

#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>
#include <QtCharts/QChartView>

QChartView* AddChartView(QWidget& window, QChart* chart)
{
    auto* view = new QChartView(chart);
    view->setObjectName("Chart1");
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(view);
    return view;
}

void PopupOnContextMenu(QWidget* widget, QMenu* menu)
{
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, menu,
                     [widget, menu](const QPoint& at) { menu->popup(widget->mapToGlobal(at)); });
}

QString AskImageFileName(QWidget* parent, const QString& label, const QString& initial)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Ferrolyt"));
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    if (ExecModal(dialog) != QDialog::Accepted)
        return {};
    return dialog.textValue().trimmed();
}

QString WithBmpExtension(const QString& name)
{
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    QString base = name;
    // A dot inside a folder name is no extension.
    if (!suffix.isEmpty() && !info.fileName().startsWith('.' + suffix))
        base.chop(suffix.size() + 1);
    else if (name.endsWith('.'))
        base.chop(1);
    return base + QStringLiteral(".bmp");
}

bool SaveWidgetBmp(QWidget& widget, const QString& fileName)
{
    // Bitmaps without an alpha channel, as image viewers expect them.
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB888);
    return image.save(fileName, "BMP");
}
