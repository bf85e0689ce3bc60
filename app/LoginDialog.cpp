#include "LoginDialog.h"

#include "Banner.h"
#include "platform/ui/MessageBoxSink.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc {

LoginDialog::LoginDialog(MessageSink* sink, QWidget* parent) : QDialog(parent) {
    if (sink) {
        m_sink = sink;
    } else {
        m_ownSink = std::make_unique<MessageBoxSink>(this);
        m_sink = m_ownSink.get();
    }
    setWindowTitle(QStringLiteral("登录 — QCInput 存货核算"));
    setObjectName(QStringLiteral("frmLogin"));

    m_database = new QLineEdit(this);
    m_database->setObjectName(QStringLiteral("databaseEdit"));
    m_database->setPlaceholderText(QStringLiteral("SQLite 文件或 postgresql://…"));
    m_database->setToolTip(QStringLiteral("账套数据库：SQLite 文件路径，或 PostgreSQL 连接串"));
    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    m_browse->setText(QStringLiteral("…"));
    m_browse->setToolTip(QStringLiteral("选择数据库文件(Alt+B)"));
    m_browse->setAccessibleName(QStringLiteral("选择数据库文件"));
    m_browse->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
    m_browse->setFocusPolicy(Qt::StrongFocus);
    auto* dbRow = new QHBoxLayout;
    dbRow->setSpacing(4);
    dbRow->addWidget(m_database, 1);
    dbRow->addWidget(m_browse);

    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("accountCombo"));
    m_account->setEditable(true);
    m_account->setInsertPolicy(QComboBox::NoInsert);
    m_account->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_year = new QSpinBox(this);
    m_year->setObjectName(QStringLiteral("yearEdit"));
    m_year->setRange(1900, 9999);
    m_year->setGroupSeparatorShown(false);
    m_year->setValue(QDate::currentDate().year());
    m_year->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_year->setFixedWidth(140);

    m_operator = new QLineEdit(this);
    m_operator->setObjectName(QStringLiteral("operatorEdit"));
    m_operator->setMaxLength(20);

    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);

    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("loginDateEdit"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setDate(QDate::currentDate());
    m_date->setFixedWidth(140);

    for (QWidget* w : {static_cast<QWidget*>(m_database), static_cast<QWidget*>(m_account),
                       static_cast<QWidget*>(m_year), static_cast<QWidget*>(m_operator),
                       static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_date)}) {
        w->setMinimumHeight(26);
        w->installEventFilter(this);
    }
    if (m_account->lineEdit()) m_account->lineEdit()->installEventFilter(this);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(9);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    // Each field is reached by its label's Alt+letter and named by the label for
    // assistive technology (the database label too, whose field shares a row with
    // the browse button).
    const auto addField = [this, form](const QString& caption, const QString& name, QWidget* field,
                                       QLayout* row) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(name);
        if (row)
            form->addRow(label, row);
        else
            form->addRow(label, field);
    };
    addField(QStringLiteral("数据库(&D)："), QStringLiteral("数据库"), m_database, dbRow);
    addField(QStringLiteral("账　套(&A)："), QStringLiteral("账套"), m_account, nullptr);
    addField(QStringLiteral("年　度(&Y)："), QStringLiteral("年度"), m_year, nullptr);
    addField(QStringLiteral("操作员(&U)："), QStringLiteral("操作员"), m_operator, nullptr);
    addField(QStringLiteral("密　码(&P)："), QStringLiteral("密码"), m_password, nullptr);
    addField(QStringLiteral("登录日期(&T)："), QStringLiteral("登录日期"), m_date, nullptr);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setWordWrap(true);
    m_hint->setStyleSheet(QStringLiteral("color: #b3261e;"));
    m_hint->hide();

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    // Enter is handled field by field (eventFilter), not by a default button.
    for (QPushButton* b : {m_ok, m_cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumSize(84, 28);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(28, 20, 28, 18);
    body->setSpacing(12);
    body->addLayout(form);
    body->addWidget(m_hint);
    body->addSpacing(4);
    body->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(
        new Banner(QStringLiteral("QCInput 存货核算"), QStringLiteral("期初余额 · 用户登录"), this));
    outer->addLayout(body);
    setMinimumWidth(500);

    connect(m_database, &QLineEdit::editingFinished, this, [this] {
        if (m_database->text().trimmed() != m_form.loadedConnection()) reloadDatabase();
    });
    connect(m_browse, &QToolButton::clicked, this, &LoginDialog::browseDatabase);
    connect(m_account, &QComboBox::currentIndexChanged, this, [this](int) { accountChosen(); });
    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::tryLogin);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_database, m_browse);
    setTabOrder(m_browse, m_account);
    setConnectionString(LoginForm::defaultConnection());
}

LoginDialog::~LoginDialog() {
    // QDialog's destructor hides the dialog after this class's members are gone:
    // the box that loses the focus then must not reach the form any more (a
    // database typed and the dialog closed would read accounts into a destroyed
    // form).
    m_database->disconnect(this);
    m_account->disconnect(this);
}

void LoginDialog::setConnectionString(const QString& connectionString) {
    m_database->setText(connectionString);
    reloadDatabase();
    focusFirstEmptyField();
}

void LoginDialog::setOperator(const QString& userId) {
    m_operator->setText(userId);
    focusFirstEmptyField();
}

void LoginDialog::focusFirstEmptyField() {
    if (m_form.accounts().isEmpty())
        focusField(LoginForm::Field::Database);
    else if (m_operator->text().trimmed().isEmpty())
        focusField(LoginForm::Field::Operator);
    else
        focusField(LoginForm::Field::Password);
}

void LoginDialog::setPassword(const QString& password) {
    m_password->setText(password);
}

void LoginDialog::reloadDatabase() {
    QString error;
    const bool ok = m_form.loadDatabase(m_database->text(), &error);
    const QString typed = m_account->currentText();
    {
        const QSignalBlocker block(m_account);
        m_account->clear();
        for (const AccountChoice& a : m_form.accounts()) m_account->addItem(a.display(), a.id);
    }
    if (ok && !m_form.accounts().isEmpty()) {
        m_account->setCurrentIndex(0);
        accountChosen();
    } else {
        m_account->setEditText(typed);
    }
    m_date->setDate(m_form.defaultLoginDate());
    m_hint->setText(error);
    m_hint->setVisible(!ok && !m_database->text().trimmed().isEmpty());
}

void LoginDialog::accountChosen() {
    const AccountChoice* a = m_form.account(LoginForm::accountIdOf(m_account->currentText()));
    if (a && !a->years.isEmpty()) m_year->setValue(a->years.last());
}

void LoginDialog::browseDatabase() {
    const QString start = QFileInfo(m_database->text().trimmed()).absolutePath();
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择账套数据库"), start,
                                     QStringLiteral("账套数据库 (*.db *.sqlite);;所有文件 (*)"));
    if (file.isEmpty()) return;
    setConnectionString(file);
}

LoginRequest LoginDialog::request() const {
    LoginRequest r;
    r.connectionString = m_database->text().trimmed();
    r.accountId = LoginForm::accountIdOf(m_account->currentText());
    r.accountYear = m_year->value();
    r.userId = m_operator->text().trimmed();
    r.password = m_password->text();
    r.loginDate = m_date->date();
    return r;
}

void LoginDialog::tryLogin() {
    // A database typed but not yet read (Enter pressed in another field first).
    if (m_database->text().trimmed() != m_form.loadedConnection()) reloadDatabase();
    QString message;
    LoginForm::Field field = LoginForm::Field::Password;
    m_login = m_form.login(request(), &message, &field);
    if (!m_login) {
        m_sink->exclamation(message);
        focusField(field);
        return;
    }
    accept();
}

void LoginDialog::focusField(LoginForm::Field field) {
    switch (field) {
        case LoginForm::Field::Database:
            m_database->setFocus();
            m_database->selectAll();
            break;
        case LoginForm::Field::Account:
            m_account->setFocus();
            break;
        case LoginForm::Field::Year:
            m_year->setFocus();
            m_year->selectAll();
            break;
        case LoginForm::Field::Operator:
            m_operator->setFocus();
            m_operator->selectAll();
            break;
        case LoginForm::Field::Password:
            m_password->setFocus();
            m_password->selectAll();
            break;
        case LoginForm::Field::LoginDate:
            m_date->setFocus();
            break;
    }
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QDialog::eventFilter(watched, event);
    if (key->modifiers() & ~Qt::KeypadModifier) return QDialog::eventFilter(watched, event);
    if (watched == m_password || watched == m_date) {
        tryLogin();
        return true;
    }
    if (watched == m_database) {
        if (m_database->text().trimmed() != m_form.loadedConnection()) reloadDatabase();
        m_account->setFocus();
        return true;
    }
    if (watched == m_account || watched == m_account->lineEdit()) {
        accountChosen();
        m_year->setFocus();
        m_year->selectAll();
        return true;
    }
    if (watched == m_year) {
        m_operator->setFocus();
        m_operator->selectAll();
        return true;
    }
    if (watched == m_operator) {
        m_password->setFocus();
        m_password->selectAll();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace qc
