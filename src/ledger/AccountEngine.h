#pragma once

// The inventory-accounting engine that posting hands the ledger rows to.
//
// What it computes: for every posted ledger row of IA_Subsidiary,
//  - IA_Summary, one row per month and key: receipts (iINum, iIMoney), issues
//    (iONum, iOMoney), the price differences (iIDif debit, iODif credit) and the
//    balance (iNum, iMoney, iDif = debit - credit), with the lowest and highest
//    receipt unit cost of the opening rows. The key is the warehouse and item, or,
//    under "按部门核算" and for rows without a warehouse, the department and item.
//  - IA_ValuationAss, the valuation layers of the items whose cost follows their
//    lots: one receipt layer per opening row valued by 先进先出法, 后进先出法 or
//    个别计价法, and one entry per month row valued by 先进先出法 or 后进先出法
//    (receipts as layers, issues as issue entries).
// Why: the summaries and layers are what the month-end costing and the reports read
// instead of the ledger. They must agree with the ledger rows they come from: the
// sums of a key's posted rows are its summary, and the layers of a key add up to
// the lot-valued rows. Each member keeps that true for the rows it is given.
//
// The members taking one row work row by row; the posting of a whole account uses
// the set-based members (PostOpeningRows, PostMonthRows), which give the same rows
// with a handful of statements whatever the number of rows.

#include "domain/Vocabulary.h"
#include "platform/Database.h"
#include "platform/Decimal.h"

#include <QDate>
#include <QDomDocument>
#include <QString>

#include <optional>

#include <functional>

namespace qc {

// A failure-injection point for the posting and the engine: when `failAt` names a
// step, that step fails as a database error would. Tests set it to prove that
// every step's failure leaves the account as it was; it is empty otherwise.
struct PostingFaults {
    QString failAt;
    // Told of each step as it is reached, before it may fail: tests hold a posting
    // there to see what runs beside it. Empty otherwise.
    std::function<void(const QString& step)> reached;
    // Throws DbError when `step` is the step that must fail.
    void check(const QString& step) const;
    [[nodiscard]] bool fails(const QString& step) const { return !failAt.isEmpty() && failAt == step; }
};
PostingFaults& postingFaults();

// The two results of CalDif: the amount at the planned (or selling) price and the
// difference of the actual amount from it, as debit (above) or credit (below).
struct DifResult {
    Decimal plannedAmount;
    Decimal debit;
    Decimal credit;
};

// A column of the ledger row AccountSub writes for an estimate: the record's
// attribute "a<position>" it comes from (0: a fixed value — bRdFlag 1, iMonth 0,
// bFlag 0, dKeepDate the start date) and how the text is read.
struct EstimateColumn {
    enum Kind { Text, Id, Date, Number, Flag };
    QString column;
    int position = 0;
    Kind kind = Text;
};

class clsAccount {
  public:
    // Binds the engine to the account connection and the posting: accounting basis
    // (cValueStyle), industrial edition, posting date (dKeepDate of the openings),
    // start date of the module, operator, quantity decimals.
    bool Init(Database& db, const QString& valueStyle, bool industrial, const QDate& postingDate,
              const QDate& startDate, const QString& operatorName, int quantityDecimals);

    // One posted opening row (by AutoID): its month-0 summary and, when lot-valued,
    // its receipt layer.
    bool VouchQCAccount(qint64 autoId);
    // Every opening row posted on the posting date (the rows VouchQCAccount would be
    // called for, type '33' excepted), at once.
    bool PostOpeningRows();
    // The opening rows `where` selects (a condition on the alias s), at once: the
    // same as VouchQCAccount for each of them.
    bool PostOpeningRows(const SqlFragment& where);
    // PostOpeningRows() in two halves, for a posting that adds other movements to
    // month 0 between them: the layers now; the summaries by CarryOpeningSummaries,
    // which leaves the month-0 rows as the start month carries them (the movements
    // empty, the balance's unit price and difference rate filled in). When the
    // summary table is still empty then, they are written so in one statement, and
    // with `carryMonth` (not 0) their copy into that month too (carriedInto()).
    bool PostOpeningRowsCarried();
    bool CarryOpeningSummaries(int carryMonth = 0);
    // The month the last CarryOpeningSummaries also wrote the copy into; 0 for none.
    [[nodiscard]] int carriedInto() const { return m_carriedInto; }

    // The amount at the planned price and the difference, for a quantity at an
    // actual unit cost; zero differences for methods without planned prices.
    bool CalDif(const QString& method, const Decimal& quantity, const Decimal& actualUnitCost,
                const Decimal& plannedPrice, DifResult* result);

    // An estimated receipt line described by a "<root/>" record with positional
    // attributes a1..a91: writes its ledger row of type '33' (an opening estimate,
    // kept on the start date) with its summary and, when lot-valued, its layer.
    bool AccountSub(const QDomDocument& record);
    // The columns AccountSub fills, in order.
    static const QList<EstimateColumn>& estimateColumns();

    // One month row with a warehouse (or department) into the start month's summary.
    bool AccountSummary(const QString& whCode, const QString& depCode, const QString& invCode, int rdFlag,
                        const Decimal& quantity, const Decimal& amount, const Decimal& debitDif,
                        const Decimal& creditDif);
    // One month row without a warehouse: keyed by its department.
    bool AccountSummaryZy(const QString& depCode, const QString& invCode, int rdFlag, const Decimal& quantity,
                          const Decimal& amount, const Decimal& debitDif, const Decimal& creditDif);
    // One FIFO/LIFO month row into the layers: a receipt layer, or an issue entry.
    bool AccountAss(const QString& vouCode, qint64 id, const QDate& vouDate, const QDate& keepDate,
                    const QString& whCode, const QString& depCode, const QString& invCode, int rdFlag,
                    const Decimal& quantity, const Decimal& unitCost, const Decimal& amount, qint64 subId,
                    const QString& vouType);

    // The summaries and layers of the month rows of IA_Subsidiary that `where`
    // selects (a condition on the alias s), at once: the same as AccountSummary,
    // AccountSummaryZy and AccountAss called for each of them.
    bool PostMonthRows(const SqlFragment& where);

    // The reason the last member returned false, and the failure itself with its
    // cause (a full disk, a lock, a cancel by the user) for passing on.
    [[nodiscard]] QString lastError() const { return m_error; }
    [[nodiscard]] DbError lastFailure() const { return m_failure; }

    // The key and method expressions over a ledger row aliased s, with the
    // warehouse w and the inventory i joined (for the posting's own statements).
    [[nodiscard]] QString whKeyExpr() const;
    [[nodiscard]] QString depKeyExpr() const;
    [[nodiscard]] QString methodExpr() const;
    [[nodiscard]] int startMonth() const { return m_startDate.isValid() ? m_startDate.month() : 1; }

  private:
    template <typename F>
    bool guarded(const QString& step, F&& work);
    Database& db();
    // Adds one row's movement to the summary of a key and month.
    void addSummary(const QVariant& wh, const QVariant& dep, const QString& inv, int month, int rdFlag,
                    const Decimal& quantity, const Decimal& amount, const Decimal& debit,
                    const Decimal& credit, const QVariant& inCost);
    // The ledger rows s with the warehouse w joined where the keys need it, and the
    // table giving the valuation method when `withMethod`.
    [[nodiscard]] QString ledgerFrom(bool withMethod) const;
    // The summaries of a month from the ledger rows `where` selects, grouped by key
    // (with the receipt cost range when `withInCost`), then their layers.
    // `carried`: written in the form CarryOpeningSummaries() leaves, when the table
    // is empty (m_carried then tells so), and copied into `alsoMonth` when not 0.
    void postGrouped(int month, const SqlFragment& where, bool withInCost, const QStringList& layerMethods,
                     bool carried = false, int alsoMonth = 0);
    void mergeSummaries(int month, qint64 before);
    [[nodiscard]] const Dialect& dialect() const;
    QString round(const QString& expr, int places) const;
    QString groupSum(const QString& expr, int places) const;
    void insertLayerRows(const SqlFragment& where, const QStringList& methods);

    Database* m_db = nullptr;
    QString m_valueStyle;
    bool m_industrial = false;
    QDate m_postingDate, m_startDate;
    QString m_operator;
    int m_quantityDecimals = 2;
    bool m_carried = false;
    int m_carriedInto = 0;
    std::optional<SqlFragment> m_pendingOpenings;  // opening rows whose summaries are to come
    QString m_error;
    DbError m_failure{QString()};
};

// A member's work as one guarded step: a failure is kept in lastError().
template <typename F>
bool clsAccount::guarded(const QString& step, F&& work) {
    try {
        postingFaults().check(step);
        work();
        return true;
    } catch (const DbError& e) {
        m_error = e.message();
        m_failure = e;
        return false;
    } catch (const std::exception& e) {
        m_error = QString::fromLocal8Bit(e.what());
        m_failure = DbError(m_error);
        return false;
    }
}

}  // namespace qc
