#include "platform/SheetParts.h"

#include <QXmlStreamReader>

#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <cmath>

// Reading an XLSX workbook: the ZIP package streamed part by part through an XML
// reader, the workbook's sheets and relationships, shared and inline strings,
// numbers as their exact decimal text.

using namespace Qt::StringLiterals;

namespace qc {

using namespace sheetparts;

namespace {

// A worksheet has at most 16,384 columns (A to XFD); a cell beyond is a damaged file.
constexpr int kMaxColumns = 16384;

[[noreturn]] void notWorkbook(const QString& where, const QString& detail = {}) {
    const QString message = u"%1 不是有效的 XLSX 工作簿"_s.arg(where);
    fail(detail.isEmpty() ? message : u"%1（%2）"_s.arg(message, detail));
}

// A part of the package as a device that inflates as it is read, so that a
// worksheet of hundreds of megabytes streams through the XML reader.
class PartDevice : public QIODevice {
  public:
    explicit PartDevice(unzFile zip) : m_zip(zip) {}
    [[nodiscard]] bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const int read =
            unzReadCurrentFile(m_zip, data, static_cast<unsigned>(std::min<qint64>(maxSize, 1 << 20)));
        return read < 0 ? -1 : read;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    unzFile m_zip;
};

// The ZIP package of a workbook. (minizip is the zip library the XLSX writer
// already loads; a second copy of its functions in the process would clash.)
class Package {
  public:
    Package(const QString& path, const QString& where)
        : m_zip(unzOpen64(QFile::encodeName(path).constData())), m_where(where) {
        if (!m_zip) notWorkbook(where);
    }
    ~Package() { unzClose(m_zip); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Streams the part `name` (in any case) through `parse`; false when there is no
    // such part. Damaged XML or a damaged compressed stream makes the file invalid.
    template <class Parse>
    bool read(const QString& name, Parse&& parse) {
        if (unzLocateFile(m_zip, name.toUtf8().constData(), 2) != UNZ_OK) return false;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK) notWorkbook(m_where, u"无法打开 %1"_s.arg(name));
        PartDevice device(m_zip);
        device.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&device);
        parse(xml);
        if (xml.hasError())
            notWorkbook(m_where, u"%1 第 %2 行：%3"_s.arg(name).arg(xml.lineNumber()).arg(xml.errorString()));
        if (unzCloseCurrentFile(m_zip) != UNZ_OK) notWorkbook(m_where, u"%1 已损坏"_s.arg(name));
        return true;
    }

  private:
    unzFile m_zip;
    QString m_where;
};

struct Relationship {
    QString id;
    QString type;
    QString target;  // the part's name in the package, without a leading slash
};

// The relationships of the part `part`, from <dir>/_rels/<file>.rels, with their
// targets resolved against the part's folder (or the package root when absolute).
QList<Relationship> readRelationships(Package& package, const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString dir = part.first(slash + 1);
    const QString relsPart = dir + u"_rels/"_s + part.sliced(slash + 1) + u".rels"_s;
    QList<Relationship> relationships;
    package.read(relsPart, [&](QXmlStreamReader& xml) {
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship") continue;
            const QXmlStreamAttributes attrs = xml.attributes();
            if (attrs.value("TargetMode"_L1) == u"External") continue;
            QString target = attrs.value("Target"_L1).toString().replace(u'\\', u'/');
            target = QDir::cleanPath(target.startsWith(u'/') ? target.sliced(1) : dir + target);
            relationships.append(
                {attrs.value("Id"_L1).toString(), attrs.value("Type"_L1).toString(), target});
        }
    });
    return relationships;
}

const Relationship* findRelationship(const QList<Relationship>& list, QStringView typeSuffix) {
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const Relationship& r) { return r.type.endsWith(typeSuffix); });
    return it == list.end() ? nullptr : &*it;
}

// A workbook's text with the characters XML cannot carry as they are written:
// "_xHHHH_" stands for the UTF-16 unit HHHH (a control character, a carriage
// return kept in a cell), and "_x005F_" escapes the underscore of a text that
// itself reads like an escape.
QString unescapeCellText(const QString& text) {
    if (!text.contains(u"_x"_s)) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_') {
            const QStringView digits = QStringView(text).mid(i + 2, 4);
            if (std::all_of(digits.begin(), digits.end(),
                            [](QChar c) { return isxdigit(c.unicode()) != 0; })) {
                out += QChar(static_cast<char16_t>(digits.toUInt(nullptr, 16)));
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

// The text of an <si> or <is> element, the reader on its start: a plain <t>, or
// the <t> of every rich-text run joined; phonetic guides (<rPh>) are not text.
QString readRichText(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"t") {
                text += unescapeCellText(xml.readElementText());
            } else if (xml.name() == u"rPh") {
                xml.skipCurrentElement();
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return text;
}

// The 0-based column of a reference such as "B3"; -1 when it has no valid letters.
int columnOf(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 3; ++i) {
        const char16_t c = ref[i].toUpper().unicode();
        if (c < u'A' || c > u'Z') break;
        column = column * 26 + (c - u'A' + 1);
    }
    return i == 0 || column > kMaxColumns ? -1 : column - 1;
}

// Expands the exponent of a number written by QString::number(…, 'g'), so that
// 1.5e-05 reads 0.000015 and 1.2e+20 reads 120000000000000000000.
QString withoutExponent(const QString& g) {
    const qsizetype e = g.indexOf(u'e');
    if (e < 0) return g == u"-0" ? u"0"_s : g;
    QStringView mantissa = QStringView(g).first(e);
    const int exponent = QStringView(g).sliced(e + 1).toInt();
    const bool negative = mantissa.startsWith(u'-');
    if (negative) mantissa = mantissa.sliced(1);
    const qsizetype dot = mantissa.indexOf(u'.');
    QString digits = mantissa.toString();
    if (dot >= 0) digits.remove(dot, 1);
    const qsizetype point = (dot < 0 ? mantissa.size() : dot) + exponent;  // digits before the point
    QString out = negative ? u"-"_s : QString();
    if (point <= 0)
        out += u"0."_s + QString(-point, u'0') + digits;
    else if (point >= digits.size())
        out += digits + QString(point - digits.size(), u'0');
    else
        out += digits.first(point) + u'.' + digits.sliced(point);
    return out;
}

// True for plain decimal text with at most 15 significant digits and nothing to
// tidy: no exponent, no superfluous zeros at either end, no "-0". Such text goes
// through double and back unchanged, so it needs no conversion.
bool isTidyDecimal(QStringView text) {
    const bool negative = text.startsWith(u'-');
    if (negative) text = text.sliced(1);
    if (text == u"0") return !negative;
    const qsizetype dot = text.indexOf(u'.');
    const QStringView whole = dot < 0 ? text : text.first(dot);
    const QStringView fraction = dot < 0 ? QStringView() : text.sliced(dot + 1);
    if (whole.isEmpty() || (whole.size() > 1 && whole[0] == u'0')) return false;
    if (dot >= 0 && (fraction.isEmpty() || fraction.endsWith(u'0'))) return false;
    const auto digits = [](QStringView part) {
        return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!digits(whole) || !digits(fraction)) return false;
    qsizetype significant = whole == u"0" ? 0 : whole.size();
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        if (significant > 0 || fraction[i] != u'0') ++significant;
    }
    return significant <= 15;
}

// A stored number as plain decimal text with the 15 significant digits a
// spreadsheet program keeps and shows, so that 0.30000000000000004 reads 0.3.
QString numberText(const QString& stored) {
    if (isTidyDecimal(stored)) return stored;
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return stored;
    return withoutExponent(QString::number(value, 'g', 15));
}

enum class CellType { Number, Shared, Boolean, Text };

CellType cellType(QStringView t) {
    if (t.isEmpty() || t == u"n") return CellType::Number;
    if (t == u"s") return CellType::Shared;
    if (t == u"b") return CellType::Boolean;
    return CellType::Text;  // inlineStr, str (a formula's text), e (an error such as #N/A), d (ISO date)
}

void readWorksheet(QXmlStreamReader& xml, const QStringList& strings, SheetBuilder& builder,
                   const QString& where) {
    int line = 0;
    QStringList cells;
    qsizetype width = 0;
    int column = -1;
    CellType type = CellType::Number;
    QString value;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"c") {
                const QXmlStreamAttributes attrs = xml.attributes();
                const QStringView ref = attrs.value("r"_L1);
                column = ref.isEmpty() ? column + 1 : columnOf(ref);
                if (column < 0 || column >= kMaxColumns)
                    notWorkbook(where, u"第 %1 行的单元格位置“%2”无效"_s.arg(line).arg(ref));
                type = cellType(attrs.value("t"_L1));
                value.clear();
            } else if (name == u"v") {
                value = xml.readElementText();
            } else if (name == u"row") {
                const int r = xml.attributes().value("r"_L1).toInt();
                line = r > 0 ? r : line + 1;
                cells.clear();
                cells.reserve(width);  // rows are mostly as wide as the one before
                column = -1;
            } else if (name == u"is") {
                value = readRichText(xml);
            } else if (name == u"f") {
                xml.skipCurrentElement();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = xml.name();
            if (name == u"c") {
                if (value.isEmpty()) continue;
                QString text;
                switch (type) {
                    case CellType::Number:
                        text = numberText(value);
                        break;
                    case CellType::Boolean:
                        text = value == u"1" ? u"TRUE"_s : value == u"0" ? u"FALSE"_s : value;
                        break;
                    case CellType::Text:
                        text = value;
                        break;
                    case CellType::Shared: {
                        bool ok = false;
                        const qsizetype index = value.toLongLong(&ok);
                        if (!ok || index < 0 || index >= strings.size())
                            notWorkbook(where, u"第 %1 行引用了不存在的共享字符串 %2"_s.arg(line).arg(value));
                        text = strings.at(index);
                        break;
                    }
                }
                if (text.isEmpty()) continue;  // an empty shared string: the padding stands for it
                if (cells.size() <= column) cells.resize(column + 1, emptyText());
                cells[column] = std::move(text);
            } else if (name == u"row") {
                width = cells.size();
                builder.add(line, std::exchange(cells, {}));
            } else if (name == u"sheetData") {
                return;  // the rest of the sheet is layout
            }
        }
    }
}

struct SheetEntry {
    QString name;
    QString relationshipId;
};

// The workbook part of a package: its name, its worksheets in order, and its
// date system.
struct Workbook {
    QString part;
    QList<SheetEntry> entries;
    bool date1904 = false;
};

Workbook readWorkbook(Package& package, const QString& where) {
    Workbook book;
    // The package names its workbook part; nearly always xl/workbook.xml.
    book.part = u"xl/workbook.xml"_s;
    const QList<Relationship> packageParts = readRelationships(package, QString());
    if (const auto* main = findRelationship(packageParts, u"/officeDocument")) book.part = main->target;
    const bool hasWorkbook = package.read(book.part, [&](QXmlStreamReader& xml) {
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            const QXmlStreamAttributes attrs = xml.attributes();
            if (xml.name() == u"workbookPr") {
                const QStringView flag = attrs.value("date1904"_L1);
                book.date1904 = flag == u"1" || flag == u"true";
            } else if (xml.name() == u"sheet") {
                SheetEntry entry{attrs.value("name"_L1).toString(), QString()};
                for (const QXmlStreamAttribute& a : attrs) {
                    if (a.name() == u"id" && !a.namespaceUri().isEmpty())
                        entry.relationshipId = a.value().toString();
                }
                book.entries.append(entry);
            }
        }
    });
    if (!hasWorkbook) notWorkbook(where, u"缺少 %1"_s.arg(book.part));
    if (book.entries.isEmpty()) notWorkbook(where, u"工作簿中没有工作表"_s);
    return book;
}

// An old binary workbook at `path` is refused with what to do.
void checkNotLegacy(const QString& path, const QString& where) {
    QFile file(path);
    openForReading(file);
    if (isLegacyWorkbook(file.read(8))) notWorkbook(where, u"这是旧的 .xls 格式，请另存为 .xlsx 后再读取"_s);
}

Sheet xlsxSheet(const QString& path, const QString& sheetName) {
    const QString where = fileLabel(path);
    checkNotLegacy(path, where);
    Package package(path, where);
    const Workbook book = readWorkbook(package, where);
    const QList<SheetEntry>& entries = book.entries;
    const bool date1904 = book.date1904;
    const QString& workbookPart = book.part;

    const SheetEntry* chosen = &entries.first();
    if (!sheetName.isEmpty()) {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const SheetEntry& e) {
            return e.name.compare(sheetName, Qt::CaseInsensitive) == 0;
        });
        if (it == entries.end()) {
            QStringList names;
            for (const SheetEntry& e : entries) names << e.name;
            fail(u"%1：工作簿中没有名为“%2”的工作表（有：%3）"_s.arg(where, sheetName, names.join(u"、")));
        }
        chosen = &*it;
    }

    const QList<Relationship> parts = readRelationships(package, workbookPart);
    auto sheetPart = std::find_if(parts.begin(), parts.end(),
                                  [&](const Relationship& r) { return r.id == chosen->relationshipId; });
    if (sheetPart == parts.end()) notWorkbook(where, u"找不到工作表“%1”的内容"_s.arg(chosen->name));

    QStringList strings;
    const Relationship* stringsPart = findRelationship(parts, u"/sharedStrings");
    package.read(stringsPart ? stringsPart->target : u"xl/sharedStrings.xml"_s, [&](QXmlStreamReader& xml) {
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() == u"si") {
                strings.append(readRichText(xml));
            } else if (xml.name() == u"sst") {
                // The count is only a hint: a damaged one must not reserve gigabytes.
                strings.reserve(std::min(xml.attributes().value("uniqueCount"_L1).toLongLong(), 1LL << 20));
            }
        }
    });

    SheetBuilder builder;
    const bool hasSheet = package.read(
        sheetPart->target, [&](QXmlStreamReader& xml) { readWorksheet(xml, strings, builder, where); });
    if (!hasSheet) notWorkbook(where, u"缺少 %1"_s.arg(sheetPart->target));
    if (builder.empty()) fail(u"%1 中没有数据（工作表“%2”）"_s.arg(where, chosen->name));
    Sheet sheet = builder.finish();
    sheet.name = chosen->name;
    for (const SheetEntry& e : entries) sheet.sheetNames << e.name;
    sheet.date1904 = date1904;
    return sheet;
}

}  // namespace

QStringList sheetparts::xlsxSheetNames(const QString& path) {
    const QString where = fileLabel(path);
    checkNotLegacy(path, where);
    Package package(path, where);
    QStringList names;
    for (const SheetEntry& e : readWorkbook(package, where).entries) names << e.name;
    return names;
}

Sheet readXlsx(const QString& path, const QString& sheetName) {
    return xlsxSheet(path, sheetName);
}

}  // namespace qc
