#include "shared/ui/ConditionWidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc {

namespace {

// A dialog's buttons never take the focus from the boxes (leaving a box checks
// it); each is pressed by its key, which its tooltip names.
QPushButton* commandButton(QWidget* parent, const QString& name, const QString& caption,
                           const QKeySequence& key) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    b->setToolTip(caption + u'(' + key.toString(QKeySequence::PortableText) + u')');
    return b;
}

// The refused characters never get into a box, typed or pasted.
class RefusedCharsValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (ConditionFields::IsRefusedChar(c)) return Invalid;
        return Acceptable;
    }
};

}  // namespace

QLineEdit* ConditionWidgets::codeEdit(QWidget* parent, const QString& name, const QString& accessibleName) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setAccessibleName(accessibleName);
    return e;
}

QToolButton* ConditionWidgets::referenceButton(QWidget* parent, const QString& name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(QStringLiteral("…"));
    b->setToolTip(QStringLiteral("参照(F2)"));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLayout* ConditionWidgets::codeRow(QWidget* parent, const QString& labelName, const QString& caption,
                                   QLineEdit* edit, QToolButton* button) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(caption, parent);
    label->setObjectName(labelName);
    label->setBuddy(edit);
    row->addWidget(label);
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
}

QLayout* ConditionWidgets::codeRangeRow(QWidget* parent, const QString& labelName, const QString& caption,
                                        QLineEdit* fromEdit, QToolButton* fromButton, QLineEdit* toEdit,
                                        QToolButton* toButton) {
    auto* row = static_cast<QHBoxLayout*>(codeRow(parent, labelName, caption, fromEdit, fromButton));
    row->addWidget(new QLabel(QStringLiteral("至"), parent));
    row->addWidget(toEdit, 1);
    row->addWidget(toButton);
    return row;
}

ConditionWidgets::ConditionWidgets(ConditionFields& fields, QDialog* dialog)
    : QObject(dialog), m_fields(fields), m_dialog(dialog) {
    itemClassEdit = codeEdit(dialog, QStringLiteral("itemClassEdit"), QStringLiteral("存货分类"));
    itemClassButton = referenceButton(dialog, QStringLiteral("itemClassButton"));
    itemFromEdit = codeEdit(dialog, QStringLiteral("itemFromEdit"), QStringLiteral("存货名称 起"));
    itemFromButton = referenceButton(dialog, QStringLiteral("itemFromButton"));
    itemToEdit = codeEdit(dialog, QStringLiteral("itemToEdit"), QStringLiteral("存货名称 止"));
    itemToButton = referenceButton(dialog, QStringLiteral("itemToButton"));
    addCodeBox(
        itemClassEdit, itemClassButton, &m_fields.itemClass, [this] { m_fields.pickItemClass(); },
        [this] { return m_fields.leaveItemClass(); });
    addCodeBox(
        itemFromEdit, itemFromButton, &m_fields.itemFrom, [this] { m_fields.pickItemFrom(); },
        [this] { return m_fields.leaveItemFrom(); });
    addCodeBox(
        itemToEdit, itemToButton, &m_fields.itemTo, [this] { m_fields.pickItemTo(); },
        [this] { return m_fields.leaveItemTo(); });

    const ConditionOptions& o = m_fields.options();
    if (o.warehouses) {
        warehouseList = new QListWidget(dialog);
        warehouseList->setObjectName(QStringLiteral("warehouseList"));
        warehouseList->setAccessibleName(QStringLiteral("请选择仓库"));
        warehouseList->setSelectionMode(QAbstractItemView::MultiSelection);
        watchKeys(warehouseList);
        connect(warehouseList, &QListWidget::itemSelectionChanged, this,
                &ConditionWidgets::warehouseSelectionChanged);
        connect(warehouseList, &QListWidget::itemClicked, this, [this] { hideReferenceButtons(); });
        selectAllButton = commandButton(dialog, QStringLiteral("selectAllButton"), QStringLiteral("全选"),
                                        QKeySequence(Qt::ALT | Qt::Key_A));
        selectAllButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_A));
        clearSelectionButton = commandButton(dialog, QStringLiteral("clearSelectionButton"),
                                             QStringLiteral("全消"), QKeySequence(Qt::ALT | Qt::Key_N));
        clearSelectionButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_N));
        connect(selectAllButton, &QPushButton::clicked, this, [this] {
            m_fields.SelectAllWarehouses();
            fillWarehouses();
        });
        connect(clearSelectionButton, &QPushButton::clicked, this, [this] {
            m_fields.ClearWarehouses();
            fillWarehouses();
        });
    }
    if (o.grades) {
        gradeFromList = new QComboBox(dialog);
        gradeFromList->setObjectName(QStringLiteral("gradeFromList"));
        gradeToList = new QComboBox(dialog);
        gradeToList->setObjectName(QStringLiteral("gradeToList"));
        gradeFromList->setAccessibleName(QStringLiteral("存货级次 起"));
        gradeToList->setAccessibleName(QStringLiteral("存货级次 止"));
        for (QComboBox* c : {gradeFromList, gradeToList}) {
            watchKeys(c);
            c->installEventFilter(this);
        }
        connect(gradeFromList, &QComboBox::currentIndexChanged, this, [this](int i) {
            const int shown = m_fields.GradeFromChanged(i);
            if (shown != i) {
                const QSignalBlocker block(gradeFromList);
                gradeFromList->setCurrentIndex(shown);
            }
        });
        connect(gradeToList, &QComboBox::currentIndexChanged, this, [this](int i) {
            const int shown = m_fields.GradeToChanged(i);
            if (shown != i) {
                const QSignalBlocker block(gradeToList);
                gradeToList->setCurrentIndex(shown);
            }
        });
    }

    showButton = commandButton(dialog, QStringLiteral("showButton"), QStringLiteral("确定"),
                               QKeySequence(Qt::Key_Enter));
    showButton->setDefault(true);
    showButton->setIcon(dialog->style()->standardIcon(QStyle::SP_DialogOkButton));
    cancelButton = commandButton(dialog, QStringLiteral("cancelButton"), QStringLiteral("取消"),
                                 QKeySequence(Qt::Key_Escape));
    cancelButton->setIcon(dialog->style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);

    m_dialog->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &ConditionWidgets::focusMoved);
}

void ConditionWidgets::addCodeBox(QLineEdit* box, QToolButton* button, CodeBox* model,
                                  std::function<void()> reference, std::function<bool()> leave) {
    m_boxes << Box{box, button, model, std::move(reference), std::move(leave)};
    box->setValidator(new RefusedCharsValidator(box));
    watchKeys(box);
    connect(box, &QLineEdit::textEdited, this, [model](const QString& text) { model->text = text; });
    if (button) {
        button->hide();
        connect(button, &QToolButton::clicked, this, [this, box] {
            if (Box* b = boxOf(box)) runReference(*b);
        });
    }
}

void ConditionWidgets::watchKeys(QWidget* w) {
    w->installEventFilter(this);
}

void ConditionWidgets::load() {
    m_fields.Load();
    if (warehouseList) fillWarehouses();
    if (gradeFromList) fillGrades();
    hideReferenceButtons();
    showBoxes();
}

void ConditionWidgets::showBoxes() {
    for (Box& b : m_boxes)
        if (b.edit && b.edit->text() != b.model->text) b.edit->setText(b.model->text);
}

void ConditionWidgets::fillWarehouses() {
    const QSignalBlocker block(warehouseList);
    warehouseList->clear();
    for (const WarehouseEntry& e : m_fields.warehouses) {
        auto* item = new QListWidgetItem(e.text, warehouseList);
        item->setData(Qt::UserRole, e.code);
        item->setSelected(e.selected);
    }
}

void ConditionWidgets::warehouseSelectionChanged() {
    for (int i = 0; i < warehouseList->count() && i < m_fields.warehouses.size(); ++i)
        m_fields.warehouses[i].selected = warehouseList->item(i)->isSelected();
}

void ConditionWidgets::fillGrades() {
    for (QComboBox* c : {gradeFromList, gradeToList}) {
        const QSignalBlocker block(c);
        c->clear();
        c->addItems(m_fields.gradeItems);
        c->setCurrentIndex(0);
    }
    gradeFromList->setCurrentIndex(m_fields.invGradeFrom);
    gradeToList->setCurrentIndex(m_fields.invGradeTo);
}

ConditionWidgets::Box* ConditionWidgets::boxOf(const QObject* w) {
    for (Box& b : m_boxes)
        if (b.edit == w) return &b;
    return nullptr;
}

void ConditionWidgets::hideReferenceButtons() {
    for (Box& b : m_boxes)
        if (b.button) b.button->hide();
}

void ConditionWidgets::focusMoved(QWidget* from, QWidget* to) {
    if (!to || to->window() != m_dialog) return;
    if (Box* b = boxOf(to)) {
        hideReferenceButtons();
        if (b->button) b->button->show();
    }
    if (m_validating) return;
    // Validate the box the user left once the event that moved the focus is done;
    // a refusal puts the focus back into it.
    if (Box* b = boxOf(from)) {
        QPointer<QLineEdit> edit = b->edit;
        QTimer::singleShot(0, this, [this, edit] {
            if (!edit) return;
            if (Box* left = boxOf(edit)) validate(*left);
        });
    }
}

bool ConditionWidgets::validate(Box& b) {
    if (m_validating) return true;
    m_validating = true;
    b.model->text = b.edit->text();
    const bool ok = b.leave();
    showBoxes();
    if (!ok) b.edit->setFocus();
    m_validating = false;
    return ok;
}

void ConditionWidgets::runReference(Box& b) {
    b.model->text = b.edit->text();
    const CodeBox before = *b.model;
    b.reference();
    showBoxes();
    b.edit->setFocus();
    if (b.model->text != before.text || b.model->tag != before.tag) Q_EMIT picked(b.edit);
}

bool ConditionWidgets::readyToDisplay() {
    if (Box* b = boxOf(QApplication::focusWidget())) {
        if (!validate(*b)) return false;
    }
    if (!m_fields.CheckWarehouseChosen()) {
        if (warehouseList) warehouseList->setFocus();
        return false;
    }
    return true;
}

bool ConditionWidgets::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && ConditionFields::IsRefusedChar(text.at(0))) {
            QApplication::beep();
            return true;
        }
    } else if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && !key->isAutoRepeat()) {
            if (Box* b = boxOf(watched)) {
                runReference(*b);
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusIn && (watched == gradeFromList || watched == gradeToList)) {
        hideReferenceButtons();
    }
    return QObject::eventFilter(watched, event);
}

QLayout* ConditionWidgets::classRow() {
    return codeRow(m_dialog, QStringLiteral("itemClassLabel"), QStringLiteral("存货分类："), itemClassEdit,
                   itemClassButton);
}

QLayout* ConditionWidgets::rangeRow() {
    return codeRangeRow(m_dialog, QStringLiteral("inventoryLabel"), QStringLiteral("存货名称："),
                        itemFromEdit, itemFromButton, itemToEdit, itemToButton);
}

QGroupBox* ConditionWidgets::warehouseFrame() {
    auto* frame = new QGroupBox(QStringLiteral("请选择仓库"), m_dialog);
    frame->setObjectName(QStringLiteral("frame1"));
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(warehouseList, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(selectAllButton);
    buttons->addWidget(clearSelectionButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return frame;
}

QLayout* ConditionWidgets::gradeRow() {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("存货级次："), m_dialog);
    label->setObjectName(QStringLiteral("gradeLabel"));
    label->setBuddy(gradeFromList);
    row->addWidget(label);
    row->addWidget(gradeFromList, 1);
    row->addWidget(new QLabel(QStringLiteral("至"), m_dialog));
    row->addWidget(gradeToList, 1);
    return row;
}

QLayout* ConditionWidgets::buttonRow() {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(showButton);
    row->addWidget(cancelButton);
    return row;
}

}  // namespace qc
