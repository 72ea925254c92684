#include "windows/skin/CXPStyleButtonST.h"

#include "windows/skin/CThemeHelperST.h"

CXPStyleButtonST::CXPStyleButtonST(const QString& caption, QWidget* parent) : CButtonST(caption, parent) {}

void CXPStyleButtonST::SetThemeHelper(const CThemeHelperST* helper) {
  themeHelper_ = helper;
  update();
}

void CXPStyleButtonST::SetFlatTheme(bool flatTheme) {
  flatTheme_ = flatTheme;
  update();
}

void CXPStyleButtonST::SetUpPictureButton(const CThemeHelperST* helper, const QString& pictureName) {
  SetThemeHelper(helper);
  if (!helper || !helper->IsAppThemed()) SetDrawBorder(true);
  SetPictureName(pictureName);
  BrightenHoverBackground();
  SetTipText(text());
  SetShowCaption(false);
}

void CXPStyleButtonST::DrawBackground(QPainter& painter, QRect& area, bool pressed) {
  if (!themeHelper_ || !themeHelper_->IsAppThemed()) {
    DrawOwnBackground(painter, area, pressed);
    return;
  }
  using State = CThemeHelperST::ButtonState;
  const State state = !isEnabled()                                ? State::kDisabled
                      : pressed                                   ? State::kPressed
                      : IsHovered()                               ? State::kHot
                      : isDefault() && (!flatTheme_ || DrawsBorder()) ? State::kDefault
                                                                  : State::kNormal;
  themeHelper_->DrawThemeBackground(painter, *this, area, state, flatTheme_);
}
