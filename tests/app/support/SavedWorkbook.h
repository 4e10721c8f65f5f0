#pragma once
// Reading back the parts of a saved .xlsx package.

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

// One member of a zip file, or an empty text when it is missing.
inline QString ZipMember(const QString& file, const QString& member)
{
    QProcess p;
    p.start("unzip", {"-p", file, member});
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The cells of a saved sheet: address -> shown text (shared strings
// resolved), with the formula and style of each cell apart, and whether it
// is stored as a number.
struct TSavedSheet {
    QMap<QString, QString> Values;
    QMap<QString, QString> Formulas;
    QMap<QString, int> Styles;
    QMap<QString, bool> IsNumber;
    QString Xml;
};

inline TSavedSheet ReadSheet(const QString& file, int index = 1)
{
    QStringList shared;
    for (QXmlStreamReader x(ZipMember(file, "xl/sharedStrings.xml")); !x.atEnd();) {
        x.readNext();
        if (x.isStartElement() && x.name() == u"si")
            shared << QString();
        else if (x.isStartElement() && x.name() == u"t" && !shared.isEmpty())
            shared.last() += x.readElementText();
    }
    TSavedSheet s;
    s.Xml = ZipMember(file, QString("xl/worksheets/sheet%1.xml").arg(index));
    QString ref, type;
    for (QXmlStreamReader x(s.Xml); !x.atEnd();) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        if (x.name() == u"c") {
            ref = x.attributes().value("r").toString();
            type = x.attributes().value("t").toString();
            s.Styles[ref] = x.attributes().value("s").toInt();
        } else if (x.name() == u"f") {
            s.Formulas[ref] = x.readElementText();
        } else if (x.name() == u"v") {
            const QString v = x.readElementText();
            s.Values[ref] = type == "s" ? shared.value(v.toInt()) : v;
            s.IsNumber[ref] = type.isEmpty() || type == "n";
        }
    }
    return s;
}
