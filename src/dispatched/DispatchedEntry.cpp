#include "dispatched/DispatchedEntry.h"

#include "dispatched/DispatchedColumns.h"
#include "domain/Vocabulary.h"
#include "host/AccPara.h"
#include "host/AuditTrail.h"
#include "host/TaskLease.h"
#include "host/VqLogin.h"
#include "platform/Decimal.h"
#include "platform/NumberFormat.h"
#include "platform/Schema.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"
#include "shared/Reference.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <stdexcept>

namespace qc::dispatched {

namespace {

namespace C = DCol;

const QString kOutOfRange = QStringLiteral("数据超出允许范围");
const QString kNotNumeric = QStringLiteral("输入非法！");
const QString kNegativePrice = QStringLiteral("单价为负数,输入非法！");
const QString kPriceBelowZero = QStringLiteral("单价必须大于等于零！");
const QString kBadSubject = QStringLiteral("存货科目不合法！");

QString fetchRight(BusinessType t) {
    return t == BusinessType::Instalment ? task::kInstalmentFetch : task::kConsignmentFetch;
}
QString editRight(BusinessType t) {
    return t == BusinessType::Instalment ? task::kInstalmentEdit : task::kConsignmentEdit;
}

int decimals(LoginContext& ctx, const char* name) {
    return std::clamp(ReadAccParam(ctx, QStringLiteral("AA"), QString::fromLatin1(name)).toInt(), 0,
                      Decimal::kScale);
}

}  // namespace

DispatchedEntry::DispatchedEntry(LoginContext& ctx, BusinessType type)
    : m_ctx(ctx), m_type(type), m_grid(std::make_unique<grid::GridModel>(dispatchedColumns())) {}

DispatchedEntry::~DispatchedEntry() = default;

QString DispatchedEntry::caption() const {
    return businessName(m_type) + QStringLiteral("发出商品期初");
}

void DispatchedEntry::Load() {
    accParaOf(m_ctx);
    m_quantityDecimals = decimals(m_ctx, "iStrsQuanDecDgt");
    m_priceDecimals = decimals(m_ctx, "iStrsPriDecDgt");
    const QString start = ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate")).trimmed();
    m_posted = QDate::fromString(start.left(10), Qt::ISODate).isValid() &&
               m_ctx.gAccPara->IsPosted(QStringLiteral("IA"));
    VqLogin* login = m_ctx.gLogin;
    if (m_posted) {
        m_canFetch = false;
        m_readOnly = true;
    } else {
        m_canFetch = login && login->TaskExec(fetchRight(m_type), 1);
        m_readOnly = !(login && login->TaskExec(editRight(m_type), 1));
    }
    if (!IsIaStartYear(m_ctx)) {
        m_readOnly = true;
        m_canFetch = false;
    }

    // User-defined items take their captions from UserDef; one without stays hidden.
    QStringList ids;
    for (const grid::ColumnSpec& c : dispatchedColumns())
        if (!c.userDefId.isEmpty()) ids << c.userDefId;
    const QHash<QString, UserDefItem> items = UserDefItems(m_ctx, ids);
    m_widths.clear();
    for (int c = 0; c < C::Count; ++c) {
        const grid::ColumnSpec& column = dispatchedColumns().at(c);
        m_widths << column.width;
        if (column.userDefId.isEmpty()) continue;
        const QString name = items.value(column.userDefId).caption;
        m_grid->setCaption(c, name);
        m_widths[c] = name.isEmpty() ? 0 : 1000;
    }
    m_sortItems.clear();
    for (int c = 0; c < C::Count; ++c)
        if (m_widths.at(c) != 0) m_sortItems << m_grid->caption(c);
    m_grid->setReadOnly(m_readOnly);
    m_grid->clear();
}

QList<ToolButton> DispatchedEntry::toolbar() const {
    QList<ToolButton> l{
        {QStringLiteral("Print"), QStringLiteral("打印"), QStringLiteral("打印"), QStringLiteral("Print")},
        {QStringLiteral("Preview"), QStringLiteral("预览"), QStringLiteral("打印预览"),
         QStringLiteral("Preview")},
        {QStringLiteral("OutPut"), QStringLiteral("输出"), QStringLiteral("数据输出"),
         QStringLiteral("OutPut")},
        {QStringLiteral("Getcount"), QStringLiteral("取数"), QStringLiteral("取数"),
         QStringLiteral("Getcount")},
        {QStringLiteral("Seek"), QStringLiteral("查询"), QStringLiteral("查询"), QStringLiteral("Seek")},
        {QStringLiteral("Clear"), QStringLiteral("清空"), QStringLiteral("清空"), QStringLiteral("Clear")},
        {QStringLiteral("Sum"), QStringLiteral("汇总"), QStringLiteral("汇总"), QStringLiteral("Sum")},
        {QStringLiteral("Find"), QStringLiteral("定位"), QStringLiteral("定位(Ctrl+F)"),
         QStringLiteral("Find")},
        {QStringLiteral("Order"), QStringLiteral("升序"), QStringLiteral("按升序排序"),
         QStringLiteral("Order")},
        {QStringLiteral("ROrder"), QStringLiteral("降序"), QStringLiteral("按降序排序"),
         QStringLiteral("ROrder")},
        {QStringLiteral("Help"), QStringLiteral("帮助"), QStringLiteral("帮助(F1)"), QStringLiteral("Help")},
        {QStringLiteral("Exit"), QStringLiteral("退出"), QStringLiteral("退出"), QStringLiteral("Exit")},
    };
    for (ToolButton& b : l) {
        if (b.key == u"Getcount" || b.key == u"Clear") b.enabled = m_canFetch;
    }
    return l;
}

void DispatchedEntry::Refresh(const SqlFragment& query) {
    if (query.isEmpty()) return;
    QSqlQuery r = accountDb(m_ctx).exec(query);
    QList<QStringList> rows;
    while (r.next()) {
        QStringList row;
        row.reserve(C::Count);
        for (int c = 0; c < C::Count; ++c) {
            const grid::ColumnSpec& column = dispatchedColumns().at(c);
            const QVariant v = r.value(c);
            if (v.isNull()) {
                row << QString();
            } else if (column.numeric()) {
                const int places = column.kind == grid::ColumnKind::Quantity ? m_quantityDecimals
                                   : column.kind == grid::ColumnKind::Price  ? m_priceDecimals
                                                                             : 2;
                row << sqlNumberText(Decimal::fromVariant(v), places);
            } else if (column.kind == grid::ColumnKind::Date && column.userDefId.isEmpty()) {
                row << dateOf(v).toString(QStringLiteral("yyyy-MM-dd"));
            } else {
                row << textOf(v);
            }
        }
        rows << row;
    }
    m_grid->setDataRows(std::move(rows));
}

Decimal DispatchedEntry::number(int row, int col) const {
    return Decimal::parse(m_grid->text(row, col).remove(u',')).value_or(Decimal());
}

void DispatchedEntry::setNumber(int row, int col, const std::optional<Decimal>& v, int places) {
    m_grid->setText(row, col, v ? sqlNumberText(v->round(places), places) : QString());
}

bool DispatchedEntry::rightsAllow(int row) {
    Database& db = accountDb(m_ctx);
    const auto codeOf = [&db](const char* sql, const QString& name) {
        return textOf(db.scalar(QString::fromLatin1(sql), {name}));
    };
    const QString wh =
        codeOf("SELECT cWhCode FROM Warehouse WHERE cWhName = ?", m_grid->text(row, C::Warehouse));
    const QString dep =
        codeOf("SELECT cDepCode FROM Department WHERE cDepName = ?", m_grid->text(row, C::Department));
    const QString inv = m_grid->text(row, C::InvCode);
    if (!HasDataRight(m_ctx, wh, kRightWarehouse, true)) {
        sinkOf(m_ctx).critical(QStringLiteral("您没有此仓库的权限！"));
        return false;
    }
    if (!HasDataRight(m_ctx, dep, kRightDepartment, true)) {
        sinkOf(m_ctx).critical(QStringLiteral("您没有此部门的权限！"));
        return false;
    }
    if (!HasDataRight(m_ctx, inv, kRightInventory, true)) {
        sinkOf(m_ctx).critical(QStringLiteral("您没有此存货的权限！"));
        return false;
    }
    return true;
}

void DispatchedEntry::ValidateCell(QString& value, bool& cancel, int row, int col) {
    cancel = false;
    if (m_readOnly || !m_grid->isDataRow(row)) {
        cancel = true;
        return;
    }
    if (!rightsAllow(row)) {
        cancel = true;
        return;
    }
    if (hasNoTextCharacters(value)) {
        sinkOf(m_ctx).critical(kNoTextCharacters);
        cancel = true;
        return;
    }
    if (col == C::OutAmount || col == C::SettledAmount || col == C::UnitPrice || col == C::OpenAmount) {
        const QStringList before = m_grid->dataRow(row);
        bool ok = false;
        try {
            ok = recompute(value, row, col);
        } catch (const std::overflow_error&) {
            // A figure too large to compute the row with: the row stays as it was.
            for (int c = 0; c < C::Count; ++c) m_grid->setText(row, c, before.value(c));
            sinkOf(m_ctx).critical(kOutOfRange);
        }
        if (!ok) cancel = true;
        return;
    }
    if (col == C::OutHead) {
        const QString code = value.trimmed();
        if (code.isEmpty()) {
            m_grid->setText(row, C::OutHeadName, QString());
            value.clear();  // blanks are no subject: the cell shows what is stored
            return;
        }
        QSqlQuery q = accountDb(m_ctx).exec(
            QStringLiteral("SELECT cCode_Name FROM code WHERE cCode = ? AND bEnd = 1"), {code});
        if (!q.next()) {
            sinkOf(m_ctx).critical(kBadSubject);
            cancel = true;
            return;
        }
        value = code;
        m_grid->setText(row, C::OutHeadName, textOf(q.value(0)));
    }
}

// The row keeps one unit price: the edited figure decides the others.
bool DispatchedEntry::recompute(QString& value, int row, int col) {
    std::optional<Decimal> typed;
    if (!value.trimmed().isEmpty()) {
        typed = Decimal::parse(value.trimmed().remove(u','));
        if (!typed) {
            sinkOf(m_ctx).critical(kNotNumeric);
            return false;
        }
    }
    const Decimal entered = typed.value_or(Decimal());
    const Decimal outQty = number(row, C::OutQuantity);
    const Decimal settledQty = number(row, C::SettledQuantity);
    const Decimal openQty = number(row, C::OpenQuantity);
    const int p = m_priceDecimals;
    const auto refuseSign = [&](const Decimal& qty) {
        if ((entered * qty).isNegative()) {
            sinkOf(m_ctx).critical(kNegativePrice);
            return true;
        }
        return false;
    };

    if (col == C::OutAmount) {
        if (refuseSign(outQty)) return false;
        if (!entered.isZero() && !outQty.isZero()) {
            const Decimal price = (entered / outQty).round(p);
            const Decimal settled = (price * settledQty).round(2);
            setNumber(row, C::UnitPrice, price, p);
            setNumber(row, C::SettledAmount, settled, 2);
            setNumber(row, C::OpenAmount, entered.round(2) - settled, 2);
        } else if (entered.isZero() && !outQty.isZero()) {
            setNumber(row, C::UnitPrice, std::nullopt, p);
            setNumber(row, C::OpenAmount, std::nullopt, 2);
        }
    } else if (col == C::SettledAmount) {
        if (refuseSign(settledQty)) return false;
        if (!entered.isZero() && !settledQty.isZero()) {
            const Decimal price = (entered / settledQty).round(p);
            const Decimal out = (price * outQty).round(2);
            setNumber(row, C::UnitPrice, price, p);
            setNumber(row, C::OutAmount, out, 2);
            setNumber(row, C::OpenAmount, out - entered.round(2), 2);
        } else if (entered.isZero() && !settledQty.isZero()) {
            setNumber(row, C::UnitPrice, std::nullopt, p);
            setNumber(row, C::OpenAmount, std::nullopt, 2);
        }
    } else if (col == C::UnitPrice) {
        if (entered.isNegative()) {
            sinkOf(m_ctx).critical(kPriceBelowZero);
            return false;
        }
        const Decimal settled = (entered * settledQty).round(2);
        const Decimal out = (entered * outQty).round(2);
        setNumber(row, C::SettledAmount, settled, 2);
        setNumber(row, C::OutAmount, out, 2);
        setNumber(row, C::OpenAmount, out - settled, 2);
    } else if (col == C::OpenAmount) {
        if (refuseSign(outQty)) return false;
        if (!entered.isZero() && !openQty.isZero()) {
            const Decimal price = (entered / openQty).round(p);
            const Decimal out = (price * outQty).round(2);
            setNumber(row, C::UnitPrice, price, p);
            setNumber(row, C::OutAmount, out, 2);
            setNumber(row, C::SettledAmount, out - entered.round(2), 2);
        } else {
            setNumber(row, C::UnitPrice, std::nullopt, p);
        }
    }
    if (typed) value = sqlNumberText(typed->round(col == C::UnitPrice ? p : 2), col == C::UnitPrice ? p : 2);
    return true;
}

bool DispatchedEntry::storedAsShown(qint64 id, const QStringList& shown) {
    Database& db = accountDb(m_ctx);
    // Locked until the store ends (SQLite's writing transactions are exclusive already).
    QSqlQuery q = db.exec(QStringLiteral("SELECT cOutHead, iAInQuantity, iInCost, iAInPrice, iAOutQuantity, "
                                         "iAOutPrice FROM IA_EnSubsidiary WHERE AutoID = ?") +
                              (db.kind() == DbKind::Sqlite ? QString() : QStringLiteral(" FOR UPDATE")),
                          {id});
    if (!q.next()) {
        sinkOf(m_ctx).critical(QStringLiteral("该行已被其他用户删除！请重新查询。"));
        return false;
    }
    const auto number = [&q](int i, int places) {
        return q.value(i).isNull() ? QString() : sqlNumberText(Decimal::fromVariant(q.value(i)), places);
    };
    const QStringList now{textOf(q.value(0)), number(1, m_quantityDecimals), number(2, m_priceDecimals),
                          number(3, 2),       number(4, m_quantityDecimals), number(5, 2)};
    const QList<int> columns{C::OutHead,    C::OpenQuantity, C::UnitPrice,
                             C::OpenAmount, C::OutQuantity,  C::OutAmount};
    for (int i = 0; i < columns.size(); ++i) {
        if (shown.value(columns.at(i)).trimmed().remove(u',') == now.at(i)) continue;
        sinkOf(m_ctx).critical(QStringLiteral("该行已被其他用户修改！请重新查询后再修改。"));
        return false;
    }
    return true;
}

bool DispatchedEntry::StoreRow(int row, const QStringList& shown) {
    const QString key = m_grid->text(row, C::AutoId).trimmed();
    bool isId = false;
    const qint64 id = key.toLongLong(&isId);
    if (!isId) return true;  // the blank row is never stored
    // Each figure goes to its column; one the column cannot hold (or a text that is
    // no number) refuses the whole row, as the database would.
    bool fits = true;
    const auto numberOrNull = [this, row, &fits](int col, const char* column) -> QVariant {
        const QString t = m_grid->text(row, col).trimmed().remove(u',');
        if (t.isEmpty()) return {};
        const std::optional<Decimal> d = Decimal::parse(t);
        if (!d || !fitsColumn(QStringLiteral("IA_EnSubsidiary"), QString::fromLatin1(column), *d)) {
            fits = false;
            return {};
        }
        return d->toVariant();
    };
    const QString subject = m_grid->text(row, C::OutHead).trimmed();
    const QVariantList values{subject.isEmpty() ? QVariant() : QVariant(subject),
                              numberOrNull(C::OpenQuantity, "iAInQuantity"),
                              numberOrNull(C::UnitPrice, "iInCost"),
                              numberOrNull(C::OpenAmount, "iAInPrice"),
                              numberOrNull(C::OutQuantity, "iAOutQuantity"),
                              numberOrNull(C::UnitPrice, "iOutCost"),
                              numberOrNull(C::OutAmount, "iAOutPrice"),
                              id};
    if (!fits || !fitsColumn(QStringLiteral("IA_EnSubsidiary"), QStringLiteral("cOutHead"), subject)) {
        sinkOf(m_ctx).critical(kOutOfRange);
        return false;
    }
    try {
        Database& db = accountDb(m_ctx);
        Transaction tx(db);
        if (!storedAsShown(id, shown)) return false;
        const QJsonObject before = audit::rowValues(db, QStringLiteral("IA_EnSubsidiary"), id);
        db.exec(
            QStringLiteral("UPDATE IA_EnSubsidiary SET cOutHead = ?, iAInQuantity = ?, iInCost = ?, "
                           "iAInPrice = ?, iAOutQuantity = ?, iOutCost = ?, iAOutPrice = ? WHERE AutoID = ?"),
            values);
        audit::recordRow(db, audit::actorOf(m_ctx.gLogin), audit::kChangeDispatched,
                         QStringLiteral("IA_EnSubsidiary"), id, before, businessName(m_type));
        tx.commit();
    } catch (const DbError& e) {
        // The row is left as it was; the user hears why.
        sinkOf(m_ctx).critical(e.message());
        return false;
    }
    return true;
}

void DispatchedEntry::ValidateAndStore(QString& value, bool& cancel, int row, int col) {
    const QStringList before = m_grid->dataRow(row);
    ValidateCell(value, cancel, row, col);
    if (cancel) return;
    m_grid->setText(row, col, value);
    if (StoreRow(row, before)) return;
    for (int c = 0; c < C::Count; ++c) m_grid->setText(row, c, before.value(c));
    cancel = true;
}

std::optional<QString> DispatchedEntry::PickSubject(Pickers& pickers, const QString& typed) {
    try {
        const std::optional<ReferenceQuery> query =
            BuildReferenceQuery(m_ctx, kRefSubject, typed.trimmed(), QString());
        if (!query) return std::nullopt;
        const std::optional<PickedRow> picked = pickers.reference(accountDb(m_ctx), *query);
        if (!picked) return std::nullopt;
        return textOf(pickedValue(*picked, query->tagField));
    } catch (const DbError& e) {
        sinkOf(m_ctx).critical(e.message());
        return std::nullopt;
    }
}

void DispatchedEntry::Sort(const QString& caption, bool ascending) {
    if (m_grid->dataRowCount() == 0 || caption.isEmpty()) return;
    const int col = static_cast<int>(m_grid->captions().indexOf(caption));
    if (col >= 0) m_grid->sortBy(col, ascending);
}

bool DispatchedEntry::OutputAllowed(const QString& key) {
    return qc::OutputAllowed(m_ctx, key, m_grid->dataRowCount());
}

bool DispatchedEntry::inLockedUnit(const std::function<void()>& work) {
    try {
        Transaction tx(accountDb(m_ctx));
        // A posting running now ends first: it stamps these rows too.
        m_ctx.gAccPara->LockOpenings();
        work();
        tx.commit();
    } catch (const DbError& e) {
        sinkOf(m_ctx).show(e.message(), MsgIcon::None, MsgButtons::Ok, {});
        return false;
    }
    return true;
}

bool DispatchedEntry::Fetch() {
    if (!m_canFetch || hasRows(m_ctx, m_type)) return false;
    TaskLease lease = enterTask(m_ctx, fetchRight(m_type));
    if (!lease.held()) return false;
    bool fetched = false;
    const bool done = inLockedUnit([this, &fetched] {
        // Another copy may have fetched between the check above and this unit of
        // work: its rows stand, and this fetch does nothing, as it would have had
        // they been there before.
        if (hasRows(m_ctx, m_type)) return;
        GetFromXsFcsp(m_ctx, m_type);
        fetched = true;
    });
    if (!done || !fetched) return false;
    sinkOf(m_ctx).information(QStringLiteral("取数完毕！"));
    return true;
}

bool DispatchedEntry::Clear() {
    if (!m_canFetch) return false;
    const MsgAnswer answer = sinkOf(m_ctx).show(
        QStringLiteral("此操作将删除所有期初") + businessName(m_type) + QStringLiteral("数据，是否继续？"),
        MsgIcon::Question, MsgButtons::YesNo, {});
    if (answer == MsgAnswer::No) return false;
    if (!inLockedUnit([this] { DeleteQCFCSP(m_ctx, m_type); })) return false;
    m_grid->clear();
    return true;
}

}  // namespace qc::dispatched
