#include "ModalDialog.h"

namespace {
ModalHook& Hook()
{
    static ModalHook hook;
    return hook;
}
} // namespace

void SetModalHook(ModalHook hook) { Hook() = std::move(hook); }

int ExecModal(QDialog& dialog)
{
    if (!Hook())
        return dialog.exec();
    // The dialog closes as it would have: through done(), unless the hook
    // already closed it (by a button, say), so its closing steps run once.
    bool finished = false;
    const auto connection = QObject::connect(&dialog, &QDialog::finished, [&finished] { finished = true; });
    const int result = Hook()(dialog);
    if (!finished)
        dialog.done(result);
    QObject::disconnect(connection);
    return dialog.result();
}
