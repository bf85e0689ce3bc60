#pragma once

#include "host/Pickers.h"

#include <QPointer>
#include <QWidget>

namespace qc {

// The pick windows of the host as real dialogs: the reference window, the
// multi-select inventory window and a calendar, each modal over `parent`.
class UiPickers : public Pickers {
  public:
    explicit UiPickers(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    std::optional<PickedRow> reference(Database& db, const ReferenceQuery& query) override;
    std::optional<QList<PickedRow>> selectInventory(Database& db, const SqlFragment& condition) override;
    std::optional<QDate> pickDate(const QDate& initial) override;
    std::optional<QString> saveFile(const QString& suggested, const QStringList& filters) override;
    std::optional<QString> openFile(const QStringList& filters) override;
    std::optional<QString> chooseItem(const QString& title, const QString& label,
                                      const QStringList& items) override;

  private:
    QPointer<QWidget> m_parent;
};

}  // namespace qc
