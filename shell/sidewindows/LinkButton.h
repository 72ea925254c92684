#pragma once
// A link: a flat button drawn as link text that opens its address in the user's web browser.
// A button rather than a label, so that keyboard users and assistive technology can press it.
#include <QPushButton>
#include <QUrl>

namespace kalimo {

class LinkButton : public QPushButton {
  Q_OBJECT

 public:
  LinkButton(const QString& text, const QUrl& target, QWidget* parent = nullptr);
  const QUrl& Target() const { return target_; }

 private:
  QUrl target_;
};

}  // namespace kalimo
