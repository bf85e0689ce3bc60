#include "platform/PdfTextMap.h"

#include <QList>
#include <QMap>
#include <QRegularExpression>

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace qc {

namespace {

struct PdfObject {
    int number = 0;
    qsizetype offset = 0;
};

struct PdfLayout {
    QList<PdfObject> objects;  // in the order they lie in the file
    qsizetype table = 0;       // where the cross-reference table begins
    int size = 0;              // the entries the table holds
};

// The objects the cross-reference table names; nothing when the file has no
// classic table.
std::optional<PdfLayout> objectsOf(const QByteArray& pdf) {
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (start < 0) return std::nullopt;
    bool ok = false;
    const qsizetype table = pdf.mid(start + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || table <= 0 || table >= pdf.size() || !pdf.mid(table).startsWith("xref")) return std::nullopt;
    QList<PdfObject> objects;
    int size = 0;
    qsizetype at = pdf.indexOf('\n', table) + 1;
    // Sections "first count", each entry "oooooooooo ggggg n" in 20 bytes.
    while (at > 0 && at < pdf.size() && !pdf.mid(at).startsWith("trailer")) {
        const qsizetype end = pdf.indexOf('\n', at);
        if (end < 0) return std::nullopt;
        const QList<QByteArray> head = pdf.mid(at, end - at).trimmed().split(' ');
        if (head.size() != 2) return std::nullopt;
        const int first = head.at(0).toInt(&ok);
        if (!ok) return std::nullopt;
        const int count = head.at(1).toInt(&ok);
        if (!ok || count < 0) return std::nullopt;
        size = std::max(size, first + count);
        at = end + 1;
        for (int i = 0; i < count; ++i, at += 20) {
            const QByteArray entry = pdf.mid(at, 20);
            if (entry.size() < 18) return std::nullopt;
            if (entry.at(17) != 'n') continue;
            const qsizetype offset = entry.left(10).toLongLong(&ok);
            if (!ok || offset <= 0 || offset >= table) return std::nullopt;
            objects << PdfObject{first + i, offset};
        }
    }
    std::sort(objects.begin(), objects.end(),
              [](const PdfObject& a, const PdfObject& b) { return a.offset < b.offset; });
    return PdfLayout{objects, table, size};
}

QByteArray inflate(const QByteArray& data) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    QByteArray out;
    char buffer[16384];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = ::inflate(&z, Z_NO_FLUSH);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - z.avail_out));
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray();
}

// The code points a CMap's UTF-16BE hex string stands for.
QList<char32_t> codePointsOf(const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    QList<char32_t> units;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        units << ((static_cast<uchar>(bytes.at(i)) << 8) | static_cast<uchar>(bytes.at(i + 1)));
    QList<char32_t> points;
    for (qsizetype i = 0; i < units.size(); ++i) {
        const char32_t u = units.at(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size()) {
            points << (0x10000 + ((u - 0xD800) << 10) + (units.at(i + 1) - 0xDC00));
            ++i;
        } else {
            points << u;
        }
    }
    return points;
}

QByteArray hexOf(const QList<char32_t>& points) {
    QByteArray out;
    const auto unit = [&out](char32_t u) {
        out += QByteArray::number(u, 16).rightJustified(4, '0').toUpper();
    };
    for (const char32_t p : points) {
        if (p >= 0x10000) {
            unit(0xD800 + ((p - 0x10000) >> 10));
            unit(0xDC00 + ((p - 0x10000) & 0x3FF));
        } else {
            unit(p);
        }
    }
    return out;
}

// The glyph-code-to-text entries of a CMap (bfchar and bfrange, ranges spelled
// out), with the hex width of its codes.
struct CMapEntries {
    QMap<uint, QList<char32_t>> text;
    int codeDigits = 4;
};

std::optional<CMapEntries> entriesOf(const QByteArray& cmap) {
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f]*)>|\\[|\\]"));
    CMapEntries e;
    const QString text = QString::fromLatin1(cmap);
    qsizetype at = 0;
    while (true) {
        const qsizetype chars = text.indexOf(QStringLiteral("beginbfchar"), at);
        const qsizetype ranges = text.indexOf(QStringLiteral("beginbfrange"), at);
        if (chars < 0 && ranges < 0) break;
        const bool isRange = chars < 0 || (ranges >= 0 && ranges < chars);
        const qsizetype begin = isRange ? ranges : chars;
        const qsizetype end =
            text.indexOf(isRange ? QStringLiteral("endbfrange") : QStringLiteral("endbfchar"), begin);
        if (end < 0) return std::nullopt;
        QStringList tokens;
        auto it = token.globalMatch(QStringView(text).mid(begin, end - begin));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            tokens << (m.captured(0).startsWith(u'<') ? m.captured(1) : m.captured(0));
        }
        qsizetype i = 0;
        while (i < tokens.size()) {
            bool ok = false;
            const uint low = tokens.at(i).toUInt(&ok, 16);
            if (!ok) return std::nullopt;
            e.codeDigits = static_cast<int>(tokens.at(i).size());
            if (!isRange) {
                if (i + 1 >= tokens.size()) return std::nullopt;
                e.text[low] = codePointsOf(tokens.at(i + 1).toLatin1());
                i += 2;
                continue;
            }
            if (i + 2 >= tokens.size()) return std::nullopt;
            const uint high = tokens.at(i + 1).toUInt(&ok, 16);
            if (!ok || high < low) return std::nullopt;
            if (tokens.at(i + 2) == u"[") {
                i += 3;
                for (uint code = low; i < tokens.size() && tokens.at(i) != u"]"; ++code, ++i)
                    e.text[code] = codePointsOf(tokens.at(i).toLatin1());
                ++i;
            } else {
                QList<char32_t> first = codePointsOf(tokens.at(i + 2).toLatin1());
                for (uint code = low; code <= high && !first.isEmpty(); ++code) {
                    e.text[code] = first;
                    ++first.last();
                }
                i += 3;
            }
        }
        at = end;
    }
    return e;
}

// The CMap with its entries anew as single-code entries, 100 to a block, the
// head (up to the code-space range) kept.
QByteArray rewrittenCMap(const QByteArray& cmap, const CMapEntries& e) {
    const qsizetype headEnd = cmap.indexOf("endcodespacerange");
    QByteArray out = cmap.left(headEnd + 17) + '\n';
    const QList<uint> codes = e.text.keys();
    for (qsizetype i = 0; i < codes.size(); i += 100) {
        const qsizetype n = std::min<qsizetype>(100, codes.size() - i);
        out += QByteArray::number(n) + " beginbfchar\n";
        for (qsizetype k = i; k < i + n; ++k)
            out += '<' + QByteArray::number(codes.at(k), 16).rightJustified(e.codeDigits, '0').toUpper() +
                   "> <" + hexOf(e.text.value(codes.at(k))) + ">\n";
        out += "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}

// The stream of an object (inflated when it is compressed); nothing when the
// object holds no stream this reads.
std::optional<QByteArray> streamOf(const QByteArray& object) {
    const qsizetype dict = object.indexOf("<<");
    const qsizetype keyword = object.indexOf("stream", dict);
    const qsizetype last = object.lastIndexOf("endstream");
    if (dict < 0 || keyword < 0 || last < keyword) return std::nullopt;
    qsizetype data = keyword + 6;
    if (object.mid(data, 2) == "\r\n")
        data += 2;
    else if (object.at(data) == '\n')
        ++data;
    else
        return std::nullopt;
    QByteArray raw = object.mid(data, last - data);
    const QByteArray head = object.left(keyword);
    if (head.contains("/Filter")) {
        if (!head.contains("/FlateDecode") || head.contains("/DecodeParms")) return std::nullopt;
        raw = inflate(raw);
        if (raw.isEmpty()) return std::nullopt;
    }
    return raw;
}

}  // namespace

QByteArray mapGlyphsTo(const QByteArray& pdf, const std::function<char32_t(char32_t)>& preferred) {
    const auto layout = objectsOf(pdf);
    if (!layout) return {};
    const QList<PdfObject>& objects = layout->objects;
    const qsizetype table = layout->table;
    if (objects.isEmpty()) return {};
    const auto bodyOf = [&](qsizetype i) {
        const qsizetype end = i + 1 < objects.size() ? objects.at(i + 1).offset : table;
        return pdf.mid(objects.at(i).offset, end - objects.at(i).offset);
    };

    // The objects that are some font's text map.
    static const QRegularExpression reference(QStringLiteral("/ToUnicode\\s+(\\d+)\\s+0\\s+R"));
    QList<int> maps;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QByteArray body = bodyOf(i);
        const qsizetype stream = body.indexOf("stream");
        if (stream >= 0) body.truncate(stream);
        auto it = reference.globalMatch(QString::fromLatin1(body));
        while (it.hasNext()) maps << it.next().captured(1).toInt();
    }

    QMap<int, QByteArray> replaced;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (!maps.contains(objects.at(i).number)) continue;
        const std::optional<QByteArray> cmap = streamOf(bodyOf(i));
        if (!cmap) return {};
        std::optional<CMapEntries> entries = entriesOf(*cmap);
        if (!entries || !cmap->contains("endcodespacerange")) return {};
        bool changed = false;
        for (QList<char32_t>& text : entries->text)
            for (char32_t& c : text) {
                const char32_t better = preferred(c);
                changed = changed || better != c;
                c = better;
            }
        if (!changed) continue;
        const QByteArray data = rewrittenCMap(*cmap, *entries);
        replaced[objects.at(i).number] = QByteArray::number(objects.at(i).number) + " 0 obj\n<<\n/Length " +
                                         QByteArray::number(data.size()) + "\n>>\nstream\n" + data +
                                         "\nendstream\nendobj\n";
    }
    if (replaced.isEmpty()) return pdf;

    // The objects in their order, the replaced ones anew, and a cross-reference
    // table of the new offsets; the trailer as it was.
    QByteArray out = pdf.left(objects.first().offset);
    QMap<int, qsizetype> offsets;
    int highest = 0;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const int number = objects.at(i).number;
        offsets[number] = out.size();
        highest = std::max(highest, number);
        out += replaced.contains(number) ? replaced.value(number) : bodyOf(i);
    }
    const qsizetype newTable = out.size();
    const int size = std::max(layout->size, highest + 1);
    out += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
    for (int n = 1; n < size; ++n) {
        if (offsets.contains(n))
            out += QByteArray::number(offsets.value(n)).rightJustified(10, '0') + " 00000 n \n";
        else
            out += "0000000000 00000 f \n";
    }
    const qsizetype trailer = pdf.indexOf("trailer", table);
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (trailer < 0 || start < trailer) return {};
    out += pdf.mid(trailer, start - trailer);
    out += "startxref\n" + QByteArray::number(newTable) + "\n%%EOF\n";
    return out;
}

}  // namespace qc
