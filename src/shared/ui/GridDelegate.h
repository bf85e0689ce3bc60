#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace qc::grid {

// The delegate every grid view starts from: cells filled from a dictionary and
// the totals row in the dictionary colour, the totals row in bold, as the grid
// model's roles say.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // RGB(192, 255, 255): cells the user does not key, and the totals row.
    static QColor dictionaryColour() { return {192, 255, 255}; }

    // Numbers shown with their thousands grouped ("1,234.50"); what is edited and
    // stored stays plain.
    void setGroupThousands(bool group) { m_groupThousands = group; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    bool m_groupThousands = false;
};

}  // namespace qc::grid
