#pragma once

#include <QList>
#include <QString>

namespace qc {

class DbError;

// None: a plain message box without an icon.
enum class MsgIcon { Exclamation, Critical, Information, Question, None };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// Where the rules send what the user must read or answer. The windows install a
// sink that shows message boxes; tests install a RecordingSink that keeps the
// messages and answers the questions from a script.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) = 0;

    void exclamation(const QString& text) { show(text, MsgIcon::Exclamation, MsgButtons::Ok, {}); }
    void critical(const QString& text) { show(text, MsgIcon::Critical, MsgButtons::Ok, {}); }
    void information(const QString& text) { show(text, MsgIcon::Information, MsgButtons::Ok, {}); }
    // Work that did not finish: stopped by the user, it is said plainly; failed,
    // as an error.
    void workStopped(const DbError& error);
    // A question with Yes/No (or Yes/No/Cancel) buttons.
    MsgAnswer ask(const QString& text, MsgButtons buttons = MsgButtons::YesNo) {
        return show(text, MsgIcon::Question, buttons, {});
    }
};

// Keeps every message; answers questions from a queue of scripted answers, and
// with the first button (OK or Yes) when the queue is empty.
class RecordingSink : public MessageSink {
  public:
    struct Entry {
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
        MsgAnswer answer;
    };

    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override;

    void script(MsgAnswer a) { m_answers << a; }
    [[nodiscard]] const QList<Entry>& entries() const { return m_entries; }
    [[nodiscard]] QStringList texts() const;
    [[nodiscard]] QString last() const { return m_entries.isEmpty() ? QString() : m_entries.last().text; }
    void clear() {
        m_entries.clear();
        m_answers.clear();
    }

  private:
    QList<Entry> m_entries;
    QList<MsgAnswer> m_answers;
};

// Writes messages to standard error and answers questions with the given default
// (the command line has no one to ask).
class ConsoleSink : public MessageSink {
  public:
    explicit ConsoleSink(MsgAnswer defaultAnswer = MsgAnswer::No) : m_default(defaultAnswer) {}
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override;
    [[nodiscard]] QString lastError() const { return m_lastError; }

  private:
    MsgAnswer m_default;
    QString m_lastError;
};

}  // namespace qc
