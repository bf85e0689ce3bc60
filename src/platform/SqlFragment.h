#pragma once

#include <QString>
#include <QVariantList>

namespace qc {

// A piece of SQL with the values bound to its '?' placeholders, in order. Rules
// hand these around (a rights condition, a filter) so that no value is ever
// spliced into statement text.
struct SqlFragment {
    QString sql;
    QVariantList binds;

    [[nodiscard]] bool isEmpty() const { return sql.isEmpty(); }
    // "a AND b" of two conditions; an empty one is left out.
    [[nodiscard]] SqlFragment andWith(const SqlFragment& other) const;
};

}  // namespace qc
