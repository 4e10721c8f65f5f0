// The installation mode: when it starts, where the menu folder is, and the
// five menu entries it writes without creating any window.

#include "Installation.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ferrolyt;

class TstInstall : public QObject {
    Q_OBJECT

    // The value of `key` in the menu entry file `path`; empty when either is missing.
    static QString Field(const QString& path, const QString& key)
    {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            for (const QString& l : QString::fromUtf8(f.readAll()).split('\n'))
                if (l.startsWith(key + "="))
                    return l.mid(key.size() + 1);
        return {};
    }

private slots:
    void onlyTheArgumentsAreSearched()
    {
        QVERIFY(IsInstallationMode({"setup"}));
        QVERIFY(IsInstallationMode({"-x", "/tmp/mysetup.log"}));
        QVERIFY(!IsInstallationMode({"Setup"})); // case-sensitive
        QVERIFY(!IsInstallationMode({}));        // the program's own path is never looked at
        QVERIFY(!IsInstallationMode({"FERROLYT.FWP"}));
    }

    void menuFolderIsTheApplicationsFolderFollowedByTheValue()
    {
        QCOMPARE(QString::fromStdString(StartMenuFolder("/home/u/.local/share/applications", "\\Ferrolyt\\")),
                 QString("/home/u/.local/share/applications/Ferrolyt/"));
        QCOMPARE(QString::fromStdString(StartMenuFolder("/apps", "")), QString("/apps"));
    }

    void writesTheFiveEntriesAndOpensTheFolderWithoutAWindow()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string menu = dir.filePath("applications/Ferrolyt/").toStdString();
        QDir().mkpath(dir.filePath("applications"));
        const std::string program = dir.filePath("prog").toStdString();
        std::vector<std::string> opened;
        RunInstallation(program, program, menu, "ferrolyt", [&opened](const std::string& f) { opened.push_back(f); });

        QCOMPARE(int(opened.size()), 1);
        QCOMPARE(QString::fromStdString(opened[0]), QString::fromStdString(menu));
        QVERIFY(QApplication::topLevelWidgets().isEmpty());

        const QStringList titles = {"Ferrolyt", "Руководство пользователя", "Веб страничка",
                                    "Запрос по электронной почте", "Удаление программы"};
        const QStringList files = {"ferrolyt", "Ferrolyt.pdf", "Homepage.url", "Email.url", "Uninstfw.exe"};
        QCOMPARE(QDir(QString::fromStdString(menu)).entryList(QDir::Files).size(), 5);
        for (int i = 0; i < titles.size(); ++i) {
            const QString entry = QString::fromStdString(menu) + titles[i] + ".desktop";
            QCOMPARE(Field(entry, "Name"), titles[i]);
            QVERIFY2(Field(entry, "Exec").contains(files[i]), qPrintable(titles[i]));
        }
        // The uninstaller gets the two folders, each quoted, one blank apart.
        const QString exec = Field(QString::fromStdString(menu) + "Удаление программы.desktop", "Exec");
        const QString args = "\"" + QString::fromStdString(program) + "\" \"" + QString::fromStdString(menu) + "\"";
        QVERIFY2(exec.contains(args) || exec.contains(QString(args).replace("\"", "\\\"")), qPrintable(exec));
        QVERIFY(!Field(QString::fromStdString(menu) + "Ferrolyt.desktop", "Exec").contains("\" \""));
    }

    void anExistingFolderIsKeptAndAnUnusableOneFailsSilently()
    {
        QTemporaryDir dir;
        const std::string menu = dir.filePath("Ferrolyt").toStdString(); // no trailing separator
        QDir().mkpath(QString::fromStdString(menu));
        RunInstallation("/p", "/p", menu, "ferrolyt", {});
        QVERIFY(QFile::exists(QString::fromStdString(menu) + "/Ferrolyt.desktop"));

        // A missing applications folder is created with the menu folder.
        RunInstallation("/p", "/p", dir.filePath("fresh/applications/Ferrolyt/").toStdString(), "ferrolyt", {});
        QVERIFY(QFile::exists(dir.filePath("fresh/applications/Ferrolyt/Ferrolyt.desktop")));

        // A file where the folder should be: nothing is written, nothing said.
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        bool opened = false;
        RunInstallation("/p", "/p", dir.filePath("blocked/Ferrolyt/").toStdString(), "ferrolyt",
                        [&opened](const std::string&) { opened = true; });
        QVERIFY(opened); // the folder is opened even when nothing could be written
        QVERIFY(QFileInfo(dir.filePath("blocked")).isFile());
    }
};

QTEST_MAIN(TstInstall)
#include "tst_install.moc"
