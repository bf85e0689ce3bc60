#pragma once

// How a benchmark's work grows: a figure of one size beside the same figure of
// another size of the same work, measured earlier in the same run.

#include <QMap>
#include <QString>

#include <optional>

namespace qc::bench {

// Records `figure` of `work` at `size`, and returns the figure of the same work at
// `other` when it was recorded before in this process (nothing otherwise).
inline std::optional<double> recordFigure(const QString& work, qint64 size, double figure, qint64 other) {
    static QMap<QString, double> figures;
    const auto key = [&work](qint64 n) { return work + u'@' + QString::number(n); };
    figures[key(size)] = figure;
    const auto it = figures.constFind(key(other));
    if (other == size || it == figures.constEnd()) return std::nullopt;
    return *it;
}

}  // namespace qc::bench
