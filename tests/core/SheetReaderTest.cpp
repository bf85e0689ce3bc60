// Reading spreadsheets into texts: workbooks written by a spreadsheet library (with
// shared and with inline strings), hand-made workbook parts, CSV in both encodings,
// and the messages for files that cannot be read.

#include "platform/SheetReader.h"
#include "support/OddInputs.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <minizip/zip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

void writeWorkbook(const QString& path, bool constantMemory, const std::function<void(lxw_workbook*)>& fill) {
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
    ASSERT_NE(book, nullptr);
    fill(book);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

void writeZip(const QString& path, const QList<std::pair<QString, QByteArray>>& parts) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, bytes] : parts) {
        ASSERT_EQ(zipOpenNewFileInZip64(zip, name.toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0,
                                        nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, bytes.constData(), static_cast<unsigned>(bytes.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

using test::writeFile;

// A missing cell must read "" rather than a null string, which SQL would store as NULL.
bool hasNullCells(const Sheet& sheet) {
    const auto isNull = [](const QString& text) { return text.isNull(); };
    return std::any_of(sheet.captions.begin(), sheet.captions.end(), isNull) ||
           std::any_of(sheet.rows.begin(), sheet.rows.end(), [&](const SheetRow& row) {
               return std::any_of(row.cells.begin(), row.cells.end(), isNull);
           });
}

QString errorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const SheetError& e) {
        return e.message();
    }
    return u"(no error)"_s;
}

TEST(SheetReaderTest, ReadsSharedAndInlineStringsAndNumbers) {
    const QString longText(10000, u'账');
    for (const bool constantMemory : {false, true}) {
        SCOPED_TRACE(constantMemory ? "inline strings" : "shared strings");
        QTemporaryDir dir;
        const QString path = dir.filePath(u"期初.XLSX"_s);
        writeWorkbook(path, constantMemory, [&](lxw_workbook* book) {
            lxw_worksheet* ws = workbook_add_worksheet(book, "期初");
            worksheet_write_string(ws, 1, 0, " 编码 ", nullptr);  // row 1 stays empty
            worksheet_write_string(ws, 1, 1, "名称", nullptr);
            worksheet_write_string(ws, 1, 3, "金额", nullptr);  // an empty caption before it
            worksheet_write_string(ws, 2, 0, "0101", nullptr);
            worksheet_write_string(ws, 2, 1, "圆钢 \"Q235\", Φ20\n第二行", nullptr);
            worksheet_write_number(ws, 2, 3, 0.1 + 0.2, nullptr);
            worksheet_write_string(ws, 3, 0, " ", nullptr);  // blank, dropped
            worksheet_write_string(ws, 4, 1, longText.toUtf8().constData(), nullptr);
            worksheet_write_number(ws, 4, 2, 4.35 * 100, nullptr);
            worksheet_write_number(ws, 5, 0, -1234567.25, nullptr);
            worksheet_write_number(ws, 5, 1, 1.5e20, nullptr);
            worksheet_write_number(ws, 5, 2, 1e-20, nullptr);
            worksheet_write_number(ws, 5, 3, 100, nullptr);
            worksheet_write_boolean(ws, 5, 4, 1, nullptr);  // right of the last caption
            worksheet_write_formula_str(ws, 6, 0, "=\"A\"&\"B\"", nullptr, "AB");
            worksheet_write_formula_num(ws, 6, 1, "=1+2", nullptr, 3);
            worksheet_write_number(ws, 6, 2, 46022, nullptr);
            worksheet_write_string(ws, 8, 0, "", nullptr);  // trailing rows without text
        });
        const Sheet sheet = readSheet(path);
        EXPECT_EQ(sheet.name, u"期初"_s);
        EXPECT_FALSE(sheet.date1904);
        EXPECT_FALSE(hasNullCells(sheet));
        EXPECT_EQ(sheet.captionLine, 2);
        EXPECT_EQ(sheet.captions, (QStringList{u"编码"_s, u"名称"_s, u""_s, u"金额"_s, u""_s}));
        ASSERT_EQ(sheet.rows.size(), 4);
        EXPECT_EQ(sheet.rows[0].line, 3);
        EXPECT_EQ(sheet.rows[0].cells,
                  (QStringList{u"0101"_s, u"圆钢 \"Q235\", Φ20\n第二行"_s, u""_s, u"0.3"_s, u""_s}));
        EXPECT_EQ(sheet.rows[1].line, 5);
        QStringList second = sheet.rows[1].cells;
        ASSERT_EQ(second.size(), 5);
        EXPECT_TRUE(second[1] == longText) << "the long text changed, size " << second[1].size();
        second[1] = u"(long)"_s;
        EXPECT_EQ(second, (QStringList{u""_s, u"(long)"_s, u"435"_s, u""_s, u""_s}));
        EXPECT_EQ(sheet.rows[2].cells, (QStringList{u"-1234567.25"_s, u"150000000000000000000"_s,
                                                    u"0.00000000000000000001"_s, u"100"_s, u"TRUE"_s}));
        EXPECT_EQ(sheet.rows[3].line, 7);
        EXPECT_EQ(sheet.rows[3].cells.mid(0, 2), (QStringList{u"AB"_s, u"3"_s}));
        EXPECT_EQ(excelSerialDate(sheet.rows[3].cells[2].toDouble(), sheet.date1904), QDate(2025, 12, 31));
    }
}

TEST(SheetReaderTest, PicksSheetsByName) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"two.xlsx"_s);
    writeWorkbook(path, false, [](lxw_workbook* book) {
        worksheet_write_string(workbook_add_worksheet(book, "首页"), 0, 0, "第一", nullptr);
        lxw_worksheet* second = workbook_add_worksheet(book, "Stock B");
        worksheet_write_string(second, 0, 0, "第二", nullptr);
        worksheet_write_string(second, 1, 0, "x", nullptr);
        workbook_add_worksheet(book, "空");
    });
    EXPECT_EQ(readSheet(path).captions, QStringList{u"第一"_s});
    EXPECT_EQ(worksheetNames(path), (QStringList{u"首页"_s, u"Stock B"_s, u"空"_s}));
    EXPECT_EQ(readSheet(path).sheetNames, worksheetNames(path));
    const Sheet second = readSheet(path, u"stock b"_s);
    EXPECT_EQ(second.name, u"Stock B"_s);
    EXPECT_EQ(second.captions, QStringList{u"第二"_s});
    ASSERT_EQ(second.rows.size(), 1);
    EXPECT_EQ(second.rows[0].cells, QStringList{u"x"_s});

    const QString missing = errorOf([&] { readSheet(path, u"期初"_s); });
    EXPECT_TRUE(missing.contains(u"two.xlsx"_s)) << missing.toStdString();
    EXPECT_TRUE(missing.contains(u"“期初”"_s) && missing.contains(u"首页、Stock B、空"_s))
        << missing.toStdString();
    const QString empty = errorOf([&] { readSheet(path, u"空"_s); });
    EXPECT_TRUE(empty.contains(u"没有数据"_s) && empty.contains(u"空"_s)) << empty.toStdString();
}

// What the library above never writes: absolute part names, the 1904 date system,
// rich text with a phonetic guide, cells without a position, numbers in exponent form.
TEST(SheetReaderTest, ReadsHandWrittenWorkbookParts) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"hand.xlsx"_s);
    const QByteArray ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
    const QByteArray rel = R"(http://schemas.openxmlformats.org/officeDocument/2006/relationships)";
    writeZip(path,
             {{u"xl/workbook.xml"_s,
               "<workbook" + ns + " xmlns:r=\"" + rel +
                   "\"><workbookPr date1904=\"1\"/>"
                   "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>"},
              {u"xl/_rels/workbook.xml.rels"_s,
               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
               "<Relationship Id=\"rId7\" Type=\"" +
                   rel +
                   "/worksheet\" Target=\"/xl/data/s.xml\"/>"
                   "<Relationship Id=\"rId8\" Type=\"" +
                   rel +
                   "/sharedStrings\" Target=\"strings.xml\"/>"
                   "</Relationships>"},
              {u"xl/strings.xml"_s,
               "<sst" + ns +
                   "><si><t>plain</t></si><si><r><t>富</t></r><r><rPr/><t xml:space=\"preserve\"> 文本 "
                   "</t></r><rPh><t>フ</t></rPh></si><si><t/></si></sst>"},
              {u"xl/data/s.xml"_s,
               "<worksheet" + ns +
                   "><sheetData><row r=\"4\"><c t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><t>b</t></is>"
                   "</c><c r=\"D4\" t=\"inlineStr\"><is><t>d</t></is></c></row><row><c t=\"s\"><v>2</v>"
                   "</c><c><v>1.0000000000000001E-3</v></c><c><v>0</v></c><c r=\"D5\" t=\"s\"><v>1</v></c>"
                   "</row></sheetData></worksheet>"}});
    const Sheet sheet = readSheet(path);
    EXPECT_TRUE(sheet.date1904);
    EXPECT_EQ(sheet.captionLine, 4);
    EXPECT_EQ(sheet.captions, (QStringList{u"plain"_s, u"b"_s, u""_s, u"d"_s}));
    ASSERT_EQ(sheet.rows.size(), 1);
    EXPECT_EQ(sheet.rows[0].line, 5);
    EXPECT_EQ(sheet.rows[0].cells, (QStringList{u""_s, u"0.001"_s, u"0"_s, u"富 文本 "_s}));
    EXPECT_FALSE(hasNullCells(sheet));
}

TEST(SheetReaderTest, ConvertsDayNumbersToDates) {
    EXPECT_EQ(excelSerialDate(1, false), QDate(1900, 1, 1));
    EXPECT_EQ(excelSerialDate(59, false), QDate(1900, 2, 28));
    EXPECT_FALSE(excelSerialDate(60, false).isValid());  // 1900-02-29
    EXPECT_EQ(excelSerialDate(61, false), QDate(1900, 3, 1));
    EXPECT_EQ(excelSerialDate(46022.75, false), QDate(2025, 12, 31));
    EXPECT_EQ(excelSerialDate(2958465, false), QDate(9999, 12, 31));
    EXPECT_FALSE(excelSerialDate(2958466, false).isValid());
    EXPECT_FALSE(excelSerialDate(0, false).isValid());
    EXPECT_EQ(excelSerialDate(0, true), QDate(1904, 1, 1));
    EXPECT_EQ(excelSerialDate(46022 - 1462, true), QDate(2025, 12, 31));
    EXPECT_FALSE(excelSerialDate(-1, true).isValid());
}

TEST(SheetReaderTest, ReadsCsvInUtf8AndGb18030) {
    const Sheet utf8 = readCsv(
        "\xEF\xBB\xBF"
        "编码,名称,数量\r\n\r\n"
        "0101,\"圆钢 \"\"Q235\"\", Φ20\r\n第二行\",24\r\n"
        ",0102,\r\n");
    EXPECT_EQ(utf8.captions, (QStringList{u"编码"_s, u"名称"_s, u"数量"_s}));
    ASSERT_EQ(utf8.rows.size(), 2);
    EXPECT_EQ(utf8.rows[0].line, 3);
    EXPECT_EQ(utf8.rows[0].cells, (QStringList{u"0101"_s, u"圆钢 \"Q235\", Φ20\r\n第二行"_s, u"24"_s}));
    EXPECT_EQ(utf8.rows[1].line, 4);
    EXPECT_EQ(utf8.rows[1].cells, (QStringList{u""_s, u"0102"_s, u""_s}));
    EXPECT_FALSE(hasNullCells(utf8));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"期初余额.csv"_s);
    QStringEncoder gb18030("GB18030");
    ASSERT_TRUE(gb18030.isValid());
    const QByteArray bytes = gb18030.encode(u"存货编码,存货名称\n0101,\"钢材,圆\"\n\n0102,铜材"_s);
    ASSERT_TRUE(bytes.contains("\xB4\xE6")) << "not GB18030 bytes";  // 存
    writeFile(path, bytes);
    const Sheet gb = readSheet(path);
    EXPECT_EQ(gb.name, u"期初余额"_s);
    EXPECT_EQ(gb.captions, (QStringList{u"存货编码"_s, u"存货名称"_s}));
    ASSERT_EQ(gb.rows.size(), 2);
    EXPECT_EQ(gb.rows[0].cells, (QStringList{u"0101"_s, u"钢材,圆"_s}));
    EXPECT_EQ(gb.rows[1].line, 4);
    EXPECT_EQ(gb.rows[1].cells, (QStringList{u"0102"_s, u"铜材"_s}));
}

// Catches: a reader that changes what a file holds: a quote, a line break or a
// comma inside a CSV cell, a control character a workbook keeps as _xHHHH_, a
// surrogate pair, a long text, blanks at either end. Every odd text goes through
// a CSV written by the RFC 4180 rules and a workbook written by the spreadsheet
// library, in both string kinds, and comes back as written (what the format can
// hold: UTF-8 has no half of a surrogate pair, and a workbook cell ends at a NUL,
// which no spreadsheet keeps).
TEST(SheetReaderTest, EveryOddTextComesBackAsWritten) {
    const QList<QString>& texts = test::oddInputs();
    QByteArray csv = "编码,内容\r\n";
    for (int i = 0; i < texts.size(); ++i) {
        QString quoted = texts.at(i);
        quoted.replace(u'"', u"\"\""_s);
        csv += QByteArray::number(i) + ",\"" + quoted.toUtf8() + "\"\r\n";
    }
    const auto asUtf8 = [](const QString& text) { return QString::fromUtf8(text.toUtf8()); };
    const Sheet fromCsv = readCsv(csv);
    ASSERT_EQ(fromCsv.rows.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(fromCsv.rows.at(i).cells.value(1), asUtf8(texts.at(i)))
            << "CSV " << test::describeInput(texts.at(i));

    QTemporaryDir dir;
    for (const bool constantMemory : {false, true}) {
        const QString path = dir.filePath(constantMemory ? u"inline.xlsx"_s : u"shared.xlsx"_s);
        writeWorkbook(path, constantMemory, [&](lxw_workbook* book) {
            lxw_worksheet* sheet = workbook_add_worksheet(book, "odd");
            worksheet_write_string(sheet, 0, 0, "编码", nullptr);
            worksheet_write_string(sheet, 0, 1, "内容", nullptr);
            for (int i = 0; i < texts.size(); ++i) {
                const auto row = static_cast<lxw_row_t>(i + 1);
                worksheet_write_string(sheet, row, 0, QByteArray::number(i).constData(), nullptr);
                worksheet_write_string(sheet, row, 1, texts.at(i).toUtf8().constData(), nullptr);
            }
        });
        const Sheet fromBook = readSheet(path);
        QHash<QString, QString> byNumber;
        for (const SheetRow& row : fromBook.rows) byNumber.insert(row.cells.value(0), row.cells.value(1));
        for (int i = 0; i < texts.size(); ++i) {
            const QString written = asUtf8(texts.at(i).section(QChar(0), 0, 0));
            EXPECT_EQ(byNumber.value(QString::number(i)), written)
                << (constantMemory ? "inline " : "shared ") << test::describeInput(texts.at(i));
        }
    }
}

TEST(SheetReaderTest, ReportsFilesThatCannotBeRead) {
    QTemporaryDir dir;
    const auto expectError = [](const std::function<void()>& read, const QString& name, const QString& what) {
        const QString message = errorOf(read);
        EXPECT_TRUE(message.contains(name) && message.contains(what)) << message.toStdString();
    };
    const QString text = dir.filePath(u"text.xlsx"_s);
    writeFile(text, "编码,名称\n0101,钢\n");
    expectError([&] { readSheet(text); }, u"text.xlsx"_s, u"不是有效的 XLSX 工作簿"_s);

    const QString whole = dir.filePath(u"whole.xlsx"_s);
    writeWorkbook(whole, false, [](lxw_workbook* book) {
        lxw_worksheet* ws = workbook_add_worksheet(book, nullptr);
        for (int r = 0; r < 200; ++r) worksheet_write_number(ws, r, 0, r * 1.5, nullptr);
    });
    QFile file(whole);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString cut = dir.filePath(u"cut.xlsx"_s);
    writeFile(cut, file.readAll().first(file.size() / 2));
    expectError([&] { readSheet(cut); }, u"cut.xlsx"_s, u"不是有效的 XLSX 工作簿"_s);

    const QString empty = dir.filePath(u"empty.csv"_s);
    writeFile(empty, "\xEF\xBB\xBF\r\n , \r\n");
    expectError([&] { readSheet(empty); }, u"empty.csv"_s, u"中没有数据"_s);
    expectError([&] { readCsv({}); }, u"CSV"_s, u"中没有数据"_s);
    expectError([&] { readCsv("a,b\n1,\"2\n3,4\n"); }, u"第 2 行"_s, u"引号"_s);
    expectError([&] { readSheet(dir.filePath(u"none.csv"_s)); }, u"none.csv"_s, u"无法读取文件"_s);
}

}  // namespace
}  // namespace qc
