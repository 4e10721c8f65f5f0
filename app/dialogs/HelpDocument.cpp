#include "HelpDocument.h"

#include "ProgramDir.h"
#include "Utils.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {
OpenUrlHook& Hook()
{
    static OpenUrlHook hook;
    return hook;
}
} // namespace

void SetOpenUrlHook(OpenUrlHook hook) { Hook() = std::move(hook); }

QString FindHelpDocument()
{
    const QString name = QString::fromUtf8(HelpFileName);
    for (const QString& folder : {QDir::currentPath(), QString::fromStdString(ferrolyt::ProgramDir())}) {
        const QFileInfo file(QDir(folder), name);
        if (file.isFile())
            return file.absoluteFilePath();
    }
    return {};
}

bool OpenHelpDocument()
{
    const QString path = FindHelpDocument();
    bool opened = false;
    if (!path.isEmpty()) {
        const QUrl url = QUrl::fromLocalFile(path);
        opened = Hook() ? Hook()(url) : QDesktopServices::openUrl(url);
    }
    if (!opened)
        ferrolyt::ShowWarning(std::string("Неможливо відкрити файл ") + HelpFileName);
    return opened;
}
