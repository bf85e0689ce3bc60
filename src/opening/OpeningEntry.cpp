// The opening entry window's state: its parameters, the column set-up, the
// toolbar and the warehouse list.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"

#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/Posting.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kMethodCaption = QStringLiteral("计价方式：");

QDate paramDate(const QString& text) {
    return dateOf(QVariant(text));
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
    m_valuationLabel = kMethodCaption;
    CurrentWhCode.clear();

    bPosted = IAStartDate.isValid() && m_ctx.gAccPara->IsPosted(QStringLiteral("IA"));
    m_stStarted =
        paramDate(ReadAccValue(m_ctx, QStringLiteral("ST"), QStringLiteral("dSTStartDate"))).isValid();
    m_samePeriod = m_stStarted && m_ctx.gAccPara->CurrentPeriod(QStringLiteral("ST")) ==
                                      m_ctx.gAccPara->CurrentPeriod(QString());
    m_iaStartYear = IsIaStartYear(m_ctx);

    bDirty = false;
    m_periodBegin = m_periodEnd = QDate();
    if (IAStartDate.isValid()) {
        if (const std::optional<PeriodDates> period = LoginPeriod(m_ctx, IAStartDate.month())) {
            m_periodBegin = period->begin;
            m_periodEnd = period->end;
        }
    }

    m_canAdd = m_ctx.gLogin && m_ctx.gLogin->TaskExec(task::kAddOpenings, 1);
    applyCommandRules();
    updateReadOnly();
    m_grid.clear();
}

void OpeningEntry::setUpColumns() {
    // User-defined items take their captions and lengths from UserDef; an item
    // without a caption stays hidden.
    QStringList ids;
    for (const grid::ColumnSpec& column : openingColumns())
        if (!column.userDefId.isEmpty()) ids << column.userDefId;
    const QHash<QString, UserDefItem> items = UserDefItems(m_ctx, ids);
    for (int c = 0; c < Col::Count; ++c) {
        const grid::ColumnSpec& column = openingColumns().at(c);
        m_widths[c] = column.width;
        if (column.userDefId.isEmpty()) continue;
        const UserDefItem item = items.value(column.userDefId);
        m_grid.setCaption(c, item.caption);
        m_widths[c] = item.caption.isEmpty() ? 0 : 1000;
        m_maxLength[c] = item.length;
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
        {"Print", "打印", "打印"},
        {"Preview", "预览", "打印预览"},
        {"OutPut", "输出", "数据输出"},
        {"Add", "增加", "增加(Ctrl+A)"},
        {"Delete", "删除", "删除(Ctrl+D)"},
        {"Save", "保存", "保存"},
        {"Query", "查询", "查询"},
        {"Select", "选择", "选择"},
        {"Getcount", "取数", "取数"},
        {"Import", "导入", "从 XLSX 或 CSV 文件导入期初"},
        {"Template", "模板", "输出导入模板"},
        {"Sum", "汇总", "汇总"},
        {"Compare", "对账", "对账"},
        {"Find", "定位", "定位(Ctrl+F)"},
        {"Keep", "记账", "记账"},
        {"Order", "升序", "按升序排序"},
        {"ROrder", "降序", "按降序排序"},
        {"Help", "帮助", "帮助(F1)"},
        {"Exit", "退出", "退出"},
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

// The one place that decides which buttons may be used.
void OpeningEntry::applyCommandRules() {
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
        else if (b.key == u"Import")
            rule = !bPosted && m_editRight && m_canAdd;
        b.enabled = rule;
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
    return m_valuationLabel == kMethodCaption + costing::kSelling ||
           m_valuationLabel == kMethodCaption + costing::kPlanned;
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
        m_valuationLabel = kMethodCaption;
    else if (m_ctx.gValueStyle == basis::kByInventory)
        m_valuationLabel.clear();
    else
        m_valuationLabel = kMethodCaption + m_ctx.gAccPara->WarehouseValueStyle(code);
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
    const QString pattern = containsPattern(m_classCode);
    q.list = SqlFragment{
        QStringLiteral("SELECT * FROM InventoryClass WHERE (cInvCCode LIKE ?%1 OR cInvCName LIKE ?%1) "
                       "ORDER BY cInvCCode")
            .arg(Dialect::likeEscape()),
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

bool OpeningEntry::Unload() {
    if (m_window.inEditMode()) return false;
    m_addTask.reset();
    closeContext(m_ctx);
    return true;
}

}  // namespace qc::opening
