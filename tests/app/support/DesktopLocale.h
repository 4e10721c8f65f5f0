#pragma once
// A desktop locale for the length of a scope: the C library's and Qt's
// locale as the application object would take them from the environment,
// then the program's own start-up rule. The locale the test started with
// comes back at the end.

#include "ScreenLocale.h"

#include <QLocale>
#include <QString>

#include <clocale>
#include <string>

class TDesktopLocale {
public:
    // posixName: "C" or a name such as "uk_UA.UTF-8".
    explicit TDesktopLocale(const char* posixName)
        : savedC_(std::setlocale(LC_ALL, nullptr)), savedQt_(QLocale())
    {
        active_ = std::setlocale(LC_ALL, posixName) != nullptr;
        QLocale::setDefault(QLocale(QString(posixName).section('.', 0, 0)));
        ferrolyt::UseLocaleOnScreenOnly();
    }
    ~TDesktopLocale()
    {
        std::setlocale(LC_ALL, savedC_.c_str());
        QLocale::setDefault(savedQt_);
        ferrolyt::UseLocaleOnScreenOnly();
    }
    TDesktopLocale(const TDesktopLocale&) = delete;
    TDesktopLocale& operator=(const TDesktopLocale&) = delete;

    // False when the machine lacks the locale (the install script makes it).
    bool Active() const { return active_; }

private:
    std::string savedC_;
    QLocale savedQt_;
    bool active_ = false;
};
