// Estimates of unsettled receipts as the engine writes them: the record AccountSub
// takes, positions a1 to a91, and the ledger row it becomes.

#include "ledger/AccountEngine.h"

#include "domain/Vocabulary.h"
#include "platform/Dialect.h"

#include <QDomElement>
#include <QSqlQuery>

namespace qc {

const QList<EstimateColumn>& clsAccount::estimateColumns() {
    static const QList<EstimateColumn> columns = [] {
        using C = EstimateColumn;
        QList<C> l{{QStringLiteral("bRdFlag"), 0},
                   {QStringLiteral("cBusType"), 1},
                   {QStringLiteral("cBusCode"), 2},
                   {QStringLiteral("cVouCode"), 3},
                   {QStringLiteral("ID"), 4, C::Id},
                   {QStringLiteral("dVouDate"), 7, C::Date},
                   {QStringLiteral("dKeepDate"), 0},
                   {QStringLiteral("iMonth"), 0},
                   {QStringLiteral("cVouType"), 13},
                   {QStringLiteral("cPTCode"), 14},
                   {QStringLiteral("cSTCode"), 15},
                   {QStringLiteral("cWhCode"), 16},
                   {QStringLiteral("cInvCode"), 17},
                   {QStringLiteral("cDepCode"), 18},
                   {QStringLiteral("cRdCode"), 19},
                   {QStringLiteral("cCusCode"), 20},
                   {QStringLiteral("cPSPCode"), 23},
                   {QStringLiteral("cAccDep"), 18},
                   {QStringLiteral("cPersonCode"), 26},
                   {QStringLiteral("iAInQuantity"), 27, C::Number},
                   {QStringLiteral("iInCost"), 29, C::Number},
                   {QStringLiteral("iAInPrice"), 31, C::Number},
                   {QStringLiteral("iDebitDifCost"), 33, C::Number},
                   {QStringLiteral("iCreditDifCost"), 34, C::Number},
                   {QStringLiteral("cMaker"), 36},
                   {QStringLiteral("cAccounter"), 37},
                   {QStringLiteral("bFlag"), 0},
                   {QStringLiteral("bMoneyFlag"), 39, C::Flag},
                   {QStringLiteral("bSale"), 40, C::Flag},
                   {QStringLiteral("cMemo"), 41},
                   {QStringLiteral("cItem_class"), 84},
                   {QStringLiteral("cItemCode"), 85},
                   {QStringLiteral("cItemCName"), 86},
                   {QStringLiteral("cVenCode"), 87},
                   {QStringLiteral("cHandler"), 88},
                   {QStringLiteral("cOrderCode"), 89},
                   {QStringLiteral("cARVCode"), 90},
                   {QStringLiteral("cName"), 91}};
        for (int k = 1; k <= 16; ++k) l.append({QStringLiteral("cDefine%1").arg(k), 41 + k});
        for (int k = 1; k <= 10; ++k) l.append({QStringLiteral("cFree%1").arg(k), 57 + k});
        for (int k = 22; k <= 37; ++k) l.append({QStringLiteral("cDefine%1").arg(k), 68 + k - 22});
        return l;
    }();
    return columns;
}

bool clsAccount::AccountSub(const QDomDocument& record) {
    return guarded(QStringLiteral("AccountSub"), [&] {
        const QDomElement root = record.documentElement();
        if (root.tagName() != u"root") throw DbError(QStringLiteral("入库记录格式不正确"));
        auto a = [&](int pos) -> QVariant {
            const QString name = QStringLiteral("a%1").arg(pos);
            return root.hasAttribute(name) ? QVariant(root.attribute(name))
                                           : QVariant(QMetaType(QMetaType::QString));
        };
        auto dec = [&](int pos) -> QVariant {
            const QVariant v = a(pos);
            return v.isNull() ? v : Decimal::fromText(v.toString()).toVariant();
        };
        QStringList cols;
        QVariantList vals;
        for (const EstimateColumn& c : estimateColumns()) {
            cols << c.column;
            if (c.position == 0) {
                // The fixed columns: a receipt (bRdFlag 1) of the opening month, not yet
                // costed, kept on the start date so that cancelling the posting finds it
                // among the rows it removes.
                if (c.column == u"dKeepDate")
                    vals << dateOrNull(m_startDate.isValid() ? m_startDate : dateOf(a(8)).addDays(1));
                else
                    vals << (c.column == u"bRdFlag" ? 1 : 0);
                continue;
            }
            const QVariant v = a(c.position);
            switch (c.kind) {
                case EstimateColumn::Id:
                    vals << (v.isNull() ? QVariant() : QVariant(v.toLongLong()));
                    break;
                case EstimateColumn::Date:
                    vals << dateOrNull(dateOf(v));
                    break;
                case EstimateColumn::Number:
                    vals << dec(c.position);
                    break;
                case EstimateColumn::Flag:
                    vals << (v.isNull() ? QVariant(c.column == u"bMoneyFlag" ? 1 : 0) : QVariant(v.toInt()));
                    break;
                case EstimateColumn::Text:
                    vals << v;
                    break;
            }
        }
        const qint64 id =
            db().insertReturningId(QStringLiteral("IA_Subsidiary"), cols, vals, QStringLiteral("AutoID"));
        if (!VouchQCAccount(id)) throw DbError(m_error);
    });
}

}  // namespace qc
