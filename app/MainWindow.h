#pragma once

#include "entry/clsQC.h"
#include "session/LoginContext.h"

#include <QList>
#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QTimer;
class QToolButton;

namespace qc {

class MessageSink;
class MessageBoxSink;
class VqLogin;
class YrCommon;

// The host shell after login: the component's five entries as a menu and as
// buttons, each calling its clsQC entry method; the login in the status bar.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    struct Entry {
        QString key;
        QString caption;
        QString description;
        WindowHost::Window window;
        char mnemonic;  // the Alt+letter of the entry in the 期初 menu and on its button
    };
    // The entries in menu order.
    static const QList<Entry>& entries();

    // windows: the component's windows; sink: null shows message boxes.
    MainWindow(std::unique_ptr<VqLogin> login, WindowHost* windows, MessageSink* sink = nullptr,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    [[nodiscard]] VqLogin& login() { return *m_login; }
    // The action of an entry (menu item and button share it).
    [[nodiscard]] QAction* entryAction(int i) const { return m_actions.value(i); }
    [[nodiscard]] QToolButton* entryButton(int i) const { return m_buttons.value(i); }
    [[nodiscard]] QString statusText() const;

    // Runs entry i as the menu does.
    void runEntry(int i);
    // 操作日志: the audit trail, for an operator with the right to read it.
    void showAuditLog();

  private:
    void about();
    void heartbeat();

    std::unique_ptr<VqLogin> m_login;
    WindowHost* m_windows;
    std::unique_ptr<MessageBoxSink> m_ownSink;
    MessageSink* m_sink = nullptr;
    // The session of this main window: built here, handed to the entry class and
    // through it to every window it opens; it outlives them.
    LoginContext m_context;
    std::unique_ptr<clsQC> m_qc;
    std::shared_ptr<YrCommon> m_common;
    QList<QAction*> m_actions;
    QList<QToolButton*> m_buttons;
    QList<QLabel*> m_status;
    QTimer* m_heartbeat = nullptr;
};

}  // namespace qc
