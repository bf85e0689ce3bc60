#include "platform/MessageSink.h"

#include "platform/Database.h"

#include <cstdio>

namespace qc {

void MessageSink::workStopped(const DbError& error) {
    if (error.kind() == DbError::Kind::Cancelled)
        show(error.message(), MsgIcon::None, MsgButtons::Ok, {});
    else
        critical(error.message());
}

MsgAnswer RecordingSink::show(const QString& text, MsgIcon icon, MsgButtons buttons,
                              const QString& /*title*/) {
    MsgAnswer a = MsgAnswer::Ok;
    if (buttons != MsgButtons::Ok) {
        a = m_answers.isEmpty() ? (buttons == MsgButtons::OkCancel ? MsgAnswer::Ok : MsgAnswer::Yes)
                                : m_answers.takeFirst();
    }
    m_entries << Entry{text, icon, buttons, a};
    return a;
}

QStringList RecordingSink::texts() const {
    QStringList l;
    for (const Entry& e : m_entries) l << e.text;
    return l;
}

MsgAnswer ConsoleSink::show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& /*title*/) {
    if (icon == MsgIcon::Critical || icon == MsgIcon::Exclamation) m_lastError = text;
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return m_default;
}

}  // namespace qc
