#include "shared/Reference.h"

#include "host/HostDb.h"
#include "platform/Dialect.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <stdexcept>

namespace qc {

namespace {

// "(UPPER(code) LIKE UPPER(?) Or UPPER(name) LIKE UPPER(?))" with the text as a
// contains-pattern; the typed text is bound, quotes and all.
SqlFragment containsEither(const Dialect& d, const QString& codeColumn, const QString& nameColumn,
                           const QString& text) {
    const QString pattern = containsPattern(text);
    const QString like = QStringLiteral(" LIKE UPPER(") + d.typedText() + u')' + Dialect::likeEscape();
    return SqlFragment{QStringLiteral("(UPPER(") + codeColumn + u')' + like + QStringLiteral(" Or UPPER(") +
                           nameColumn + u')' + like + u')',
                       {pattern, pattern}};
}

}  // namespace

std::optional<ReferenceQuery> BuildReferenceQuery(LoginContext& ctx, const QString& kind, const QString& text,
                                                  const QString& classFilter) {
    if (!ctx.gDb) throw std::logic_error("reference lookup without an open account database");
    const Dialect& d = ctx.gDb->Connection().dialect();
    ReferenceQuery q;
    q.title = kind;
    SqlFragment where;
    if (kind == kRefInventoryClass) {
        where = containsEither(d, QStringLiteral("cInvCCode"), QStringLiteral("cInvCName"), text);
        q.list =
            SqlFragment{QStringLiteral("SELECT cInvCCode, cInvCName, iInvCGrade FROM InventoryClass Where ") +
                            where.sql + QStringLiteral(" ORDER BY cInvCCode"),
                        where.binds};
        q.table = QStringLiteral("InventoryClass");
        q.textField = QStringLiteral("cInvCName");
        q.tagField = QStringLiteral("cInvCCode");
        q.captions =
            QStringList{QStringLiteral("分类编码"), QStringLiteral("分类名称"), QStringLiteral("级次")};
    } else if (kind == kRefInventory) {
        where = containsEither(d, QStringLiteral("cInvCode"), QStringLiteral("cInvName"), text);
        QString sql = QStringLiteral("SELECT cInvCode, cInvName, cInvStd, cInvCCode FROM Inventory WHERE ") +
                      where.sql +
                      QStringLiteral(" And Inventory.cInvCCode LIKE ? And bService=0 And bInvType=0");
        QVariantList binds = where.binds;
        binds << QVariant(u'%' + classFilter + u'%');
        // The inventory rights apply only while inventory rights checking is on.
        const SqlFragment rights =
            BuildRightsFilter(ctx, QStringLiteral("inventory.iid "), kRightInventory, false);
        if (!rights.isEmpty()) {
            sql += QStringLiteral(" and ") + rights.sql;
            binds += rights.binds;
        }
        q.list = SqlFragment{sql + QStringLiteral(" ORDER BY cInvCode"), binds};
        q.classTree = SqlFragment{
            QStringLiteral("select cInvCCode,cInvCName from InventoryClass order by cInvcCode"), {}};
        q.table = QStringLiteral("Inventory");
        q.textField = QStringLiteral("cInvName");
        q.tagField = QStringLiteral("cInvCode");
        q.captions = QStringList{QStringLiteral("存货编码"), QStringLiteral("存货名称"),
                                 QStringLiteral("规格型号"), QStringLiteral("分类编码")};
    } else if (kind == kRefCustomerClass) {
        where = containsEither(d, QStringLiteral("cCCCode"), QStringLiteral("cCCName"), text);
        q.list = SqlFragment{QStringLiteral("SELECT cCCCode, cCCName FROM CustomerClass Where ") + where.sql +
                                 QStringLiteral(" ORDER BY cCCCode"),
                             where.binds};
        q.table = QStringLiteral("CustomerClass");
        q.textField = QStringLiteral("cCCName");
        q.tagField = QStringLiteral("cCCCode");
        q.captions = QStringList{QStringLiteral("分类编码"), QStringLiteral("分类名称")};
    } else if (kind == kRefCustomer) {
        where = containsEither(d, QStringLiteral("cCusCode"), QStringLiteral("cCusAbbName"), text);
        QVariantList binds = where.binds;
        binds << QVariant(u'%' + classFilter + u'%');
        q.list = SqlFragment{
            QStringLiteral("SELECT cCusCode, cCusAbbName, cCusName, cCCCode FROM Customer WHERE ") +
                where.sql + QStringLiteral(" And cCCCode LIKE ? ORDER BY cCusCode"),
            binds};
        q.classTree =
            SqlFragment{QStringLiteral("SELECT cCCCode,cCCName FROM CustomerClass order by cCCCode"), {}};
        q.table = QStringLiteral("Customer");
        q.textField = QStringLiteral("cCusAbbName");
        q.tagField = QStringLiteral("cCusCode");
        q.captions = QStringList{QStringLiteral("客户编码"), QStringLiteral("客户简称"),
                                 QStringLiteral("客户名称"), QStringLiteral("分类编码")};
    } else if (kind == kRefSubject) {
        where = containsEither(d, QStringLiteral("cCode"), QStringLiteral("cCode_Name"), text);
        q.list = SqlFragment{QStringLiteral("SELECT cCode, cCode_Name FROM code WHERE bEnd = 1 AND ") +
                                 where.sql + QStringLiteral(" ORDER BY cCode"),
                             where.binds};
        q.table = QStringLiteral("code");
        q.textField = QStringLiteral("cCode_Name");
        q.tagField = QStringLiteral("cCode");
        q.captions = QStringList{QStringLiteral("科目编码"), QStringLiteral("科目名称")};
    } else {
        return std::nullopt;
    }
    return q;
}

QString ShowReference(LoginContext& ctx, Pickers& pickers, CodeBox& target, const QString& kind,
                      const QString& classFilter) {
    // A failing step leaves the box as it was; the lookup has no message of its own.
    try {
        const std::optional<ReferenceQuery> query = BuildReferenceQuery(ctx, kind, target.text, classFilter);
        if (!query) return {};
        const std::optional<PickedRow> picked = pickers.reference(ctx.gDb->Connection(), *query);
        if (!picked) return {};
        target.text = textOf(pickedValue(*picked, query->textField));
        target.tag = textOf(pickedValue(*picked, query->tagField));
    } catch (const DbError&) {
    }
    return {};
}

}  // namespace qc
