// Builds the user's manual "Ferrolyt.pdf" from its Markdown text and
// pictures with Qt's own text layout and PDF writer:
//   ferrolyt-manual <manual.md> <pdf>
// Pictures are looked up beside the text; a picture wider than the page is
// scaled down to the page's width.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include <cstdio>

namespace {

// Registers every picture the text names, so that the document finds them
// without a file lookup of its own. False when one cannot be read.
bool AddPictures(QTextDocument& doc, const QString& text, const QDir& folder)
{
    static const QRegularExpression picture(R"(!\[[^\]]*\]\(([^)\s]+)\))");
    for (auto it = picture.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        const QImage image(folder.filePath(name));
        if (image.isNull()) {
            std::fprintf(stderr, "ferrolyt-manual: cannot read %s\n", qPrintable(folder.filePath(name)));
            return false;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    return true;
}

// Gives every picture wider than `width` (in the document's units) that
// width, keeping its proportions.
void FitPictures(QTextDocument& doc, qreal width)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid())
                continue;
            const QImage image = doc.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
            if (image.isNull() || image.width() <= width)
                continue;
            format.setWidth(width);
            format.setHeight(width * image.height() / image.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ferrolyt-manual <manual.md> <pdf>\n");
        return 2;
    }
    const QFileInfo source(QString::fromLocal8Bit(argv[1]));
    QFile file(source.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "ferrolyt-manual: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());

    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("h1, h2, h3 { color: #203060; }"));
    doc.setMarkdown(text); // clears the resources: the pictures come after it
    if (!AddPictures(doc, text, source.dir()))
        return 1;

    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setTitle(QStringLiteral("Ferrolyt. Інструкція користувача"));
    pdf.setCreator(QStringLiteral("Ferrolyt"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 15, 18, 15),
                                  QPageLayout::Millimeter));
    // The document is laid out in pixels of 1/96 inch, page by page, and the
    // writer scales the pages to its own resolution. Laid out here it is
    // printed as it is, with the pictures it holds.
    const QSizeF page = pdf.pageLayout().paintRect(QPageLayout::Point).size() * (96.0 / 72.0);
    doc.setPageSize(page);
    FitPictures(doc, page.width() - 2 * doc.documentMargin());
    doc.print(&pdf);
    return 0;
}
