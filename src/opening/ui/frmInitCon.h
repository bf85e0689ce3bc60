#pragma once

#include "shared/ConditionFields.h"

#include <QDialog>

namespace qc {

struct LoginContext;
class ConditionWidgets;

// 期初余额查询: the filter of the entry window, by inventory class and by an
// inventory range. OK hides the dialog and keeps its boxes for the next use;
// Cancel and the close box drop what was typed. The caller sets the three codes
// in force before each run() and reads them back after an OK.
class frmInitCon : public QDialog {
    Q_OBJECT
  public:
    frmInitCon(LoginContext& ctx, Pickers& pickers, QWidget* parent = nullptr);

    // The class code in force: kept in the class box's tag, then the box is
    // validated by its text (so an empty box drops the code).
    void setStrInvCCode(const QString& code);
    // The range in force: kept in the bound's tag, and shown as its text when the
    // box is empty.
    void setStrInvCodeFrom(const QString& code);
    void setStrInvCodeTo(const QString& code);
    [[nodiscard]] QString strInvCCode() const { return m_fields.strInvCCode; }
    [[nodiscard]] QString strInvCodeFrom() const { return m_fields.strInvCodeFrom; }
    [[nodiscard]] QString strInvCodeTo() const { return m_fields.strInvCodeTo; }
    [[nodiscard]] bool blnOk() const { return m_fields.blnOk; }

    // Shows the dialog modally; true (blnOk) when the user displayed, and then the
    // getters hold the class code and range to filter by.
    bool run();

    [[nodiscard]] ConditionFields& fields() { return m_fields; }
    [[nodiscard]] ConditionWidgets& widgets() { return *m_widgets; }

    void reject() override;

  private:
    void display();

    ConditionFields m_fields;
    ConditionWidgets* m_widgets = nullptr;
};

}  // namespace qc
