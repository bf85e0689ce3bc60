// The toolbar, shortcut and pop-up menu commands of the opening entry window.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"
#include "host/AuditTrail.h"
#include "host/VqLogin.h"
#include "opening/FetchStock.h"
#include "opening/Posting.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"

namespace qc::opening {

namespace {}  // namespace

void OpeningEntry::fetchFromStock() {
    // 取数: takes the warehouse's openings over from stock management, after the
    // operator has stored what he typed and decided what becomes of the rows
    // already there.
    if (CurrentWhCode.isEmpty()) return;
    TaskLease lease = enterTask(m_ctx, task::kFetchFromStock);
    if (!lease.held()) return;
    // Posted openings and a warehouse held read-only are refused before anything
    // is asked; the take-over decides both again inside its unit of work.
    if (const QString refusal = fetchRefusal(m_ctx, CurrentWhCode); !refusal.isEmpty()) {
        sink().exclamation(refusal);
        return;
    }
    const int last = m_grid.dataRowCount() - 1;
    if (last >= 0 && m_grid.text(last, Col::AutoId).trimmed().isEmpty()) {
        sink().exclamation(QStringLiteral("请将新录入的数据存盘！"));
        return;
    }
    bool replace = false;
    if (Existqcdate(m_ctx, CurrentWhCode, false)) {
        const MsgAnswer a = sink().show(QStringLiteral("该仓库已存在期初数据，您要覆盖原来的数据吗？"),
                                        MsgIcon::Question, MsgButtons::YesNoCancel, {});
        if (a == MsgAnswer::Cancel) return;
        replace = a == MsgAnswer::Yes;
    }
    m_window.setBusy(true);
    FetchOpenings(m_ctx, CurrentWhCode, replace);
    m_window.setBusy(false);
    lease.release();
    // Reload as a click on the warehouse's list item does.
    const QString wh = CurrentWhCode;
    for (const QString& item : m_warehouseItems)
        if (AccPara::WarehouseCodeOf(item).trimmed() == wh) {
            WarehouseClick(item);
            return;
        }
    LoadRows(wh);
}

void OpeningEntry::Dispatch(const QString& key) {
    const ToolButton* b = button(key);
    if (!b || !b->enabled) return;
    runCommand(key);
}

void OpeningEntry::runCommand(const QString& key) {
    const bool editing = m_window.inEditMode();
    if (key == u"Add") {
        if (!m_ctx.gLogin) return;
        // The add task is entered anew at each Add and stays entered until the
        // window unloads or a posting starts.
        m_addTask.reset();
        m_ctx.gLogin->TaskExec(task::kAddOpenings, 0);
        m_addTask.emplace(enterTask(m_ctx, task::kAddOpenings));
        if (m_addTask->held()) mnuAdd();
    } else if (key == u"Delete") {
        mnuDelete(m_currentRow);
    } else if (key == u"Import") {
        if (!editing) importFile();
    } else if (key == u"Template") {
        if (!editing) writeTemplate();
    } else if (key == u"Save") {
        if (editing || !bDirty) return;
        if (CheckAllRows()) {
            sink().exclamation(QStringLiteral("保存成功！"));
            if (!CurrentWhCode.isEmpty()) LoadRows(CurrentWhCode);
        } else {
            sink().exclamation(QStringLiteral("保存不成功！"));
        }
    } else if (key == u"Query") {
        if (CurrentWhCode.isEmpty()) return;
        QString cls = m_classCode, from = strInvCodeFrom, to = strInvCodeTo;
        if (!m_window.showFilter(cls, from, to)) return;
        m_classCode = cls.trimmed();
        strInvCodeFrom = from.trimmed();
        strInvCodeTo = to.trimmed();
        LoadRows(CurrentWhCode);
    } else if (key == u"Select") {
        selectInventory();
    } else if (key == u"Find") {
        if (!editing && m_grid.dataRowCount() > 0) m_window.showFind();
    } else if (key == u"Order" || key == u"ROrder") {
        sortRows(key == u"Order");
    } else if (key == u"Help") {
        m_window.showHelp(m_ctx.gHelpFile, kHelpContext);
    } else if (key == u"Getcount") {
        fetchFromStock();
    } else if (key == u"Keep") {
        if (!bPosted) {
            const KeepOutcome done =
                PostCommand(m_ctx, editing, [this](bool busy) { m_window.setBusy(busy); });
            if (done != KeepOutcome::Done) return;
            bPosted = true;
            applyCommandRules();
            buttonRef(QStringLiteral("Keep"))->toolTip = QStringLiteral("恢复记账前状态");
        } else {
            if (CancelCommand(m_ctx) != KeepOutcome::Done) return;
            bPosted = false;
            m_iaStartYear = IsIaStartYear(m_ctx);
            applyCommandRules();
        }
        updateReadOnly();
    } else if (key == u"Print" || key == u"Preview" || key == u"OutPut") {
        if (!editing && OutputAllowed(m_ctx, key, m_grid.dataRowCount())) m_window.printGrid(key);
    } else if (key == u"Sum") {
        if (!editing) m_window.showSummary();
    } else if (key == u"Compare") {
        if (!editing) m_window.showCompare();
    } else if (key == u"Exit") {
        if (editing) return;
        if (!bPosted) ApplyPlanPriceRounding();
        m_window.closeWindow();
    }
}

void OpeningEntry::Shortcut(QChar letter, int currentRow) {
    m_currentRow = currentRow;
    const QChar l = letter.toUpper();
    if (l == u'F') {
        const ToolButton* find = button(QStringLiteral("Find"));
        if (find && find->enabled && m_grid.dataRowCount() > 0) runCommand(QStringLiteral("Find"));
    } else if (l == u'D') {
        runCommand(QStringLiteral("Delete"));
    } else if (l == u'A') {
        const ToolButton* add = button(QStringLiteral("Add"));
        if (add && add->enabled) runCommand(QStringLiteral("Add"));
    }
}

void OpeningEntry::mnuAdd() {
    if (m_window.inEditMode() || CurrentWhCode.isEmpty() || m_readOnly) return;
    m_currentRow = m_grid.addEmptyRow();
}

void OpeningEntry::mnuDelete(int row) {
    if (!m_grid.isDataRow(row) || m_readOnly) return;
    if (sink().show(QStringLiteral("确认删除吗？"), MsgIcon::Question, MsgButtons::OkCancel, {}) !=
        MsgAnswer::Ok)
        return;
    // Deleting changes the row, so it needs the write right on its item and department.
    const QString code = m_grid.text(row, Col::InvCode).trimmed();
    if (m_ctx.bInventoryCheck && !HasDataRight(m_ctx, code, kRightInventory, true)) {
        sink().exclamation(QStringLiteral("该存货不是您所管辖的存货，无权删除数据！"));
        return;
    }
    const QString dep = m_grid.text(row, Col::DepCode).trimmed();
    if (m_ctx.bDepartmentCheck && !HasDataRight(m_ctx, dep, kRightDepartment, true)) {
        sink().exclamation(QStringLiteral("该部门不是您所管辖的部门，无权删除数据！"));
        return;
    }
    if (!warehouseStillGranted()) return;
    // A row never stored has no AutoID and nothing to delete.
    bool isId = false;
    const qint64 id = m_grid.text(row, Col::AutoId).trimmed().toLongLong(&isId);
    if (isId) {
        Transaction tx(accountDb());
        if (!stillUnposted()) return;
        const QJsonObject before = audit::rowValues(accountDb(), QStringLiteral("IA_Subsidiary"), id);
        accountDb().exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID = ?"), {id});
        audit::recordRow(accountDb(), audit::actorOf(m_ctx.gLogin), audit::kDeleteRow,
                         QStringLiteral("IA_Subsidiary"), id, before);
        tx.commit();
    }

    m_grid.removeDataRow(row);
    if (m_grid.dataRowCount() > 0) bDirty = true;
    if (m_currentRow >= m_grid.dataRowCount()) m_currentRow = m_grid.dataRowCount() - 1;
}

int OpeningEntry::FindRow(const QString& text) const {
    const QString t = text.trimmed();
    if (t.isEmpty()) return -1;
    for (int r = 0; r < m_grid.dataRowCount(); ++r)
        if (m_grid.text(r, Col::InvCode).trimmed().compare(t, Qt::CaseInsensitive) == 0 ||
            m_grid.text(r, Col::InvName).trimmed().compare(t, Qt::CaseInsensitive) == 0)
            return r;
    return -1;
}

void OpeningEntry::selectInventory() {
    if (CurrentWhCode.isEmpty() || m_readOnly || !m_ctx.gLogin) return;
    SqlFragment condition{
        QStringLiteral("bService = 0 AND Inventory.bInvType = 0 AND (dEDate IS NULL OR dEDate > ?)"),
        {m_ctx.gLogin->LoginDate()}};
    condition = condition.andWith(InventoryCodeFilter(m_ctx, QStringLiteral(" cInvCode "), true));
    const std::optional<QList<PickedRow>> picked = m_pickers.selectInventory(accountDb(), condition);
    if (!picked || picked->isEmpty()) return;
    if (picked->size() > kMaxSelect) {
        sink().exclamation(QStringLiteral("选择存货数据量大于2500条，请缩小选择范围！"));
        return;
    }
    for (const PickedRow& item : *picked) {
        const int row = m_grid.addEmptyRow();
        FillReturn(row, Col::InvCode, item);
        // An item the inventory rule refused leaves nothing worth keeping.
        if (m_grid.text(row, Col::InvCode).trimmed().isEmpty()) m_grid.removeDataRow(row);
    }
    bDirty = true;
}

void OpeningEntry::sortRows(bool ascending) {
    if (m_window.inEditMode() || m_grid.dataRowCount() == 0 || m_sortText.isEmpty()) return;
    const int col = static_cast<int>(m_grid.captions().indexOf(m_sortText));
    if (col < 0) return;
    m_grid.sortBy(col, ascending);
}

}  // namespace qc::opening
