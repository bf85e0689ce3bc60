#pragma once

// The lookups of an import: every answer the cell rules ask for a whole file,
// fetched beforehand with one statement per kind of question over a staging table
// of the questions, so that checking 100,000 rows does not ask the database
// 100,000 times. A question not fetched yet is noted and answered "none"; the
// import then fetches the noted questions and runs the rows that asked them again.

#include "opening/CellRules.h"

#include <QHash>
#include <QSet>

namespace qc::opening::cells {

class PrefetchedLookups final : public RuleLookups {
  public:
    // `staging` names the work table of the questions (created here, dropped by
    // the destructor).
    PrefetchedLookups(Env& env, QString staging);
    ~PrefetchedLookups() override;
    PrefetchedLookups(const PrefetchedLookups&) = delete;
    PrefetchedLookups& operator=(const PrefetchedLookups&) = delete;

    std::optional<InvRecord> inventory(const QString& typed) override;
    bool right(const QString& code, const QString& kind) override;
    QString inventoryMethod(const QString& code) override;
    bool tracked(const QString& code) override;
    QString subjectName(const QString& code) override;
    std::optional<std::pair<QString, QString>> codeName(const Dictionary& d, const QString& text) override;
    bool personInDepartment(const QString& person, const QString& department) override;
    std::optional<std::pair<QString, QString>> projectClass(const QString& cls) override;
    std::optional<std::pair<QString, QString>> project(const QString& cls, const QString& code) override;
    bool defChecked(const QString& id) override;
    std::optional<QString> defValue(const QString& id, const QString& typed) override;

    // Whether some question was not answered since the last call, and forgets it.
    bool takeMissed();
    // Whether questions wait to be fetched.
    [[nodiscard]] bool hasWanted() const;
    // Fetches every waiting question; DbError on a failure.
    void fetchWanted();
    // The staging table's statements run so far (for tests of the set-based work).
    [[nodiscard]] int statementsRun() const { return m_statements; }

    enum Kind : std::uint8_t {
        Inventory,
        Right,
        Item,
        Subject,
        Vendor,
        Department,
        Person,
        SubjectCode,
        PersonDepartment,
        ProjectClass,
        Project,
        DefChecked,
        DefValue,
        KindCount
    };

  private:
    struct ItemAnswer {
        QString method;
        bool tracked = false;
    };
    using Pair = std::optional<std::pair<QString, QString>>;

    // Separates the two parts of a question's key.
    static constexpr QChar kSeparator{0x1f};
    static QString keyOf(const QString& a, const QString& b = {});
    // Notes a question that has no answer yet.
    void want(Kind kind, const QString& a, const QString& b = {});
    QSqlQuery run(const QString& sql, const QVariantList& binds = {});
    void stage();
    void fetchInventory();
    void fetchRights();
    void fetchItems();
    void fetchSubjects();
    void fetchDictionary(Kind kind, const Dictionary& d);
    void fetchPersonDepartments();
    void fetchProjectClasses();
    void fetchProjects();
    void fetchDefinitions();
    void fetchDefValues();
    // The staged questions of a kind as the join's source.
    [[nodiscard]] QString staged(Kind kind) const;

    Env& m_env;
    QString m_staging;
    bool m_created = false;
    bool m_missed = false;
    int m_statements = 0;
    QSet<QString> m_wanted[KindCount];
    QHash<QString, std::optional<InvRecord>> m_inventory;
    QHash<QString, bool> m_rights;  // kind|code
    QHash<QString, std::optional<ItemAnswer>> m_items;
    QHash<QString, QString> m_subjects;
    QHash<QString, Pair> m_dictionaries[KindCount];
    QHash<QString, bool> m_personDepartments;
    QHash<QString, Pair> m_projectClasses;
    QHash<QString, Pair> m_projects;
    QHash<QString, bool> m_defChecked;
    bool m_definitionsRead = false;
    QHash<QString, std::optional<QString>> m_defValues;
};

}  // namespace qc::opening::cells
