#pragma once

#include "platform/Decimal.h"

#include <QString>

namespace qc {

// Formats a number with a display pattern of the windows: '#' an optional digit,
// '0' a required digit, ',' thousands grouping, '.' the decimal point. "###0.00"
// gives "1234.50", "###.00" gives ".50" for one half, "#,##0.00" groups thousands.
// Rounds half away from zero to the pattern's decimals.
QString formatNumber(const Decimal& value, const QString& pattern);

// "###0" followed, when places > 0, by "." and that many zeros: the pattern of a
// column with quantity or price decimals.
QString decimalsPattern(int places);

// The text the old database gave for ltrim(str(x, 20, places)): rounded half away
// from zero, fixed decimals, no grouping.
QString sqlNumberText(const Decimal& value, int places);

// A plain number's text ("-1234567.50") with its whole part grouped by thousands
// ("-1,234,567.50"); any other text unchanged.
QString GroupThousands(const QString& text);

// Removes every comma (thousands separators typed or displayed in amount cells).
QString StripThousandsSeparators(const QString& text);

}  // namespace qc
