#include "host/ui/SelectionDialog.h"

#include "host/ui/ReferenceDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace qc {

SelectionDialog::SelectionDialog(Database& db, const SqlFragment& condition, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("选择存货"));
    resize(680, 480);

    SqlFragment query{QStringLiteral("SELECT cInvCode, cInvName, cInvStd, cInvCCode FROM Inventory"), {}};
    if (!condition.isEmpty()) {
        query.sql += QStringLiteral(" WHERE ") + condition.sql;
        query.binds = condition.binds;
    }
    query.sql += QStringLiteral(" ORDER BY cInvCode");

    m_model = new QueryRowsModel(this);
    m_model->setCaptions({QStringLiteral("存货编码"), QStringLiteral("存货名称"), QStringLiteral("规格型号"),
                          QStringLiteral("分类编码")});
    m_model->setCheckable(true);
    m_model->load(db, query);
    m_filter = new RowsFilter(this);
    m_filter->setSourceModel(m_model);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("searchEdit"));
    m_search->setPlaceholderText(QStringLiteral("输入编码或名称查找"));
    connect(m_search, &QLineEdit::textChanged, m_filter, &RowsFilter::setSearch);

    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("selectionList"));
    m_list->setModel(m_filter);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    // A double click toggles the check mark of a row.
    connect(m_list, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        const int row = m_filter->mapToSource(i).row();
        m_model->setChecked(row, !m_model->isChecked(row));
    });

    auto* all = new QPushButton(QStringLiteral("全选"), this);
    all->setObjectName(QStringLiteral("selectAllButton"));
    auto* none = new QPushButton(QStringLiteral("全消"), this);
    none->setObjectName(QStringLiteral("clearSelectionButton"));
    all->setAutoDefault(false);
    none->setAutoDefault(false);
    connect(all, &QPushButton::clicked, this, [this] { checkShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { checkShown(false); });

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查找："), this));
    top->addWidget(m_search, 1);
    top->addWidget(all);
    top->addWidget(none);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SelectionDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    m_search->setFocus();
}

void SelectionDialog::checkShown(bool on) {
    const int rows = m_filter->rowCount();
    if (rows == m_model->rowCount()) {
        m_model->setAllChecked(on);
        return;
    }
    for (int r = 0; r < rows; ++r)
        m_model->setChecked(m_filter->mapToSource(m_filter->index(r, 0)).row(), on);
}

void SelectionDialog::accept() {
    // Rows checked, or else the rows selected in the list.
    QList<PickedRow> rows;
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->isChecked(r)) rows << m_model->pickedRow(r);
    if (rows.isEmpty()) {
        QList<int> selected;
        for (const QModelIndex& i : m_list->selectionModel()->selectedRows())
            selected << m_filter->mapToSource(i).row();
        std::sort(selected.begin(), selected.end());
        for (int r : selected) rows << m_model->pickedRow(r);
    }
    m_chosen = rows;
    QDialog::accept();
}

}  // namespace qc
