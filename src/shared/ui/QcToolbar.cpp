#include "shared/ui/QcToolbar.h"

#include "shared/Layouts.h"
#include "shared/ui/CommandKeys.h"
#include "shared/ui/ToolbarGlyphs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QLayout>
#include <QToolButton>

namespace qc {

namespace {

// Properties of a button's action: the tooltip as the window gave it, and the
// command's key.
constexpr const char* kBaseToolTip = "qcBaseToolTip";
constexpr const char* kCommandKey = "qcCommandKey";

// What assistive technology sees of a toolbar button: a push button named by its
// caption, described by its tooltip, pressed by its action, with the command's key
// as the press action's key binding (also when the window handles that key).
class ToolbarButtonAccessible : public QAccessibleWidget {
  public:
    explicit ToolbarButtonAccessible(QToolButton* button) : QAccessibleWidget(button, QAccessible::Button) {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }
    [[nodiscard]] QString text(QAccessible::Text t) const override {
        QAction* action = button()->defaultAction();
        switch (t) {
            case QAccessible::Name:
                if (!button()->accessibleName().isEmpty()) return button()->accessibleName();
                return action ? action->text() : button()->text();
            case QAccessible::Description:
                return button()->toolTip();
            case QAccessible::Accelerator:
                return shortcut().toString(QKeySequence::NativeText);
            default:
                return QAccessibleWidget::text(t);
        }
    }
    [[nodiscard]] QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && button()->isEnabled()) button()->click();
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString& name) const override {
        const QKeySequence key = shortcut();
        if (name != pressAction() || key.isEmpty()) return {};
        return {key.toString(QKeySequence::NativeText)};
    }

  private:
    [[nodiscard]] QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
    [[nodiscard]] QKeySequence shortcut() const {
        QAction* action = button()->defaultAction();
        return action ? action->property(kCommandKey).value<QKeySequence>() : QKeySequence();
    }
};

QAccessibleInterface* toolbarButtonFactory(const QString&, QObject* object) {
    auto* button = qobject_cast<QToolButton*>(object);
    if (!button || !qobject_cast<QcToolbar*>(button->parentWidget()) || !button->defaultAction())
        return nullptr;
    return new ToolbarButtonAccessible(button);
}

}  // namespace

QIcon QcToolbar::standardIcon(const QString& imageKey) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64}) icon.addPixmap(renderGlyph(imageKey, size));
    return icon;
}

QcToolbar::QcToolbar(QWidget* parent) : QToolBar(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(toolbarButtonFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setAccessibleName(QStringLiteral("工具栏"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    applyStyle();
}

QAction* QcToolbar::addButton(const QString& key, const QString& caption, const QString& toolTip,
                              const QString& imageKey, const QIcon& icon) {
    if (QAction* old = button(key)) {
        removeAction(old);
        old->deleteLater();
        m_keys.removeAll(key);
    }
    auto* a =
        new QAction(icon.isNull() ? standardIcon(imageKey.isEmpty() ? key : imageKey) : icon, caption, this);
    a->setObjectName(key);
    a->setProperty(kBaseToolTip, toolTip);
    addAction(a);
    m_keys << key;
    m_actions.insert(key, a);
    connect(a, &QAction::triggered, this, [this, key] { Q_EMIT buttonClicked(m_index, key); });
    if (QToolButton* b = toolButton(key)) b->setObjectName(QStringLiteral("btn") + key);
    setButtonShortcut(key, commandShortcut(key));
    return a;
}

void QcToolbar::setButtonShortcut(const QString& key, const QKeySequence& sequence, bool fires) {
    QAction* a = button(key);
    if (!a) return;
    a->setProperty(kCommandKey, sequence);
    a->setShortcut(fires ? sequence : QKeySequence());
    a->setShortcutContext(Qt::WindowShortcut);
    showToolTip(a);
}

QKeySequence QcToolbar::buttonShortcut(const QString& key) const {
    QAction* a = button(key);
    return a ? a->property(kCommandKey).value<QKeySequence>() : QKeySequence();
}

void QcToolbar::showToolTip(QAction* action) {
    action->setToolTip(toolTipWithKey(action->property(kBaseToolTip).toString(),
                                      action->property(kCommandKey).value<QKeySequence>()));
}

void QcToolbar::addSeparatorItem() {
    addSeparator();
}

void QcToolbar::buildButtons(const QList<ToolButton>& buttons, const QStringList& groupEnds,
                             const QStringList& ownKeys) {
    clearButtons();
    for (const ToolButton& b : buttons) {
        addButton(b.key, b.caption, b.toolTip, b.image);
        if (ownKeys.contains(b.key)) setButtonShortcut(b.key, commandShortcut(b.key), false);
        if (groupEnds.contains(b.key)) addSeparatorItem();
    }
    applyStoredStyle();
}

void QcToolbar::applyButtons(const QList<ToolButton>& buttons) {
    for (const ToolButton& b : buttons) {
        setCaption(b.key, b.caption);
        setButtonToolTip(b.key, b.toolTip);
        setImage(b.key, b.image);
        setButtonEnabled(b.key, b.enabled);
        setButtonVisible(b.key, b.visible);
    }
}

void QcToolbar::clearButtons() {
    clear();
    qDeleteAll(m_actions);
    m_actions.clear();
    m_keys.clear();
}

bool QcToolbar::hasButton(const QString& key) const {
    return m_actions.contains(key);
}

QAction* QcToolbar::button(const QString& key) const {
    return m_actions.value(key, nullptr);
}

QToolButton* QcToolbar::toolButton(const QString& key) const {
    QAction* a = button(key);
    return a ? qobject_cast<QToolButton*>(widgetForAction(a)) : nullptr;
}

void QcToolbar::setButtonEnabled(const QString& key, bool enabled) {
    if (QAction* a = button(key)) a->setEnabled(enabled);
}

bool QcToolbar::buttonEnabled(const QString& key) const {
    QAction* a = button(key);
    return a && a->isEnabled();
}

void QcToolbar::setButtonVisible(const QString& key, bool visible) {
    if (QAction* a = button(key)) {
        a->setVisible(visible);
        refresh();
    }
}

bool QcToolbar::buttonVisible(const QString& key) const {
    QAction* a = button(key);
    return a && a->isVisible();
}

void QcToolbar::setCaption(const QString& key, const QString& caption) {
    if (QAction* a = button(key)) a->setText(caption);
}

QString QcToolbar::caption(const QString& key) const {
    QAction* a = button(key);
    return a ? a->text() : QString();
}

void QcToolbar::setButtonToolTip(const QString& key, const QString& toolTip) {
    if (QAction* a = button(key)) {
        a->setProperty(kBaseToolTip, toolTip);
        showToolTip(a);
    }
}

QString QcToolbar::buttonToolTip(const QString& key) const {
    QAction* a = button(key);
    return a ? a->toolTip() : QString();
}

void QcToolbar::setImage(const QString& key, const QString& imageKey) {
    if (QAction* a = button(key)) a->setIcon(standardIcon(imageKey));
}

void QcToolbar::setToolbarStyle(short style) {
    m_style = style == 2 ? 2 : 1;
    applyStyle();
}

void QcToolbar::applyStoredStyle(const SettingsStore& store) {
    setToolbarStyle(ToolbarStyle(store));
}

void QcToolbar::applyStyle() {
    if (m_style == 2) {
        // The standard toolbar: captions under larger icons, raised background.
        setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        setIconSize(QSize(24, 24));
        setStyleSheet(
            QStringLiteral("QToolBar { spacing: 2px; padding: 2px; }"
                           "QToolButton { min-width: 44px; padding: 2px 4px; }"));
    } else {
        // The host toolbar: a flat strip, small icons with the caption beside them.
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        setIconSize(QSize(16, 16));
        setStyleSheet(QStringLiteral(
            "QToolBar { spacing: 1px; padding: 1px 4px;"
            " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7f9fc, stop:1 #dfe6ef);"
            " border-bottom: 1px solid #b8c4d2; }"
            "QToolButton { padding: 2px 6px; border: 1px solid transparent; border-radius: 2px; }"
            "QToolButton:hover { background: #fff4d6; border-color: #e3b95a; }"
            "QToolButton:pressed { background: #ffe3a3; }"));
    }
    refresh();
}

void QcToolbar::refresh() {
    // The toolbar lays its buttons out (and hides those of hidden actions) when
    // it next processes events; do it now so that the window's next step sees
    // the buttons as they will be drawn.
    if (layout()) {
        layout()->invalidate();
        layout()->activate();
    }
    updateGeometry();
    update();
}

}  // namespace qc
