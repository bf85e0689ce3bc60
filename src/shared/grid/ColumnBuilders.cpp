#include "shared/grid/ColumnBuilders.h"

namespace qc::grid {

namespace {
QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
}  // namespace

ColumnSpec fixedColumn(const char* key, const char* caption, const char* source, ColumnKind kind, int width,
                       bool dictionary) {
    ColumnSpec c;
    c.key = QString::fromLatin1(key);
    c.caption = QString::fromUtf8(caption);
    c.source = QString::fromLatin1(source);
    c.kind = kind;
    c.width = width;
    c.dictionary = dictionary;
    return c;
}

QString freeItemId(int n) {
    return n <= 2 ? QString::number(19 + n) : twoDigits(25 + n);
}
QString inventoryDefineId(int n) {
    return n <= 3 ? QString::number(16 + n) : twoDigits(48 + n);
}
QString headDefineId(int n) {
    return twoDigits(n <= 10 ? n : n + 25);
}
QString lineDefineId(int n) {
    return twoDigits(n <= 27 ? n : n + 14);
}

QString inventoryDefinePattern(int n) {
    if (n == 11 || n == 12) return QStringLiteral("###0");
    if (n == 7 || n == 13 || n == 14) return QStringLiteral("###0.000000");
    return {};
}
QString definePattern(int n) {
    if (n == 5 || n == 15 || n == 34 || n == 35) return QStringLiteral("###0");
    if (n == 7 || n == 16 || n == 26 || n == 27) return QStringLiteral("###0.000000");
    return {};
}

ColumnSpec userDefinedColumn(const QString& key, const QString& source, const QString& id,
                             const QString& pattern, bool dictionary, bool date) {
    ColumnSpec c;
    c.key = key;
    c.source = source;
    c.userDefId = id;
    c.pattern = pattern;
    c.dictionary = dictionary;
    c.kind = date ? ColumnKind::Date : ColumnKind::Text;
    c.width = 0;  // shown once the item has a caption
    return c;
}

}  // namespace qc::grid
