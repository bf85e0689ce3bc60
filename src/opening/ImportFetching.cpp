// The import's lookups fetched: the questions of a whole file staged in a work
// table and answered with one joined statement per kind of question.

#include "opening/ImportLookups.h"

#include "platform/Schema.h"
#include "platform/ServerStatement.h"

namespace qc::opening::cells {

namespace {

// Questions staged per statement, three values each.
constexpr int kStageChunk = kValuesPerStatement / 3;

}  // namespace

QString PrefetchedLookups::staged(Kind kind) const {
    return QStringLiteral("(SELECT k1, k2 FROM %1 WHERE kind = %2) k").arg(m_staging).arg(int(kind));
}

void PrefetchedLookups::stage() {
    Database& db = m_env.db;
    if (!m_created) {
        db.exec(db.dialect().dropTableIfExists(m_staging));
        db.exec(QStringLiteral("CREATE TABLE %1 (kind INTEGER NOT NULL, k1 TEXT NOT NULL, k2 TEXT)")
                    .arg(m_staging));
        m_created = true;
    } else {
        run(QStringLiteral("DELETE FROM %1").arg(m_staging));
    }
    if (db.kind() != DbKind::Sqlite) {
        // One array per column, unnested into rows.
        QList<QVariantList> columns(3);
        for (int kind = 0; kind < KindCount; ++kind) {
            for (const QString& key : std::as_const(m_wanted[kind])) {
                const qsizetype cut = key.indexOf(kSeparator);
                columns[0] << kind;
                columns[1] << (cut < 0 ? key : key.left(cut));
                columns[2] << (cut < 0 ? QString() : key.mid(cut + 1));
            }
        }
        run(QStringLiteral("INSERT INTO %1 (kind, k1, k2) ").arg(m_staging) +
                unnestedRows(
                    {QStringLiteral("INTEGER[]"), QStringLiteral("TEXT[]"), QStringLiteral("TEXT[]")}),
            {serverArray(columns[0]), serverArray(columns[1]), serverArray(columns[2])});
        // PostgreSQL plans the joins below from the table's statistics; without
        // them a freshly filled table of many keys is taken for a tiny one and
        // joined by nested loops (a 100,000-row file ran for many minutes).
        run(QStringLiteral("ANALYZE %1").arg(m_staging));
        return;
    }
    QVariantList binds;
    int rows = 0;
    const auto flush = [&] {
        if (rows == 0) return;
        QStringList marks;
        for (int i = 0; i < rows; ++i) marks << QStringLiteral("(?, ?, ?)");
        run(QStringLiteral("INSERT INTO %1 (kind, k1, k2) VALUES %2").arg(m_staging, marks.join(u',')),
            binds);
        binds.clear();
        rows = 0;
    };
    for (int kind = 0; kind < KindCount; ++kind) {
        for (const QString& key : std::as_const(m_wanted[kind])) {
            const qsizetype cut = key.indexOf(kSeparator);
            binds << kind << (cut < 0 ? key : key.left(cut)) << (cut < 0 ? QString() : key.mid(cut + 1));
            if (++rows == kStageChunk) flush();
        }
    }
    flush();
}

void PrefetchedLookups::fetchWanted() {
    if (!hasWanted()) return;
    stage();
    if (!m_wanted[Inventory].isEmpty()) fetchInventory();
    if (!m_wanted[Right].isEmpty()) fetchRights();
    if (!m_wanted[Item].isEmpty()) fetchItems();
    if (!m_wanted[Subject].isEmpty()) fetchSubjects();
    fetchDictionary(Vendor, kVendor);
    fetchDictionary(Department, kDepartment);
    fetchDictionary(Person, kPerson);
    fetchDictionary(SubjectCode, kSubject);
    if (!m_wanted[PersonDepartment].isEmpty()) fetchPersonDepartments();
    if (!m_wanted[ProjectClass].isEmpty()) fetchProjectClasses();
    if (!m_wanted[Project].isEmpty()) fetchProjects();
    if (!m_wanted[DefChecked].isEmpty()) fetchDefinitions();
    if (!m_wanted[DefValue].isEmpty()) fetchDefValues();
    for (QSet<QString>& w : m_wanted) w.clear();
}

void PrefetchedLookups::fetchInventory() {
    // By code first; what no code matched, by name or mnemonic code, the lowest
    // code winning, as typing finds them.
    // The item's own method as stored (the record's is trimmed) rides along: the
    // row checks ask for it next.
    const int raw = 1 + inventoryColumnCount();
    const QString select = QStringLiteral("SELECT k.k1, ") + inventoryColumns() +
                           QStringLiteral(", Inventory.cValueType FROM ") + staged(Inventory) +
                           QStringLiteral(" JOIN Inventory ON Inventory.%1 = k.k1 ") +
                           kInventoryFrom.mid(QStringLiteral("FROM Inventory ").size()) +
                           QStringLiteral(" WHERE ") + inventoryQualifies();
    const QDate login = m_env.loginDate();
    QSqlQuery q = run(select.arg(QStringLiteral("cInvCode")), {login});
    QSet<QString> byCode;
    const auto keepItem = [this, raw](const QSqlQuery& row, const InvRecord& r) {
        m_items.insert(r.code, ItemAnswer{textOf(row.value(raw)), r.tracked});
    };
    while (q.next()) {
        const InvRecord r = inventoryRecord(q, 1);
        keepItem(q, r);
        m_inventory.insert(textOf(q.value(0)), r);
        byCode.insert(textOf(q.value(0)));
    }
    QHash<QString, InvRecord> byOther;
    // Most files name every item by its code: then nothing is left to look for
    // by name or mnemonic code (each of which joins every question again).
    bool allByCode = true;
    for (const QString& typed : std::as_const(m_wanted[Inventory]))
        allByCode = allByCode && byCode.contains(typed);
    for (const QString& column : {QStringLiteral("cInvName"), QStringLiteral("cInvAddCode")}) {
        if (allByCode) break;
        q = run(select.arg(column), {login});
        while (q.next()) {
            const QString typed = textOf(q.value(0));
            if (byCode.contains(typed)) continue;
            const auto it = byOther.constFind(typed);
            if (it == byOther.constEnd() || textOf(q.value(1)) < it.value().code) {
                byOther.insert(typed, inventoryRecord(q, 1));
                keepItem(q, byOther.value(typed));
            }
        }
    }
    for (auto it = byOther.constBegin(); it != byOther.constEnd(); ++it)
        m_inventory.insert(it.key(), it.value());
    for (const QString& typed : std::as_const(m_wanted[Inventory]))
        if (!m_inventory.contains(typed)) m_inventory.insert(typed, std::nullopt);
}

void PrefetchedLookups::fetchRights() {
    // Inventory rights are granted on the item's id, department rights on the code.
    const QString inventoryKind = kRightInventory, departmentKind = kRightDepartment;
    for (const QString& kind : {inventoryKind, departmentKind}) {
        const bool items = kind == inventoryKind;
        bool restricted = false;
        const SqlFragment filter =
            BuildRightsFilter(m_env.ctx, items ? QStringLiteral("Inventory.iId") : QStringLiteral("k.k2"),
                              kind, true, &restricted);
        QString sql = QStringLiteral("SELECT k.k2 FROM ") + staged(Right) +
                      (items ? QStringLiteral(" JOIN Inventory ON Inventory.cInvCode = k.k2") : QString()) +
                      QStringLiteral(" WHERE k.k1 = ?");
        QVariantList binds{kind};
        if (restricted) {
            sql += QStringLiteral(" AND ") + filter.sql;
            binds += filter.binds;
        }
        QSqlQuery q = run(sql, binds);
        while (q.next()) m_rights.insert(keyOf(kind, textOf(q.value(0))), true);
    }
    for (const QString& key : std::as_const(m_wanted[Right]))
        if (!m_rights.contains(key)) m_rights.insert(key, false);
}

void PrefetchedLookups::fetchItems() {
    QSqlQuery q = run(QStringLiteral("SELECT k.k1, Inventory.cValueType, Inventory.bTrack FROM ") +
                      staged(Item) + QStringLiteral(" JOIN Inventory ON Inventory.cInvCode = k.k1"));
    while (q.next())
        m_items.insert(textOf(q.value(0)), ItemAnswer{textOf(q.value(1)), intOf(q.value(2)) == 1});
    for (const QString& code : std::as_const(m_wanted[Item]))
        if (!m_items.contains(code)) m_items.insert(code, std::nullopt);
}

void PrefetchedLookups::fetchSubjects() {
    QSqlQuery q = run(QStringLiteral("SELECT k.k1, code.cCode_Name FROM ") + staged(Subject) +
                      QStringLiteral(" JOIN code ON code.cCode = k.k1"));
    while (q.next()) m_subjects.insert(textOf(q.value(0)), textOf(q.value(1)));
    for (const QString& code : std::as_const(m_wanted[Subject]))
        if (!m_subjects.contains(code)) m_subjects.insert(code, QString());
}

void PrefetchedLookups::fetchDictionary(Kind kind, const Dictionary& d) {
    if (m_wanted[kind].isEmpty()) return;
    const QString t = QString::fromLatin1(d.table), code = QString::fromLatin1(d.codeColumn),
                  name = QString::fromLatin1(d.nameColumns[0]), cond = QString::fromLatin1(d.condition);
    QHash<QString, Pair>& answers = m_dictionaries[kind];
    const QString select =
        QStringLiteral("SELECT k.k1, %1.%2, %1.%3 FROM ").arg(t, code, name) + staged(kind) +
        QStringLiteral(" JOIN %1 ON %1.%2 = k.k1 WHERE ").arg(t, QStringLiteral("%1")) + cond;
    QSqlQuery q = run(select.arg(code));
    while (q.next()) answers.insert(textOf(q.value(0)), std::pair{textOf(q.value(1)), textOf(q.value(2))});
    // By name: the lowest code among the entries of that name.
    QStringList names{name};
    if (d.nameColumns[1]) names << QString::fromLatin1(d.nameColumns[1]);
    QHash<QString, std::pair<QString, QString>> byName;
    for (const QString& column : names) {
        q = run(select.arg(column));
        while (q.next()) {
            const QString typed = textOf(q.value(0));
            if (answers.contains(typed)) continue;
            const std::pair found{textOf(q.value(1)), textOf(q.value(2))};
            const auto it = byName.constFind(typed);
            if (it == byName.constEnd() || found.first < it.value().first) byName.insert(typed, found);
        }
    }
    for (auto it = byName.constBegin(); it != byName.constEnd(); ++it) answers.insert(it.key(), it.value());
    for (const QString& typed : std::as_const(m_wanted[kind]))
        if (!answers.contains(typed)) answers.insert(typed, std::nullopt);
}

void PrefetchedLookups::fetchPersonDepartments() {
    QSqlQuery q = run(QStringLiteral("SELECT DISTINCT k.k1, k.k2 FROM ") + staged(PersonDepartment) +
                      QStringLiteral(" JOIN Person ON Person.cPersonCode = k.k1 AND Person.cDepCode = k.k2"));
    while (q.next()) m_personDepartments.insert(keyOf(textOf(q.value(0)), textOf(q.value(1))), true);
    for (const QString& key : std::as_const(m_wanted[PersonDepartment]))
        if (!m_personDepartments.contains(key)) m_personDepartments.insert(key, false);
}

void PrefetchedLookups::fetchProjectClasses() {
    QSqlQuery q = run(QStringLiteral("SELECT k.k1, fitem.cItem_Class, fitem.cItem_Name FROM ") +
                      staged(ProjectClass) + QStringLiteral(" JOIN fitem ON fitem.cItem_Class = k.k1"));
    while (q.next())
        m_projectClasses.insert(textOf(q.value(0)), std::pair{textOf(q.value(1)), textOf(q.value(2))});
    for (const QString& cls : std::as_const(m_wanted[ProjectClass]))
        if (!m_projectClasses.contains(cls)) m_projectClasses.insert(cls, std::nullopt);
}

void PrefetchedLookups::fetchProjects() {
    // One statement per project class named in the file: each class lists its
    // projects in its own table.
    QSet<QString> classes;
    for (const QString& key : std::as_const(m_wanted[Project])) classes.insert(key.section(kSeparator, 0, 0));
    for (const QString& cls : std::as_const(classes)) {
        const QString table = projectTable(m_env, cls);
        if (table.isEmpty()) continue;
        const QString sql =
            table == u"INVENTORY"
                ? QStringLiteral("SELECT k.k2, Inventory.cInvCode, Inventory.cInvName FROM ") +
                      staged(Project) +
                      QStringLiteral(" JOIN Inventory ON Inventory.cInvCode = k.k2 WHERE k.k1 = ?")
                : QStringLiteral("SELECT k.k2, %1.citemcode, %1.citemname FROM ").arg(table) +
                      staged(Project) +
                      QStringLiteral(" JOIN %1 ON %1.citemcode = k.k2 WHERE k.k1 = ?").arg(table);
        QSqlQuery q = run(sql, {cls});
        while (q.next())
            m_projects.insert(keyOf(cls, textOf(q.value(0))),
                              std::pair{textOf(q.value(1)), textOf(q.value(2))});
    }
    for (const QString& key : std::as_const(m_wanted[Project]))
        if (!m_projects.contains(key)) m_projects.insert(key, std::nullopt);
}

void PrefetchedLookups::fetchDefinitions() {
    QSqlQuery q = run(QStringLiteral("SELECT cID, bCheckVal FROM UserDef"));
    while (q.next()) m_defChecked.insert(textOf(q.value(0)), intOf(q.value(1)) == 1);
    m_definitionsRead = true;
}

void PrefetchedLookups::fetchDefValues() {
    // The value typed as itself or as its alias; the lowest value when several match.
    for (const QString& column : {QStringLiteral("cValue"), QStringLiteral("cAlias")}) {
        QSqlQuery q = run(
            QStringLiteral("SELECT k.k1, k.k2, UserDefine.cValue FROM ") + staged(DefValue) +
            QStringLiteral(" JOIN UserDefine ON UserDefine.cID = k.k1 AND UserDefine.%1 = k.k2").arg(column));
        while (q.next()) {
            const QString key = keyOf(textOf(q.value(0)), textOf(q.value(1)));
            const QString value = textOf(q.value(2));
            const auto it = m_defValues.constFind(key);
            if (it == m_defValues.constEnd() || !it.value() || value < *it.value())
                m_defValues.insert(key, value);
        }
    }
    for (const QString& key : std::as_const(m_wanted[DefValue]))
        if (!m_defValues.contains(key)) m_defValues.insert(key, std::nullopt);
}

}  // namespace qc::opening::cells
