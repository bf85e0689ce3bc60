#pragma once

#include <QDialog>

class QLabel;
class QLayout;
class QToolBar;

namespace qc {

// The frame of an entry window (opening balances, dispatched goods): a resizable
// dialog shown modally, laid out as toolbar, title, a row of controls and the
// grid. Esc never closes it (Esc belongs to the grid's editor); the close box,
// 退出 and reject all go through closeEvent, which asks the window first.
class EntryDialog : public QDialog {
    Q_OBJECT
  public:
    explicit EntryDialog(QWidget* parent = nullptr);

    void reject() override;

  protected:
    // Whether the window may go now (an edited cell or row stored, or the user
    // told why not); false keeps it open.
    virtual bool mayClose() = 0;

    // The large centred title of the window.
    QLabel* makeTitleLabel(const QString& text);
    void layOut(QToolBar* toolbar, QLabel* title, QLayout* controls, QWidget* grid);

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool m_closing = false;
};

}  // namespace qc
