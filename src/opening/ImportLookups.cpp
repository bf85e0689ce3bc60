// The import's lookups: the questions of the cell rules gathered for a whole file,
// and their answers once fetched (the fetching: ImportFetching.cpp).

#include "opening/ImportLookups.h"

namespace qc::opening::cells {

PrefetchedLookups::PrefetchedLookups(Env& env, QString staging) : m_env(env), m_staging(std::move(staging)) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*$"));
    if (!name.match(m_staging).hasMatch())
        throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(m_staging));
}

PrefetchedLookups::~PrefetchedLookups() {
    if (!m_created) return;
    try {
        m_env.db.exec(m_env.db.dialect().dropTableIfExists(m_staging));
    } catch (const DbError&) {
        // A connection that is gone takes its work table with it on the next start.
    }
}

QString PrefetchedLookups::keyOf(const QString& a, const QString& b) {
    return b.isEmpty() ? a : a + kSeparator + b;
}

void PrefetchedLookups::want(Kind kind, const QString& a, const QString& b) {
    m_wanted[kind].insert(keyOf(a, b));
    m_missed = true;
}

bool PrefetchedLookups::takeMissed() {
    const bool missed = m_missed;
    m_missed = false;
    return missed;
}

bool PrefetchedLookups::hasWanted() const {
    for (const QSet<QString>& w : m_wanted)
        if (!w.isEmpty()) return true;
    return false;
}

QSqlQuery PrefetchedLookups::run(const QString& sql, const QVariantList& binds) {
    ++m_statements;
    return m_env.db.exec(sql, binds);
}

// ---- the answers

std::optional<InvRecord> PrefetchedLookups::inventory(const QString& typed) {
    const auto it = m_inventory.constFind(typed);
    if (it != m_inventory.constEnd()) return it.value();
    want(Inventory, typed);
    // Most files name items by code: the questions the rules ask next about the
    // item are fetched in the same round.
    if (!m_rights.contains(keyOf(kRightInventory, typed)))
        m_wanted[Right].insert(keyOf(kRightInventory, typed));
    return std::nullopt;
}

bool PrefetchedLookups::right(const QString& code, const QString& kind) {
    const auto it = m_rights.constFind(keyOf(kind, code));
    if (it != m_rights.constEnd()) return it.value();
    want(Right, kind, code);
    return false;
}

QString PrefetchedLookups::inventoryMethod(const QString& code) {
    const auto it = m_items.constFind(code);
    if (it != m_items.constEnd()) return it.value() ? it.value()->method : QString();
    want(Item, code);
    return {};
}

bool PrefetchedLookups::tracked(const QString& code) {
    const auto it = m_items.constFind(code);
    if (it != m_items.constEnd()) return it.value() && it.value()->tracked;
    want(Item, code);
    return false;
}

QString PrefetchedLookups::subjectName(const QString& code) {
    const auto it = m_subjects.constFind(code);
    if (it != m_subjects.constEnd()) return it.value();
    want(Subject, code);
    return {};
}

std::optional<std::pair<QString, QString>> PrefetchedLookups::codeName(const Dictionary& d,
                                                                       const QString& text) {
    const Kind kind = &d == &kVendor       ? Vendor
                      : &d == &kDepartment ? Department
                      : &d == &kPerson     ? Person
                                           : SubjectCode;
    const auto it = m_dictionaries[kind].constFind(text);
    if (it != m_dictionaries[kind].constEnd()) return it.value();
    want(kind, text);
    if (kind == Department && !m_rights.contains(keyOf(kRightDepartment, text)))
        m_wanted[Right].insert(keyOf(kRightDepartment, text));
    return std::nullopt;
}

bool PrefetchedLookups::personInDepartment(const QString& person, const QString& department) {
    const auto it = m_personDepartments.constFind(keyOf(person, department));
    if (it != m_personDepartments.constEnd()) return it.value();
    want(PersonDepartment, person, department);
    return false;
}

std::optional<std::pair<QString, QString>> PrefetchedLookups::projectClass(const QString& cls) {
    const auto it = m_projectClasses.constFind(cls);
    if (it != m_projectClasses.constEnd()) return it.value();
    want(ProjectClass, cls);
    return std::nullopt;
}

std::optional<std::pair<QString, QString>> PrefetchedLookups::project(const QString& cls,
                                                                      const QString& code) {
    const auto it = m_projects.constFind(keyOf(cls, code));
    if (it != m_projects.constEnd()) return it.value();
    want(Project, cls, code);
    return std::nullopt;
}

bool PrefetchedLookups::defChecked(const QString& id) {
    if (m_definitionsRead) return m_defChecked.value(id);
    want(DefChecked, id);
    return false;
}

std::optional<QString> PrefetchedLookups::defValue(const QString& id, const QString& typed) {
    const auto it = m_defValues.constFind(keyOf(id, typed));
    if (it != m_defValues.constEnd()) return it.value();
    want(DefValue, id, typed);
    return std::nullopt;
}

}  // namespace qc::opening::cells
