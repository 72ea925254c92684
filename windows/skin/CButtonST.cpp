#include "windows/skin/CButtonST.h"

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "windows/skin/ButtonColours.h"
#include "windows/skin/SkinPainting.h"
#include "windows/skin/SkinResources.h"

using kalimo::skin::Draw3dRect;

CButtonST::CButtonST(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setMouseTracking(true);
  SetDefaultColors();
}

void CButtonST::SetPictureName(const QString& name) {
  pictureName_ = name;
  update();
}

void CButtonST::SetShowCaption(bool show) {
  showCaption_ = show;
  update();
}

void CButtonST::SetFlat(bool flat) {
  flat_ = flat;
  if (!flat) hovered_ = false;
  update();
}

void CButtonST::SetDrawBorder(bool drawBorder) {
  drawBorder_ = drawBorder;
  update();
}

void CButtonST::SetColor(ColorIndex index, const QColor& colour) {
  colours_[index] = colour;
  update();
}

void CButtonST::SetDefaultColors() {
  const QPalette& p = QApplication::palette(this);
  for (const ColorIndex background : {kColorBackgroundIn, kColorBackgroundOut, kColorBackgroundFocus}) {
    colours_[background] = p.color(QPalette::Button);
  }
  for (const ColorIndex text : {kColorForegroundIn, kColorForegroundOut, kColorForegroundFocus}) {
    colours_[text] = p.color(QPalette::ButtonText);
  }
  update();
}

void CButtonST::BrightenHoverBackground() {
  const QColor& in = colours_[kColorBackgroundIn];
  const kalimo::skin::Rgb bright = kalimo::skin::BrightenHoverBackground({in.red(), in.green(), in.blue()});
  colours_[kColorBackgroundIn] = QColor(bright.red, bright.green, bright.blue);
  update();
}

void CButtonST::SetTipText(const QString& text) {
  setToolTip(text);
  // What the user reads in the tooltip is what a screen reader says.
  setAccessibleName(text);
}

void CButtonST::SetCheckBoxMode(bool checkBox) {
  setCheckable(checkBox);
  update();
}

bool CButtonST::IsPressedLook() const { return isDown() || (isCheckable() && isChecked()); }

QRect CButtonST::PictureRect() const {
  QRect area = rect();
  if (showCaption_ && !text().isEmpty()) area.setBottom(area.top() + height() * 5 / 7);
  if (hovered_) area.adjust(1, 1, -1, -1);
  return area.adjusted(1, 1, -1, -1);
}

void CButtonST::SetHovered(bool hovered) {
  if (hovered == hovered_) return;
  hovered_ = hovered;
  update();
}

void CButtonST::TrackHover() {
  // Only flat buttons show the hover look, not while the left button is held (a press that
  // started elsewhere), and, unless always tracking, only in the active window.
  const bool leftHeld = QApplication::mouseButtons() & Qt::LeftButton;
  const bool windowActive = alwaysTrack_ || isActiveWindow();
  if (flat_ && !leftHeld && windowActive) SetHovered(true);
}

void CButtonST::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  TrackHover();
}

void CButtonST::mouseMoveEvent(QMouseEvent* event) {
  TrackHover();
  QPushButton::mouseMoveEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
  SetHovered(false);
  QPushButton::leaveEvent(event);
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
  SetHovered(false);
  QPushButton::focusOutEvent(event);
}

void CButtonST::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second click of a double click is a click of its own.
  mousePressEvent(event);
}

void CButtonST::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) SetHovered(false);
  if (event->type() == QEvent::ThemeChange) SetDefaultColors();
  QPushButton::changeEvent(event);
}

void CButtonST::DrawBackground(QPainter& painter, QRect& area, bool pressed) {
  DrawOwnBackground(painter, area, pressed);
}

void CButtonST::DrawOwnBackground(QPainter& painter, QRect& area, bool pressed) const {
  const QPalette& p = palette();
  if (!flat_ && (hasFocus() || isDefault())) {
    painter.setPen(Qt::black);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    area.adjust(1, 1, -1, -1);
  }
  const QColor background = hovered_ || pressed ? colours_[kColorBackgroundIn]
                            : hasFocus()        ? colours_[kColorBackgroundFocus]
                                                : colours_[kColorBackgroundOut];
  painter.fillRect(area, background);
  const QRect edge = area.adjusted(0, 0, -1, -1);
  if (pressed) {
    if (flat_) {
      if (drawBorder_) Draw3dRect(painter, edge, p.color(QPalette::Dark), p.color(QPalette::Light));
    } else {
      painter.setPen(p.color(QPalette::Dark));
      painter.drawRect(edge);
    }
  } else if (!flat_) {
    Draw3dRect(painter, edge, p.color(QPalette::Light), p.color(QPalette::Shadow));
    Draw3dRect(painter, edge.adjusted(1, 1, -1, -1), p.color(QPalette::Midlight), p.color(QPalette::Dark));
  } else if (hovered_ && drawBorder_) {
    Draw3dRect(painter, edge, p.color(QPalette::Light), p.color(QPalette::Dark));
  }
}

void CButtonST::DrawCaption(QPainter& painter, const QRect& buttonArea, bool pressed) const {
  QRect area = buttonArea;
  area.setTop(buttonArea.top() + buttonArea.height() * 5 / 9 + 1);
  if (pressed && !isCheckable()) area.translate(kPressedCaptionOffset);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  if (!isEnabled()) {
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(area.translated(1, 1), flags, text());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(area, flags, text());
    return;
  }
  const QColor colour = hovered_ || pressed ? colours_[kColorForegroundIn]
                        : hasFocus()        ? colours_[kColorForegroundFocus]
                                            : colours_[kColorForegroundOut];
  painter.setPen(colour);
  painter.drawText(area, flags, text());
}

void CButtonST::DrawPicture(QPainter& painter, const QRect& area) const {
  // Read at each paint: a picture replaced beside the program shows without a restart.
  const QString path = kalimo::skin::FindProgramPicture(pictureName_);
  if (path.isEmpty()) return;
  const QImage picture = QImageReader(path).read();
  if (picture.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!isEnabled()) painter.setOpacity(0.4);
  painter.drawImage(area, picture);
  painter.setOpacity(1.0);
}

void CButtonST::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool pressed = IsPressedLook();
  QRect area = rect();
  DrawBackground(painter, area, pressed);
  if (showCaption_ && !text().isEmpty()) DrawCaption(painter, rect(), pressed);
  if (!pictureName_.isEmpty()) DrawPicture(painter, PictureRect());
  if (hasFocus() && !flat_) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}
