// The reference windows of the opening grid's code cells: what each lists for the
// text typed so far, and how a pick fills the row.

#include "opening/CellRules.h"
#include "platform/TextInput.h"
#include "shared/Reference.h"

namespace qc::opening {

using namespace cells;

ReferenceQuery OpeningEntry::ReferenceQueryFor(int row, int col, const QString& typed) {
    QC_CELL_ENV(this);
    const QString pattern = containsPattern(typed);
    ReferenceQuery q;
    q.title = m_grid.captions().value(col);
    switch (col) {
        case Col::InvCode: {
            QString sql = QStringLiteral(
                              "SELECT cInvCode, cInvName, cInvAddCode, cInvStd, cInvCCode FROM Inventory "
                              "WHERE bService = 0 AND bInvType = 0 AND (dEDate IS NULL OR dEDate > ?) "
                              "AND (%1 OR %2 OR %3)")
                              .arg(likeUpper(env, QStringLiteral("cInvCode")),
                                   likeUpper(env, QStringLiteral("cInvAddCode")),
                                   likeUpper(env, QStringLiteral("cInvName")));
            QVariantList binds{env.loginDate(), pattern, pattern, pattern};
            if (m_ctx.bInventoryCheck) {
                const SqlFragment rights =
                    BuildRightsFilter(m_ctx, QStringLiteral("Inventory.iId"), kRightInventory, true);
                if (!rights.isEmpty()) {
                    sql += QStringLiteral(" AND ") + rights.sql;
                    binds += rights.binds;
                }
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY cInvCode"), binds};
            q.classTree = SqlFragment{
                QStringLiteral("SELECT cInvCCode, cInvCName FROM InventoryClass ORDER BY cInvCCode"), {}};
            q.table = QStringLiteral("Inventory");
            q.textField = QStringLiteral("cInvName");
            q.tagField = QStringLiteral("cInvCode");
            q.captions = QStringList{QStringLiteral("存货编码"), QStringLiteral("存货名称"),
                                     QStringLiteral("存货代码"), QStringLiteral("规格型号"),
                                     QStringLiteral("存货分类")};
            break;
        }
        case Col::DepCode: {
            QString sql = QStringLiteral(
                              "SELECT DISTINCT cDepCode, cDepName, cDepPerson FROM Department "
                              "WHERE bDepEnd = 1 AND (%1 OR %2)")
                              .arg(likeUpper(env, QStringLiteral("cDepCode")),
                                   likeUpper(env, QStringLiteral("cDepName")));
            QVariantList binds{pattern, pattern};
            if (m_ctx.bDepartmentCheck) {
                const SqlFragment rights =
                    BuildRightsFilter(m_ctx, QStringLiteral("cDepCode"), kRightDepartment, true);
                if (!rights.isEmpty()) {
                    sql += QStringLiteral(" AND ") + rights.sql;
                    binds += rights.binds;
                }
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY cDepCode"), binds};
            q.table = QStringLiteral("Department");
            q.textField = QStringLiteral("cDepName");
            q.tagField = QStringLiteral("cDepCode");
            q.captions =
                QStringList{QStringLiteral("部门编码"), QStringLiteral("部门名称"), QStringLiteral("负责人")};
            break;
        }
        case Col::PersonCode: {
            QString sql = QStringLiteral(
                              "SELECT Person.cPersonCode, Person.cPersonName, Department.cDepName "
                              "FROM Department INNER JOIN Person ON Department.cDepCode = "
                              "Person.cDepCode WHERE (%1 OR %2)")
                              .arg(likeUpper(env, QStringLiteral("Person.cPersonCode")),
                                   likeUpper(env, QStringLiteral("Person.cPersonName")));
            QVariantList binds{pattern, pattern};
            const QString dep = m_grid.text(row, Col::DepCode).trimmed();
            if (!dep.isEmpty()) {
                sql += QStringLiteral(" AND Department.cDepCode = ?");
                binds << dep;
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY Person.cPersonCode"), binds};
            q.table = QStringLiteral("Person");
            q.textField = QStringLiteral("cPersonName");
            q.tagField = QStringLiteral("cPersonCode");
            q.captions = QStringList{QStringLiteral("业务员编码"), QStringLiteral("业务员名称"),
                                     QStringLiteral("所属部门")};
            break;
        }
        case Col::VenCode:
            q.list = SqlFragment{QStringLiteral("SELECT cVenCode, cVenAbbName, cVenName, cVCCode FROM Vendor "
                                                "WHERE %1 ORDER BY cVenCode")
                                     .arg(likeUpper(env, QStringLiteral("cVenCode"))),
                                 {pattern}};
            q.classTree =
                SqlFragment{QStringLiteral("SELECT cVCCode, cVCName FROM VendorClass ORDER BY cVCCode"), {}};
            q.table = QStringLiteral("Vendor");
            q.textField = QStringLiteral("cVenAbbName");
            q.tagField = QStringLiteral("cVenCode");
            q.captions = QStringList{QStringLiteral("供应商编码"), QStringLiteral("供应商简称"),
                                     QStringLiteral("供应商名称"), QStringLiteral("供应商分类")};
            break;
        case Col::InvHead: {
            const std::optional<ReferenceQuery> subjects = BuildReferenceQuery(m_ctx, kRefSubject, typed, {});
            if (!subjects) return {};
            const QString title = q.title;
            q = *subjects;
            q.title = title;
            break;
        }
        case Col::ItemClass:
            q.list = SqlFragment{QStringLiteral("SELECT cItem_Class, cItem_Name FROM fitem WHERE %1 "
                                                "ORDER BY cItem_Class")
                                     .arg(likeUpper(env, QStringLiteral("cItem_Class"))),
                                 {pattern}};
            q.table = QStringLiteral("fitem");
            q.textField = QStringLiteral("cItem_Name");
            q.tagField = QStringLiteral("cItem_Class");
            q.captions = QStringList{QStringLiteral("项目大类编码"), QStringLiteral("项目大类名称")};
            break;
        case Col::ItemCode: {
            const QString cls = m_grid.text(row, Col::ItemClass).trimmed();
            const QString table = cls.isEmpty() ? QString() : projectTable(env, cls);
            if (table.isEmpty()) return {};
            if (table == u"INVENTORY") {
                q.list = SqlFragment{QStringLiteral("SELECT cInvCode, cInvName FROM Inventory WHERE %1 "
                                                    "ORDER BY cInvCode")
                                         .arg(likeUpper(env, QStringLiteral("cInvCode"))),
                                     {pattern}};
                q.textField = QStringLiteral("cInvName");
                q.tagField = QStringLiteral("cInvCode");
            } else {
                q.list = SqlFragment{QStringLiteral("SELECT citemcode, citemname FROM %1 WHERE %2 "
                                                    "ORDER BY citemcode")
                                         .arg(table, likeUpper(env, QStringLiteral("citemcode"))),
                                     {pattern}};
                q.textField = QStringLiteral("citemname");
                q.tagField = QStringLiteral("citemcode");
            }
            q.table = table;
            q.captions = QStringList{QStringLiteral("项目编码"), QStringLiteral("项目名称")};
            break;
        }
        default: {
            const std::optional<DefItem> item = defItemOf(col);
            if (!item || isDateColumn(col)) return {};
            if (item->isFree) return freeItemQuery(env, col, typed);
            if (!GetDefArchive(env, item->id)) return {};
            return archiveQuery(env, item->id, typed, m_grid.captions().value(col));
        }
    }
    return q;
}

void OpeningEntry::ReferenceClicked(int row, int col) {
    if (!cellEditable(row, col)) return;
    MessageSink& sink = sinkOf(m_ctx);
    if (isDateColumn(col)) {
        const QString t = m_grid.text(row, col).trimmed();
        QDate initial = m_ctx.gLogin ? m_ctx.gLogin->LoginDate() : QDate::currentDate();
        if (col == Col::VouDate && IAStartDate.isValid()) initial = IAStartDate.addDays(-1);
        if (!t.isEmpty()) {
            initial = parseDate(t);
            if (!initial.isValid()) {
                sink.critical(QStringLiteral("请按照正确的日期格式输入日期"));
                return;
            }
        }
        const std::optional<QDate> picked = m_pickers.pickDate(initial);
        if (!picked) return;
        QString value = picked->toString(kDateFormat);
        bool cancel = false;
        ValidateCell(value, cancel, row, col);
        return;
    }
    try {
        const ReferenceQuery query = ReferenceQueryFor(row, col, m_grid.text(row, col).trimmed());
        if (query.list.isEmpty()) return;
        const std::optional<PickedRow> picked = m_pickers.reference(m_ctx.gDb->Connection(), query);
        if (picked) FillReturn(row, col, *picked);
    } catch (const DbError& e) {
        sink.critical(e.message());
    }
}

void OpeningEntry::FillReturn(int row, int col, const PickedRow& picked) {
    if (!m_grid.isDataRow(row)) return;
    // The code and name fields of the row a pick window returns, whichever window it was.
    auto first = [&](std::initializer_list<const char*> fields) {
        for (const char* f : fields) {
            const QVariant v = pickedValue(picked, QString::fromLatin1(f));
            if (v.isValid()) return textOf(v);
        }
        return QString();
    };
    QString code, name;
    switch (col) {
        case Col::InvCode:
            code = first({"cInvCode"});
            name = first({"cInvName"});
            break;
        case Col::VenCode:
            code = first({"cVenCode"});
            name = first({"cVenAbbName", "cVenName"});
            break;
        case Col::DepCode:
            code = first({"cDepCode"});
            name = first({"cDepName"});
            break;
        case Col::PersonCode:
            code = first({"cPersonCode"});
            name = first({"cPersonName"});
            break;
        case Col::InvHead:
            code = first({"cCode"});
            name = first({"cCode_Name"});
            break;
        case Col::ItemClass:
            code = first({"cItem_Class"});
            name = first({"cItem_Name"});
            break;
        case Col::ItemCode:
            code = first({"citemcode", "cInvCode"});
            name = first({"citemname", "cInvName"});
            break;
        default:
            code = first({"cValue"});
            break;
    }
    const QStringList before = m_grid.dataRow(row);
    const int nameCol = nameColumnOf(col);
    if (nameCol >= 0) m_grid.setText(row, nameCol, name);
    m_grid.setText(row, col, code);
    QString value = code;
    bool cancel = false;
    ValidateCell(value, cancel, row, col);
    if (cancel)
        for (int c = 0; c < before.size(); ++c)
            if (m_grid.text(row, c) != before.at(c)) m_grid.setText(row, c, before.at(c));
}

}  // namespace qc::opening
