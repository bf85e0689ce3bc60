#pragma once

#include <QString>
#include <QStringView>

namespace qc {

// The refusal of a typed, pasted or imported text holding a character that is no
// text: a control character (tab and line break included: every cell, box and code
// is one line) or half of a surrogate pair. Neither database keeps such a text as
// it was typed (PostgreSQL holds no NUL, UTF-8 no half pair), so it is refused
// rather than stored changed.
inline const QString kNoTextCharacters = QStringLiteral("不能输入控制字符或残缺的字符！");

// True when the text holds a character of the kind above.
bool hasNoTextCharacters(QStringView text);

// True when the text holds a character no database keeps as it is: NUL or half of
// a surrogate pair. The database layer refuses such a bound value.
bool hasUnstorableCharacters(QStringView text);
inline const QString kUnstorableText = QStringLiteral("文本中含有数据库不能保存的字符（空字符或残缺的字符）");

// The text without such characters: what a search for it can match.
QString withoutNoTextCharacters(QStringView text);

// A LIKE pattern matching every text that contains `text` literally: '%', '_' and
// the escape character '\' stand for themselves, characters no stored text holds are
// left out. Used with `Dialect::likeEscape()`.
QString containsPattern(QStringView text);

// A LIKE pattern matching every text that begins with `text`, as above.
QString prefixPattern(QStringView text);

}  // namespace qc
