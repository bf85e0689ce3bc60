#pragma once

#include "platform/Settings.h"
#include "shared/ToolButton.h"

#include <QHash>
#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <QStringList>
#include <QToolBar>

class QAction;
class QToolButton;

namespace qc {

// The toolbar of every window. Buttons are addressed by key (the command they
// stand for); a click is reported as (index, key), where index is the number the
// window gave this toolbar (0 for its own commands), so one command handler can
// serve every toolbar a window shows.
//
// It draws in two styles, chosen by the machine's appearance setting:
//   style 1, the host toolbar: small icon with the caption beside it, flat strip;
//   style 2, the standard toolbar: larger icon with the caption under it.
class QcToolbar : public QToolBar {
    Q_OBJECT

  public:
    explicit QcToolbar(QWidget* parent = nullptr);

    // Adds a button at the end. The image key names the drawn icon (the button's
    // own key when empty); an explicit icon wins over both. A command with a
    // standard key (commandShortcut) fires on it.
    QAction* addButton(const QString& key, const QString& caption, const QString& toolTip,
                       const QString& imageKey = {}, const QIcon& icon = {});
    void addSeparatorItem();
    // The buttons of a window's rules, in order: a separator after each key in
    // `groupEnds`, and the standard key of every command shown (those in
    // `ownKeys` handled by the window itself, the others firing the button).
    // Then the stored style.
    void buildButtons(const QList<ToolButton>& buttons, const QStringList& groupEnds,
                      const QStringList& ownKeys);
    // The captions, tooltips, images and states the rules now give the buttons.
    void applyButtons(const QList<ToolButton>& buttons);
    void clearButtons();

    [[nodiscard]] bool hasButton(const QString& key) const;
    [[nodiscard]] QStringList keys() const { return m_keys; }
    // The action of a button; null for an unknown key.
    [[nodiscard]] QAction* button(const QString& key) const;
    // The widget that draws the button (for tests and focus handling).
    [[nodiscard]] QToolButton* toolButton(const QString& key) const;

    // Unknown keys are ignored, as with the control this replaces.
    void setButtonEnabled(const QString& key, bool enabled);
    [[nodiscard]] bool buttonEnabled(const QString& key) const;
    void setButtonVisible(const QString& key, bool visible);
    [[nodiscard]] bool buttonVisible(const QString& key) const;
    void setCaption(const QString& key, const QString& caption);
    [[nodiscard]] QString caption(const QString& key) const;
    void setButtonToolTip(const QString& key, const QString& toolTip);
    [[nodiscard]] QString buttonToolTip(const QString& key) const;
    void setImage(const QString& key, const QString& imageKey);
    // The key of a button: shown after its tooltip and exposed to assistive
    // technology as the button's key binding. With `fires` false the window handles
    // the key itself (its own shortcut), and the toolbar only shows it.
    void setButtonShortcut(const QString& key, const QKeySequence& sequence, bool fires = true);
    [[nodiscard]] QKeySequence buttonShortcut(const QString& key) const;

    // 1 (icon with text beside) or 2 (text under icon); anything else counts as 1.
    void setToolbarStyle(short style);
    [[nodiscard]] short toolbarStyle() const { return m_style; }
    // Takes the style from the machine's appearance setting.
    void applyStoredStyle(const SettingsStore& store = SettingsStore{});

    void setIndex(int index) { m_index = index; }
    [[nodiscard]] int index() const { return m_index; }

    // Lays the buttons out again after captions or visibility changed (the host
    // toolbar needs it after its buttons change).
    void refresh();

    // The icon drawn for an image key ("Print", "Keep", "Restore", …); a neutral
    // square for keys it does not know. Keys are matched without regard to case.
    static QIcon standardIcon(const QString& imageKey);

  Q_SIGNALS:
    void buttonClicked(int index, const QString& key);

  private:
    void applyStyle();
    void showToolTip(QAction* action);
    QStringList m_keys;
    QHash<QString, QAction*> m_actions;
    short m_style = 1;
    int m_index = 0;
};

}  // namespace qc
