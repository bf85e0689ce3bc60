#pragma once

// Posting the opening balances (期初记账) and cancelling a posting (恢复).

#include "platform/Database.h"

#include <QDate>
#include <QDomDocument>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <functional>

namespace qc {
class clsAccount;
struct LoginContext;
class MessageSink;
}  // namespace qc

namespace qc::opening {

// The openings are no longer in the state a posting or a cancelling needs: another
// copy posted or cancelled them first. Its message is the command's refusal.
class OpeningsStateChanged : public DbError {
  public:
    using DbError::DbError;
};

class Posting {
  public:
    explicit Posting(LoginContext& ctx);

    // Posts every opening row, in one transaction on the connection of gDb: the
    // periods before the start closed for the module, voucher numbers, the posting
    // columns, the engine's summaries and layers, the purchase module's estimates
    // of the first year, the posted state. Throws DbError (everything as before) on
    // any failure. The posting's own stops ("存货…没有设置计价方式！" and
    // "存货…没有设置计划价/售价！") are shown before it throws.
    void PostOpenings();
    // Cancels a posting, in one transaction. Throws DbError (everything as before).
    void CancelPosting();
    // False when anything happened after the openings that forbids cancelling.
    bool CanCancelPosting();
    // What keeps the specific-identification opening rows from being posted,
    // found in one pass: a row without its amount, an unposted row with a
    // negative quantity.
    struct SpecificLotFaults {
        bool withoutAmount = false;
        bool negative = false;
    };
    SpecificLotFaults specificLotFaults();
    // Sets attribute "a<position>" of the document's root to the value's text,
    // unless the value is null.
    static void setAttribute(QDomDocument& doc, int position, const QVariant& value);

    // What the posting reads before its transaction: the start, the posting date,
    // the start period, the accounting basis, the estimate rule, the operator.
    struct Params {
        QDate startDate;  // dIAStartDate (invalid when not set)
        int startMonth = 1;
        QDate postingDate;  // the day before the start
        QDate periodBegin, periodEnd;
        QString valueStyle, sysVersion, estimate;
        QDate puStartDate;
        bool firstYear = false;
        int quantityDecimals = 2;
        QString operatorName;
    };
    Params read();

    // The purchase receipt lines not settled at the start, at once: each becomes an
    // estimate of type '33' (what AccountSub writes from its record), the line keeps
    // the unit cost and amount, the receipt is marked, and the engine posts the
    // estimates' summaries and layers. Stops with "存货…没有设置计价方式！" or
    // "存货…没有设置计划价/售价！" (shown, then thrown) for the first line lacking them.
    void PostReceiptLines(clsAccount& engine, const Params& p);
    // The same lines, each as the record AccountSub takes, in line order, with the
    // unit cost, amount and difference computed one line at a time.
    QList<QDomDocument> ReceiptLineRecords(clsAccount& engine, const Params& p);

  private:
    // The start of posting and cancelling: the openings' lock taken inside the
    // caller's unit of work, then the posted state they need (else
    // OpeningsStateChanged with the command's message).
    void lockOpenings(bool mustBePosted);
    Database& db();
    MessageSink& sink();
    // The unsettled purchase receipt lines at the start (condition on RdRecord h
    // and RdRecords l, with the settled quantities ps joined).
    QString unsettledFrom() const;
    QVariantList unsettledBinds(const Params& p) const;
    static const QList<std::pair<int, QString>>& receiptFields();
    QString receiptLinesSql() const;
    QVariantList receiptLinesBinds(const Params& p) const;
    // The valuation method of an opening row s (warehouse w, inventory i joined).
    QString methodOf() const;
    QString lotValuedCondition() const;
    void stampOpenings(const QDate& postingDate, const QString& op);
    // The trail's event of a posting or a cancelling, with its counts; announces
    // the step "Commit" when written (the caller announces "Audit" before it
    // gathers what the event needs).
    void recordPostingEvent(const QString& operation, const QJsonObject& counts);

    LoginContext& m_ctx;
    QString m_valueStyle;
};

// How a posting or cancelling command ended.
enum class KeepOutcome { Refused, Failed, Done };

// The 记账 command of the entry window and of the command line: already posted,
// the purchasing checks, task "ASM3102", the specific-identification checks, then
// the posting and its message (title "期初记账"). `editing`: the grid is editing a
// cell. `busy` is told when the long work starts and ends.
KeepOutcome PostCommand(LoginContext& ctx, bool editing, const std::function<void(bool)>& busy = {});
// The 恢复 command: task "ASM3102", the cancelling checks, the cancelling and its
// message; the task is left at the end.
KeepOutcome CancelCommand(LoginContext& ctx);

}  // namespace qc::opening
