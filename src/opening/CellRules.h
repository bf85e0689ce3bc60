#pragma once

// What the cell rules of the opening grid, their dictionary lookups and the
// reference windows share: the rules' view of the window for one call (Env),
// the inventory record a code fills a row from, and the helpers. Only the opening
// rules include it.

#include "domain/Vocabulary.h"
#include "host/VqLogin.h"
#include "opening/OpeningEntry.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>

#include <optional>

namespace qc::opening::cells {

inline const QString kMoneyPattern = QStringLiteral("###0.00");

inline const QString kDateFormat = QStringLiteral("yyyy/MM/dd");

// The inventory record a code cell is filled from.
struct InvRecord {
    QString code, name, addCode, std, unit, replaceItem, valueType;
    std::optional<Decimal> sPrice, rCost;  // nothing when not set
    QStringList defines;                   // cinvdefine1..16 as grid texts
    bool frees[10] = {};                   // the item uses free item n
    bool tracked = false;
};

enum class Outcome { Accept, Refuse, RefuseAndClear };

struct Dictionary;

// What the rules look up in the account. Typing asks the database one question at
// a time (DatabaseLookups); an import answers from what it fetched for the whole
// file beforehand, so the same rules serve both.
class RuleLookups {
  public:
    virtual ~RuleLookups() = default;
    // The item that may be entered for a typed code, name or mnemonic code.
    virtual std::optional<InvRecord> inventory(const QString& typed) = 0;
    // The operator's write right on a code of a rights kind (rights checking on).
    virtual bool right(const QString& code, const QString& kind) = 0;
    // An item's valuation method ("" for none or no such item) and tracking.
    virtual QString inventoryMethod(const QString& code) = 0;
    virtual bool tracked(const QString& code) = 0;
    // The name of a subject code ("" for none).
    virtual QString subjectName(const QString& code) = 0;
    // A dictionary entry typed as its code, else as its name.
    virtual std::optional<std::pair<QString, QString>> codeName(const Dictionary& d, const QString& text) = 0;
    virtual bool personInDepartment(const QString& person, const QString& department) = 0;
    // A project class (its code and name) and a project of it (code and name).
    virtual std::optional<std::pair<QString, QString>> projectClass(const QString& cls) = 0;
    virtual std::optional<std::pair<QString, QString>> project(const QString& cls, const QString& code) = 0;
    // Whether a user-defined item is checked against its archive, and the archive's
    // value typed as itself or as its alias.
    virtual bool defChecked(const QString& id) = 0;
    virtual std::optional<QString> defValue(const QString& id, const QString& typed) = 0;
};

// What the rules work with: the window's state, lent by the entry object for one call.
struct Env {
    LoginContext& ctx;
    Database& db;
    MessageSink& sink;
    grid::GridModel& grid;
    QString& label2;
    QString& curStyle;  // CurWhValueStyle
    const QStringList& freeNames;
    int quanDec;
    int priceDec;
    QDate iaStart;
    QMap<QString, bool>& rightsSeen;
    QStringList& tablesSeen;
    RuleLookups* look = nullptr;

    [[nodiscard]] QDate loginDate() const {
        return ctx.gLogin ? ctx.gLogin->LoginDate() : QDate::currentDate();
    }
    [[nodiscard]] bool perItem() const { return ctx.gValueStyle == basis::kByInventory; }
    [[nodiscard]] QString text(int row, int col) const { return grid.text(row, col); }
    void set(int row, int col, const QString& v) {
        if (grid.text(row, col) != v) grid.setText(row, col, v);
    }
    Outcome refuse(const QString& message) {
        sink.critical(message);
        return Outcome::Refuse;
    }
};

// The user-defined item behind a column: its UserDef id and field name; nothing for
// other columns.
struct DefItem {
    QString id, field;
    bool isFree = false;
};

// A code-and-name dictionary of the row: the typed text as a code first, then as a name.
struct Dictionary {
    const char* table;
    const char* codeColumn;
    const char* nameColumns[2];  // the first is shown
    const char* condition;       // always applies
    const char* refusal;
};

inline const Dictionary kVendor{"Vendor", "cVenCode", {"cVenAbbName", "cVenName"}, "1 = 1", "供应商不合法！"};

inline const Dictionary kDepartment{
    "Department", "cDepCode", {"cDepName", nullptr}, "bDepEnd = 1", "部门不合法！"};

inline const Dictionary kPerson{"Person", "cPersonCode", {"cPersonName", nullptr}, "1 = 1", "业务员不合法！"};

inline const Dictionary kSubject{"code", "cCode", {"cCode_Name", nullptr}, "bEnd = 1", "存货科目不合法！"};

QString priceText(const Env& e, const Decimal& d);

QString moneyText(const Decimal& d);

// A cell's number; nothing when the cell is empty or not a number.
std::optional<Decimal> numberIn(const QString& text);

// Accepts 2025-12-31, 2025/12/31, 2025.12.31 (months and days with one or two
// digits) and 20251231.
QDate parseDate(const QString& text);

bool isColumn(int col);

bool isDateColumn(int col);

// Columns filled from dictionaries and the row's key: never keyed.
bool isDictionaryColumn(int col);

std::optional<DefItem> defItemOf(int col);

// A right of the operator on one code, asked only while that rights checking is on.
// Entering and changing rows needs the write grant.
bool hasRight(Env& e, const QString& code, const QString& kind);

// Why the row may not be changed at all; empty when it may.
QString rowRightsRefusal(Env& e, int row);

// `field` of the row of `table` whose `keyField` equals the value; invalid when
// there is none. The identifiers come from this file, but are checked all the same.
QVariant LookupFieldValue(Env& e, const QString& field, const QString& keyField, const QString& table,
                          const QString& value);

// The method the row's rules follow: the item's own under per-item accounting,
// otherwise the window's warehouse (or department).
QString methodOf(Env& e, const QString& invCode);

bool isTracked(Env& e, const QString& invCode);

QString defineText(const QVariant& v, int n);

// The inventory record's columns (for a SELECT), the FROM clause they come from,
// the condition an item must meet to be entered (one value: the login date) and
// the record read from a query whose columns start at `first`.
QString inventoryColumns();
constexpr int inventoryColumnCount() {
    return 36;
}
inline const QString kInventoryFrom = QStringLiteral(
    "FROM Inventory LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComunitCode");
QString inventoryQualifies();
InvRecord inventoryRecord(const QSqlQuery& q, int first);

// The item that may be entered for a typed text: by code first, then by code, name
// or mnemonic code. Services, non-stock items and items stopped on or before the
// login date never qualify. Both lookups run on indexed columns.
std::optional<InvRecord> GetInvCanFill(Env& e, const QString& text);

// The item's exchange rate; nothing, after "该存货不存在！", when there is no such item.
[[maybe_unused]] std::optional<Decimal> InvCodeToExch(Env& e, const QString& code);

bool GetDefCheck(Env& e, const QString& id);

bool GetDefArchive(Env& e, const QString& id);

bool IsDepartmentIn(Env& e, const QString& person, const QString& dep);

// The table that lists the projects of a class, checked against the schema: "INVENTORY"
// for the inventory items; empty when the class names no usable table.
QString projectTable(Env& e, const QString& cls);

// The values of a user-defined item's archive, for its reference window.
ReferenceQuery archiveQuery(Env& e, const QString& id, const QString& typed, const QString& caption);

ReferenceQuery freeItemQuery(Env& e, int col, const QString& typed);

// A user-defined or free item checked against its archive when the item asks for it;
// a value typed as its alias is replaced by the value itself.
bool CheckUserDef(Env& e, int col, QString& value);

// The free items of the row after an item is entered: a named free item the item
// does not use is cleared; the others keep what was typed.
void SetEveryRow(Env& e, int row, const InvRecord& inv);

Outcome inventoryRule(Env& e, QString& value, int row);

// Under the planned and selling-price methods the posted differences of a stored
// row no longer fit a new quantity: they are cleared at once, in their own unit of
// work, before the row itself is written again.
bool clearDifferences(Env& e, int row);

Outcome quantityRule(Env& e, QString& value, int row);

Outcome priceRule(Env& e, QString& value, int row);

Outcome amountRule(Env& e, QString& value, int row);

Outcome dateRule(Env& e, QString& value, int col);

std::optional<std::pair<QString, QString>> lookupCodeName(Env& e, const Dictionary& d, const QString& text);

Outcome dictionaryRule(Env& e, QString& value, int row, int col);

Outcome projectClassRule(Env& e, QString& value, int row);

Outcome projectRule(Env& e, QString& value, int row);

Outcome userDefRule(Env& e, QString& value, int col);

Outcome runRule(Env& e, QString& value, int row, int col);

// The name beside a code column; -1 for a column without one.
int nameColumnOf(int col);

// Contains-pattern on a column without regard to letter case, the typed text bound.
QString likeUpper(const Env& e, const QString& column);

// The lookups of typing: one question to the account database each.
class DatabaseLookups final : public RuleLookups {
  public:
    Env* env = nullptr;
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
};

}  // namespace qc::opening::cells

// The rules' view of the window's state, for one call of an OpeningEntry member.
#define QC_CELL_ENV(self)                           \
    cells::DatabaseLookups databaseLookups;         \
    cells::Env env{(self)->m_ctx,                   \
                   (self)->m_ctx.gDb->Connection(), \
                   sinkOf((self)->m_ctx),           \
                   (self)->m_grid,                  \
                   (self)->m_valuationLabel,        \
                   (self)->CurWhValueStyle,         \
                   (self)->m_freeNames,             \
                   (self)->QuanDec,                 \
                   (self)->PriceDec,                \
                   (self)->IAStartDate,             \
                   (self)->m_cellRights,            \
                   (self)->m_cellTables,            \
                   &databaseLookups};               \
    databaseLookups.env = &env
