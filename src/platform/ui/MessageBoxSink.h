#pragma once

#include "platform/MessageSink.h"

#include <QPointer>
#include <QWidget>

namespace qc {

// The sink of the windows: every message is a modal message box over the window
// that owns the sink, with the icon and the Chinese buttons asked for.
class MessageBoxSink : public MessageSink {
  public:
    explicit MessageBoxSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override;

    // The caption of a message box that was not given one.
    static QString defaultTitle();

  private:
    QPointer<QWidget> m_parent;
};

}  // namespace qc
