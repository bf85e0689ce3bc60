#include "platform/TextInput.h"

namespace qc {

namespace {

bool isNoTextCharacter(QStringView text, qsizetype i) {
    const char16_t c = text.at(i).unicode();
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    if (QChar::isHighSurrogate(c))
        return i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode());
    if (QChar::isLowSurrogate(c)) return i == 0 || !QChar::isHighSurrogate(text.at(i - 1).unicode());
    return false;
}

}  // namespace

bool hasNoTextCharacters(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isNoTextCharacter(text, i)) return true;
    return false;
}

bool hasUnstorableCharacters(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0 || (QChar::isSurrogate(c) && isNoTextCharacter(text, i))) return true;
    }
    return false;
}

QString withoutNoTextCharacters(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!isNoTextCharacter(text, i)) out += text.at(i);
    return out;
}

QString prefixPattern(QStringView text) {
    QString out;
    const QString clean = withoutNoTextCharacters(text);
    out.reserve(clean.size() + 4);
    for (const QChar c : clean) {
        if (c == u'%' || c == u'_' || c == u'\\') out += u'\\';
        out += c;
    }
    out += u'%';
    return out;
}

QString containsPattern(QStringView text) {
    return u'%' + prefixPattern(text);
}

}  // namespace qc
