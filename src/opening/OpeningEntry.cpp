// Loading of the opening entry window: its parameters, the column set-up, the
// toolbar, the warehouse list and the rows of one warehouse.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"

#include "entry/LoginContext.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/Posting.h"
#include "platform/Decimal.h"
#include "platform/NumberFormat.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kMethodCaption = QStringLiteral("计价方式：");
const QString kTooMany = QStringLiteral("数据量太大,请缩小查询范围,不要超过4000条记录！");

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// UserDef ids behind the user-defined columns, in column order.
QStringList freeIds() {
    QStringList l{QStringLiteral("20"), QStringLiteral("21")};
    for (int i = 28; i <= 35; ++i) l << twoDigits(i);
    return l;
}
QStringList invDefineIds() {
    QStringList l{QStringLiteral("17"), QStringLiteral("18"), QStringLiteral("19")};
    for (int i = 52; i <= 64; ++i) l << twoDigits(i);
    return l;
}
QStringList headDefineIds() {
    QStringList l;
    for (int i = 1; i <= 10; ++i) l << twoDigits(i);
    for (int i = 36; i <= 41; ++i) l << twoDigits(i);
    return l;
}
QStringList lineDefineIds() {
    QStringList l;
    for (int i = 22; i <= 27; ++i) l << twoDigits(i);
    for (int i = 42; i <= 51; ++i) l << twoDigits(i);
    return l;
}

// The UserDef id of a user-defined column, or "" for the fixed columns.
QString userDefIdOf(int col) {
    static const QStringList frees = freeIds(), invs = invDefineIds(), heads = headDefineIds(),
                             lines = lineDefineIds();
    if (col >= Col::Free1 && col < Col::Free1 + 10) return frees.at(col - Col::Free1);
    if (col >= Col::InvDefine1 && col < Col::InvDefine1 + 16) return invs.at(col - Col::InvDefine1);
    if (col >= Col::Define1 && col < Col::Define1 + 16) return heads.at(col - Col::Define1);
    if (col >= Col::Define22 && col < Col::Define22 + 16) return lines.at(col - Col::Define22);
    return {};
}

// Captions and widths of the fixed columns.
struct FixedColumn {
    int col;
    const char* caption;
    int width;
};
const FixedColumn kFixed[] = {
    {Col::VouCode, "入库单号", 1200},
    {Col::InvCode, "存货编码", 1200},
    {Col::InvName, "存货名称", 1800},
    {Col::InvAddCode, "存货代码", 1200},
    {Col::InvStd, "规格型号", 1500},
    {Col::Unit, "计量单位", 900},
    {Col::ReplaceItem, "替换件", 1000},
    {Col::Quantity, "数量", 1100},
    {Col::UnitCost, "单价", 1100},
    {Col::Amount, "金额", 1300},
    {Col::PlanPrice, "计划价", 1100},
    {Col::PlanAmount, "计划金额", 1300},
    {Col::VouDate, "入库日期", 1100},
    {Col::Batch, "批号", 1000},
    {Col::VenCode, "供应商编码", 1100},
    {Col::VenName, "供应商", 1400},
    {Col::DepCode, "部门编码", 1000},
    {Col::DepName, "部门", 1200},
    {Col::PersonCode, "业务员编码", 1100},
    {Col::PersonName, "业务员", 1000},
    {Col::InvHead, "存货科目编码", 1200},
    {Col::InvHeadName, "存货科目", 1400},
    {Col::ItemClass, "项目大类编码", 1200},
    {Col::ItemClassName, "项目大类名称", 1400},
    {Col::ItemCode, "项目编码", 1100},
    {Col::ItemName, "项目名称", 1600},
    {Col::AutoId, "AUTOID", 0},
};

// Display pattern of the numeric user-defined items ("" for text items).
QString invDefinePattern(int n) {
    if (n == 11 || n == 12) return QStringLiteral("###0");
    if (n == 7 || n == 13 || n == 14) return QStringLiteral("###0.000000");
    return {};
}
QString definePattern(int n) {
    if (n == 5 || n == 15 || n == 34 || n == 35) return QStringLiteral("###0");
    if (n == 7 || n == 16 || n == 26 || n == 27) return QStringLiteral("###0.000000");
    return {};
}

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

// Positions of the selected fields in MainSelect.
namespace Sel {
constexpr int AutoId = 0, InvCode = 1, InvName = 2, InvAddCode = 3, InvStd = 4, Unit = 5, InvDefine1 = 6,
              ReplaceItem = 22, VouCode = 23, AccDep = 24, DepName = 25, PersonCode = 26, PersonName = 27,
              VouDate = 28, VenCode = 29, VenName = 30, Quantity = 31, InCost = 32, InPrice = 33,
              DebitDif = 34, CreditDif = 35, PlanPrice = 36, Accounter = 37, Method = 38, InvHead = 39,
              InvHeadName = 40, ItemClass = 41, ItemClassName = 42, ItemCode = 43, ItemName = 44, Batch = 45,
              Define1 = 46, Define22 = 62, Free1 = 78;
}  // namespace Sel

}  // namespace

OpeningEntry::OpeningEntry(LoginContext& ctx, Pickers& pickers, EntryWindow& window)
    : m_ctx(ctx), m_pickers(pickers), m_window(window) {
    QStringList captions;
    for (int c = 0; c < Col::Count; ++c) captions << QString();
    for (const FixedColumn& f : kFixed) captions[f.col] = QString::fromUtf8(f.caption);
    m_grid.setCaptions(captions);
    for (int c = 0; c < Col::Count; ++c) {
        m_widths << 0;
        m_colour << false;
        m_maxLength << 0;
    }
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
    recomputeTotals();
}

void OpeningEntry::buildMainSelect() {
    QStringList f;
    f << QStringLiteral("IA_Subsidiary.AutoID") << QStringLiteral("IA_Subsidiary.cInvCode")
      << QStringLiteral("Inventory.cInvName") << QStringLiteral("Inventory.cInvAddCode")
      << QStringLiteral("Inventory.cInvStd") << QStringLiteral("ComputationUnit.cComUnitName");
    for (int n = 1; n <= 16; ++n) f << QStringLiteral("Inventory.cInvDefine%1").arg(n);
    f << QStringLiteral("Inventory.cReplaceItem") << QStringLiteral("IA_Subsidiary.cVouCode")
      << QStringLiteral("IA_Subsidiary.cAccDep") << QStringLiteral("Department.cDepName")
      << QStringLiteral("IA_Subsidiary.cPersonCode") << QStringLiteral("Person.cPersonName")
      << QStringLiteral("IA_Subsidiary.dVouDate") << QStringLiteral("IA_Subsidiary.cVenCode")
      << QStringLiteral("Vendor.cVenAbbName") << QStringLiteral("IA_Subsidiary.iAInQuantity")
      << QStringLiteral("IA_Subsidiary.iInCost") << QStringLiteral("IA_Subsidiary.iAInPrice")
      << QStringLiteral("IA_Subsidiary.iDebitDifCost") << QStringLiteral("IA_Subsidiary.iCreditDifCost")
      << QStringLiteral("Inventory.iInvRCost")
      << QStringLiteral("IA_Subsidiary.cAccounter")
      // The method that prices the row: the item's own under per-item accounting,
      // the warehouse's otherwise.
      << (m_ctx.gValueStyle == basis::kByInventory ? QStringLiteral("Inventory.cValueType")
                                                   : QStringLiteral("Warehouse.cWhValueStyle"))
      << QStringLiteral("IA_Subsidiary.cInvHead") << QStringLiteral("code.cCode_Name")
      << QStringLiteral("IA_Subsidiary.cItem_class") << QStringLiteral("IA_Subsidiary.cItemCName")
      << QStringLiteral("IA_Subsidiary.cItemCode") << QStringLiteral("IA_Subsidiary.cName")
      << QStringLiteral("IA_Subsidiary.cBatchCode");
    for (int n = 1; n <= 16; ++n) f << QStringLiteral("IA_Subsidiary.cDefine%1").arg(n);
    for (int n = 22; n <= 37; ++n) f << QStringLiteral("IA_Subsidiary.cDefine%1").arg(n);
    for (int n = 1; n <= 10; ++n) f << QStringLiteral("IA_Subsidiary.cFree%1").arg(n);

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
    QStringList captions = m_grid.captions();
    for (int c = 0; c < Col::Count; ++c) {
        const QString id = userDefIdOf(c);
        if (id.isEmpty()) continue;
        const std::optional<QString> caption = UserDefCaption(
            m_ctx, QStringLiteral("cItemName"), QStringLiteral("UserDef"), QStringLiteral("cID"), id);
        captions[c] = caption.value_or(QString());
        m_widths[c] = captions.at(c).isEmpty() ? 0 : 1000;
        m_maxLength[c] = UserDefLength(m_ctx, QStringLiteral("iLong"), QStringLiteral("UserDef"),
                                       QStringLiteral("cID"), id);
    }
    for (const FixedColumn& f : kFixed) m_widths[f.col] = f.width;
    m_grid.setCaptions(captions);

    // Columns filled from the dictionaries, never keyed.
    for (int c = 0; c < Col::Count; ++c)
        m_colour[c] =
            (c >= Col::InvName && c <= Col::Unit) || (c >= Col::InvDefine1 && c <= Col::ReplaceItem) ||
            c == Col::PlanPrice || c == Col::PlanAmount || c == Col::VenName || c == Col::DepName ||
            c == Col::PersonName || c == Col::InvHeadName || c == Col::ItemClassName || c == Col::ItemName;

    m_sortItems = QStringList{QString()};
    for (int c = 0; c < Col::Count; ++c)
        if (m_widths.at(c) != 0) m_sortItems << captions.at(c);
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
    return m_label4;
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
        recomputeTotals();
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
    Decimal sumQty, sumAmount, sumPlan;
    bool anyPlanned = false;
    QString lastMethod = CurWhValueStyle;
    while (r.next()) {
        if (rows.size() == kMaxRows) {
            m_grid.clear();
            recomputeTotals();
            sink().exclamation(kTooMany);
            return;
        }
        // The warehouse's method, or the item's under per-item accounting.
        const QString method = textOf(r.value(Sel::Method));
        lastMethod = method;
        const bool planned = isPricedByPlan(costingMethodOf(method));

        QStringList row;
        row.reserve(Col::Count);
        for (int c = 0; c < Col::Count; ++c) row << QString();
        row[Col::VouCode] = textOf(r.value(Sel::VouCode));
        row[Col::InvCode] = textOf(r.value(Sel::InvCode));
        row[Col::InvName] = textOf(r.value(Sel::InvName));
        row[Col::InvAddCode] = textOf(r.value(Sel::InvAddCode));
        row[Col::InvStd] = textOf(r.value(Sel::InvStd));
        row[Col::Unit] = textOf(r.value(Sel::Unit));
        for (int n = 1; n <= 10; ++n) row[Col::Free1 + n - 1] = textOf(r.value(Sel::Free1 + n - 1));
        for (int n = 1; n <= 16; ++n)
            row[Col::InvDefine1 + n - 1] = cellText(r.value(Sel::InvDefine1 + n - 1), invDefinePattern(n));
        row[Col::ReplaceItem] = textOf(r.value(Sel::ReplaceItem));

        const auto qty = numberOf(r.value(Sel::Quantity));
        const auto inCost = numberOf(r.value(Sel::InCost));
        const auto inPrice = numberOf(r.value(Sel::InPrice));
        const Decimal debit = Decimal::fromVariant(r.value(Sel::DebitDif));
        const Decimal credit = Decimal::fromVariant(r.value(Sel::CreditDif));
        const auto rCost = numberOf(r.value(Sel::PlanPrice));
        const bool posted = !r.value(Sel::Accounter).isNull();

        if (qty) {
            row[Col::Quantity] = sqlNumberText(*qty, QuanDec);
            sumQty += qty->round(QuanDec);
        }
        // Under planned and selling prices the cost shown is the actual one: the
        // amount with its differences over the quantity.
        if (planned) {
            if (qty && !qty->isZero())
                row[Col::UnitCost] =
                    sqlNumberText((inPrice.value_or(Decimal()) + debit - credit) / *qty, PriceDec);
        } else if (inCost) {
            row[Col::UnitCost] = sqlNumberText(*inCost, PriceDec);
        }
        if (inPrice) {
            const Decimal amount = (*inPrice + debit - credit).round(2);
            row[Col::Amount] = sqlNumberText(amount, 2);
            sumAmount += amount;
        }
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
            if (planAmount) {
                row[Col::PlanAmount] = sqlNumberText(*planAmount, 2);
                sumPlan += *planAmount;
            }
            anyPlanned = true;
        }

        const QDate vouDate = dateOf(r.value(Sel::VouDate));
        if (vouDate.isValid()) row[Col::VouDate] = vouDate.toString(QStringLiteral("yyyy/MM/dd"));
        row[Col::Batch] = textOf(r.value(Sel::Batch));
        row[Col::VenCode] = textOf(r.value(Sel::VenCode));
        row[Col::VenName] = textOf(r.value(Sel::VenName));
        row[Col::DepCode] = textOf(r.value(Sel::AccDep));
        row[Col::DepName] = textOf(r.value(Sel::DepName));
        row[Col::PersonCode] = textOf(r.value(Sel::PersonCode));
        row[Col::PersonName] = textOf(r.value(Sel::PersonName));
        row[Col::InvHead] = textOf(r.value(Sel::InvHead));
        row[Col::InvHeadName] = textOf(r.value(Sel::InvHeadName));
        row[Col::ItemClass] = textOf(r.value(Sel::ItemClass));
        row[Col::ItemClassName] = textOf(r.value(Sel::ItemClassName));
        row[Col::ItemCode] = textOf(r.value(Sel::ItemCode));
        row[Col::ItemName] = textOf(r.value(Sel::ItemName));
        for (int n = 1; n <= 16; ++n)
            row[Col::Define1 + n - 1] = cellText(r.value(Sel::Define1 + n - 1), definePattern(n));
        for (int n = 22; n <= 37; ++n)
            row[Col::Define22 + n - 22] = cellText(r.value(Sel::Define22 + n - 22), definePattern(n));
        row[Col::AutoId] = textOf(r.value(Sel::AutoId));
        rows << row;
    }
    if (perItem) CurWhValueStyle = lastMethod;

    m_grid.setDataRows(std::move(rows));
    if (m_grid.hasTotals()) {
        const int t = m_grid.totalsRow();
        m_grid.setText(t, Col::Quantity, sqlNumberText(sumQty, QuanDec));
        m_grid.setText(t, Col::Amount, sqlNumberText(sumAmount, 2));
        if (anyPlanned) m_grid.setText(t, Col::PlanAmount, sqlNumberText(sumPlan, 2));
    }
    m_label4 = sqlNumberText(sumQty, QuanDec) + u'\n' + sqlNumberText(sumAmount, 2);
    bDirty = false;
}

void OpeningEntry::recomputeTotals() {
    if (!m_grid.hasTotals()) {
        m_label4 = sqlNumberText(Decimal(), QuanDec) + u'\n' + sqlNumberText(Decimal(), 2);
        return;
    }
    Decimal qty, amount, plan;
    bool anyPlan = false;
    for (int r = 1; r <= m_grid.dataRowCount(); ++r) {
        qty += Decimal::fromText(StripThousandsSeparators(m_grid.text(r, Col::Quantity)));
        amount += Decimal::fromText(StripThousandsSeparators(m_grid.text(r, Col::Amount)));
        const QString p = m_grid.text(r, Col::PlanAmount).trimmed();
        if (!p.isEmpty()) {
            anyPlan = true;
            plan += Decimal::fromText(StripThousandsSeparators(p));
        }
    }
    const int t = m_grid.totalsRow();
    const QString q = sqlNumberText(qty, QuanDec), a = sqlNumberText(amount, 2);
    if (m_grid.text(t, Col::Quantity) != q) m_grid.setText(t, Col::Quantity, q);
    if (m_grid.text(t, Col::Amount) != a) m_grid.setText(t, Col::Amount, a);
    const QString p = anyPlan ? sqlNumberText(plan, 2) : QString();
    if (m_grid.text(t, Col::PlanAmount) != p) m_grid.setText(t, Col::PlanAmount, p);
    m_label4 = q + u'\n' + a;
}

bool OpeningEntry::Unload() {
    if (m_window.inEditMode()) return false;
    m_addTask.reset();
    closeContext(m_ctx);
    return true;
}

}  // namespace qc::opening
