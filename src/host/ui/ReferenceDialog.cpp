#include "host/ui/ReferenceDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace qc {

// ---- QueryRowsModel

void QueryRowsModel::load(Database& db, const SqlFragment& query) {
    QSqlQuery q = db.exec(query);
    beginResetModel();
    m_fields.clear();
    m_rows.clear();
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i) m_fields << rec.fieldName(i).toLower();
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i) row << q.value(i);
        m_rows << row;
    }
    m_checked = QList<bool>(m_rows.size(), false);
    endResetModel();
}

int QueryRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int QueryRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QVariant QueryRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return textOf(m_rows.at(index.row()).at(index.column()));
    if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
        return m_checked.at(index.row()) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool QueryRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || !m_checkable || index.column() != 0) return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags QueryRowsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkable && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant QueryRowsModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return section + 1;
    if (section < m_captions.size()) return m_captions.at(section);
    return m_fields.value(section);
}

int QueryRowsModel::fieldIndex(const QString& name) const {
    return static_cast<int>(m_fields.indexOf(name.trimmed().toLower()));
}

PickedRow QueryRowsModel::pickedRow(int row) const {
    PickedRow out;
    for (int i = 0; i < m_fields.size(); ++i) out.insert(m_fields.at(i), m_rows.at(row).at(i));
    return out;
}

void QueryRowsModel::setChecked(int row, bool on) {
    if (row < 0 || row >= m_checked.size() || m_checked.at(row) == on) return;
    m_checked[row] = on;
    const QModelIndex i = index(row, 0);
    Q_EMIT dataChanged(i, i, {Qt::CheckStateRole});
}

void QueryRowsModel::setAllChecked(bool on) {
    if (m_rows.isEmpty()) return;
    m_checked.fill(on);
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

// ---- RowsFilter

void RowsFilter::setSearch(const QString& text) {
    m_search = text.trimmed();
    invalidateFilter();
}

void RowsFilter::setClassFilter(int column, const QString& classCode) {
    m_classColumn = column;
    m_classCode = classCode;
    invalidateFilter();
}

bool RowsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QAbstractItemModel* m = sourceModel();
    if (m_classColumn >= 0 && !m_classCode.isEmpty()) {
        const QString cls = m->index(sourceRow, m_classColumn, sourceParent).data().toString();
        if (!cls.startsWith(m_classCode)) return false;
    }
    if (m_search.isEmpty()) return true;
    const int columns = m_searchColumns < 0 ? m->columnCount(sourceParent)
                                            : std::min(m_searchColumns, m->columnCount(sourceParent));
    for (int c = 0; c < columns; ++c) {
        if (m->index(sourceRow, c, sourceParent).data().toString().contains(m_search, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// ---- ReferenceDialog

ReferenceDialog::ReferenceDialog(Database& db, const ReferenceQuery& query, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(query.title.isEmpty() ? QStringLiteral("参照") : query.title + QStringLiteral(" 参照"));
    resize(680, 440);

    m_model = new QueryRowsModel(this);
    m_model->setCaptions(query.captions);
    m_model->load(db, query.list);
    m_filter = new RowsFilter(this);
    m_filter->setSourceModel(m_model);
    if (!query.captions.isEmpty()) m_filter->setSearchColumns(static_cast<int>(query.captions.size()));

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("searchEdit"));
    m_search->setPlaceholderText(QStringLiteral("输入编码或名称查找"));
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, &ReferenceDialog::searchChanged);

    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("referenceList"));
    m_list->setModel(m_filter);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_list->setColumnHidden(c, !query.captions.isEmpty() && c >= query.captions.size());
    connect(m_list, &QTableView::doubleClicked, this, [this] { accept(); });

    auto* found = new QLabel(this);
    auto showCount = [this, found] { found->setText(QStringLiteral("共 %1 条").arg(visibleRows())); };
    connect(m_filter, &QAbstractItemModel::rowsInserted, found, showCount);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, found, showCount);
    connect(m_filter, &QAbstractItemModel::modelReset, found, showCount);
    connect(m_filter, &QAbstractItemModel::layoutChanged, found, showCount);
    showCount();

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查找："), this));
    top->addWidget(m_search, 1);
    top->addWidget(found);

    QWidget* body = m_list;
    if (!query.classTree.isEmpty()) {
        auto* split = new QSplitter(this);
        m_tree = new QTreeWidget(split);
        m_tree->setObjectName(QStringLiteral("treeClass"));
        m_tree->setHeaderHidden(true);
        fillTree(db, query.classTree);
        split->addWidget(m_tree);
        split->addWidget(m_list);
        split->setStretchFactor(1, 3);
        body = split;
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setFocusPolicy(Qt::NoFocus);
    for (QAbstractButton* b : buttons->buttons()) b->setFocusPolicy(Qt::NoFocus);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReferenceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReferenceDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(body, 1);
    layout->addWidget(buttons);

    if (m_filter->rowCount() > 0) m_list->setCurrentIndex(m_filter->index(0, 0));
    m_search->setFocus();
}

void ReferenceDialog::fillTree(Database& db, const SqlFragment& treeQuery) {
    QSqlQuery q = db.exec(treeQuery);
    const QString classField = q.record().fieldName(0);
    m_classColumn = m_model->fieldIndex(classField);

    auto* all = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("全部")});
    all->setData(0, Qt::UserRole, QString());
    // Class codes are hierarchical: a class hangs under the nearest class whose
    // code begins its own; the rows come in code order, so parents come first.
    QList<QTreeWidgetItem*> path;
    while (q.next()) {
        const QString code = textOf(q.value(0));
        while (!path.isEmpty() && !code.startsWith(path.last()->data(0, Qt::UserRole).toString()))
            path.removeLast();
        QTreeWidgetItem* parent = path.isEmpty() ? all : path.last();
        auto* item =
            new QTreeWidgetItem(parent, QStringList{code + QStringLiteral(" ") + textOf(q.value(1))});
        item->setData(0, Qt::UserRole, code);
        path << item;
    }
    all->setExpanded(true);
    m_tree->setCurrentItem(all);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { classChosen(item); });
}

void ReferenceDialog::classChosen(QTreeWidgetItem* item) {
    m_filter->setClassFilter(m_classColumn, item ? item->data(0, Qt::UserRole).toString() : QString());
    if (m_filter->rowCount() > 0) m_list->setCurrentIndex(m_filter->index(0, 0));
}

void ReferenceDialog::searchChanged(const QString& text) {
    m_filter->setSearch(text);
    if (m_filter->rowCount() > 0) m_list->setCurrentIndex(m_filter->index(0, 0));
}

int ReferenceDialog::visibleRows() const {
    return m_filter->rowCount();
}

bool ReferenceDialog::eventFilter(QObject* watched, QEvent* event) {
    // Arrow and page keys in the search box move through the list, so the user
    // never has to leave the keyboard.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                const int rows = m_filter->rowCount();
                if (rows == 0) return true;
                int row = m_list->currentIndex().isValid() ? m_list->currentIndex().row() : 0;
                const int page = std::max(
                    1, m_list->viewport()->height() / m_list->verticalHeader()->defaultSectionSize());
                if (key->key() == Qt::Key_Up) row -= 1;
                if (key->key() == Qt::Key_Down) row += 1;
                if (key->key() == Qt::Key_PageUp) row -= page;
                if (key->key() == Qt::Key_PageDown) row += page;
                row = std::clamp(row, 0, rows - 1);
                m_list->setCurrentIndex(m_filter->index(row, 0));
                m_list->scrollTo(m_list->currentIndex());
                return true;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ReferenceDialog::accept() {
    QModelIndex current = m_list->currentIndex();
    if (!current.isValid() && m_filter->rowCount() > 0) current = m_filter->index(0, 0);
    if (!current.isValid()) return;  // nothing to pick
    m_picked = m_model->pickedRow(m_filter->mapToSource(current).row());
    QDialog::accept();
}

}  // namespace qc
