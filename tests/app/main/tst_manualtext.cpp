// The manual names the program's own texts as the program shows them, and
// its PDF keeps what the text says: the manual's Markdown is laid out by the
// same Qt reader the PDF writer uses.

#include "KinF.h"

#include <QAction>
#include <QFile>
#include <QRadioButton>
#include <QTextDocument>
#include <QtTest>

namespace {

QString ManualSource()
{
    QFile file(QStringLiteral(FERROLYT_DATA "/../manual/Ferrolyt.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TstManualText : public QObject {
    Q_OBJECT

private slots:
    void theKineticsCaptionsAreNamedAsTheWindowShowsThem()
    {
        const QString manual = ManualSource();
        QVERIFY(!manual.isEmpty());
        TKinF w;
        QStringList captions;
        for (const QRadioButton* b : w.PhaseGrp)
            captions << b->text();
        for (const QAction* a : {w.MetM, w.SlgM, w.GasM})
            captions << a->text();
        QCOMPARE(captions.size(), 6);
        for (const QString& caption : captions)
            QVERIFY2(manual.contains("«" + caption + "»"), qPrintable(caption));
    }

    // An asterisk in the text (a file mask such as *.FWP, the liquid mark
    // of a materials line) is no emphasis mark: every one but those of the
    // bold marks is in the laid-out document.
    void theAsterisksOfTheTextAreKept()
    {
        const QString manual = ManualSource();
        QTextDocument doc;
        doc.setMarkdown(manual);
        const QString laidOut = doc.toPlainText();
        for (const char* filter : {"«Projects (*.FWP)»", "«Tasks (*.TSK)»", "«EAF templates (*.HEA)»"})
            QVERIFY2(laidOut.contains(QString::fromUtf8(filter)), filter);
        QString literal = manual;
        literal.remove(QStringLiteral("**"));
        QCOMPARE(laidOut.count('*'), literal.count('*'));
    }
};

QTEST_MAIN(TstManualText)
#include "tst_manualtext.moc"
