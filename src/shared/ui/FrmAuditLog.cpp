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

QLineEdit* box(QWidget* parent, const QString& name, const QString& placeholder, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setPlaceholderText(placeholder);
    e->setFixedWidth(width);
    e->setAccessibleName(placeholder);
    return e;
}

}  // namespace

FrmAuditLog::FrmAuditLog(LoginContext& ctx, Pickers& pickers, TrailCaptions captions, QWidget* parent)
    : ResultWindow(ctx, pickers, auditColumns(), parent), m_captions(std::move(captions)) {
    const QString caption = QStringLiteral("操作日志");
    QList<ToolButton> buttons = queryButtons(QStringLiteral("按条件列出事件"));
    // 行历史 beside 查询.
    buttons.insert(4, {QStringLiteral("History"), QStringLiteral("行历史"),
                       QStringLiteral("列出选中事件所在行的全部事件"), QStringLiteral("Find")});
    sinceEdit = box(this, QStringLiteral("sinceEdit"), QStringLiteral("起始日期 yyyy-MM-dd"), 150);
    untilEdit = box(this, QStringLiteral("untilEdit"), QStringLiteral("截止日期 yyyy-MM-dd"), 150);
    operatorEdit = box(this, QStringLiteral("operatorEdit"), QStringLiteral("操作员"), 90);
    warehouseEdit = box(this, QStringLiteral("warehouseEdit"), QStringLiteral("仓库"), 70);
    itemEdit = box(this, QStringLiteral("itemEdit"), QStringLiteral("存货编码"), 100);
    rowIdEdit = box(this, QStringLiteral("rowIdEdit"), QStringLiteral("行号"), 80);
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
                                                      itemEdit, rowIdEdit, operationCombo})
        controls->addWidget(w);
    controls->addStretch(1);
    setUp(QStringLiteral("FrmAuditLog"), caption, caption, buttons,
          {QStringLiteral("Output"), QStringLiteral("seek")}, controls);
    setColumnWidthsOfColumns();

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
    if (const QString row = rowIdEdit->text().trimmed(); !row.isEmpty()) {
        bool ok = false;
        f.rowId = row.toLongLong(&ok);
        if (!ok || f.rowId <= 0) {
            sinkOf(m_ctx).exclamation(QStringLiteral("行号须为正整数：%1").arg(row));
            rowIdEdit->setFocus();
            return std::nullopt;
        }
    }
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

QString FrmAuditLog::asLines(const QString& json, bool dispatchedGoods) const {
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    QStringList lines;
    for (auto it = o.begin(); it != o.end(); ++it)
        lines << m_captions.of(dispatchedGoods, it.key()) + QStringLiteral("：") +
                     (it.value().isNull() ? QStringLiteral("（空）")
                                          : plainNumber(it.value().toVariant().toString()));
    return lines.join(u'\n');
}

void FrmAuditLog::showEvent(int row) {
    // The columns of auditColumns(): 业务类型 (6), 修改前 (9), 修改后 (10), 说明 (11),
    // 事件号 (12). An event with a business type is one of the dispatched goods.
    if (!model().isDataRow(row)) {
        beforeView->clear();
        afterView->clear();
        return;
    }
    const bool dispatchedGoods = !model().text(row, 6).isEmpty();
    QString before = asLines(model().text(row, 9), dispatchedGoods);
    if (model().text(row, 8).isEmpty()) {
        // A bulk operation: what it deleted, kept whole.
        try {
            before = keptRowsNote(m_ctx, model().text(row, 12).toLongLong());
        } catch (const DbError& e) {
            before = e.message();
        }
    }
    beforeView->setPlainText(before);
    const QString after = model().text(row, 10);
    afterView->setPlainText(after.isEmpty() ? asLines(model().text(row, 11), dispatchedGoods)
                                            : asLines(after, dispatchedGoods));
}

void FrmAuditLog::runCommand(const QString& key) {
    if (key == u"Print" || key == u"Preview" || key == u"Output") {
        outputCommand(key);
    } else if (key == u"seek") {
        query();
    } else if (key == u"History") {
        const int row = linesView->currentIndex().row();
        if (!model().isDataRow(row) || model().text(row, 8).isEmpty()) {
            sinkOf(m_ctx).exclamation(QStringLiteral("请先选中一个期初行或发出商品行的事件！"));
            return;
        }
        rowIdEdit->setText(model().text(row, 8));
        for (QLineEdit* e : {sinceEdit, untilEdit, operatorEdit, warehouseEdit, itemEdit}) e->clear();
        operationCombo->setCurrentIndex(0);
        query();
    } else if (key == u"Help") {
        showHelpPage(
            this, windowTitle(),
            QStringLiteral(
                "<h3>操作日志</h3><p>每一次期初数据的新增、修改、删除，取数、导入、发出商品取数与清空，"
                "期初记账与恢复，以及登录和被拒绝的权限，都记为一个事件，与改动同时提交，之后不能修改或删除。"
                "选中一行，下方并列显示修改前与修改后的值（批量操作显示其参数和行数）。</p>"
                "<ul><li>在上方填写日期、操作员、仓库、存货、行号或选择操作后按 Alt+Q 查询。</li>"
                "<li>选中一个行的事件按 Alt+L（行历史），列出这一行从新增到删除的全部事件。</li>"
                "<li>Alt+O 输出，Alt+E 退出，F1 帮助。</li></ul>"),
            m_ctx.gHelpFile);
    } else if (key == u"Exit") {
        close();
    }
}

void runAuditLog(LoginContext& ctx, Pickers& pickers, const TrailCaptions& captions, QWidget* parent) {
    if (!MayReadTrail(ctx)) return;
    FrmAuditLog window(ctx, pickers, captions, parent);
    window.exec();
}

}  // namespace qc
