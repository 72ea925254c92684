#pragma once
// A picture button whose background and border the application's style draws when a theme helper
// is attached and the application is themed; otherwise it paints them itself like CButtonST.
#include "windows/skin/CButtonST.h"

class CThemeHelperST;

class CXPStyleButtonST : public CButtonST {
  Q_OBJECT

 public:
  explicit CXPStyleButtonST(const QString& caption = {}, QWidget* parent = nullptr);

  // The helper is not owned; it must outlive the button (the owning dialog keeps it).
  void SetThemeHelper(const CThemeHelperST* helper);
  // Draws like a tool-bar button instead of a push button.
  void SetFlatTheme(bool flatTheme);
  // The set-up every dialog gives its picture buttons: the dialog's theme helper, the picture,
  // the brightened hover background, the caption as tooltip (and accessible name), and the
  // caption itself not drawn, so the picture fills the button.
  void SetUpPictureButton(const CThemeHelperST* helper, const QString& pictureName);

 protected:
  void DrawBackground(QPainter& painter, QRect& area, bool pressed) override;

 private:
  const CThemeHelperST* themeHelper_ = nullptr;
  bool flatTheme_ = false;
};
