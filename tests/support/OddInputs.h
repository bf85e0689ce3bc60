#pragma once

// Hostile and odd texts a user, a file or a script may hand the program: quotes
// and SQL, pattern characters, escapes, very long text, control and invisible
// characters, full-width forms, emoji (one cut in half), blanks, numbers in every
// doubtful shape and impossible dates. Every suite that takes text from outside
// runs this one list through its inputs.

#include <QList>
#include <QString>

#include <string>

namespace qc::test {

inline const QList<QString>& oddInputs() {
    static const QList<QString> list = [] {
        const QString emoji = QStringLiteral("\U0001F4E6");  // a surrogate pair
        QList<QString> l{
            // quotes and SQL
            QStringLiteral("'"),
            QStringLiteral("\""),
            QStringLiteral("O'Brien"),
            QStringLiteral("''"),
            QStringLiteral("\"1101\""),
            QStringLiteral("'; DROP TABLE Inventory; --"),
            QStringLiteral("1101' OR '1'='1"),
            QStringLiteral("1101; DELETE FROM IA_Subsidiary"),
            // pattern characters and escapes
            QStringLiteral("%"),
            QStringLiteral("_"),
            QStringLiteral("%_%"),
            QStringLiteral("11%"),
            QStringLiteral("\\"),
            QStringLiteral("C:\\temp\\"),
            QStringLiteral("\\%"),
            QStringLiteral("[a-z]*"),
            // length
            QString(10000, u'字'),
            QString(300, u'9'),
            // control characters
            QStringLiteral("\t"),
            QStringLiteral("11\t01"),
            QStringLiteral("1101\r\n"),
            QStringLiteral("a\r\nb"),
            QStringLiteral("\x01"),
            QStringLiteral("1101\x7f"),
            QStringLiteral("a\x1f"
                           "b"),
            QString(QChar(0)) + QStringLiteral("1101"),
            QStringLiteral("1101") + QString(QChar(0)) + QStringLiteral("x"),
            // invisible and full-width forms
            QStringLiteral("\u200b"),
            QStringLiteral("11\u200b01"),
            QStringLiteral("1101\u200d"),
            QStringLiteral("\u00a0"),
            QStringLiteral("\u30001101\u3000"),
            QStringLiteral("１２３"),
            QStringLiteral("１１０１"),
            QStringLiteral("ＡＢＣ"),
            QStringLiteral("１，２３４．５"),
            // emoji, whole and cut
            emoji,
            QStringLiteral("1101") + emoji,
            emoji.left(1),
            QStringLiteral("a") + emoji.right(1),
            // blanks and nothing
            QString(),
            QStringLiteral(" "),
            QStringLiteral("   "),
            QStringLiteral("  1101  "),
            QStringLiteral(" 5 "),
            // numbers
            QStringLiteral("1,234.50"),
            QStringLiteral("1,,2"),
            QStringLiteral("1.2.3"),
            QStringLiteral("1e5"),
            QStringLiteral("1E-3"),
            QStringLiteral("1e"),
            QStringLiteral("e5"),
            QStringLiteral("NaN"),
            QStringLiteral("inf"),
            QStringLiteral("-Infinity"),
            QStringLiteral("1e400"),
            QStringLiteral("1234567890123456789012345678901234567890"),
            QStringLiteral("99999999999999999999999"),
            QStringLiteral("1e24"),
            QStringLiteral("-1e24"),
            QStringLiteral("0.00000000000000000001"),
            QStringLiteral("-0"),
            QStringLiteral("+5"),
            QStringLiteral("--5"),
            QStringLiteral("5-"),
            QStringLiteral("0"),
            QStringLiteral("0x1A"),
            // dates
            QStringLiteral("2026-02-30"),
            QStringLiteral("1899-12-31"),
            QStringLiteral("0000-00-00"),
            QStringLiteral("2025/13/01"),
            QStringLiteral("9999-12-31"),
            QStringLiteral("20251301"),
            QStringLiteral("2025-12-31T00:00"),
            QStringLiteral("60"),
            QStringLiteral("9999999"),
        };
        return l;
    }();
    return list;
}

// The inputs a database treats apart from plain text: quotes, pattern and escape
// characters, control characters, half surrogate pairs and very long texts. Suites
// whose every run costs a server round trip or more drive these on the server.
inline QList<QString> databaseSensitiveInputs() {
    QList<QString> out;
    for (const QString& t : oddInputs()) {
        bool special = t.size() > 1000;
        for (const QChar c : t)
            special =
                special || c.unicode() < 0x20 || c.isSurrogate() || QStringLiteral("'\"\\%_;").contains(c);
        if (special) out << t;
    }
    return out;
}

// The input as a trace line: control and invisible characters as \uXXXX, long
// texts cut, so that a failure names the input readably.
inline std::string describeInput(const QString& text) {
    QString out;
    for (const QChar c : text.left(40)) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x200b && u <= 0x200d) || c.isSurrogate() || u == 0xa0 ||
            u == 0x3000)
            out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (text.size() > 40) out += QStringLiteral("…(%1 chars)").arg(text.size());
    return "input \"" + out.toStdString() + "\"";
}

// Whether a message is one a user can read: Chinese, and no driver or SQL text.
// The input itself may be quoted in it and is left out of the judgement.
inline bool isClearMessage(const QString& message, const QString& input = {}) {
    QString m = message;
    if (!input.isEmpty()) m.remove(input);
    bool chinese = false;
    int letters = 0;
    for (const QChar c : m) {
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff) chinese = true;
        letters = (c.unicode() < 0x80 && c.isLetter()) ? letters + 1 : 0;
        if (letters >= 5) return false;  // a word of a driver's message or a statement
    }
    return chinese;
}

}  // namespace qc::test
