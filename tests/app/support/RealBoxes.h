#pragma once
// Message boxes as the user meets them: the program's boxes are shown for
// real (no message hook), and each one is closed with its OK button once it
// is up, as the user would, its text kept. The closer looks for the box
// itself rather than waiting a while, so a slow machine only makes it later.

#include "QtHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <utility>

class TBoxCloser : public QObject {
public:
    TBoxCloser()
    {
        QtHost::SetMessageHook({});
        connect(&timer_, &QTimer::timeout, this, [this] { CloseShownBox(); });
        timer_.start(10);
    }
    // A box still queued comes up, and is answered, while the closer is here.
    ~TBoxCloser() override { QCoreApplication::sendPostedEvents(); }
    TBoxCloser(const TBoxCloser&) = delete;
    TBoxCloser& operator=(const TBoxCloser&) = delete;

    QStringList texts;
    // Runs as each box is found on screen, before it is closed.
    std::function<void()> whenShown;

private:
    void CloseShownBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // The user answers a box that is up and has the keyboard, and reads
        // it first: the box's own event loop runs its queued work meanwhile.
        if (!box || !box->isVisible() || !box->isActiveWindow() || !box->button(QMessageBox::Ok)) {
            seen_ = nullptr;
            return;
        }
        if (std::exchange(seen_, box) != box)
            return;
        seen_ = nullptr;
        texts << box->text();
        if (whenShown)
            whenShown();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    }

    QTimer timer_;
    QPointer<QMessageBox> seen_;
};
