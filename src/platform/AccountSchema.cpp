#include "platform/Schema.h"

#include "platform/Dialect.h"

namespace qc {

namespace {

QString n(int i) {
    return QString::number(i);
}

// "prefix<from> type, ..., prefix<to> type"
QString series(const QString& prefix, int from, int to, const QString& type) {
    QStringList out;
    for (int i = from; i <= to; ++i) out << prefix + n(i) + u' ' + type;
    return out.join(QStringLiteral(", "));
}

QString join(std::initializer_list<QString> parts) {
    QStringList out;
    for (const QString& p : parts)
        if (!p.isEmpty()) out << p;
    return out.join(QStringLiteral(", "));
}

// Free items 1-10 of documents and ledgers.
QString freeItems() {
    return series(QStringLiteral("cFree"), 1, 10, QStringLiteral("t20"));
}

// Head user-defined items 1-16. The date items (4 and 6) keep the text the user
// typed, so they are text columns.
QString headDefines() {
    return join({series(QStringLiteral("cDefine"), 1, 3, QStringLiteral("t20")),
                 QStringLiteral("cDefine4 t20"), QStringLiteral("cDefine5 i"), QStringLiteral("cDefine6 t20"),
                 QStringLiteral("cDefine7 f"), QStringLiteral("cDefine8 t4"), QStringLiteral("cDefine9 t8"),
                 QStringLiteral("cDefine10 t60"),
                 series(QStringLiteral("cDefine"), 11, 14, QStringLiteral("t120")),
                 QStringLiteral("cDefine15 i"), QStringLiteral("cDefine16 f")});
}

// Line user-defined items 22-37; 36 and 37 are dates kept as typed.
QString lineDefines() {
    return join({series(QStringLiteral("cDefine"), 22, 25, QStringLiteral("t60")),
                 series(QStringLiteral("cDefine"), 26, 27, QStringLiteral("f")),
                 series(QStringLiteral("cDefine"), 28, 33, QStringLiteral("t120")),
                 series(QStringLiteral("cDefine"), 34, 35, QStringLiteral("i")),
                 series(QStringLiteral("cDefine"), 36, 37, QStringLiteral("t20"))});
}

IndexDef index(const QString& tableName, const QStringList& columns, bool unique = false) {
    return IndexDef{QStringLiteral("ix_%1_%2").arg(tableName.toLower(), columns.join(u'_').toLower()),
                    columns, unique};
}

QStringList cols(const QString& list) {
    return list.split(u',', Qt::SkipEmptyParts);
}

// Inventory-accounting ledger rows. Opening rows have iMonth = 0 and cVouType '34'.
TableDef iaSubsidiary() {
    TableDef t = table(
        QStringLiteral("IA_Subsidiary"),
        join({QStringLiteral(
                  "AutoID id, bRdFlag bit, cBusType t12, cBusCode t30, cVouCode t30, ID i, ValueID i, JustID "
                  "i, "
                  "dVouDate d, dKeepDate d, iMonth si, iYear si, iPZID i, iPZDate d, cPZtype t8, cPZdigest "
                  "t60, "
                  "cInvHead t40, cDifHead t40, cOppHead t40, cVouType t4, cPTCode t2, cSTCode t2, cWhCode "
                  "t10, "
                  "cAccDep t12, cInvCode t60, cRdCode t5, cVenCode t20, cCusCode t20, cOrderCode t30, "
                  "cARVCode t30, cBillCode i, cDLCode i, cPSPCode t60, cProCode t60, cDepCode t12, "
                  "cPersonCode t20, cHandler t20, iAInQuantity n38_10, iAOutQuantity n38_10, iInCost n38_13, "
                  "iOutCost n38_13, iAInPrice money, iAOutPrice money, iDebitDifCost money, iCreditDifCost "
                  "money, "
                  "cBatchCode t20, cAccounter t30, cMaker t20, bFlag si, bMoneyFlag bit, bSale bit, cMemo "
                  "t255, "
                  "cPZID t30, cItem_class t10, cItemCode t60, cName t255, cItemCName t20, noJustQuantity f"),
              freeItems(), headDefines(), lineDefines()}));
    t.indexes << index(t.name, cols(QStringLiteral("cWhCode,cVouType,iMonth")))
              << index(t.name, cols(QStringLiteral("iMonth,cVouType")))
              << index(t.name, cols(QStringLiteral("cInvCode")));
    // Posting stamps every opening row and costing every month row afterwards.
    t.fillFactor = 50;
    return t;
}

// Dispatched goods. The columns after AutoID are in the order in which the fetch
// from sales writes them.
TableDef iaEnSubsidiary() {
    TableDef t = table(
        QStringLiteral("IA_EnSubsidiary"),
        join({QStringLiteral(
                  "AutoID id, bRdFlag bit, cBusType t12, cBusCode t30, cVouCode t30, InID i, OutID i, "
                  "dVouDate d, dKeepDate d, iMonth si, iPZID i, iPZDate d, cPZtype t8, cPZdigest t60, "
                  "cOutHead t40, cOppHead t40, cVouType t4, cSTCode t2, cWhCode t10, cAccDep t12, "
                  "cInvCode t60, cRdCode t5, cCusCode t20, cBillCode i, cDLCode i, cDepCode t12, "
                  "cPersonCode t20, cHandler t20, iAInQuantity n38_10, iAOutQuantity n38_10, "
                  "iInCost n38_13, iOutCost n38_13, iAInPrice money, isoutquantity n38_10, "
                  "isoutmoney money, iAOutPrice money, cBatchCode t20, cAccounter t30, cMaker t20, "
                  "bMoneyFlag bit, bSale bit, cMemo t255"),
              series(QStringLiteral("cDefine"), 1, 3, QStringLiteral("t20")),
              QStringLiteral("cDefine4 t20, cDefine5 i, cDefine6 t20, cDefine7 f, cDefine8 t4, cDefine9 t8, "
                             "cDefine10 t60, cFree1 t20, cFree2 t20, cPZID t30"),
              series(QStringLiteral("cDefine"), 22, 25, QStringLiteral("t60")),
              series(QStringLiteral("cDefine"), 26, 27, QStringLiteral("f")),
              QStringLiteral("cItem_class t10, cItemCode t60, cName t255, cItemCName t20"),
              series(QStringLiteral("cFree"), 3, 10, QStringLiteral("t20")),
              series(QStringLiteral("cDefine"), 11, 14, QStringLiteral("t120")),
              QStringLiteral("cDefine15 i, cDefine16 f"),
              series(QStringLiteral("cDefine"), 28, 33, QStringLiteral("t120")),
              series(QStringLiteral("cDefine"), 34, 35, QStringLiteral("i")),
              series(QStringLiteral("cDefine"), 36, 37, QStringLiteral("t20")), QStringLiteral("ienid i")}));
    t.indexes << index(t.name, cols(QStringLiteral("cBusType,iMonth")));
    return t;
}

QList<TableDef> dictionaries() {
    QList<TableDef> l;
    TableDef inv =
        table(QStringLiteral("Inventory"),
              join({QStringLiteral(
                        "cInvCode t60!, cInvAddCode t255, cInvName t255, cInvStd t255, cInvCCode t12, "
                        "cVenCode t20, cReplaceItem t60, bService bit=0, bInvType bit=0, iInvRCost n38_13, "
                        "iInvSPrice n38_13, dSDate d, dEDate d, iId i"),
                    series(QStringLiteral("cInvDefine"), 1, 3, QStringLiteral("t20")),
                    series(QStringLiteral("cInvDefine"), 4, 6, QStringLiteral("t60")),
                    series(QStringLiteral("cInvDefine"), 7, 10, QStringLiteral("t120")),
                    series(QStringLiteral("cInvDefine"), 11, 12, QStringLiteral("i")),
                    series(QStringLiteral("cInvDefine"), 13, 14, QStringLiteral("f")),
                    series(QStringLiteral("cInvDefine"), 15, 16, QStringLiteral("d")),
                    QStringLiteral("cValueType t20, cComUnitCode t35, cMonth t6"),
                    series(QStringLiteral("bFree"), 1, 10, QStringLiteral("bit=0")),
                    QStringLiteral("bTrack bit=0, iInvExchRate n30_10")}),
              {QStringLiteral("cInvCode")});
    inv.indexes << index(inv.name, {QStringLiteral("cInvName")})
                << index(inv.name, {QStringLiteral("cInvAddCode")})
                << index(inv.name, {QStringLiteral("cInvCCode")})
                << index(inv.name, {QStringLiteral("iId")}, true);
    l << inv;

    l << table(QStringLiteral("InventoryClass"),
               QStringLiteral("cInvCCode t12!, cInvCName t100, iInvCGrade si, bInvCEnd bit"),
               {QStringLiteral("cInvCCode")});
    l << table(QStringLiteral("Warehouse"),
               QStringLiteral("cWhCode t10!, cWhName t20, cDepCode t12, cWhValueStyle t12, cMonth t6"),
               {QStringLiteral("cWhCode")});
    l << table(QStringLiteral("Department"),
               QStringLiteral("cDepCode t12!, cDepName t255, bDepEnd bit, iDepGrade si, cDepPerson t20"),
               {QStringLiteral("cDepCode")});
    l << table(QStringLiteral("Person"), QStringLiteral("cPersonCode t20!, cPersonName t40, cDepCode t12"),
               {QStringLiteral("cPersonCode")});
    l << table(QStringLiteral("Vendor"),
               QStringLiteral("cVenCode t20!, cVenName t98, cVenAbbName t60, cVCCode t12"),
               {QStringLiteral("cVenCode")});
    l << table(QStringLiteral("VendorClass"),
               QStringLiteral("cVCCode t12!, cVCName t50, iVCGrade si, bVCEnd bit"),
               {QStringLiteral("cVCCode")});
    l << table(QStringLiteral("Customer"),
               QStringLiteral("cCusCode t20!, cCusName t98, cCusAbbName t60, cCCCode t12"),
               {QStringLiteral("cCusCode")});
    l << table(QStringLiteral("CustomerClass"),
               QStringLiteral("cCCCode t12!, cCCName t50, iCCGrade si, bCCEnd bit"),
               {QStringLiteral("cCCCode")});
    l << table(QStringLiteral("ComputationUnit"), QStringLiteral("cComunitCode t35!, cComUnitName t20"),
               {QStringLiteral("cComunitCode")});
    // Accounting subjects; the inventory subjects are the end-level ones under the
    // inventory headings.
    l << table(QStringLiteral("code"), QStringLiteral("cCode t40!, cCode_Name t100, iGrade si, bEnd bit"),
               {QStringLiteral("cCode")});
    // Project classes: cTable names the table that lists the class's projects, or
    // "INVENTORY" when the projects are the inventory items themselves.
    l << table(QStringLiteral("fitem"), QStringLiteral("cItem_Class t10!, cItem_Name t20, cTable t50"),
               {QStringLiteral("cItem_Class")});
    l << table(QStringLiteral("fitemss01"),
               QStringLiteral("citemcode t60!, citemname t255, citemccode t20, bclose bit=0"),
               {QStringLiteral("citemcode")});
    l << table(QStringLiteral("Rd_Style"),
               QStringLiteral("cRdCode t5!, cRdName t12, bRdFlag bit, iRdGrade si, bRdEnd bit"),
               {QStringLiteral("cRdCode")});
    // Captions of the user-defined items. iLength repeats iLong for readers that ask
    // for the length under that name.
    TableDef ud = table(QStringLiteral("UserDef"),
                        QStringLiteral("cID t2!, cClass t20, cItem t20, cItemName t20, cType t10, iLong si, "
                                       "iLength si, bCheckVal bit=0, bArchive bit=0"),
                        {QStringLiteral("cID")});
    ud.indexes << index(ud.name, cols(QStringLiteral("cClass,cItem")));
    l << ud;
    TableDef udv = table(QStringLiteral("UserDefine"), QStringLiteral("cID t2!, cValue t120!, cAlias t120"),
                         {QStringLiteral("cID"), QStringLiteral("cValue")});
    l << udv;
    return l;
}

QList<TableDef> settings() {
    QList<TableDef> l;
    TableDef acc =
        table(QStringLiteral("AccInformation"),
              QStringLiteral("cSysID t2!, cID t5, cName t30!, cCaption t30, cType t20, cValue t200, "
                             "cDefault t100"));
    acc.indexes << index(acc.name, cols(QStringLiteral("cSysID,cName")), true);
    l << acc;
    l << table(QStringLiteral("UA_Account"),
               QStringLiteral("cAcc_Id t3!, cAcc_Name t40, iYear si, cUnitName t40"),
               {QStringLiteral("cAcc_Id")});
    l << table(QStringLiteral("UA_Account_Sub"), QStringLiteral("cAcc_Id t3!, cSub_Id t2!, iYear si!"),
               {QStringLiteral("cAcc_Id"), QStringLiteral("cSub_Id"), QStringLiteral("iYear")});
    l << table(QStringLiteral("UA_Period"),
               QStringLiteral("cAcc_Id t3!, iYear si!, iId si!, dBegin d, dEnd d"),
               {QStringLiteral("cAcc_Id"), QStringLiteral("iYear"), QStringLiteral("iId")});
    // Month-end state: 1 in bFlag_<subsystem> closes the period for that subsystem.
    l << table(
        QStringLiteral("GL_mEnd"),
        QStringLiteral("iPeriod si!, iYear si, bFlag bit=0, bFlag_IA bit=0, bFlag_PU bit=0, bFlag_ST bit=0, "
                       "bFlag_SA bit=0, bFlag_GL bit=0, bFlag_AR bit=0, bFlag_AP bit=0, bFlag_FA bit=0"),
        {QStringLiteral("iPeriod")});
    l << table(QStringLiteral("IA_tblRCsetM"), QStringLiteral("ctblNum i!, cCNum i!, cCWidth f"),
               {QStringLiteral("ctblNum"), QStringLiteral("cCNum")});
    return l;
}

QList<TableDef> ledgers() {
    QList<TableDef> l;
    l << iaSubsidiary() << iaEnSubsidiary();
    TableDef sum =
        table(QStringLiteral("IA_Summary"),
              join({QStringLiteral("AutoID id, cWhCode t10, cInvCode t60, cDepCode t12, iMonth si, iYear si, "
                                   "iINum n38_10, iONum n38_10, iNum n38_10, iIMoney money, iOMoney money, "
                                   "iMoney money, iUnitPrice n38_13, iDifRate n38_8, iIDif money, "
                                   "iODif money, iDif money, fMinInCost n38_13, fMaxInCost n38_13, "
                                   "iDirect i, iPeriod i"),
                    freeItems()}));
    sum.indexes << index(sum.name, cols(QStringLiteral("cWhCode,cInvCode,iMonth")));
    // Summaries are updated in place by the posting and by every month's costing.
    sum.fillFactor = 50;
    l << sum;
    TableDef ass = table(
        QStringLiteral("IA_ValuationAss"),
        join({QStringLiteral(
                  "AutoID id, BakID i, cIVouCode t30, cWhCode t10, cInvCode t60, cDepCode t12, dIDate d, "
                  "InID i, bJustInFlag bit, dIKeepDate d, iIQuantity n30_10, iICost n30_10, iIPrice money, "
                  "cOVouCode t30, dODate d, OutID i, bJustOutFlag bit, dOKeepDate d, iOQuantity n30_10, "
                  "iOCost n30_10, iOPrice money, SubID i, bFlag bit, bMoneyFlag si"),
              freeItems(), QStringLiteral("cInVouType t4, cOutVouType t4, cbatchia t60")}));
    ass.indexes << index(ass.name, cols(QStringLiteral("cWhCode,cInvCode")));
    l << ass;
    // Cost adjustments: only whether they hold rows matters here.
    l << table(
        QStringLiteral("JustInVouch"),
        QStringLiteral("AutoID id, cJIVCode t30, dJIVDate d, cWhCode t10, cInvCode t60, iAJustPrice money"));
    l << table(
        QStringLiteral("CostJustVouch"),
        QStringLiteral("AutoID id, cCJVCode t30, dCJVDate d, cWhCode t10, cInvCode t60, iAJustPrice money"));
    return l;
}

QList<TableDef> documents() {
    QList<TableDef> l;
    TableDef rd = table(
        QStringLiteral("RdRecord"),
        join({QStringLiteral(
                  "ID i!, bRdFlag si, cVouchType t2, cBusType t12, cSource t50, cBusCode t30, cWhCode t10, "
                  "dDate d, cCode t30, cRdCode t5, cDepCode t12, cPersonCode t20, cPTCode t2, cSTCode t2, "
                  "cCusCode t20, cVenCode t20, cOrderCode t30, cARVCode t30, cPSPCode t60, cHandler t20, "
                  "cMemo t255, cAccounter t20, cMaker t20"),
              headDefines(), QStringLiteral("bpufirst bit=0, bIsSTQc bit=0")}),
        {QStringLiteral("ID")});
    rd.indexes << index(rd.name, cols(QStringLiteral("cWhCode,cVouchType,dDate")))
               << index(rd.name, cols(QStringLiteral("bIsSTQc")));
    l << rd;
    TableDef rds =
        table(QStringLiteral("RdRecords"),
              join({QStringLiteral("AutoID i!, ID i!, cInvCode t60, iQuantity n30_10, iUnitCost n30_10, "
                                   "iPrice money, iAPrice money, iPUnitCost n30_10, iPPrice money, "
                                   "cBatch t60, iFlag si, iSQuantity n30_10, iQuantity0 n30_10, "
                                   "fACost n30_10, iSBsID i, iDLsID i"),
                    freeItems(), lineDefines(),
                    QStringLiteral("cItem_class t10, cItemCode t60, cName t255, cItemCName t20")}),
              {QStringLiteral("AutoID")});
    rds.indexes << index(rds.name, {QStringLiteral("ID")}) << index(rds.name, {QStringLiteral("cInvCode")});
    l << rds;

    TableDef dl =
        table(QStringLiteral("DispatchList"),
              join({QStringLiteral("DLID i!, cDLCode t30, cVouchType t2, cBusType t8, dDate d, cSTCode t2, "
                                   "cDepCode t12, cPersonCode t20, cCusCode t20, cRdCode t5, cMaker t20, "
                                   "cVerifier t20, cAccounter t20, cCloser t20, cMemo t255"),
                    headDefines()}),
              {QStringLiteral("DLID")});
    dl.indexes << index(dl.name, cols(QStringLiteral("cVouchType,dDate")));
    l << dl;
    TableDef dls = table(
        QStringLiteral("DispatchLists"),
        join({QStringLiteral("AutoID i!, iDLsID i!, DLID i!, cWhCode t10, cInvCode t60, iQuantity n30_10"),
              freeItems(), lineDefines(),
              QStringLiteral("cItem_class t10, cItemCode t60, cItemName t255, cItem_CName t20")}),
        {QStringLiteral("AutoID")});
    dls.indexes << index(dls.name, {QStringLiteral("DLID")})
                << index(dls.name, {QStringLiteral("iDLsID")}, true);
    l << dls;
    l << table(QStringLiteral("SaleBillVouch"),
               QStringLiteral(
                   "SBVID i!, cSBVCode t30, cVouchType t2, cBusType t8, dDate d, cCusCode t20, "
                   "cDepCode t12, cPersonCode t20, cMaker t20, cChecker t20, cInvalider t20, cAccounter t20"),
               {QStringLiteral("SBVID")});
    TableDef sbs = table(QStringLiteral("SaleBillVouchs"),
                         QStringLiteral("AutoID i!, SBVID i!, iDLsID i, cInvCode t60, iQuantity n30_10"),
                         {QStringLiteral("AutoID")});
    sbs.indexes << index(sbs.name, {QStringLiteral("iDLsID")}) << index(sbs.name, {QStringLiteral("SBVID")});
    l << sbs;
    l << table(QStringLiteral("PurSettleVouch"),
               QStringLiteral("PSVID i!, cPSVCode t30, dSVDate d, cBusType t12, cMaker t20"),
               {QStringLiteral("PSVID")});
    TableDef pss = table(QStringLiteral("PurSettleVouchs"),
                         QStringLiteral("ID i!, PSVID i!, iRdsID i, iSVQuantity n30_10, iSVPrice money, "
                                        "bAccount bit=0, bIsPurAcc bit=0"),
                         {QStringLiteral("ID")});
    pss.indexes << index(pss.name, {QStringLiteral("iRdsID")}) << index(pss.name, {QStringLiteral("PSVID")});
    l << pss;
    return l;
}

}  // namespace

namespace {

// Where the trail keeps the rows a bulk operation deleted from `ledger`: the
// ledger's own columns, typed as in the ledger (so that keeping them is a plain
// INSERT … SELECT, as cheap as the delete), under the event's number. The
// ledger's AutoID is kept as the row's number, not made anew.
TableDef keptRowsOf(const TableDef& ledger) {
    TableDef kept =
        table(QStringLiteral("IA_Audit") + ledger.name.mid(3), QStringLiteral("iAuditID bi!"), {});
    for (ColumnDef c : ledger.columns) {
        if (c.type == ColType::Identity) c.type = ColType::BigInt;
        c.notNull = false;
        c.defaultValue.clear();
        kept.columns << c;
    }
    kept.indexes << index(kept.name, {QStringLiteral("iAuditID")});
    kept.indexes.last().growsWithTable = true;
    return kept;
}

}  // namespace

// The audit trail of the openings: one row per event (its time from the database's
// clock as text that sorts as time, JSON texts for the values), and the rows the
// bulk operations deleted from the openings and from the dispatched goods, whole.
QList<TableDef> auditTables() {
    TableDef log =
        table(QStringLiteral("IA_AuditLog"),
              QStringLiteral("AutoID id, cTime t23!, cUserId t20, cUserName t40, cHost t255, "
                             "cOperation t30!, cWhCode t10, cBusType t20, cInvCode t60, iRowID bi, "
                             "cBefore t, cAfter t, cDetail t"),
              {});
    log.indexes << index(log.name, {QStringLiteral("cTime")}) << index(log.name, {QStringLiteral("iRowID")});
    return {log, keptRowsOf(iaSubsidiary()), keptRowsOf(iaEnSubsidiary())};
}

QString keptRowsTable(const QString& ledger) {
    for (const TableDef& t : {iaSubsidiary(), iaEnSubsidiary()})
        if (t.name.compare(ledger, Qt::CaseInsensitive) == 0) return keptRowsOf(t).name;
    return {};
}

// The account database's own tables, as the inventory-accounting module reads and
// writes them.
QList<TableDef> accountTables() {
    QList<TableDef> l;
    l += settings();
    l += dictionaries();
    l += ledgers();
    l += documents();
    l += auditTables();
    return l;
}

QStringList appendOnlyGuards(const Dialect& d) {
    const QString refusal = QStringLiteral("操作日志只能追加，不能修改或删除");
    QStringList tables;
    for (const TableDef& t : auditTables()) tables << t.name;
    QStringList out;
    if (d.isSqlite()) {
        for (const QString& t : tables)
            for (const QString& what : {QStringLiteral("UPDATE"), QStringLiteral("DELETE")})
                out << QStringLiteral(
                           "CREATE TRIGGER IF NOT EXISTS %1_no_%2 BEFORE %3 ON %1 BEGIN SELECT "
                           "RAISE(ABORT, '%4'); END")
                           .arg(t, what.toLower(), what, refusal);
        return out;
    }
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION qc_audit_append_only() RETURNS trigger LANGUAGE plpgsql "
               "AS $$ BEGIN RAISE EXCEPTION '%1'; END $$")
               .arg(refusal);
    for (const QString& t : tables)
        out << QStringLiteral(
                   "CREATE OR REPLACE TRIGGER %1_no_change BEFORE UPDATE OR DELETE ON %1 FOR EACH ROW "
                   "EXECUTE FUNCTION qc_audit_append_only()")
                   .arg(t)
            << QStringLiteral(
                   "CREATE OR REPLACE TRIGGER %1_no_truncate BEFORE TRUNCATE ON %1 FOR EACH STATEMENT "
                   "EXECUTE FUNCTION qc_audit_append_only()")
                   .arg(t);
    return out;
}

}  // namespace qc
