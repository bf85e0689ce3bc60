#pragma once

// One table of column specs per grid: everything the rules, the model, the
// editors, the layout store and the output need to know about a column is said
// once, in its row of the table.

#include <QHash>
#include <QList>
#include <QString>

namespace qc::grid {

enum class ColumnKind {
    Text,      // free text
    Code,      // a dictionary code the user types or picks
    Name,      // the name of a code, filled from its dictionary
    Quantity,  // numbers: right-aligned, summed where the table says
    Price,
    Amount,
    Date,
    Key,  // the row's database key: never shown, never typed
};

// Whether and when a column's sum stands in the totals row.
enum class Total {
    None,
    Always,   // the sum, 0 included
    WhenAny,  // the sum when some row has a value, else nothing
};

struct ColumnSpec {
    QString key;      // a stable name: layouts and outputs keep the column by it
    QString caption;  // the caption; user-defined items get theirs at run time
    QString source;   // the SELECT expression that loads it; "" when computed
    ColumnKind kind = ColumnKind::Text;
    bool dictionary = false;  // filled from a dictionary, never keyed (coloured)
    int width = 1000;         // default width in twips; 0: hidden
    Total total = Total::None;
    int nameColumn = -1;  // a code column: the column showing its name
    bool picked = false;  // the editor offers a pick window (or the calendar)
    QString userDefId;    // a user-defined item: its id, whose caption and length it takes
    QString pattern;      // a number kept as text: its display pattern ("###0.000000")

    [[nodiscard]] bool numeric() const {
        return kind == ColumnKind::Quantity || kind == ColumnKind::Price || kind == ColumnKind::Amount;
    }
    // Whether the user may type into the column at all (the window's own rules
    // may refuse more).
    [[nodiscard]] bool keyed() const { return !dictionary && kind != ColumnKind::Key; }
};

using ColumnTable = QList<ColumnSpec>;

// The position of the column with `key` in the table; -1 when there is none.
int columnOf(const ColumnTable& table, const QString& key);

// The captions of the columns of `table` that show one column of a table as it is
// stored ("IA_Subsidiary.iAInQuantity"), by that column in lower case.
QHash<QString, QString> captionsByColumn(const ColumnTable& table);

}  // namespace qc::grid
