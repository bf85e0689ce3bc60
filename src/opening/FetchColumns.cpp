#include "opening/FetchParts.h"

#include "opening/FetchStock.h"
#include "platform/UnitSteps.h"

namespace qc::opening::fetching {

QStringList takenOverColumns() {
    QStringList c{QStringLiteral("bRdFlag"),
                  QStringLiteral("cBusType"),
                  QStringLiteral("cBusCode"),
                  QStringLiteral("cVouCode"),
                  QStringLiteral("ID"),
                  QStringLiteral("ValueID"),
                  QStringLiteral("JustID"),
                  QStringLiteral("dVouDate"),
                  QStringLiteral("dKeepDate"),
                  QStringLiteral("iMonth"),
                  QStringLiteral("iPZID"),
                  QStringLiteral("iPZDate"),
                  QStringLiteral("cPZtype"),
                  QStringLiteral("cPZdigest"),
                  QStringLiteral("cInvHead"),
                  QStringLiteral("cDifHead"),
                  QStringLiteral("cOppHead"),
                  QStringLiteral("cVouType"),
                  QStringLiteral("cPTCode"),
                  QStringLiteral("cSTCode"),
                  QStringLiteral("cWhCode"),
                  QStringLiteral("cAccDep"),
                  QStringLiteral("cInvCode"),
                  QStringLiteral("cRdCode"),
                  QStringLiteral("cVenCode"),
                  QStringLiteral("cCusCode"),
                  QStringLiteral("cOrderCode"),
                  QStringLiteral("cARVCode"),
                  QStringLiteral("cBillCode"),
                  QStringLiteral("cDLCode"),
                  QStringLiteral("cPSPCode"),
                  QStringLiteral("cProCode"),
                  QStringLiteral("cDepCode"),
                  QStringLiteral("cPersonCode"),
                  QStringLiteral("cHandler"),
                  QStringLiteral("iAInQuantity"),
                  QStringLiteral("iAOutQuantity"),
                  QStringLiteral("iInCost"),
                  QStringLiteral("iOutCost"),
                  QStringLiteral("iAInPrice"),
                  QStringLiteral("iAOutPrice"),
                  QStringLiteral("cBatchCode"),
                  QStringLiteral("iDebitDifCost"),
                  QStringLiteral("iCreditDifCost"),
                  QStringLiteral("cAccounter"),
                  QStringLiteral("cMaker"),
                  QStringLiteral("bFlag"),
                  QStringLiteral("bMoneyFlag"),
                  QStringLiteral("bSale"),
                  QStringLiteral("cMemo")};
    for (int n = 1; n <= 16; ++n) c << QStringLiteral("cDefine%1").arg(n);
    for (int n = 1; n <= 10; ++n) c << QStringLiteral("cFree%1").arg(n);
    for (int n = 22; n <= 37; ++n) c << QStringLiteral("cDefine%1").arg(n);
    c << QStringLiteral("cItem_class") << QStringLiteral("cItemCode") << QStringLiteral("cItemCName")
      << QStringLiteral("cName") << QStringLiteral("cPZID") << QStringLiteral("noJustQuantity");
    return c;
}

QList<std::pair<QString, QString>> documentItems() {
    QList<std::pair<QString, QString>> l;
    for (int n = 1; n <= 16; ++n)
        l << std::pair{QStringLiteral("cDefine%1").arg(n), QStringLiteral("RdRecord")};
    for (int n = 1; n <= 10; ++n)
        l << std::pair{QStringLiteral("cFree%1").arg(n), QStringLiteral("RdRecords")};
    for (int n = 22; n <= 37; ++n)
        l << std::pair{QStringLiteral("cDefine%1").arg(n), QStringLiteral("RdRecords")};
    for (const char* c : {"cItem_class", "cItemCode", "cItemCName", "cName"})
        l << std::pair{QString::fromLatin1(c), QStringLiteral("RdRecords")};
    return l;
}

void fetchStep(const QString& name) {
    announceStep(QStringLiteral("fetch"), name);
}

}  // namespace qc::opening::fetching
