#pragma once

// Posting the opening balances (期初记账) and cancelling a posting (恢复).

#include "platform/Database.h"

#include <QDate>
#include <QDomDocument>
#include <QString>
#include <QVariant>

#include <functional>

namespace qc {
struct LoginContext;
class MessageSink;
}  // namespace qc

namespace qc::opening {

class Posting {
  public:
    explicit Posting(LoginContext& ctx);

    // Posts every opening row, in one transaction on the connection of gDb: the
    // periods before the start closed for the module, voucher numbers, the posting
    // columns, the engine's summaries and layers, the purchase module's estimates
    // of the first year, the posted state. False (and everything as before) on any
    // failure; lastError() then says why. The posting's own stops ("存货…没有设置
    // 计价方式！", "存货…没有设置计划价/售价！") are shown before it returns false.
    bool PostOpenings();
    // Cancels a posting, in one transaction. Throws DbError (everything as before).
    void CancelPosting();
    // False when anything happened after the openings that forbids cancelling.
    bool CanCancelPosting();
    // True when every specific-identification opening row has its amount.
    bool bNoGbjjCost();
    // True when no unposted specific-identification opening row has a negative quantity.
    bool NoNegativeIndividualRows();
    // Sets attribute "a<position>" of the document's root to the value's text,
    // unless the value is null.
    static void setAttribute(QDomDocument& doc, int position, const QVariant& value);

    [[nodiscard]] QString lastError() const { return m_error; }

  private:
    struct Params;
    Params read();
    Database& db();
    MessageSink& sink();
    // The unsettled purchase receipt lines at the start (condition on RdRecord h
    // and RdRecords l, with the settled quantities ps joined).
    QString unsettledFrom() const;
    QVariantList unsettledBinds(const Params& p) const;
    // The valuation method of an opening row s (warehouse w, inventory i joined).
    QString methodOf() const;
    QString lotValuedCondition() const;
    void stampOpenings(const QDate& postingDate, const QString& op);

    LoginContext& m_ctx;
    QString m_valueStyle;
    QString m_error;
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
