#pragma once
// Every modal dialog of the program (file dialogs, input queries, the
// options, the task editor, the print dialog, the About box) runs through
// ExecModal, so that tests can stand in for the user: a hook, when set,
// receives the dialog instead of it being run and returns its result.

#include <QDialog>

#include <functional>

using ModalHook = std::function<int(QDialog&)>;

// Runs the dialog modally (or hands it to the hook) and returns its result.
int ExecModal(QDialog& dialog);

// Installs the hook; an empty hook runs the dialogs.
void SetModalHook(ModalHook hook);
