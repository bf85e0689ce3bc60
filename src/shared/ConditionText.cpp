#include "shared/ConditionText.h"

#include "host/HostDb.h"
#include "platform/Dialect.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"

#include <QSqlQuery>

#include <optional>
#include <stdexcept>

namespace qc {

namespace {

bool isIdentifier(const QString& name) {
    if (name.isEmpty()) return false;
    for (const QChar ch : name) {
        const char16_t u = ch.unicode();
        const bool ok =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
        if (!ok) return false;
    }
    return true;
}

// Table and column names reach the statement as text, so they must be names the
// database itself reports.
void requireColumns(Database& db, const QString& table, const QStringList& columns) {
    if (!isIdentifier(table)) throw std::invalid_argument("not a table name: " + table.toStdString());
    const QStringList have = db.columnsOf(table);
    if (have.isEmpty()) throw std::invalid_argument("no such table: " + table.toStdString());
    for (const QString& c : columns) {
        if (!isIdentifier(c) || !have.contains(c.toLower()))
            throw std::invalid_argument("no such column: " + table.toStdString() + "." + c.toStdString());
    }
}

struct CodeName {
    QString code;
    QString name;
};

// A character that makes "iif" part of a longer word or of a quoted name.
bool joinsWord(QChar ch) {
    const char16_t u = ch.unicode();
    if (u > 0x7f) return true;
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'\'' ||
           u == u'"';
}

}  // namespace

bool CheckCodeName(LoginContext& ctx, CodeBox& box, const QString& codeField, const QString& nameField,
                   const QString& table, const QString& parentField, const QString& parentTable,
                   const QString& parentCode, const SqlFragment& extra) {
    if (box.text.isEmpty()) {
        box.tag.clear();
        return true;
    }
    // A control character or half a surrogate pair names no entry.
    if (hasNoTextCharacters(box.text)) {
        box = CodeBox{};
        return false;
    }
    if (!ctx.gDb) throw std::logic_error("code check without an open account database");
    Database& db = ctx.gDb->Connection();
    const bool withParent = !parentField.isEmpty();
    requireColumns(db, table, {codeField, nameField});
    if (withParent) {
        requireColumns(db, table, {parentField});
        requireColumns(db, parentTable, {parentField});
    }

    const QString t = table;
    QString head = QStringLiteral("Select ") + t + u'.' + codeField + u',' + t + u'.' + nameField +
                   QStringLiteral(" From ") + t;
    if (withParent) head += u',' + parentTable;
    QString tail;
    QVariantList tailBinds;
    if (withParent) {
        tail += QStringLiteral(" And ") + t + u'.' + parentField + u'=' + parentTable + u'.' + parentField +
                QStringLiteral(" And ") + parentTable + u'.' + parentField + QStringLiteral(" Like ?") +
                Dialect::likeEscape();
        tailBinds << QVariant(prefixPattern(parentCode));
    }
    tail += extra.sql;
    tailBinds += extra.binds;
    if (t.compare(u"Department", Qt::CaseInsensitive) == 0) tail += QStringLiteral(" and bDepEnd=1");

    // At most two rows are read: one is a match, two are too many.
    auto lookup = [&](const QString& v) -> std::optional<QList<CodeName>> {
        const QString sql =
            RePlaceStrForIIF(head + QStringLiteral(" Where(") + t + u'.' + codeField +
                             QStringLiteral("=? Or ") + t + u'.' + nameField + QStringLiteral("=?)") + tail);
        QVariantList binds{v, v};
        binds += tailBinds;
        try {
            QSqlQuery q = db.exec(sql, binds);
            QList<CodeName> rows;
            while (rows.size() < 2 && q.next())
                rows << CodeName{textOf(q.value(0)), vFldValue(q.value(1), false).toString()};
            return rows;
        } catch (const DbError&) {
            return std::nullopt;
        }
    };

    std::optional<QList<CodeName>> rows = lookup(box.text);
    if (rows && rows->size() > 1) rows = lookup(box.tag);
    if (rows && rows->size() == 1) {
        box.text = rows->first().name;
        box.tag = rows->first().code;
        return true;
    }
    box.text.clear();
    box.tag.clear();
    return false;
}

bool CodeInStr(const QString& list, const QString& code) {
    return list.split(u',').contains(code);
}

QString RePlaceStrForIIF(const QString& sql) {
    const qsizetype at = sql.indexOf(QStringLiteral("iif"), 0, Qt::CaseInsensitive);
    if (at < 0) return sql;
    const QString before = sql.left(at);
    const QString rest = RePlaceStrForIIF(sql.mid(at + 3));

    const bool joinedBefore = at > 0 && joinsWord(sql.at(at - 1));
    const bool joinedAfter = at + 3 < sql.size() && joinsWord(sql.at(at + 3));
    if (joinedBefore || joinedAfter) return before + sql.mid(at, 3) + rest;

    // The call's own parentheses: the first "(" opens it and is dropped, its
    // matching ")" closes it as " END)"; its commas become THEN and ELSE.
    QString walked;
    std::optional<int> depth;
    bool thenDone = false;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar ch = rest.at(i);
        if (ch == u'(') {
            if (!depth) {
                depth = 1;
                continue;
            }
            ++*depth;
        } else if (ch == u')') {
            if (depth && *depth == 1) {
                walked += QStringLiteral(" END)") + rest.mid(i + 1);
                break;
            }
            if (depth) --*depth;
        } else if (ch == u',' && depth && *depth == 1) {
            walked += thenDone ? QStringLiteral(" ELSE ") : QStringLiteral(" THEN ");
            thenDone = true;
            continue;
        }
        walked += ch;
    }
    return before + QStringLiteral("(CASE WHEN ") + walked;
}

QVariant vFldValue(const QVariant& value, bool numeric) {
    if (value.isNull()) return numeric ? QVariant(0) : QVariant(QString());
    return value;
}

QString GetStringItem(const QString& source, int n, const QString& separator) {
    const QString sep = separator.isEmpty() ? QStringLiteral(" ") : separator;
    QString text = source;
    for (int i = 0; i < n; ++i) {
        const qsizetype at = text.indexOf(sep);
        if (at >= 0) text = text.mid(at + sep.size());
        qsizetype blanks = 0;
        while (blanks < text.size() && text.at(blanks) == u' ') ++blanks;
        text = text.mid(blanks);
    }
    const qsizetype at = text.indexOf(sep);
    if (at >= 0) return text.left(at).trimmed();
    return text.trimmed();
}

}  // namespace qc
