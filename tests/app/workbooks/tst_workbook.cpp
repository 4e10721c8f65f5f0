// The workbook layer and the results export, checked by reading the parts
// of the saved .xlsx files back.

#include "FForw.h"
#include "Model.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "ResultDisplay.h"
#include "ResultsExport.h"
#include "RunState.h"
#include "Settings.h"
#include "ThSys.h"
#include "Workbook.h"
#include "Utils.h"
#include "support/DesktopLocale.h"
#include "support/AppFixture.h"
#include "support/SavedWorkbook.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ferrolyt;

namespace {

// The number format code of a style index (cellXfs order).
QString NumberFormatOfStyle(const QString& file, int style)
{
    QMap<int, QString> codes = {{0, "General"}, {2, "0.00"}, {49, "@"}};
    QList<int> formats; // of each cellXfs entry
    bool inCellXfs = false;
    for (QXmlStreamReader x(ZipMember(file, "xl/styles.xml")); !x.atEnd();) {
        x.readNext();
        if (x.name() == u"cellXfs")
            inCellXfs = x.isStartElement();
        else if (x.isStartElement() && x.name() == u"numFmt")
            codes[x.attributes().value("numFmtId").toInt()] = x.attributes().value("formatCode").toString();
        else if (x.isStartElement() && x.name() == u"xf" && inCellXfs)
            formats << x.attributes().value("numFmtId").toInt();
    }
    return style < formats.size() ? codes.value(formats[style], QString::number(formats[style])) : QString();
}

QStringList SheetNames(const QString& file)
{
    QStringList names;
    for (QXmlStreamReader x(ZipMember(file, "xl/workbook.xml")); !x.atEnd();)
        if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"sheet")
            names << x.attributes().value("name").toString();
    return names;
}

double Number(const TSavedSheet& s, const QString& ref)
{
    bool ok = false;
    const double v = s.Values.value(ref).toDouble(&ok);
    return ok ? v : std::nan("");
}

} // namespace

class TstWorkbook : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString Path(const QString& name) const { return dir->filePath(name); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup() { dir.reset(); }

    // --- addresses and names

    void addressesReadColumnsRowsAndBlocks()
    {
        QCOMPARE(QString::fromStdString(ColumnLetters(1)), QString("A"));
        QCOMPARE(QString::fromStdString(ColumnLetters(26)), QString("Z"));
        QCOMPARE(QString::fromStdString(ColumnLetters(27)), QString("AA"));
        QCOMPARE(QString::fromStdString(ColumnLetters(703)), QString("AAA"));
        const auto block = ParseRangeAddress("$B$3:A1");
        QVERIFY(block);
        QCOMPARE(*block, (TCellRect{1, 1, 3, 2}));
        const auto cols = ParseRangeAddress("D:E");
        QVERIFY(cols && cols->WholeColumns() && !cols->WholeRows());
        QCOMPARE(cols->Col1, 4);
        const auto rows = ParseRangeAddress("2:2");
        QVERIFY(rows && rows->WholeRows() && rows->Row1 == 2);
        QVERIFY(!ParseRangeAddress("1A"));
        QVERIFY(!ParseRangeAddress("A0"));
        QVERIFY(!ParseRangeAddress("XFE1")); // beyond the last column
    }

    void fileNamesTakeTheExtensionOfTheFormat()
    {
        QCOMPARE(QString::fromStdString(WorkbookExtension(xl::OpenXMLWorkbook)), QString(".xlsx"));
        QCOMPARE(QString::fromStdString(WorkbookExtension(xl::Excel8)), QString(".xls"));
        QCOMPARE(QString::fromStdString(ChangeFileExt("a/Heat 1.xls", ".xlsx")), QString("a/Heat 1.xlsx"));
        QCOMPARE(QString::fromStdString(ChangeFileExt("a.b/Heat", ".xlsx")), QString("a.b/Heat.xlsx"));
        QCOMPARE(QString::fromStdString(ChangeFileExt("Ser_Port-Cont_Mn_мет_мас.%.xls", ".xlsx")),
                 QString("Ser_Port-Cont_Mn_мет_мас.%.xlsx"));

        TWorkbook book(1);
        std::string name = Path("Heat 1.xls").toStdString();
        QCOMPARE(QString::fromStdString(SaveWorkbookAs(book, name)), QString(".xlsx"));
        QVERIFY(book.Saved);
        QCOMPARE(QString::fromStdString(name), Path("Heat 1.xlsx"));
        // No .xls and no temporary file beside it.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"Heat 1.xlsx"});
    }

    void sheetNamesAreCheckedAsTheFileFormatRequires()
    {
        TWorkbook book(2);
        book.Worksheets(1).SetName("Дані");
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.Worksheets(2).SetName("дані/2"));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.Worksheets(2).SetName("Дані"));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.Worksheets(2).SetName(std::string(32, 'x')));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.Worksheets(3));
        QCOMPARE(QString::fromStdString(book.Worksheets(2).Name()), QString("Sheet2"));
    }

    // --- values, formulas and formats in the saved file

    void savedSheetHoldsValuesFormulasAndFormats()
    {
        TSpreadsheetApp app;
        app.SheetsInNewWorkbook = 2;
        TWorkbook& book = app.AddWorkbook();
        QCOMPARE(book.SheetCount(), 2);
        TWorksheet& s = book.Worksheets(1);
        s.SetName("Дані");
        s.Range("A1:B2").SetValues({{1.5, std::string("текст")}, {2.5, std::string("-")}});
        s.Cells(2, 2).SetNumberFormat("@");
        s.Cells(3, 1).SetFormula("=SUM(A1:A2)");
        s.Cells(4, 1).SetFormula("=(A1+A3)*2-A2/5");
        s.Cells(5, 1).SetFormula("=A1*10", 99.0); // a result the caller knows wins
        s.Cells(1, 3).SetValue(0.1234);
        s.Cells(1, 3).SetNumberFormat("0.000");
        s.Range("A6:C6").Merge();
        s.Cells(6, 1).SetValue(std::string("Заголовок"));
        s.Columns(2).SetColumnWidth(14);
        s.Rows(1).SetRowHeight(20);
        TWorksheet& other = book.Worksheets(2);
        other.Cells(1, 1).SetFormula("='Дані'!A3+1");

        const QString file = Path("values.xlsx");
        book.SaveAs(file.toStdString());
        QCOMPARE(SheetNames(file), (QStringList{"Дані", "Sheet2"}));
        const TSavedSheet x = ReadSheet(file, 1);
        QCOMPARE(Number(x, "A1"), 1.5);
        QCOMPARE(x.Values.value("B1"), QString("текст"));
        QCOMPARE(x.Values.value("B2"), QString("-"));
        QCOMPARE(NumberFormatOfStyle(file, x.Styles.value("B2")), QString("@"));
        QCOMPARE(x.Formulas.value("A3"), QString("SUM(A1:A2)"));
        QCOMPARE(Number(x, "A3"), 4.0);
        QCOMPARE(Number(x, "A4"), 10.5); // (1.5 + 4) * 2 - 0.5
        QCOMPARE(Number(x, "A5"), 99.0);
        QCOMPARE(NumberFormatOfStyle(file, x.Styles.value("C1")), QString("0.000"));
        QCOMPARE(x.Values.value("A6"), QString("Заголовок"));
        QVERIFY(x.Xml.contains("<mergeCell ref=\"A6:C6\"/>"));
        QVERIFY(x.Xml.contains(QRegularExpression("<col min=\"2\" max=\"2\" width=\"14")));
        QVERIFY(x.Xml.contains(QRegularExpression("<row r=\"1\"[^>]*ht=\"20\"")));
        const TSavedSheet y = ReadSheet(file, 2);
        QCOMPARE(Number(y, "A1"), 5.0); // across sheets
    }

    // The workbook library formats numbers with the C library's printf: on
    // a desktop with a decimal comma they are still written with a point.
    void numbersAreWrittenWithAPointOnADecimalCommaDesktop()
    {
        const TDesktopLocale uk("uk_UA.UTF-8");
        QVERIFY2(uk.Active(), "the uk_UA.UTF-8 locale is missing");
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        s.Range("A1:B2").SetValues({{0.0, 3.5}, {1.0, 4.5}});
        s.Cells(3, 2).SetFormula("=B1*2+0.25");
        TChart& c = s.AddChart(10, 20, 400, 300);
        c.SetSourceData("A1:A2;B1:B2");
        c.Axis(2).MinimumScale = 0.5;
        const QString file = Path("comma.xlsx");
        book.SaveAs(file.toStdString());
        const TSavedSheet x = ReadSheet(file, 1);
        QCOMPARE(x.Values.value("B1"), QString("3.5"));
        QCOMPARE(x.Values.value("B3"), QString("7.25"));
        const QString chart = ZipMember(file, "xl/charts/chart1.xml");
        QVERIFY(chart.contains("<c:min val=\"0.5\"/>"));
        for (const QString& xml : {x.Xml, chart})
            QVERIFY(!xml.contains(QRegularExpression("\\d,\\d")));
    }

    // A file-format defined name holds at most 127 bytes: the print titles
    // of a sheet with a long Cyrillic name still name both ranges whole.
    void printTitlesOfALongCyrillicSheetName()
    {
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        const std::string longName = "Ефекти та властивості матеріалів"; // 59 bytes once cut to 31 letters
        s.SetName(Utf8Left(longName, 31));
        s.Cells(1, 1).SetValue(1.0);
        s.PageSetup.PrintTitleFirstColumn = s.PageSetup.PrintTitleFirstRow = true;
        const QString file = Path("titles.xlsx");
        book.SaveAs(file.toStdString());
        QString titles;
        for (QXmlStreamReader x(ZipMember(file, "xl/workbook.xml")); !x.atEnd();)
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"definedName" &&
                x.attributes().value("name") == u"_xlnm.Print_Titles")
                titles = x.readElementText();
        const QString sheet = SheetNames(file).value(0);
        QVERIFY(!sheet.isEmpty());
        QCOMPARE(titles, QString("'%1'!$A:$A,'%1'!$1:$1").arg(sheet));
        QVERIFY(QString::fromStdString(longName).startsWith(sheet));
    }

    void circularFormulasSaveWithoutAResult()
    {
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        s.Cells(1, 1).SetFormula("=A2+1");
        s.Cells(2, 1).SetFormula("=A1+1");
        s.Cells(3, 1).SetFormula("=1/0");
        QVERIFY(std::holds_alternative<std::monostate>(book.Evaluate(s, 1, 1)));
        QVERIFY(std::holds_alternative<std::monostate>(book.Evaluate(s, 3, 1)));
        const QString file = Path("loop.xlsx");
        book.SaveAs(file.toStdString());
        QCOMPARE(ReadSheet(file, 1).Formulas.value("A2"), QString("A1+1"));
    }

    void formatsOfWholeRowsAndColumnsReachLaterCells()
    {
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        s.Cells(1, 1).SetValue(1.0);
        s.Rows().SetFontName("Arial");
        s.Columns(2).SetBold(true);
        s.Cells(3, 2).SetValue(2.0); // written after the column's format
        QCOMPARE(s.FindCell(1, 1)->Format.FontName.value_or(""), std::string("Arial"));
        QVERIFY(s.FindCell(3, 2)->Format.Bold.value_or(false));
        QCOMPARE(s.FindCell(3, 2)->Format.FontName.value_or(""), std::string("Arial"));
        QVERIFY(!s.FindCell(1, 1)->Format.Bold);
    }

    void bordersCopiedFormatsAndDeletedColumns()
    {
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        const TRange r = s.Range("A1:C3");
        r.BorderAround(xl::Continuous, xl::Medium, xl::Automatic);
        r.SetBorder(xl::InsideHorizontal, {xl::Continuous, xl::Thin, xl::Automatic});
        QCOMPARE(s.FindCell(1, 1)->Format.Borders[1]->Weight, xl::Medium); // top edge
        QCOMPARE(s.FindCell(2, 2)->Format.Borders[1]->Weight, xl::Thin);   // inside line
        QVERIFY(!s.FindCell(2, 2)->Format.Borders[0]);                      // no inside vertical
        s.Range("A1:B1").Merge();
        s.Cells(1, 1).SetBold(true);
        r.CopyFormatsTo(s.Cells(10, 1));
        QVERIFY(s.FindCell(10, 1)->Format.Bold.value_or(false));
        QCOMPARE(s.FindCell(12, 3)->Format.Borders[2]->Weight, xl::Medium); // bottom right corner
        QVERIFY(std::count(s.Merges().begin(), s.Merges().end(), TCellRect{10, 1, 10, 2}) == 1);

        for (int c = 1; c <= 6; ++c)
            s.Cells(1, c).SetValue(double(c));
        s.Cells(5, 6).SetValue(60.0); // below the deleted block: stays
        s.Range("B1:C3").DeleteShiftLeft();
        QCOMPARE(std::get<double>(s.FindCell(1, 2)->Value), 4.0);
        QCOMPARE(std::get<double>(s.FindCell(1, 4)->Value), 6.0);
        QVERIFY(!s.FindCell(1, 5));
        QCOMPARE(std::get<double>(s.FindCell(5, 6)->Value), 60.0);
    }

    // --- charts

    void chartSeriesAxesAndMarkersAreSaved()
    {
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        s.SetName("Heat 1");
        s.Range("A1:C4").SetValues({{std::string("X"), std::string("Mn"), std::string("Si")},
                                    {0.0, 1.0, 4.0},
                                    {5.0, 2.0, 3.0},
                                    {10.0, 3.5, 2.0}});
        TChart& c = s.AddChart(10, 20, 400, 300);
        c.SetSourceData("A1:A4;B1:C4");
        QCOMPARE(int(c.Series.size()), 2);
        QVERIFY(c.Series[0].NameCell.has_value());
        c.Axis(1).MinimumScale = 0;
        c.Axis(1).MaximumScale = 10;
        c.Axis(1).HasTitle = true;
        c.Axis(1).Title = "Тиск, атм";
        c.Axis(2).HasTitle = true;
        c.Axis(2).Title = "Вміст, мас.%";
        c.HasLegend = true;
        c.SeriesAt(1).MarkerStyle = xl::MarkerCircle;
        c.SeriesAt(1).MarkerSize = 7;
        c.SeriesAt(1).BorderColorIndex = 3;
        c.SeriesAt(1).Smooth = true;
        c.SeriesAt(2).MarkerStyle = xl::None;
        c.SeriesAt(2).BorderColorIndex = 1;
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, c.SeriesAt(3));
        QCOMPARE(c.YMinimumScale(), 0.0);

        TChart& single = s.AddChart(420, 20, 400, 300);
        single.SetSourceData("A2:A4;C2:C4"); // no header row: one unnamed series
        single.HasLegend = false;
        QCOMPARE(int(single.Series.size()), 1);
        QCOMPARE(single.Series[0].YValues, (TCellRect{2, 3, 4, 3}));

        const QString file = Path("chart.xlsx");
        book.SaveAs(file.toStdString());
        const QString xml = ZipMember(file, "xl/charts/chart1.xml");
        // The series name comes from the header, FF0000 is colour index 3,
        // 000000 index 1 (written, not left to the reader's default), and
        // 3.5 is in the cached series data; the Y axis has its gridlines.
        for (const QString part : {"<c:scatterChart>", "<c:f>'Heat 1'!$A$2:$A$4</c:f>", "<c:f>'Heat 1'!$B$2:$B$4</c:f>",
                                   "<c:f>'Heat 1'!$C$2:$C$4</c:f>", "<c:f>'Heat 1'!$B$1</c:f>", "<c:min val=\"0\"/>",
                                   "<c:max val=\"10\"/>", "Тиск, атм", "Вміст, мас.%", "<c:symbol val=\"circle\"/>",
                                   "<c:symbol val=\"none\"/>", "<c:smooth val=\"1\"/>", "FF0000", "<c:v>3.5</c:v>",
                                   "<a:srgbClr val=\"000000\"/>", "<c:axPos val=\"l\"/><c:majorGridlines/>"})
            QVERIFY2(xml.contains(part), qPrintable(part));
        const QString xml2 = ZipMember(file, "xl/charts/chart2.xml");
        QVERIFY(!xml2.isEmpty());
        QVERIFY(!xml2.contains("<c:legend>"));
        QVERIFY(ZipMember(file, "xl/drawings/drawing1.xml").contains("<xdr:twoCellAnchor"));
    }

    void chartWithBadSourceIsRefused()
    {
        TWorkbook book(1);
        TChart& c = book.Worksheets(1).AddChart(0, 0, 400, 300);
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, c.SetSourceData("A1:A4;Q"));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, c.SetSourceData("A1:A4"));
    }

    // --- failures

    void aFailedSaveLeavesNoFileAndSaysWhy()
    {
        TWorkbook book(1);
        book.Worksheets(1).Cells(1, 1).SetValue(1.0);
        const std::string missing = Path("no such folder/out.xlsx").toStdString();
        try {
            book.SaveAs(missing);
            QFAIL("the save should fail");
        } catch (const TWorkbookError& e) {
            QVERIFY2(QString(e.what()).startsWith("Неможливо записати файл "), e.what());
            QVERIFY(QString(e.what()).contains("out.xlsx"));
        }
        QVERIFY(!QFile::exists(QString::fromStdString(missing)));

        // The target name is taken by a folder: the rename fails at the end.
        QVERIFY(QDir(dir->path()).mkdir("taken.xlsx"));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.SaveAs(Path("taken.xlsx").toStdString()));
        QVERIFY(QFileInfo(Path("taken.xlsx")).isDir());
        QVERIFY(!QFile::exists(Path("taken.xlsx.part")));
    }

    void aFailedSaveKeepsTheOldFile()
    {
        QFile old(Path("keep.xlsx"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        TWorkbook book(1);
        // A text longer than a cell can hold fails in the middle of writing.
        book.Worksheets(1).Cells(1, 1).SetValue(1.0);
        book.Worksheets(1).Cells(2, 1).SetValue(std::string(40000, 'x'));
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, book.SaveAs(Path("keep.xlsx").toStdString()));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QVERIFY(!QFile::exists(Path("keep.xlsx.part")));
    }

    // --- number routines of the export

    void numberMasksAndRoundingOfTheExport()
    {
        const std::pair<double, const char*> masks[] = {
            {10, "0.00"}, {9.99, "0.000"}, {1, "0.000"}, {0.1, "0.0000"}, {0.0999, "0.00000"}};
        for (const auto& [x, mask] : masks)
            QCOMPARE(QString::fromStdString(NumberFormatFor(x)), QString(mask));

        const auto cells = PutNumberCells(12.3456L, 1.23456L);
        QCOMPARE(std::get<double>(cells[0]), 1.235);
        QCOMPARE(std::get<double>(cells[1]), 12.35);
        QCOMPARE(std::get<double>(cells[2]), 6.790);
        const auto tiny = PutNumberCells(3e-5L, 4.9e-5L);
        for (const auto& c : tiny)
            QCOMPARE(std::get<double>(c), 0.0);
        const auto nan = PutNumberCells(std::nanl(""), 1);
        QVERIFY(std::holds_alternative<std::monostate>(nan[2]));
    }

    void summaryTextsGiveLowerUpperAndMean()
    {
        auto v = SummaryNumberMask("1600..1620");
        QCOMPARE(*v.Lower, 1600.0);
        QCOMPARE(*v.Upper, 1620.0);
        QCOMPARE(*v.Mean, 1610.0);
        v = SummaryNumberMask("1600");
        QVERIFY(v.Lower == 1600.0 && v.Upper == 1600.0 && v.Mean == 1600.0);
        v = SummaryNumberMask("1,5..2,25"); // two decimals shown: the mean keeps two
        QCOMPARE(*v.Mean, 1.88);
        v = SummaryNumberMask("-..7");
        QVERIFY(!v.Lower && *v.Upper == 7.0 && !v.Mean);
        v = SummaryNumberMask("abc");
        QVERIFY(!v.Lower && !v.Upper && !v.Mean);

        TSummaryArray s{};
        PutSummaryRow(4, "Температура задана", "°С", 1600, UnsetValue, "", s);
        QCOMPARE(std::get<double>(s[4][0]), 4.0);
        QCOMPARE(std::get<double>(s[4][3]), 1600.0);
        QVERIFY(std::holds_alternative<std::monostate>(s[4][4]));
        QVERIFY(std::holds_alternative<std::monostate>(s[4][5]));
        PutSummaryRow(5, "Температура кінцева", "°С", UnsetValue, UnsetValue, "1600..1620", s);
        QCOMPARE(std::get<double>(s[5][5]), 1610.0);
    }

    void gridCellsBecomeNumbersOrTexts()
    {
        TStringGrid grid(4, 3);
        grid.SetCell(0, 0, "N");
        grid.SetCell(1, 0, "Ел");
        grid.SetCell(2, 0, "10");
        grid.SetCell(1, 1, " Fe");
        grid.SetCell(2, 1, "1,5");
        grid.SetCell(3, 1, "-");
        grid.SetCell(1, 2, "12");
        TWorkbook book(1);
        TWorksheet& s = book.Worksheets(1);
        GridToSheet(s, grid, 4, 3);
        const QString file = Path("grid.xlsx");
        book.SaveAs(file.toStdString());
        const TSavedSheet x = ReadSheet(file, 1);
        QCOMPARE(Number(x, "C2"), 1.5);
        QCOMPARE(x.Values.value("D2"), QString("-"));
        QCOMPARE(NumberFormatOfStyle(file, x.Styles.value("D2")), QString("@"));
        QCOMPARE(x.Values.value("C1"), QString("10")); // the header row stays text
        QCOMPARE(x.Values.value("B3"), QString("12")); // so does the second column
        QCOMPARE(Number(x, "A2"), 1.0);
        QCOMPARE(Number(x, "A3"), 2.0);
        QCOMPARE(s.FindCell(1, 2)->Format.Borders[3]->Weight, xl::Medium); // second column framed

        // A range shown with a decimal comma goes to the file with points.
        const TDesktopLocale uk("uk_UA.UTF-8");
        QVERIFY2(uk.Active(), "the uk_UA.UTF-8 locale is missing");
        grid.SetCell(3, 2, "1,5..2,5");
        GridToSheet(s, grid, 4, 3);
        book.SaveAs(file.toStdString());
        QCOMPARE(ReadSheet(file, 1).Values.value("D3"), QString("1.5..2.5"));
    }

    // --- the results export on the sample project

    void resultsExportOfTheSampleHeat()
    {
        ResetModel();
        SetOptionDefaults();
        QVERIFY(UseSampleCopy(*dir));
        QtHost host;
        TFForw w;
        host.AttachWindow(&w, w.SBarPanels);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(ResultsShown);
        QVERIFY(MaterialCount > 0);

        // A gas grid of two species, the totals below them.
        TStringGrid gas(4, 5);
        SetGridHeader(gas, GasGridHeader);
        const std::vector<std::vector<std::string>> lines = {
            {"1", "CO", "0,5", "0.6"}, {"2", "CO2", "-", "1e-3"}, {"", "P tot", "1", "1"}, {"", "V m3", "120", "130"}};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                gas.SetCell(c, r + 1, lines[std::size_t(r)][std::size_t(c)]);
        const int shownGasLines = GasLineCount;
        GasLineCount = 2;
        TExportInputs in = ExportInputsOf(w);
        in.GasGrid = &gas;
        QVERIFY(QDir(dir->path()).mkdir("out"));
        const std::string written = ExportResults(Path("out/Heat.xls").toStdString(), in);
        const QString file = QString::fromStdString(written);
        QCOMPARE(file, Path("out/Heat.xlsx"));
        QCOMPARE(QDir(Path("out")).entryList(QDir::Files), QStringList{"Heat.xlsx"});
        QCOMPARE(SheetNames(file),
                 (QStringList{"Осн. показники", "Метал-шлак-газ", "Материалі", "ТД функції", "Тиск газів"}));

        const TSavedSheet s1 = ReadSheet(file, 1);
        QCOMPARE(s1.Values.value("A1"), QString("№"));
        QCOMPARE(s1.Values.value("F1"), QString("Середнє"));
        QCOMPARE(s1.Values.value("B2"), QString("Тиск"));
        QCOMPARE(s1.Values.value("C2"), QString("атм"));
        QCOMPARE(Number(s1, "D2"), 1.0);
        QCOMPARE(Number(s1, "F2"), 1.0);
        QCOMPARE(s1.Values.value("B19"), QString("Вартість матеріалів факт"));
        QCOMPARE(Number(s1, "A19"), 18.0);
        const double metalLo = Number(s1, "D9"), metalHi = Number(s1, "E9");
        QVERIFY2(metalLo > 0 && metalLo <= metalHi, qPrintable(s1.Values.value("D9")));
        // A mean is the formula of its two values, written with its result.
        QCOMPARE(s1.Formulas.value("F9"), QString("(D9+E9)/2"));
        QVERIFY(std::abs(Number(s1, "F9") - (metalLo + metalHi) / 2) <= 0.0051); // to the two decimals shown
        QVERIFY(s1.Xml.contains("&amp;P of &amp;N"));
        // One printed page, and the gas volume with the digits of the other cells.
        QVERIFY(s1.Xml.contains("<pageSetUpPr fitToPage=\"1\"/>"));
        QVERIFY(!s1.Xml.contains("fitToHeight=\"0\""));
        QVERIFY(Number(s1, "E17") > 0);
        QCOMPARE(NumberFormatOfStyle(file, s1.Styles.value("E17")),
                 QString::fromStdString(NumberFormatFor(Number(s1, "E17"))));
        QVERIFY(s1.Xml.contains("Heat.xlsx")); // the header names the saved file

        const int e = SystemElemLast;
        const TSavedSheet s2 = ReadSheet(file, 2);
        QCOMPARE(s2.Values.value("A1"), QString("Метал"));
        QCOMPARE(s2.Values.value("A2"), QString("№"));
        QCOMPARE(s2.Values.value("D2"), QString("Задано, %"));
        QCOMPARE(s2.Values.value("F3"), QString("Сер."));
        QCOMPARE(s2.Values.value(QString("A%1").arg(e + 6)), QString("Шлак"));
        QCOMPARE(s2.Values.value(QString("B%1").arg(e + 7)), QString("Компо- ненты"));
        QCOMPARE(s2.Values.value(QString("G%1").arg(e + 7)), QString("Кінцевий (оксид.), %"));
        QCOMPARE(s2.Values.value(QString("A%1").arg(2 * e + 11)), QString("Газ"));
        QCOMPARE(s2.Values.value("B4"), QString("   ") + QString::fromStdString(ThSystems[0]->El(0).Symbol));
        const double fe = Number(s2, "I4");
        QVERIFY2(fe > 90 && fe < 100, qPrintable(s2.Values.value("I4")));
        QCOMPARE(s2.Formulas.value("I4"), QString("(G4+H4)/2"));
        QCOMPARE(s2.Formulas.value("L4"), QString("(J4+K4)/2"));
        const double feKg = Number(s2, "L4");
        QVERIFY(std::abs(feKg - 500 * double(ThSystems[0]->El(0).MetalMass + ThSystems[1]->El(0).MetalMass)) <
                0.01 * feKg);
        for (const QString& m : {QString("A2:A3"), QString("D2:F2"), QString("J%1:L%1").arg(e + 7), QString("A%1:A%2").arg(2 * e + 12).arg(2 * e + 13)})
            QVERIFY2(s2.Xml.contains("<mergeCell ref=\"" + m + "\"/>"), qPrintable(m));

        const TSavedSheet s3 = ReadSheet(file, 3);
        QCOMPARE(s3.Values.value("J1"), QString("Макс,%"));
        QCOMPARE(s3.Values.value("B2"), QString::fromStdString(MaterialTable[1].Name));
        QCOMPARE(Number(s3, "C2"), double(MaterialTable[1].Amount));
        QCOMPARE(Number(s3, QString("A%1").arg(MaterialCount + 1)), double(MaterialCount));

        const TSavedSheet s4 = ReadSheet(file, 4);
        // Columns C..H went: the grid's column 8 is now C.
        QCOMPARE(s4.Values.value("C1"), QString::fromStdString(w.ElGridCells.Cell(8, 0)));
        QCOMPARE(s4.Values.value("B2"), QString::fromStdString(w.ElGridCells.Cell(1, 1)));
        QVERIFY(!s4.Values.contains(QString("A%1").arg(e + 3)));

        const TSavedSheet s5 = ReadSheet(file, 5);
        QCOMPARE(s5.Values.value("B2"), QString("CO"));
        QCOMPARE(Number(s5, "C2"), 0.5);
        QCOMPARE(s5.Values.value("C3"), QString("-"));
        QCOMPARE(Number(s5, "D3"), 1e-3);
        QCOMPARE(s5.Values.value(QString("B%1").arg(GasLineCount + 2)), QString("P tot"));
        QCOMPARE(s5.Values.value(QString("B%1").arg(GasLineCount + 3)), QString("V m3"));
        QVERIFY(!s5.Values.contains(QString("A%1").arg(GasLineCount + 2)));
        QCOMPARE(Number(s5, "A2"), 1.0);

        // A folder that does not exist: an error, and nothing written.
        QVERIFY_THROWS_EXCEPTION(TWorkbookError, ExportResults(w, Path("missing/Heat.xls").toStdString()));
        QVERIFY(!QFile::exists(Path("missing/Heat.xlsx")));
        GasLineCount = shownGasLines; // the window's own grid again
        w.close();
    }
};

QTEST_MAIN(TstWorkbook)
#include "tst_workbook.moc"
