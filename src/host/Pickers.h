#pragma once

#include "platform/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace qc {

// What a reference window lists: the list query, an optional class-tree query,
// the table it reads, the fields that go back into a code box (text and tag), and
// optional column captions (comma-separated in the old windows).
struct ReferenceQuery {
    SqlFragment list;
    SqlFragment classTree;  // empty: no class tree
    QString table;
    QString textField;  // the name written into a box's text
    QString tagField;   // the code written into a box's tag
    QStringList captions;
    QString title;
};

// A picked row: field name (lower case) -> value.
using PickedRow = QVariantMap;

// The host's pick windows: the reference window (one row), the multi-select item
// window and the date picker. The widget library shows real dialogs; tests answer
// from a script. A cancelled window answers nothing.
class Pickers {
  public:
    virtual ~Pickers() = default;
    // Shows the reference window for the query; the picked row or nothing.
    virtual std::optional<PickedRow> reference(Database& db, const ReferenceQuery& query) = 0;
    // The multi-select inventory window: items of Inventory satisfying the condition;
    // the chosen rows (cInvCode at least) in the window's order, or nothing.
    virtual std::optional<QList<PickedRow>> selectInventory(Database& db, const SqlFragment& condition) = 0;
    // A date picker starting at `initial`; the picked date or nothing.
    virtual std::optional<QDate> pickDate(const QDate& initial) = 0;
    // The file a grid is output to (输出): `suggested` as the first name, one of
    // `filters` ("Excel 工作簿 (*.xlsx)"); the chosen path, or nothing.
    virtual std::optional<QString> saveFile(const QString& /*suggested*/, const QStringList& /*filters*/) {
        return std::nullopt;
    }
    // The file rows are imported from (导入), one of `filters`; the chosen path, or nothing.
    virtual std::optional<QString> openFile(const QStringList& /*filters*/) { return std::nullopt; }
    // One of `items` (a workbook's worksheets), `title` and `label` saying what is
    // chosen; the chosen item, or nothing. Without windows: the first item.
    virtual std::optional<QString> chooseItem(const QString& /*title*/, const QString& /*label*/,
                                              const QStringList& items) {
        if (items.isEmpty()) return std::nullopt;
        return items.first();
    }
};

// The pick windows of a caller without windows (the command line, a benchmark):
// every window answers nothing, as if cancelled.
class NoPickers : public Pickers {
  public:
    std::optional<PickedRow> reference(Database&, const ReferenceQuery&) override { return std::nullopt; }
    std::optional<QList<PickedRow>> selectInventory(Database&, const SqlFragment&) override {
        return std::nullopt;
    }
    std::optional<QDate> pickDate(const QDate&) override { return std::nullopt; }
};

// A field of a picked row by name, without regard to case.
QVariant pickedValue(const PickedRow& row, const QString& field);

}  // namespace qc
