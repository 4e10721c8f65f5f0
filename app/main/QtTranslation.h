#pragma once
// Qt's own texts (the standard buttons of message boxes and dialogs, the
// file dialogs, the context menus of edits) in the program's language,
// Ukrainian, whatever the desktop's locale. The translations come with Qt
// (Debian: qt6-translations-l10n).

class QCoreApplication;

// Installs Qt's Ukrainian translation into `app`; false when Qt's
// translations are not installed, and the texts stay English.
bool InstallQtTranslation(QCoreApplication& app);
