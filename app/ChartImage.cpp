#include "ChartImage.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QWidget>

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
