#include "shared/ui/FrmAuditLog.h"

#include "host/AuditTrail.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/HelpPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>

namespace qc {

namespace {

// A number as the database wrote it ("41.0000000000") without its trailing zeros.
QString plainNumber(QString text) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+\\.[0-9]+$"));
    if (!number.match(text).hasMatch()) return text;
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
    return text;
}

// A before or after value of the trail as lines "column: value", one per column.
QString asLines(const QString& json) {
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    QStringList lines;
    for (auto it = o.begin(); it != o.end(); ++it)
        lines << it.key() + QStringLiteral("：") +
                     (it.value().isNull() ? QStringLiteral("（空）")
                                          : plainNumber(it.value().toVariant().toString()));
    return lines.join(u'\n');
}

QLineEdit* box(QWidget* parent, const QString& name, const QString& placeholder, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setPlaceholderText(placeholder);
    e->setFixedWidth(width);
    e->setAccessibleName(placeholder);
    return e;
}

}  // namespace

FrmAuditLog::FrmAuditLog(LoginContext& ctx, Pickers& pickers, QWidget* parent)
    : ResultWindow(ctx, pickers, auditColumns(), parent) {
    const QString caption = QStringLiteral("操作日志");
    const QList<ToolButton> buttons = queryButtons(QStringLiteral("按条件列出事件"));
    sinceEdit = box(this, QStringLiteral("sinceEdit"), QStringLiteral("起始日期 yyyy-MM-dd"), 150);
    untilEdit = box(this, QStringLiteral("untilEdit"), QStringLiteral("截止日期 yyyy-MM-dd"), 150);
    operatorEdit = box(this, QStringLiteral("operatorEdit"), QStringLiteral("操作员"), 90);
    warehouseEdit = box(this, QStringLiteral("warehouseEdit"), QStringLiteral("仓库"), 70);
    itemEdit = box(this, QStringLiteral("itemEdit"), QStringLiteral("存货编码"), 100);
    operationCombo = new QComboBox(this);
    operationCombo->setObjectName(QStringLiteral("operationCombo"));
    operationCombo->setAccessibleName(QStringLiteral("操作"));
    operationCombo->addItem(QStringLiteral("（全部操作）"));
    for (const QString& op :
         {audit::kInsertRow, audit::kChangeRow, audit::kDeleteRow, audit::kChangeDispatched,
          audit::kFetchStock, audit::kImport, audit::kFetchDispatched, audit::kClearDispatched, audit::kPost,
          audit::kCancelPost, audit::kLogin, audit::kLoginFailed, audit::kRefused})
        operationCombo->addItem(op);
    auto* controls = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{sinceEdit, untilEdit, operatorEdit, warehouseEdit,
                                                      itemEdit, operationCombo})
        controls->addWidget(w);
    controls->addStretch(1);
    setUp(QStringLiteral("FrmAuditLog"), caption, caption, buttons,
          {QStringLiteral("Output"), QStringLiteral("seek")}, controls);
    setColumnWidths(1400);

    // The chosen event's values before and after, side by side.
    beforeView = new QPlainTextEdit(this);
    afterView = new QPlainTextEdit(this);
    auto* history = new QGridLayout;
    history->setContentsMargins(10, 0, 10, 10);
    int column = 0;
    for (const auto& [view, name, label] :
         {std::tuple{beforeView, "beforeView", "修改前"}, std::tuple{afterView, "afterView", "修改后"}}) {
        view->setObjectName(QString::fromLatin1(name));
        view->setReadOnly(true);
        view->setAccessibleName(QString::fromUtf8(label));
        view->setMaximumHeight(140);
        auto* heading = new QLabel(QString::fromUtf8(label), this);
        heading->setBuddy(view);
        history->addWidget(heading, 0, column);
        history->addWidget(view, 1, column);
        ++column;
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(history);
    connect(linesView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showEvent(current.row()); });
    resize(1200, 640);
    query();
}

std::optional<AuditFilter> FrmAuditLog::filter() {
    AuditFilter f;
    for (const auto& [edit, date] : {std::pair{sinceEdit, &f.since}, std::pair{untilEdit, &f.until}}) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty()) continue;
        *date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!date->isValid()) {
            sinkOf(m_ctx).exclamation(QStringLiteral("日期须为 yyyy-MM-dd 格式：%1").arg(text));
            edit->setFocus();
            return std::nullopt;
        }
    }
    f.operatorId = operatorEdit->text().trimmed();
    f.warehouse = warehouseEdit->text().trimmed();
    f.item = itemEdit->text().trimmed();
    if (operationCombo->currentIndex() > 0) f.operation = operationCombo->currentText();
    return f;
}

void FrmAuditLog::query() {
    const std::optional<AuditFilter> f = filter();
    if (!f) return;
    try {
        model().setDataRows(auditRows(m_ctx, *f));
    } catch (const DbError& e) {
        sinkOf(m_ctx).critical(e.message());
        return;
    }
    showEvent(-1);
    if (model().dataRowCount() > 0) linesView->selectRow(model().dataRowCount() - 1);
}

void FrmAuditLog::showEvent(int row) {
    const bool event = model().isDataRow(row);
    // The columns of auditColumns(): 修改前 (9), 修改后 (10), 说明 (11).
    beforeView->setPlainText(event ? asLines(model().text(row, 9)) : QString());
    const QString after = event ? model().text(row, 10) : QString();
    afterView->setPlainText(event ? asLines(after.isEmpty() ? model().text(row, 11) : after) : QString());
}

void FrmAuditLog::runCommand(const QString& key) {
    if (key == u"Print" || key == u"Preview" || key == u"Output") {
        outputCommand(key);
    } else if (key == u"seek") {
        query();
    } else if (key == u"Help") {
        showHelpPage(
            this, windowTitle(),
            QStringLiteral(
                "<h3>操作日志</h3><p>每一次期初数据的新增、修改、删除，取数、导入、发出商品取数与清空，"
                "期初记账与恢复，以及登录和被拒绝的权限，都记为一个事件，与改动同时提交，之后不能修改或删除。"
                "选中一行，下方并列显示修改前与修改后的值（批量操作显示其参数和行数）。</p>"
                "<ul><li>在上方填写日期、操作员、仓库、存货或选择操作后按 Alt+Q 查询。</li>"
                "<li>Alt+O 输出，Alt+E 退出，F1 帮助。</li></ul>"),
            m_ctx.gHelpFile);
    } else if (key == u"Exit") {
        close();
    }
}

void runAuditLog(LoginContext& ctx, Pickers& pickers, QWidget* parent) {
    if (!MayReadTrail(ctx)) return;
    FrmAuditLog window(ctx, pickers, parent);
    window.exec();
}

}  // namespace qc
