#include "GridCorner.h"

#include <QAbstractButton>
#include <QEvent>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>

namespace {

// Paints the corner button as the header paints its sections, with a text.
class TCornerPainter : public QObject {
public:
    TCornerPainter(QAbstractButton& corner, const QString& text) : QObject(&corner), corner_(corner), text_(text) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &corner_ || event->type() != QEvent::Paint)
            return false;
        QStyleOptionHeader option;
        option.initFrom(&corner_);
        option.state |= QStyle::State_Raised | QStyle::State_Horizontal;
        option.rect = corner_.rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = text_;
        option.textAlignment = Qt::AlignCenter;
        QStylePainter painter(&corner_);
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }

private:
    QAbstractButton& corner_;
    QString text_;
};

} // namespace

void SetCornerText(QTableView& view, const QString& text)
{
    auto* corner = view.findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (!corner)
        return;
    corner->installEventFilter(new TCornerPainter(*corner, text));
    corner->update();
}
