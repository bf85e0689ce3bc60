// The checks a whole grid row must pass when the cursor leaves it, the statements
// that store it as an opening row of IA_Subsidiary, and the planned-price rounding.

#include "host/AuditTrail.h"
#include "opening/CellRules.h"
#include "opening/OpeningEntry.h"
#include "opening/RowRules.h"

#include "domain/Vocabulary.h"

#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "platform/Schema.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QHash>
#include <QSqlQuery>

#include <limits>

namespace qc::opening {

using namespace rows;

namespace {
// The unit of work that stores one row of the grid, as its steps are announced.
const QString kStoreUnit = QStringLiteral("store-row");
}  // namespace

bool OpeningEntry::checkRow(int row) {
    const QString code = m_grid.text(row, Col::InvCode).trimmed();
    const auto facts = code.isEmpty() ? QHash<QString, ItemFacts>() : itemFacts(accountDb(), {code});
    const ItemFacts* item = facts.contains(code) ? &facts.find(code).value() : nullptr;
    const QString label = methodLabelOf(m_ctx, m_valuationLabel, item);
    const Decimal qty = cellNumber(m_grid.text(row, Col::Quantity));
    bool signsDiffer = false;
    for (int r = 0; !code.isEmpty() && !signsDiffer && r < m_grid.dataRowCount(); ++r) {
        if (r == row || m_grid.text(r, Col::InvCode).trimmed() != code) continue;
        const Decimal other = cellNumber(m_grid.text(r, Col::Quantity));
        signsDiffer = (qty.isNegative() && other > Decimal()) || (other.isNegative() && qty > Decimal());
    }
    const QStringList refusals = rowRefusals(m_grid.dataRow(row), label, item, m_freeNames, signsDiffer);
    for (const QString& refusal : refusals) sink().critical(refusal);
    return refusals.isEmpty();
}

bool OpeningEntry::storeRow(int row) {
    // The rights are asked afresh at every store: one taken away while the window
    // is open holds from the next store on.
    m_cellRights.clear();
    {
        QC_CELL_ENV(this);
        if (const QString refusal = cells::rowRightsRefusal(env, row); !refusal.isEmpty()) {
            sink().critical(refusal);
            return false;
        }
    }
    if (!warehouseStillGranted()) return false;
    const QStringList cells = m_grid.dataRow(row);
    auto cell = [&](int col) { return cells.at(col); };
    const bool perDepartment = m_ctx.gValueStyle == basis::kByDepartment;
    const QString department = perDepartment ? GetDepFromWhCode(CurrentWhCode) : QString();

    const QString dateText = cell(Col::VouDate).trimmed();
    const QDate vouDate = dateText.isEmpty() ? IAStartDate.addDays(-1) : cellDate(dateText);
    const QString autoId = cell(Col::AutoId).trimmed();
    const bool insert = autoId.isEmpty();

    RowValues v;
    std::optional<qint64> id;
    if (insert) {
        v = insertValues(cells, CurrentWhCode, department, vouDate);
    } else {
        v.text(QStringLiteral("cWhCode"), CurrentWhCode);
        v.date(QStringLiteral("dVouDate"), vouDate);
        v.text(QStringLiteral("cAccDep"), cell(Col::DepCode));
        v.text(QStringLiteral("cPersonCode"), cell(Col::PersonCode));
        if (perDepartment) v.text(QStringLiteral("cDepCode"), department);
        v.text(QStringLiteral("cVouCode"), cell(Col::VouCode));
        v.text(QStringLiteral("cInvCode"), cell(Col::InvCode));
        v.text(QStringLiteral("cVenCode"), cell(Col::VenCode));
        v.fixed(QStringLiteral("cVouType"), QStringLiteral("34"));
        v.text(QStringLiteral("cInvHead"), cell(Col::InvHead));
        v.text(QStringLiteral("cBatchCode"), cell(Col::Batch));
        v.number(QStringLiteral("iAInQuantity"), StripThousandsSeparators(cell(Col::Quantity)));
        v.number(QStringLiteral("iInCost"), StripThousandsSeparators(cell(Col::UnitCost)));
        v.number(QStringLiteral("iAInPrice"), StripThousandsSeparators(cell(Col::Amount)));
        for (int n = 1; n <= 10; ++n) v.text(QStringLiteral("cFree%1").arg(n), cell(Col::Free1 + n - 1));
        // The update writes the numeric user-defined fields as numbers (whole ones
        // rounded) and the others as typed.
        for (const DefineField& f : defineFields()) {
            if (f.numeric)
                v.number(f.name, cell(f.col), true);
            else
                v.text(f.name, cell(f.col));
        }
        v.text(QStringLiteral("cItem_class"), cell(Col::ItemClass));
        v.text(QStringLiteral("cItemCName"), cell(Col::ItemClassName));
        v.text(QStringLiteral("cName"), cell(Col::ItemName));
        v.text(QStringLiteral("cItemCode"), cell(Col::ItemCode));
        bool isId = false;
        id = autoId.toLongLong(&isId);
        if (!isId) id.reset();
    }

    if (!v.ok() || (!insert && !id)) {
        sink().critical(kOutOfRange);
        return false;
    }
    bool posted = false, changedElsewhere = false;
    try {
        Database& db = accountDb();
        Transaction tx(db);
        posted = !stillUnposted();
        if (posted) return false;
        // The steps are announced so that the trail's share of storing a row can be
        // measured apart.
        if (insert) {
            id = db.insertReturningId(QStringLiteral("IA_Subsidiary"), v.columns(), v.values(),
                                      QStringLiteral("AutoID"));
            announceStep(kStoreUnit, QStringLiteral("audit"));
            audit::recordRow(db, audit::actorOf(m_ctx.gLogin), audit::kInsertRow,
                             QStringLiteral("IA_Subsidiary"), *id, {});
        } else if (!storedAsShown(row, *id)) {
            changedElsewhere = true;
        } else {
            announceStep(kStoreUnit, QStringLiteral("audit-before"));
            const QJsonObject before = audit::rowValues(db, QStringLiteral("IA_Subsidiary"), *id);
            announceStep(kStoreUnit, QStringLiteral("update"));
            QStringList sets;
            for (const QString& c : v.columns()) sets << c + QStringLiteral(" = ?");
            QVariantList binds = v.values();
            binds << *id;
            db.exec(QStringLiteral("UPDATE IA_Subsidiary SET %1 WHERE AutoID = ?").arg(sets.join(u',')),
                    binds);
            announceStep(kStoreUnit, QStringLiteral("audit"));
            audit::recordRow(db, audit::actorOf(m_ctx.gLogin), audit::kChangeRow,
                             QStringLiteral("IA_Subsidiary"), *id, before);
        }
        announceStep(kStoreUnit, QStringLiteral("commit"));
        if (!changedElsewhere) tx.commit();
    } catch (const DbError& e) {
        // A figure the column cannot hold is the one failure the user can mend in
        // the cell; any other names its cause (the row stays as typed).
        sink().critical(e.kind() == DbError::Kind::OutOfRange ? kOutOfRange
                                                              : QStringLiteral("保存失败：") + e.message());
        return false;
    }
    if (changedElsewhere) return false;
    if (insert) m_grid.setText(row, Col::AutoId, QString::number(*id));
    showStoredRow(row, *id);
    bDirty = true;
    return true;
}

// The columns an update of a stored row writes from its cells.
const QList<int>& writtenColumns() {
    static const QList<int> columns = [] {
        QList<int> c{Col::VouDate, Col::DepCode,   Col::PersonCode,    Col::VouCode,  Col::InvCode,
                     Col::VenCode, Col::InvHead,   Col::Batch,         Col::Quantity, Col::UnitCost,
                     Col::Amount,  Col::ItemClass, Col::ItemClassName, Col::ItemName, Col::ItemCode};
        for (int n = 0; n < 10; ++n) c << Col::Free1 + n;
        for (const DefineField& f : defineFields()) c << f.col;
        return c;
    }();
    return columns;
}

bool OpeningEntry::storedAsShown(int row, qint64 autoId) {
    Database& db = accountDb();
    // The row stays locked until the store ends: no copy changes it between this
    // check and the write. SQLite's writing transactions are exclusive already.
    if (db.kind() != DbKind::Sqlite)
        db.exec(QStringLiteral("SELECT AutoID FROM IA_Subsidiary WHERE AutoID = ? FOR UPDATE"), {autoId});
    const std::optional<QStringList> now = storedCells(autoId);
    if (!now) {
        // Nothing typed is lost: the row becomes a new one, stored at the next leave.
        m_rowsAsShown.remove(autoId);
        m_grid.setText(row, Col::AutoId, QString());
        sink().critical(QStringLiteral("该行已被其他用户删除！再次保存时将作为新行存入。"));
        return false;
    }
    // A row changed other than by typing (the tests' hand, a command's own
    // statement) has no record of what was shown: nothing to hold it against.
    const auto shown = m_rowsAsShown.constFind(autoId);
    if (shown == m_rowsAsShown.cend()) return true;
    for (const int c : writtenColumns()) {
        if (shown->value(c) == now->value(c)) continue;
        sink().critical(
            QStringLiteral("该行已被其他用户修改！现在显示的是修改后的数据，请重新录入您的修改。"));
        showStoredRow(row, autoId);
        return false;
    }
    return true;
}

bool OpeningEntry::warehouseStillGranted() {
    if (!m_ctx.bWarehouseCheck || HasDataRight(m_ctx, CurrentWhCode, kRightWarehouse, false)) return true;
    sink().critical(QStringLiteral("您没有此仓库的权限！"));
    return false;
}

bool OpeningEntry::stillUnposted() {
    AccPara& para = accParaOf(m_ctx);
    para.LockOpenings();
    if (!para.IsPosted(QStringLiteral("IA"))) return true;
    sink().exclamation(QStringLiteral("期初已经记账！"));
    bPosted = true;
    applyCommandRules();
    updateReadOnly();
    return false;
}

void OpeningEntry::ValidateAndStoreRow(bool& cancel, int row) {
    cancel = false;
    if (!m_grid.isDataRow(row) || m_readOnly) return;
    try {
        if (!checkRow(row) || !storeRow(row)) cancel = true;
    } catch (const DbError& e) {
        // The database failed on a check's lookup: the row stays as typed.
        sink().critical(QStringLiteral("保存失败：") + e.message());
        cancel = true;
    }
}

bool OpeningEntry::CheckAllRows() {
    QStringList codes;
    QHash<QString, int> signs;  // per item: 1 some row above zero, 2 some row below zero
    for (int r = 0; r < m_grid.dataRowCount(); ++r) {
        const QString code = m_grid.text(r, Col::InvCode).trimmed();
        if (code.isEmpty()) continue;
        if (!signs.contains(code)) codes << code;
        const Decimal q = cellNumber(m_grid.text(r, Col::Quantity));
        signs[code] |= q.isNegative() ? 2 : (q.isZero() ? 0 : 1);
    }
    const QHash<QString, ItemFacts> facts = itemFacts(accountDb(), codes);

    for (int r = 0; r < m_grid.dataRowCount(); ++r) {
        const QString code = m_grid.text(r, Col::InvCode).trimmed();
        const auto it = facts.constFind(code);
        const ItemFacts* item = it == facts.constEnd() ? nullptr : &it.value();
        const QString label = methodLabelOf(m_ctx, m_valuationLabel, item);
        const Decimal qty = cellNumber(m_grid.text(r, Col::Quantity));
        QString refusal;
        if (label.contains(costing::kSpecific) && qty.isNegative()) refusal = kNoNegativeSpecific;
        for (int i = 0; refusal.isEmpty() && i < 10; ++i)
            if (!m_freeNames.value(i).isEmpty() && item && item->uses[i] &&
                m_grid.text(r, Col::Free1 + i).isEmpty())
                refusal = kFreeMissing;
        if (refusal.isEmpty() && isFifoLifoLabel(label) && !qty.isZero() && signs.value(code) == 3)
            refusal = kSignsDiffer;
        if (!refusal.isEmpty()) {
            sink().critical(refusal);
            return false;
        }
    }
    return true;
}

void OpeningEntry::ApplyPlanPriceRounding() {
    if (bPosted) return;
    Database& db = accountDb();
    const Dialect& d = db.dialect();
    // Every opening row priced by plan takes the item's planned price as its cost and
    // the planned price times the quantity, to the cent, as its amount.
    const QString price = QStringLiteral(
        "(SELECT Inventory.iInvRCost FROM Inventory WHERE Inventory.cInvCode = IA_Subsidiary.cInvCode)");
    QString sql =
        QStringLiteral(
            "UPDATE IA_Subsidiary SET iAInPrice = ROUND(ROUND(%1, %2) * ROUND(iAInQuantity, %3), 2), "
            "iInCost = %1 WHERE iMonth = 0 AND ")
            .arg(price, d.typedInt(), d.typedInt());
    if (m_ctx.gValueStyle == basis::kByInventory)
        sql += QStringLiteral("cInvCode IN (SELECT cInvCode FROM Inventory WHERE cValueType IN (?, ?))");
    else
        sql += QStringLiteral("cWhCode IN (SELECT cWhCode FROM Warehouse WHERE cWhValueStyle IN (?, ?))");
    db.exec(sql, {PriceDec, QuanDec, QStringLiteral("计划价法"), QStringLiteral("售价法")});
}

qint64 OpeningEntry::GetCurrentId() {
    return accountDb().scalar(QStringLiteral("SELECT MAX(AutoID) FROM IA_Subsidiary")).toLongLong();
}

QString OpeningEntry::GetDepFromWhCode(const QString& whCode) {
    return textOf(
        accountDb().scalar(QStringLiteral("SELECT cDepCode FROM Warehouse WHERE cWhCode = ?"), {whCode}));
}

}  // namespace qc::opening
