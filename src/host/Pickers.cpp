#include "host/Pickers.h"

namespace qc {

QVariant pickedValue(const PickedRow& row, const QString& field) {
    const auto it = row.constFind(field.toLower());
    if (it != row.constEnd()) return it.value();
    for (auto i = row.constBegin(); i != row.constEnd(); ++i)
        if (i.key().compare(field, Qt::CaseInsensitive) == 0) return i.value();
    return {};
}

}  // namespace qc
