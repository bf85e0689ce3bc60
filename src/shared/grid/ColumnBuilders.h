#pragma once

// Building a grid's column table: a fixed column, and the user-defined and free
// items that every grid of the module shows (the UserDef ids behind them, the
// display pattern of the numeric ones, hidden until the item has a caption).

#include "shared/grid/ColumnSpec.h"

namespace qc::grid {

ColumnSpec fixedColumn(const char* key, const char* caption, const char* source, ColumnKind kind, int width,
                       bool dictionary = false);

QString freeItemId(int n);         // free items 1..10
QString inventoryDefineId(int n);  // the inventory's items 1..16
QString headDefineId(int n);       // a document head's items 1..16
QString lineDefineId(int n);       // a document line's items 22..37

// Display pattern of a numeric item ("" for a text item): the inventory's items,
// and the head and line items of a document.
QString inventoryDefinePattern(int n);
QString definePattern(int n);

ColumnSpec userDefinedColumn(const QString& key, const QString& source, const QString& id,
                             const QString& pattern, bool dictionary, bool date);

}  // namespace qc::grid
