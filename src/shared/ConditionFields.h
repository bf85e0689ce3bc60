#pragma once

#include "host/Pickers.h"
#include "shared/Reference.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qc {

struct LoginContext;

// The grade of the inventory lines in a grade range, after the class grades.
inline const QString kDetailGrade = QStringLiteral("明细");

// Which of the shared field groups a condition dialog has, and the word its
// messages use for the goods ("存货", or "商品" in commercial mode).
struct ConditionOptions {
    bool warehouses = false;          // the warehouse list
    bool valuationInEntries = false;  // warehouse entries show the valuation method
    bool grades = false;              // the inventory-class grade range
    QString word = QStringLiteral("存货");
};

// One entry of the warehouse list.
struct WarehouseEntry {
    QString code;
    QString name;
    QString valueStyle;
    QString text;  // as the list shows it
    bool selected = true;
};

// The fields every condition dialog shares, without widgets: the class box and
// the inventory range with their references and validation, the warehouse list,
// the grade range, and the results the dialogs hand back. Messages go to the
// context's sink. The widget layer mirrors the boxes and the list and calls the
// handlers below on the matching events.
class ConditionFields {
  public:
    ConditionFields(LoginContext& ctx, Pickers& pickers, ConditionOptions options = {});

    // The code a box stands for: its tag, when the box shows text (an empty box is
    // no condition).
    static QString CodeOf(const CodeBox& box) { return box.text.isEmpty() ? QString() : box.tag.trimmed(); }

    // The characters no condition box accepts (the key is refused with a beep).
    static bool IsRefusedChar(QChar c);

    // The opening: the warehouse list (every permitted warehouse selected), the
    // grade items and both accepted grades at the first one, strWhStyle.
    void Load();

    [[nodiscard]] const ConditionOptions& options() const { return m_options; }
    [[nodiscard]] LoginContext& context() { return m_ctx; }
    [[nodiscard]] Pickers& pickers() { return m_pickers; }

    // ---- class box and inventory range
    CodeBox itemClass;
    CodeBox itemFrom;
    CodeBox itemTo;

    // The reference buttons: the class reference, and the inventory reference
    // restricted to the class in the class box's tag.
    void pickItemClass();
    void pickItemFrom();
    void pickItemTo();

    // Validation when the user leaves a box (the widget layer skips it when the
    // focus goes to the cancel button, or for the class box to its own button).
    // False: refused, the message shown and the box emptied; the focus belongs
    // back in the box.
    bool leaveItemClass();
    bool leaveItemFrom();
    bool leaveItemTo();

    // ---- grade range
    // "1" ... "N" (N = digits of the class coding scheme) and "明细".
    QStringList gradeItems;
    short invGradeFrom = 0;
    short invGradeTo = 0;
    // A grade combo changed to `index`; the answer is the index the combo must show
    // (the previous one when the change is refused).
    int GradeFromChanged(int index);
    int GradeToChanged(int index);

    // ---- warehouse list
    QList<WarehouseEntry> warehouses;
    void SelectAllWarehouses();
    void ClearWarehouses();
    // Codes of the selected warehouses in list order; strWhCode becomes the last.
    QStringList SelectedWarehouseCodes();
    // Before the display: false (with "必须至少选择一个仓库！") when the dialog has a
    // warehouse list and nothing in it is selected.
    bool CheckWarehouseChosen();

    // ---- results
    QString strInvCCode;
    QString strInvCodeFrom;
    QString strInvCodeTo;
    QString strWhCode;
    QString strWhStyle;
    bool blnOk = false;
    void Cancel() { blnOk = false; }

  private:
    bool leaveBound(CodeBox& box, const QString& refusal, const QString& extra);
    void loadWarehouses();

    LoginContext& m_ctx;
    Pickers& m_pickers;
    ConditionOptions m_options;
};

}  // namespace qc
