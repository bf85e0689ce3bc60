// Loading of the opening entry window: its parameters, the column set-up, the
// toolbar, the warehouse list and the rows of one warehouse.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"

#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/Posting.h"
#include "platform/Decimal.h"
#include "platform/NumberFormat.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kMethodCaption = QStringLiteral("计价方式：");
const QString kTooMany = QStringLiteral("数据量太大,请缩小查询范围,不要超过4000条记录！");

// A database value as a grid text: numbers in their pattern (a text that is not a
// number stays as it is), dates as YYYY/MM/DD.
QString cellText(const QVariant& v, const QString& pattern = {}) {
    if (v.isNull()) return {};
    const int type = v.typeId();
    if (type == QMetaType::QDate || type == QMetaType::QDateTime)
        return dateOf(v).toString(QStringLiteral("yyyy/MM/dd"));
    if (pattern.isEmpty()) return v.toString();
    const auto d = type == QMetaType::Double ? std::optional<Decimal>(Decimal::fromVariant(v))
                                             : Decimal::parse(v.toString());
    return d ? formatNumber(*d, pattern) : v.toString();
}

std::optional<Decimal> numberOf(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return Decimal::fromVariant(v);
}

QDate paramDate(const QString& text) {
    return dateOf(QVariant(text));
}

// The fields MainSelect reads after the loaded columns, by their place after them.
namespace LoadedField {
constexpr int InCost = 0, InPrice = 1, DebitDif = 2, CreditDif = 3, PlanPrice = 4, Accounter = 5, Method = 6;
}  // namespace LoadedField

// The columns MainSelect loads as they stand, in its order.
const QList<int>& loadedColumns() {
    static const QList<int> cols = [] {
        QList<int> l;
        for (int c = 0; c < Col::Count; ++c)
            if (!openingColumns().at(c).source.isEmpty()) l << c;
        return l;
    }();
    return cols;
}

}  // namespace

OpeningEntry::OpeningEntry(LoginContext& ctx, Pickers& pickers, EntryWindow& window)
    : m_ctx(ctx), m_pickers(pickers), m_window(window), m_grid(openingColumns()) {
    for (const grid::ColumnSpec& c : openingColumns()) {
        m_widths << c.width;
        m_maxLength << 0;
    }
    m_grid.setTotalsCaption(Col::InvCode, QStringLiteral("合计："));
    // Quantities to the account's decimals, amounts to the cent.
    m_grid.setTotalFormat([this](int col, const Decimal& sum) {
        return sqlNumberText(sum, col == Col::Quantity ? QuanDec : 2);
    });
}

MessageSink& OpeningEntry::sink() {
    return sinkOf(m_ctx);
}

Database& OpeningEntry::accountDb() {
    return m_ctx.gDb->Connection();
}

void OpeningEntry::Load() {
    accParaOf(m_ctx);
    if (m_ctx.gLogin) m_ctx.gAccPara->Init(m_ctx.gLogin->DbConnectText(), m_ctx.gLogin->DbPassword());

    // Decimals beyond what an exact decimal holds would be meaningless.
    QuanDec =
        std::clamp(m_ctx.gAccPara->GetParam(QStringLiteral("iStrsQuanDecDgt"), QStringLiteral("AA")).toInt(),
                   0, Decimal::kScale);
    PriceDec =
        std::clamp(m_ctx.gAccPara->GetParam(QStringLiteral("iStrsPriDecDgt"), QStringLiteral("AA")).toInt(),
                   0, Decimal::kScale);
    buildMainSelect();
    IAStartDate = paramDate(ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate")));

    m_freeNames = FreeItemNames(m_ctx);
    m_defineNames = InvDefineNames(m_ctx);
    setUpColumns();
    setUpToolbar();
    buttonRef(QStringLiteral("Save"))->visible = false;

    m_warehouseItems = FillWarehouseCombo(m_ctx, QString());
    m_label2 = kMethodCaption;
    CurrentWhCode.clear();

    bPosted = IAStartDate.isValid() && m_ctx.gAccPara->IsPosted(QStringLiteral("IA"));
    m_stStarted =
        paramDate(ReadAccValue(m_ctx, QStringLiteral("ST"), QStringLiteral("dSTStartDate"))).isValid();
    m_samePeriod = m_stStarted && m_ctx.gAccPara->CurrentPeriod(QStringLiteral("ST")) ==
                                      m_ctx.gAccPara->CurrentPeriod(QString());
    m_iaStartYear = IsIaStartYear(m_ctx);

    bDirty = false;
    m_periodBegin = m_periodEnd = QDate();
    if (IAStartDate.isValid() && m_ctx.gLogin) {
        QSqlQuery q = accountDb().exec(
            QStringLiteral("SELECT dBegin, dEnd FROM UA_Period WHERE cAcc_Id = ? AND iYear = ? AND iId = ?"),
            {m_ctx.gLogin->AccountId(), m_ctx.gLogin->AccountYear().toInt(), IAStartDate.month()});
        if (q.next()) {
            m_periodBegin = dateOf(q.value(0));
            m_periodEnd = dateOf(q.value(1));
        }
    }

    m_canAdd = m_ctx.gLogin && m_ctx.gLogin->TaskExec(task::kAddOpenings, 1);
    applyCommandRules();
    updateReadOnly();
    m_grid.clear();
}

void OpeningEntry::buildMainSelect() {
    // The columns loaded as they stand, in the grid's order, then the fields the
    // costs shown are computed from (LoadedField).
    QStringList f;
    for (const grid::ColumnSpec& c : openingColumns())
        if (!c.source.isEmpty()) f << c.source;
    f << QStringLiteral("IA_Subsidiary.iInCost") << QStringLiteral("IA_Subsidiary.iAInPrice")
      << QStringLiteral("IA_Subsidiary.iDebitDifCost") << QStringLiteral("IA_Subsidiary.iCreditDifCost")
      << QStringLiteral("Inventory.iInvRCost")
      << QStringLiteral("IA_Subsidiary.cAccounter")
      // The method that prices the row: the item's own under per-item accounting,
      // the warehouse's otherwise.
      << (m_ctx.gValueStyle == basis::kByInventory ? QStringLiteral("Inventory.cValueType")
                                                   : QStringLiteral("Warehouse.cWhValueStyle"));

    SqlFragment s;
    s.sql = QStringLiteral("SELECT ") + f.join(QStringLiteral(", ")) +
            QStringLiteral(
                " FROM IA_Subsidiary"
                " LEFT JOIN Inventory ON IA_Subsidiary.cInvCode = Inventory.cInvCode"
                " LEFT JOIN Warehouse ON IA_Subsidiary.cWhCode = Warehouse.cWhCode"
                " LEFT JOIN Vendor ON IA_Subsidiary.cVenCode = Vendor.cVenCode"
                " LEFT JOIN Department ON IA_Subsidiary.cAccDep = Department.cDepCode"
                " LEFT JOIN Person ON IA_Subsidiary.cPersonCode = Person.cPersonCode"
                " LEFT JOIN code ON IA_Subsidiary.cInvHead = code.cCode"
                " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComunitCode"
                " WHERE IA_Subsidiary.cVouType = ?");
    s.binds << QStringLiteral("34");
    const SqlFragment rights =
        RowRightsFilter(m_ctx, QStringLiteral("IA_Subsidiary.cWhCode"),
                        QStringLiteral("IA_Subsidiary.cAccDep"), QStringLiteral("Inventory.iId"), false);
    if (!rights.isEmpty()) {
        s.sql += QStringLiteral(" AND ") + rights.sql;
        s.binds += rights.binds;
    }
    MainSelect = s;
}

void OpeningEntry::setUpColumns() {
    // User-defined items take their captions and lengths from UserDef; an item
    // without a caption stays hidden.
    for (int c = 0; c < Col::Count; ++c) {
        const grid::ColumnSpec& spec = openingColumns().at(c);
        m_widths[c] = spec.width;
        if (spec.userDefId.isEmpty()) continue;
        const std::optional<QString> caption =
            UserDefCaption(m_ctx, QStringLiteral("cItemName"), QStringLiteral("UserDef"),
                           QStringLiteral("cID"), spec.userDefId);
        m_grid.setCaption(c, caption.value_or(QString()));
        m_widths[c] = m_grid.caption(c).isEmpty() ? 0 : 1000;
        m_maxLength[c] = UserDefLength(m_ctx, QStringLiteral("iLong"), QStringLiteral("UserDef"),
                                       QStringLiteral("cID"), spec.userDefId);
    }
    m_sortItems = QStringList{QString()};
    for (int c = 0; c < Col::Count; ++c)
        if (m_widths.at(c) != 0) m_sortItems << m_grid.caption(c);
    m_sortText.clear();
}

void OpeningEntry::setUpToolbar() {
    struct B {
        const char *key, *caption, *tip;
    };
    static const B buttons[] = {
        {"Print", "打印", "打印"},       {"Preview", "预览", "打印预览"},    {"OutPut", "输出", "数据输出"},
        {"Add", "增加", "增加(Ctrl+A)"}, {"Delete", "删除", "删除(Ctrl+D)"}, {"Save", "保存", "保存"},
        {"Query", "查询", "查询"},       {"Select", "选择", "选择"},         {"Getcount", "取数", "取数"},
        {"Sum", "汇总", "汇总"},         {"Compare", "对账", "对账"},        {"Find", "定位", "定位(Ctrl+F)"},
        {"Keep", "记账", "记账"},        {"Order", "升序", "按升序排序"},    {"ROrder", "降序", "按降序排序"},
        {"Help", "帮助", "帮助(F1)"},    {"Exit", "退出", "退出"},
    };
    m_toolbar.clear();
    for (const B& b : buttons) {
        ToolButton t;
        t.key = QString::fromLatin1(b.key);
        t.caption = QString::fromUtf8(b.caption);
        t.toolTip = QString::fromUtf8(b.tip);
        t.image = t.key;
        m_toolbar << t;
    }
    m_editRight = m_ctx.gLogin && m_ctx.gLogin->TaskExec(task::kEditOpenings, 1);
}

// The one place that decides which buttons may be used. The commands that print,
// summarise and reconcile have no work behind
// them in this window yet: they are shown and stay disabled, whatever their rule
// says, until that work is added here.
void OpeningEntry::applyCommandRules() {
    static const QStringList notYetAvailable{QStringLiteral("Print"), QStringLiteral("Preview"),
                                             QStringLiteral("OutPut"), QStringLiteral("Sum"),
                                             QStringLiteral("Compare")};

    ToolButton* keep = buttonRef(QStringLiteral("Keep"));
    if (bPosted) {
        keep->caption = QStringLiteral("恢复");
        keep->image = QStringLiteral("Restore");
        // Just after a posting the tip says what cancelling does; at load it is shorter.
        if (keep->toolTip != u"恢复记账前状态") keep->toolTip = QStringLiteral("恢复记账");
    } else {
        keep->caption = QStringLiteral("记账");
        keep->image = QStringLiteral("Keep");
        keep->toolTip = QStringLiteral("记账");
    }
    for (ToolButton& b : m_toolbar) {
        bool rule = true;
        if (b.key == u"Getcount")
            rule = m_stStarted && m_iaStartYear;
        else if (b.key == u"Compare")
            rule = m_stStarted && m_samePeriod;
        else if (b.key == u"Keep")
            rule = !bPosted || Posting(m_ctx).CanCancelPosting();
        b.enabled = rule && !notYetAvailable.contains(b.key);
    }
}

void OpeningEntry::updateReadOnly() {
    m_readOnly = !m_editRight || !m_canAdd || bPosted || CurrentWhCode.isEmpty();
}

ToolButton* OpeningEntry::buttonRef(const QString& key) {
    for (ToolButton& b : m_toolbar)
        if (b.key == key) return &b;
    return nullptr;
}

const ToolButton* OpeningEntry::button(const QString& key) const {
    for (const ToolButton& b : m_toolbar)
        if (b.key == key) return &b;
    return nullptr;
}

bool OpeningEntry::planColumnsVisible() const {
    return m_label2 == kMethodCaption + costing::kSelling || m_label2 == kMethodCaption + costing::kPlanned;
}

QString OpeningEntry::totalsLabel() const {
    return sqlNumberText(m_grid.total(Col::Quantity), QuanDec) + u'\n' +
           sqlNumberText(m_grid.total(Col::Amount), 2);
}

int OpeningEntry::maxTextLength(int col) const {
    return col >= 0 && col < m_maxLength.size() ? m_maxLength.at(col) : 0;
}

void OpeningEntry::WarehouseDropDown(const QString& listText) {
    CurrentWhCode = AccPara::WarehouseCodeOf(listText);
}

void OpeningEntry::WarehouseClick(const QString& listText) {
    if (m_window.inEditMode()) return;
    if (!bPosted) ApplyPlanPriceRounding();
    const QString code = AccPara::WarehouseCodeOf(listText).trimmed();
    if (code.isEmpty())
        m_label2 = kMethodCaption;
    else if (m_ctx.gValueStyle == basis::kByInventory)
        m_label2.clear();
    else
        m_label2 = kMethodCaption + m_ctx.gAccPara->WarehouseValueStyle(code);
    m_classCode.clear();
    CurrentWhCode = code;
    if (code.isEmpty()) {
        m_grid.clear();
    } else {
        LoadRows(code);
    }
    if (m_ctx.gLogin) m_editRight = m_ctx.gLogin->TaskExec(task::kEditOpenings, 1);
    updateReadOnly();
    applyCommandRules();
    bDirty = false;
}

void OpeningEntry::ClassReference() {
    ReferenceQuery q;
    const QString pattern = u'%' + m_classCode + u'%';
    q.list = SqlFragment{
        QStringLiteral("SELECT * FROM InventoryClass WHERE (cInvCCode LIKE ? OR cInvCName LIKE ?) "
                       "ORDER BY cInvCCode"),
        {pattern, pattern}};
    q.table = QStringLiteral("InventoryClass");
    q.textField = QStringLiteral("cInvCName");
    q.tagField = QStringLiteral("cInvCCode");
    q.title = QStringLiteral("存货分类");
    const std::optional<PickedRow> picked = m_pickers.reference(accountDb(), q);
    if (!picked) return;
    m_classCode = textOf(pickedValue(*picked, QStringLiteral("cInvCCode")));
    if (!CurrentWhCode.isEmpty()) LoadRows(CurrentWhCode);
}

void OpeningEntry::ClassBoxLeft(const QString& classCode) {
    m_classCode = classCode.trimmed();
    if (!CurrentWhCode.isEmpty()) LoadRows(CurrentWhCode);
}

void OpeningEntry::LoadRows(const QString& whCode) {
    const bool perItem = m_ctx.gValueStyle == basis::kByInventory;
    if (!perItem) CurWhValueStyle = m_ctx.gAccPara->WarehouseValueStyle(whCode);

    SqlFragment q = MainSelect;
    q.sql += QStringLiteral(" AND IA_Subsidiary.cWhCode = ?");
    q.binds << whCode;
    if (!m_classCode.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCCode LIKE ?");
        q.binds << m_classCode + u'%';
    }
    if (!strInvCodeFrom.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCode >= ?");
        q.binds << strInvCodeFrom;
    }
    if (!strInvCodeTo.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCode <= ?");
        q.binds << strInvCodeTo;
    }
    // One row past the limit tells that there are too many.
    q.sql += QStringLiteral(" ORDER BY IA_Subsidiary.AutoID LIMIT %1").arg(kMaxRows + 1);

    QSqlQuery r = accountDb().exec(q);
    QList<QStringList> rows;
    rows.reserve(kMaxRows);
    QString lastMethod = CurWhValueStyle;
    while (r.next()) {
        if (rows.size() == kMaxRows) {
            m_grid.clear();
            sink().exclamation(kTooMany);
            return;
        }
        const int extra = static_cast<int>(loadedColumns().size());
        const auto field = [&](int f) { return r.value(extra + f); };
        // The warehouse's method, or the item's under per-item accounting.
        const QString method = textOf(field(LoadedField::Method));
        lastMethod = method;
        const bool planned = isPricedByPlan(costingMethodOf(method));

        QStringList row;
        row.reserve(Col::Count);
        for (int c = 0; c < Col::Count; ++c) row << QString();
        std::optional<Decimal> qty;
        for (int i = 0; i < extra; ++i) {
            const int c = loadedColumns().at(i);
            const grid::ColumnSpec& spec = openingColumns().at(c);
            const QVariant v = r.value(i);
            if (c == Col::Quantity) {
                qty = numberOf(v);
                if (qty) row[c] = sqlNumberText(*qty, QuanDec);
            } else if (spec.kind == grid::ColumnKind::Date && spec.userDefId.isEmpty()) {
                const QDate d = dateOf(v);
                if (d.isValid()) row[c] = d.toString(QStringLiteral("yyyy/MM/dd"));
            } else {
                row[c] = cellText(v, spec.pattern);
            }
        }

        const auto inCost = numberOf(field(LoadedField::InCost));
        const auto inPrice = numberOf(field(LoadedField::InPrice));
        const Decimal debit = Decimal::fromVariant(field(LoadedField::DebitDif));
        const Decimal credit = Decimal::fromVariant(field(LoadedField::CreditDif));
        const auto rCost = numberOf(field(LoadedField::PlanPrice));
        const bool posted = !field(LoadedField::Accounter).isNull();

        // Under planned and selling prices the cost shown is the actual one: the
        // amount with its differences over the quantity.
        if (planned) {
            if (qty && !qty->isZero())
                row[Col::UnitCost] =
                    sqlNumberText((inPrice.value_or(Decimal()) + debit - credit) / *qty, PriceDec);
        } else if (inCost) {
            row[Col::UnitCost] = sqlNumberText(*inCost, PriceDec);
        }
        if (inPrice) row[Col::Amount] = sqlNumberText((*inPrice + debit - credit).round(2), 2);
        if (planned) {
            // Before posting the item's planned price and the amount it gives; after
            // posting the stored cost and amount.
            const auto price = posted ? inCost : rCost;
            if (price) row[Col::PlanPrice] = sqlNumberText(*price, PriceDec);
            std::optional<Decimal> planAmount;
            if (!posted && rCost && qty)
                planAmount = (rCost->round(PriceDec) * qty->round(QuanDec)).round(2);
            else if (posted && inPrice)
                planAmount = inPrice->round(2);
            if (planAmount) row[Col::PlanAmount] = sqlNumberText(*planAmount, 2);
        }
        rows << row;
    }
    if (perItem) CurWhValueStyle = lastMethod;

    m_grid.setDataRows(std::move(rows));
    bDirty = false;
}

bool OpeningEntry::Unload() {
    if (m_window.inEditMode()) return false;
    m_addTask.reset();
    closeContext(m_ctx);
    return true;
}

}  // namespace qc::opening
