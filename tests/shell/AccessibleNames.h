#pragma once
// The names that assistive technology reads for a window's controls (through Qt's accessibility
// interfaces, the same ones AT-SPI exposes).
#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace kalimo::test {

inline QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* interface = QAccessible::queryAccessibleInterface(widget);
  return interface ? interface->text(QAccessible::Name) : QString();
}

// The names of every button, edit and group of `window`; a control without a name is listed as
// "<unnamed ClassName>" so that a test shows which one it is.
inline QStringList ControlNames(QWidget* window) {
  QStringList names;
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (!qobject_cast<QAbstractButton*>(child) && !qobject_cast<QLineEdit*>(child) && !qobject_cast<QGroupBox*>(child)) {
      continue;
    }
    const QString name = AccessibleName(child);
    names << (name.isEmpty() ? QString("<unnamed %1>").arg(child->metaObject()->className()) : name);
  }
  return names;
}

}  // namespace kalimo::test
