#include "GridEdits.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QMetaProperty>
#include <QWidget>

bool CommitGridEdits(const QWidget& root)
{
    bool taken = true;
    for (QAbstractItemView* view : root.findChildren<QAbstractItemView*>()) {
        if (view->window() != root.window())
            continue; // a window of its own keeps its editor (a timer's command must not close it)
        const QModelIndex index = view->currentIndex();
        QWidget* editor = index.isValid() ? view->indexWidget(index) : nullptr;
        QAbstractItemDelegate* delegate = editor ? view->itemDelegateForIndex(index) : nullptr;
        if (!delegate)
            continue;
        // The view answers these as it answers the editor's own Enter.
        emit delegate->commitData(editor);
        // The cells store the editor's text as it is: another text in the
        // cell is the old one, kept by a refusal.
        const QMetaProperty typed = editor->metaObject()->userProperty();
        if (typed.isValid() && typed.read(editor).toString() != index.data(Qt::EditRole).toString())
            taken = false;
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return taken;
}
