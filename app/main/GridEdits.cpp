#include "GridEdits.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QWidget>

void CommitGridEdits(const QWidget& root)
{
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
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}
