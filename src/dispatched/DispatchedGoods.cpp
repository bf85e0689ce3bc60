#include "dispatched/DispatchedGoods.h"

#include "domain/Vocabulary.h"
#include "host/AuditTrail.h"
#include "host/VqLogin.h"
#include "platform/Database.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QRegularExpression>

#include <utility>

namespace qc::dispatched {

namespace {

const QString kFetchUnit = QStringLiteral("dispatched-fetch");
const QString kClearUnit = QStringLiteral("dispatched-clear");

// Voucher types of the dispatch notes of each business, and the word the
// invoices of consignment sales carry in cBusType.
const QString kInstalmentNote = QStringLiteral("05");
const QString kConsignmentNote = QStringLiteral("06");
const QString kConsignmentInvoice = QStringLiteral("委托");

// The account flag that says the business type has been fetched.
QString fetchedFlag(BusinessType type) {
    return type == BusinessType::Instalment ? QStringLiteral("cGetDataFqsk") : QStringLiteral("cGetDataWtdx");
}

// The columns an opening row takes from the dispatch note (DispatchList) and its
// line (DispatchLists), as (IA_EnSubsidiary column, source) pairs; the quantity
// not invoiced, the warehouse's department and the constants are added apart.
QList<std::pair<QString, QString>> copiedColumns() {
    QList<std::pair<QString, QString>> c{
        {QStringLiteral("cBusType"), QStringLiteral("DispatchList.cBusType")},
        {QStringLiteral("cVouCode"), QStringLiteral("DispatchList.cDLCode")},
        {QStringLiteral("InID"), QStringLiteral("DispatchLists.iDLsID")},
        {QStringLiteral("dVouDate"), QStringLiteral("DispatchList.dDate")},
        {QStringLiteral("cVouType"), QStringLiteral("DispatchList.cVouchType")},
        {QStringLiteral("cSTCode"), QStringLiteral("DispatchList.cSTCode")},
        {QStringLiteral("cWhCode"), QStringLiteral("DispatchLists.cWhCode")},
        {QStringLiteral("cAccDep"), QStringLiteral("DispatchList.cDepCode")},
        {QStringLiteral("cInvCode"), QStringLiteral("DispatchLists.cInvCode")},
        {QStringLiteral("cRdCode"), QStringLiteral("DispatchList.cRdCode")},
        {QStringLiteral("cCusCode"), QStringLiteral("DispatchList.cCusCode")},
        {QStringLiteral("cDLCode"), QStringLiteral("DispatchList.DLID")},
        {QStringLiteral("cPersonCode"), QStringLiteral("DispatchList.cPersonCode")},
        {QStringLiteral("iAOutQuantity"), QStringLiteral("DispatchLists.iQuantity")},
        {QStringLiteral("cMaker"), QStringLiteral("DispatchList.cMaker")},
        {QStringLiteral("cMemo"), QStringLiteral("DispatchList.cMemo")},
        {QStringLiteral("cItem_class"), QStringLiteral("DispatchLists.cItem_class")},
        {QStringLiteral("cItemCode"), QStringLiteral("DispatchLists.cItemCode")},
        {QStringLiteral("cName"), QStringLiteral("DispatchLists.cItemName")},
        {QStringLiteral("cItemCName"), QStringLiteral("DispatchLists.cItem_CName")},
        {QStringLiteral("ienid"), QStringLiteral("DispatchList.DLID")},
    };
    const auto series = [&c](const char* table, const char* name, int from, int to) {
        for (int i = from; i <= to; ++i) {
            const QString column = QString::fromLatin1(name) + QString::number(i);
            c.append({column, QString::fromLatin1(table) + u'.' + column});
        }
    };
    series("DispatchList", "cDefine", 1, 16);
    series("DispatchLists", "cFree", 1, 10);
    series("DispatchLists", "cDefine", 22, 37);
    return c;
}

class Fetch {
  public:
    Fetch(LoginContext& ctx, BusinessType type)
        : m_ctx(ctx), m_db(accountDb(ctx)), m_d(m_db.dialect()), m_type(type), m_cutOff(cutOffDate(ctx)) {
        // The suffix becomes part of a table name, so it must be a plain number.
        static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
        if (!digits.match(ctx.gInstanceNo).hasMatch())
            throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(ctx.gInstanceNo));
        m_scratch = QStringLiteral("ia_EnSubsidiary0") + ctx.gInstanceNo;
    }

    FetchResult run() {
        FetchResult r;
        announceStep(kFetchUnit, QStringLiteral("scratch"));
        m_db.exec(m_d.dropTableIfExists(m_scratch));
        createScratch();
        announceStep(kFetchUnit, QStringLiteral("select"));
        selectCandidates();
        announceStep(kFetchUnit, QStringLiteral("insert"));
        r.inserted = insertRows();
        announceStep(kFetchUnit, QStringLiteral("cleanup"));
        m_db.exec(m_d.dropTableIfExists(m_scratch));
        announceStep(kFetchUnit, QStringLiteral("mark"));
        markDocuments(r);
        announceStep(kFetchUnit, QStringLiteral("flag"));
        setFetchedFlag(m_db, m_type, true);
        return r;
    }

    static void setFetchedFlag(Database& db, BusinessType type, bool fetched) {
        db.exec(QStringLiteral("UPDATE AccInformation SET cValue = ? WHERE cSysID = ? AND cName = ?"),
                {fetched ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), QStringLiteral("IA"),
                 fetchedFlag(type)});
    }

  private:
    // The scratch table holds what the selection decides for each candidate: the
    // dispatch line (InID, its iDLsID), the candidate's invoice date (dKeepDate,
    // which orders a line's candidates), the quantity not invoiced and the
    // warehouse's department. Every other column of a row comes from the note and
    // its line when the rows are written.
    static QStringList scratchColumns() {
        return {QStringLiteral("InID"), QStringLiteral("dKeepDate"), QStringLiteral("iAInQuantity"),
                QStringLiteral("cDepCode")};
    }

    // The scratch table has the opening row's columns and types, none required.
    void createScratch() {
        const TableDef t = scratchTableOf(m_scratch, QStringLiteral("IA_EnSubsidiary"), scratchColumns());
        m_db.exec(createStatements(t, m_d).first());
    }

    // One candidate per goods line of a note of the business type dated before D
    // and per date of its invoices (a line without invoices gives one), while the
    // line's quantity exceeds what the invoices of that date before D that are not
    // invalidated hold; the remaining quantity counts verified invoices only.
    void selectCandidates() {
        const bool byDepartment = m_ctx.gValueStyle == basis::kByDepartment;
        // The invoice lines of each dispatch line summed per invoice date first
        // (a narrow grouping), then joined to the lines: the invoiced quantity
        // before D on invoices not invalidated, and the verified part of it. An
        // invalidated invoice counts for nothing: its line stays (in the group
        // without a date), not dropped with it. D is bound as a one-row table.
        const QString invoiced = QStringLiteral(
            "CASE WHEN SaleBillVouch.dDate < cut.d %1"
            "THEN SaleBillVouchs.iQuantity ELSE 0 END");
        const QString invoices =
            QStringLiteral(
                "SELECT SaleBillVouchs.iDLsID, SaleBillVouch.dDate, %1 AS anyQty, %2 AS verifiedQty"
                " FROM (SELECT %3 AS d) cut CROSS JOIN SaleBillVouchs"
                " LEFT JOIN SaleBillVouch ON SaleBillVouch.SBVID = SaleBillVouchs.SBVID"
                " AND SaleBillVouch.cInvalider IS NULL"
                " GROUP BY SaleBillVouchs.iDLsID, SaleBillVouch.dDate")
                .arg(m_d.sumWhereInexact(invoiced.arg(QString()), 10),
                     m_d.sumWhereInexact(
                         invoiced.arg(QStringLiteral("AND SaleBillVouch.cChecker IS NOT NULL ")), 10),
                     m_d.typedDate());

        QString sql =
            QStringLiteral(
                "INSERT INTO %1 (InID, dKeepDate, iAInQuantity, cDepCode) "
                "SELECT DispatchLists.iDLsID, inv.dDate, %2, %3")
                .arg(m_scratch,
                     m_d.roundWhereInexact(
                         QStringLiteral("DispatchLists.iQuantity - COALESCE(inv.verifiedQty, 0)"), 10),
                     byDepartment ? QStringLiteral("Warehouse.cDepCode") : QStringLiteral("NULL"));
        QVariantList binds{m_cutOff, m_cutOff};
        sql += QStringLiteral(
                   " FROM (SELECT %1 AS d) cut CROSS JOIN DispatchList"
                   " JOIN DispatchLists ON DispatchLists.DLID = DispatchList.DLID"
                   " LEFT JOIN (%2) inv ON inv.iDLsID = DispatchLists.iDLsID"
                   " LEFT JOIN Warehouse ON Warehouse.cWhCode = DispatchLists.cWhCode"
                   " JOIN Inventory ON Inventory.cInvCode = DispatchLists.cInvCode"
                   " WHERE Inventory.bService = 0 AND Inventory.bInvType = 0 AND DispatchList.dDate < cut.d"
                   " AND ABS(DispatchLists.iQuantity) > ABS(COALESCE(inv.anyQty, 0))")
                   .arg(m_d.typedDate(), invoices);
        if (m_type == BusinessType::Instalment) {
            sql += QStringLiteral(
                " AND DispatchList.cBusType = ? AND DispatchList.cVouchType = ?"
                " AND DispatchList.cAccounter IS NULL");
            binds << businessName(m_type) << kInstalmentNote;
        } else {
            sql += QStringLiteral(" AND DispatchList.cVouchType = ?");
            binds << kConsignmentNote;
        }
        m_db.exec(sql, binds);
    }

    // The opening rows: the candidates with a quantity left, every other column
    // from the note and its line, in the order of the notes, their lines and the
    // invoice dates (a line's candidate without a date first); the grid lists
    // them so.
    qint64 insertRows() {
        QStringList cols, exprs;
        for (const auto& [column, source] : copiedColumns()) {
            cols << column;
            exprs << source;
        }
        return m_db.execAffected(
            QStringLiteral(
                "INSERT INTO IA_EnSubsidiary (bRdFlag, iMonth, cDepCode, iAInQuantity, bMoneyFlag, "
                "bSale, %1) SELECT 1, 0, c.cDepCode, c.iAInQuantity, 1, 1, %2 FROM %3 c"
                " JOIN DispatchLists ON DispatchLists.iDLsID = c.InID"
                " JOIN DispatchList ON DispatchList.DLID = DispatchLists.DLID"
                " WHERE c.iAInQuantity <> 0"
                " ORDER BY DispatchList.DLID, DispatchLists.AutoID,"
                " CASE WHEN c.dKeepDate IS NULL THEN 0 ELSE 1 END, c.dKeepDate")
                .arg(cols.join(QStringLiteral(", ")), exprs.join(QStringLiteral(", ")), m_scratch));
    }

    void markDocuments(FetchResult& r) {
        const QString who = m_ctx.gLogin ? m_ctx.gLogin->UserName() : QString();
        if (m_type == BusinessType::Instalment) {
            r.notesMarked = m_db.execAffected(
                QStringLiteral("UPDATE DispatchList SET cAccounter = ? WHERE dDate < ? AND cBusType = ? "
                               "AND cVouchType = ? AND cAccounter IS NULL"),
                {who, m_cutOff, businessName(m_type), kInstalmentNote});
            r.invoicesMarked = m_db.execAffected(
                QStringLiteral("UPDATE SaleBillVouch SET cAccounter = ? WHERE dDate < ? AND cBusType = ? "
                               "AND cAccounter IS NULL AND cInvalider IS NULL"),
                {who, m_cutOff, businessName(m_type)});
        } else {
            r.notesMarked = m_db.execAffected(
                QStringLiteral("UPDATE DispatchList SET cAccounter = ? WHERE dDate < ? AND cVouchType = ? "
                               "AND cAccounter IS NULL"),
                {who, m_cutOff, kConsignmentNote});
            r.invoicesMarked = m_db.execAffected(
                QStringLiteral("UPDATE SaleBillVouch SET cAccounter = ? WHERE dDate < ? AND cBusType = ? "
                               "AND cAccounter IS NULL AND cInvalider IS NULL"),
                {who, m_cutOff, kConsignmentInvoice});
        }
    }

    LoginContext& m_ctx;
    Database& m_db;
    const Dialect& m_d;
    BusinessType m_type;
    QDate m_cutOff;
    QString m_scratch;
};

}  // namespace

std::optional<BusinessType> businessTypeOf(int intTypt) {
    if (intTypt == 0) return BusinessType::Instalment;
    if (intTypt == 1) return BusinessType::Consignment;
    return std::nullopt;
}

QString businessName(BusinessType type) {
    return type == BusinessType::Instalment ? QStringLiteral("分期收款") : QStringLiteral("委托代销");
}

QDate cutOffDate(LoginContext& ctx) {
    const int period = accParaOf(ctx).CurrentPeriod(QString());
    if (const std::optional<PeriodDates> dates = LoginPeriod(ctx, period)) return dates->begin;
    const int year = ctx.gLogin ? ctx.gLogin->AccountYear().toInt() : QDate::currentDate().year();
    return {year, std::clamp(period, 1, 12), 1};
}

bool hasRows(LoginContext& ctx, BusinessType type) {
    return accountDb(ctx)
               .scalar(QStringLiteral("SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = ?"),
                       {businessName(type)})
               .toLongLong() > 0;
}

namespace {

// The trail's event of a fetch or a clear of one business type, in its unit of work.
void recordEvent(LoginContext& ctx, const QString& operation, BusinessType type, const QJsonObject& counts,
                 std::optional<qint64> reserved = std::nullopt) {
    audit::Event e;
    e.operation = operation;
    e.businessType = businessName(type);
    e.detail = counts;
    audit::record(accountDb(ctx), audit::actorOf(ctx.gLogin), e, reserved);
}

}  // namespace

FetchResult GetFromXsFcsp(LoginContext& ctx, BusinessType type) {
    const FetchResult r = Fetch(ctx, type).run();
    recordEvent(ctx, audit::kFetchDispatched, type,
                {{QStringLiteral("取回行数"), r.inserted},
                 {QStringLiteral("标记发货单"), r.notesMarked},
                 {QStringLiteral("标记发票"), r.invoicesMarked}});
    return r;
}

ClearResult DeleteQCFCSP(LoginContext& ctx, BusinessType type) {
    Database& db = accountDb(ctx);
    ClearResult r;
    // The trail keeps the rows the clear deletes, whole, under its event.
    const qint64 event = audit::reserve(db);
    audit::keepRows(db, event, QStringLiteral("IA_EnSubsidiary"),
                    {QStringLiteral("cBusType = ? AND iMonth = 0"), {businessName(type)}});
    announceStep(kClearUnit, QStringLiteral("delete"));
    r.deleted =
        db.execAffected(QStringLiteral("DELETE FROM IA_EnSubsidiary WHERE cBusType = ? AND iMonth = 0"),
                        {businessName(type)});
    const QDate cutOff = cutOffDate(ctx);
    announceStep(kClearUnit, QStringLiteral("unmark"));
    if (type == BusinessType::Instalment) {
        r.notesUnmarked = db.execAffected(
            QStringLiteral("UPDATE DispatchList SET cAccounter = NULL WHERE dDate < ? AND cBusType = ? "
                           "AND cVouchType = ? AND cAccounter IS NOT NULL"),
            {cutOff, businessName(type), kInstalmentNote});
        r.invoicesUnmarked = db.execAffected(
            QStringLiteral("UPDATE SaleBillVouch SET cAccounter = NULL WHERE dDate < ? AND cBusType = ? "
                           "AND cAccounter IS NOT NULL"),
            {cutOff, businessName(type)});
    } else {
        r.notesUnmarked = db.execAffected(
            QStringLiteral("UPDATE DispatchList SET cAccounter = NULL WHERE dDate < ? AND cVouchType = ? "
                           "AND cAccounter IS NOT NULL"),
            {cutOff, kConsignmentNote});
        r.invoicesUnmarked = db.execAffected(
            QStringLiteral("UPDATE SaleBillVouch SET cAccounter = NULL WHERE dDate < ? AND cBusType = ? "
                           "AND cAccounter IS NOT NULL"),
            {cutOff, kConsignmentInvoice});
    }
    announceStep(kClearUnit, QStringLiteral("flag"));
    Fetch::setFetchedFlag(db, type, false);
    recordEvent(ctx, audit::kClearDispatched, type,
                {{QStringLiteral("删除行数"), r.deleted},
                 {QStringLiteral("取消标记发货单"), r.notesUnmarked},
                 {QStringLiteral("取消标记发票"), r.invoicesUnmarked}},
                event);
    return r;
}

const QStringList& fetchSteps() {
    static const QStringList steps{QStringLiteral("scratch"), QStringLiteral("select"),
                                   QStringLiteral("insert"),  QStringLiteral("cleanup"),
                                   QStringLiteral("mark"),    QStringLiteral("flag")};
    return steps;
}

const QStringList& clearSteps() {
    static const QStringList steps{QStringLiteral("delete"), QStringLiteral("unmark"),
                                   QStringLiteral("flag")};
    return steps;
}

}  // namespace qc::dispatched
