#pragma once
// A picture button: it paints a picture from the program folder's "Image" folder (loaded at each
// paint, so a changed file shows at once), with a flat hover look, the "in" (hover or pressed),
// "out" (normal) and focused colours, and optionally its caption under the picture. Its caption is
// its tooltip and its accessible name, also when the caption is not drawn. A double click counts as
// a second click.
#include <QColor>
#include <QPushButton>

class CButtonST : public QPushButton {
  Q_OBJECT

 public:
  enum ColorIndex { kColorBackgroundIn, kColorForegroundIn, kColorBackgroundOut, kColorForegroundOut,
                    kColorBackgroundFocus, kColorForegroundFocus, kColorCount };

  explicit CButtonST(const QString& caption = {}, QWidget* parent = nullptr);

  // File name of the picture in the "Image" folder ("Stop.png"); the case of the name does not matter.
  void SetPictureName(const QString& name);
  QString PictureName() const { return pictureName_; }
  void SetShowCaption(bool show);
  void SetFlat(bool flat);
  bool IsFlat() const { return flat_; }
  bool DrawsBorder() const { return drawBorder_; }
  void SetDrawBorder(bool drawBorder);
  void SetAlwaysTrack(bool alwaysTrack) { alwaysTrack_ = alwaysTrack; }
  void SetColor(ColorIndex index, const QColor& colour);
  QColor GetColor(ColorIndex index) const { return colours_[index]; }
  // Back to the style's button face and button text colours.
  void SetDefaultColors();
  // Lightens the hover background (see ButtonColours.h) and repaints.
  void BrightenHoverBackground();
  // Sets the tooltip (and so the accessible name when the caption is not drawn).
  void SetTipText(const QString& text);
  // Check-box mode: a click toggles the checked state, and a checked button looks pressed.
  void SetCheckBoxMode(bool checkBox);
  void SetCheck(int check) { setChecked(check == 1 || check == 2); }
  int GetCheck() const { return isChecked() ? 1 : 0; }

  bool IsHovered() const { return hovered_; }
  // Where the picture is drawn within the button, for the current state.
  QRect PictureRect() const;

  static constexpr QPoint kPressedCaptionOffset{1, 1};

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

  // The background and border; the theme-aware button lets the style draw them.
  virtual void DrawBackground(QPainter& painter, QRect& area, bool pressed);
  void DrawOwnBackground(QPainter& painter, QRect& area, bool pressed) const;

 private:
  void SetHovered(bool hovered);
  void TrackHover();
  void DrawCaption(QPainter& painter, const QRect& area, bool pressed) const;
  void DrawPicture(QPainter& painter, const QRect& area) const;
  bool IsPressedLook() const;

  QString pictureName_;
  bool flat_ = true;
  bool drawBorder_ = true;
  bool alwaysTrack_ = true;
  bool showCaption_ = true;
  bool hovered_ = false;
  QColor colours_[kColorCount];
};
