#include "shell/sidewindows/LinkButton.h"

#include <QDesktopServices>

namespace kalimo {

LinkButton::LinkButton(const QString& text, const QUrl& target, QWidget* parent)
    : QPushButton(text, parent), target_(target) {
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setToolTip(target.toString());
  setStyleSheet("QPushButton { color: #0645ad; text-decoration: underline; border: none; text-align: left; "
                "padding: 2px; }");
  // A link that cannot be opened does nothing visible.
  connect(this, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(target_); });
}

}  // namespace kalimo
