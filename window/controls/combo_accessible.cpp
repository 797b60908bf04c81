#include "controls/combo_accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

namespace jnx {

#ifndef Q_OS_WIN

namespace {

// A combo box as Qt presents one, but named by its accessible name: the list of its items
// and its edit field are its children, it opens and closes its list as its actions.
class ComboAccessible : public QAccessibleWidget {
public:
    explicit ComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    [[nodiscard]] QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return combo()->accessibleName();
            case QAccessible::Value:
                return combo()->currentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    [[nodiscard]] int childCount() const override { return static_cast<int>(parts().size()); }

    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        const QList<QObject*> all = parts();
        if (index < 0 || index >= all.size()) {
            return nullptr;
        }
        return QAccessible::queryAccessibleInterface(all.at(index));
    }

    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        return child == nullptr ? -1 : static_cast<int>(parts().indexOf(child->object()));
    }

    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override {
        const QLineEdit* edit = combo()->lineEdit();
        if (edit != nullptr && edit->isVisible() &&
            edit->rect().contains(edit->mapFromGlobal(QPoint(x, y)))) {
            return child(1);
        }
        return nullptr;
    }

    [[nodiscard]] QStringList actionNames() const override {
        return {showMenuAction(), pressAction()};
    }

    void doAction(const QString& actionName) override {
        if (actionName == showMenuAction() || actionName == pressAction()) {
            if (combo()->view()->isVisible()) {
                combo()->hidePopup();
            } else {
                combo()->showPopup();
            }
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    [[nodiscard]] QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }

    // The list first, then the edit field when the box has one.
    [[nodiscard]] QList<QObject*> parts() const {
        QList<QObject*> all{combo()->view()};
        if (QLineEdit* edit = combo()->lineEdit()) {
            all.append(edit);
        }
        return all;
    }
};

QAccessibleInterface* ComboFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("jnx::Cp932ComboBox") && object->isWidgetType()) {
        if (auto* combo = qobject_cast<QComboBox*>(object)) {
            return new ComboAccessible(combo);
        }
    }
    return nullptr;
}

}  // namespace

void UseComboAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(ComboFactory);
        return true;
    }();
    (void)installed;
}

#else

// Qt on Windows names a combo box by its accessible name already.
void UseComboAccessible() {}

#endif

}  // namespace jnx
