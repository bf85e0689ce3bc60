#pragma once

#include "LoginForm.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace qc {

class MessageSink;
class MessageBoxSink;

// The login of the host shell: database, account, year, operator, password and
// login date. It only shows and forwards; LoginForm holds the rules. Enter moves
// to the next field and, in the password or the date, logs in; Esc cancels.
// A refused login stays open with the password selected.
class LoginDialog : public QDialog {
    Q_OBJECT

  public:
    // sink: where refusals go; null shows message boxes over the dialog.
    explicit LoginDialog(MessageSink* sink = nullptr, QWidget* parent = nullptr);
    ~LoginDialog() override;

    // Puts a database in the first field and reads its accounts. The focus then
    // starts where typing is still needed (see focusFirstEmptyField).
    void setConnectionString(const QString& connectionString);
    void setOperator(const QString& userId);
    void setPassword(const QString& password);

    // The login object after an accepted dialog (once).
    std::unique_ptr<VqLogin> takeLogin() { return std::move(m_login); }
    [[nodiscard]] LoginRequest request() const;
    [[nodiscard]] const LoginForm& form() const { return m_form; }

    // Tries to log in with what the fields hold; accepts the dialog on success.
    void tryLogin();

    QLineEdit* databaseEdit() const { return m_database; }
    QComboBox* accountCombo() const { return m_account; }
    QSpinBox* yearEdit() const { return m_year; }
    QLineEdit* operatorEdit() const { return m_operator; }
    QLineEdit* passwordEdit() const { return m_password; }
    QDateEdit* loginDateEdit() const { return m_date; }
    QToolButton* browseButton() const { return m_browse; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void reloadDatabase();
    void accountChosen();
    void browseDatabase();
    void focusField(LoginForm::Field field);
    // The database field while no account has been read from it, else the operator,
    // else (an operator given) the password.
    void focusFirstEmptyField();

    LoginForm m_form;
    std::unique_ptr<MessageBoxSink> m_ownSink;
    MessageSink* m_sink = nullptr;
    std::unique_ptr<VqLogin> m_login;

    QLineEdit* m_database = nullptr;
    QToolButton* m_browse = nullptr;
    QComboBox* m_account = nullptr;
    QSpinBox* m_year = nullptr;
    QLineEdit* m_operator = nullptr;
    QLineEdit* m_password = nullptr;
    QDateEdit* m_date = nullptr;
    QLabel* m_hint = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace qc
