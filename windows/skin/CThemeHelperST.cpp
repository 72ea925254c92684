#include "windows/skin/CThemeHelperST.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>

bool CThemeHelperST::IsAppThemed() const {
  return drawWithStyle_ && qobject_cast<QApplication*>(QCoreApplication::instance()) && QApplication::style();
}

void CThemeHelperST::DrawThemeBackground(QPainter& painter, const QWidget& button, const QRect& area,
                                         ButtonState state, bool flatTheme) const {
  QStyle* style = button.style();
  QStyle::State flags = QStyle::State_None;
  switch (state) {
    case ButtonState::kNormal: flags = QStyle::State_Enabled | QStyle::State_Raised; break;
    case ButtonState::kHot: flags = QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_Raised; break;
    case ButtonState::kPressed: flags = QStyle::State_Enabled | QStyle::State_Sunken; break;
    case ButtonState::kDisabled: flags = QStyle::State_Raised; break;
    case ButtonState::kDefault: flags = QStyle::State_Enabled | QStyle::State_Raised; break;
  }
  if (flatTheme) {
    QStyleOptionToolButton option;
    option.initFrom(&button);
    option.rect = area;
    option.state = flags | QStyle::State_AutoRaise;
    style->drawPrimitive(QStyle::PE_PanelButtonTool, &option, &painter, &button);
  } else {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = area;
    option.state = flags;
    if (state == ButtonState::kDefault) option.features |= QStyleOptionButton::DefaultButton;
    style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, &button);
  }
}
