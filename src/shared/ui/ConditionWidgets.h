#pragma once

#include "shared/ConditionFields.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QComboBox;
class QDialog;
class QGroupBox;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QWidget;

namespace qc {

// The controls of the shared condition fields and their behaviour, for any
// condition dialog: the class box and the inventory range with their reference
// buttons (each shown only while its box has the focus; F2 in a box runs it), the
// warehouse list with select-all and clear, the grade range, the refused
// characters (beep, key discarded), and the display (Enter) and cancel (Esc)
// buttons. A box is validated when the focus moves on to another control of the
// dialog; a refusal puts the focus back. The dialog lays the controls out with
// the row helpers and decides what display and cancel do.
class ConditionWidgets : public QObject {
    Q_OBJECT
  public:
    ConditionWidgets(ConditionFields& fields, QDialog* dialog);

    // A code box with its reference button: `reference` runs the lookup into the
    // box's model, `leave` validates it (false: refused). The command buttons take
    // no focus, so clicking cancel or a reference button never validates a box.
    void addCodeBox(QLineEdit* box, QToolButton* button, CodeBox* model, std::function<void()> reference,
                    std::function<bool()> leave);
    // The pieces of a code box, for a dialog's boxes beyond the shared ones: the
    // box (named for assistive technology), its reference button (no focus, "参照(F2)"),
    // and a labelled row of one box or of a range "起 至 止".
    static QLineEdit* codeEdit(QWidget* parent, const QString& name, const QString& accessibleName);
    static QToolButton* referenceButton(QWidget* parent, const QString& name);
    static QLayout* codeRow(QWidget* parent, const QString& labelName, const QString& caption,
                            QLineEdit* edit, QToolButton* button);
    static QLayout* codeRangeRow(QWidget* parent, const QString& labelName, const QString& caption,
                                 QLineEdit* fromEdit, QToolButton* fromButton, QLineEdit* toEdit,
                                 QToolButton* toButton);
    // Installs the key handling (refused characters, F2) on a further control.
    void watchKeys(QWidget* w);

    // Loads the fields (warehouse list, grades) and shows them; all reference
    // buttons hidden.
    void load();
    // Shows the boxes' models in the boxes (after the rules changed them).
    void showBoxes();
    // Before the display: validates the box that has the focus and checks the
    // warehouse choice. False: the focus is where the user must correct.
    bool readyToDisplay();

    // Rows for the dialog's layout.
    QLayout* classRow();
    QLayout* rangeRow();
    QGroupBox* warehouseFrame();
    QLayout* gradeRow();
    QLayout* buttonRow();

    QLineEdit* itemClassEdit = nullptr;
    QToolButton* itemClassButton = nullptr;
    QLineEdit* itemFromEdit = nullptr;
    QToolButton* itemFromButton = nullptr;
    QLineEdit* itemToEdit = nullptr;
    QToolButton* itemToButton = nullptr;
    QListWidget* warehouseList = nullptr;
    QPushButton* selectAllButton = nullptr;
    QPushButton* clearSelectionButton = nullptr;
    QComboBox* gradeFromList = nullptr;
    QComboBox* gradeToList = nullptr;
    QPushButton* showButton = nullptr;
    QPushButton* cancelButton = nullptr;

  Q_SIGNALS:
    // A reference pick has written `box`.
    void picked(QLineEdit* box);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Box {
        QPointer<QLineEdit> edit;
        QPointer<QToolButton> button;
        CodeBox* model = nullptr;
        std::function<void()> reference;
        std::function<bool()> leave;
    };
    Box* boxOf(const QObject* w);
    void hideReferenceButtons();
    void focusMoved(QWidget* from, QWidget* to);
    bool validate(Box& b);
    void runReference(Box& b);
    void fillWarehouses();
    void fillGrades();
    void warehouseSelectionChanged();

    ConditionFields& m_fields;
    QDialog* m_dialog;
    QList<Box> m_boxes;
    bool m_validating = false;
};

}  // namespace qc
