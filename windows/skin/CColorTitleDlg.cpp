#include "windows/skin/CColorTitleDlg.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWindow>

#include "windows/skin/SkinAccessibility.h"
#include "windows/skin/SkinPainting.h"
#include "windows/skin/SkinResources.h"

using kalimo::skin::FrameButton;
using kalimo::skin::FrameHit;
using kalimo::skin::FrameMetrics;
using kalimo::skin::FrameRect;

namespace {

// Where the pieces of the frame lie in the skin picture (x, y, width, height).
const QRect kTitleFill(15, 0, 2, 22);
const QRect kLeftBorderFill(0, 36, 4, 2);
const QRect kRightBorderFill(5, 36, 4, 2);
const QRect kBottomBorderFill(10, 0, 4, 4);
const QRect kTopLeftCorner(0, 0, 5, 24);
// The top-right corner is five columns from x = 63; its last column lies outside the window (and
// the 67-pixel picture), so four are drawn.
const QRect kTopRightCorner(63, 0, 4, 24);
constexpr int kNormalGlyphRow = 44;
constexpr int kHighlightGlyphRow = 60;
constexpr int kMinimizeGlyphX = 0;
constexpr int kMaximizeGlyphX = 17;
constexpr int kRestoreGlyphX = 34;
constexpr int kCloseGlyphX = 51;

const QColor kOuterFrameLine(118, 141, 155);
const QColor kInnerFrameLine(151, 199, 229);
const QColor kActiveCaption(255, 255, 255);
const QColor kInactiveCaption(18, 93, 9);
// Drawn instead of the title bar when the skin picture cannot be read, so the window stays usable.
const QColor kFallbackTitle(86, 150, 214);


Qt::Edges EdgesOf(FrameHit hit) {
  switch (hit) {
    case kalimo::skin::kHitLeft: return Qt::LeftEdge;
    case kalimo::skin::kHitRight: return Qt::RightEdge;
    case kalimo::skin::kHitTop: return Qt::TopEdge;
    case kalimo::skin::kHitBottom: return Qt::BottomEdge;
    case kalimo::skin::kHitTopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case kalimo::skin::kHitTopRight: return Qt::TopEdge | Qt::RightEdge;
    case kalimo::skin::kHitBottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case kalimo::skin::kHitBottomRight: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
  }
}

}  // namespace

CColorTitleDlg::CColorTitleDlg(QWidget* parent, bool showIcon, unsigned boxes)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), showIcon_(showIcon), boxes_(boxes) {
  kalimo::skin::InstallSkinAccessibility();
  skin_ = kalimo::skin::LoadSkinBitmap(kalimo::skin::kSkinPicture);
  icon_ = kalimo::skin::LoadSkinBitmap(kalimo::skin::kProgramIcon);
  if (!icon_.isNull()) setWindowIcon(QIcon(icon_));
  setMouseTracking(true);
  setContentsMargins(FrameMetrics::kBorderWidth, FrameMetrics::kTitleHeight, FrameMetrics::kBorderWidth,
                     FrameMetrics::kBorderWidth);

  clientArea_ = new QWidget(this);
  clientArea_->setObjectName(QStringLiteral("clientArea"));
  QPalette palette = clientArea_->palette();
  palette.setBrush(QPalette::Window, BackgroundBrush());
  clientArea_->setPalette(palette);
  clientArea_->setAutoFillBackground(true);

  toolTipTimer_.setSingleShot(true);
  toolTipTimer_.setInterval(kToolTipDelayMs);
  connect(&toolTipTimer_, &QTimer::timeout, this, &CColorTitleDlg::ShowButtonToolTip);
  clientArea_->installEventFilter(this);
  resize(320, 240);
  PlaceClientArea();
}

CColorTitleDlg::~CColorTitleDlg() = default;

QBrush CColorTitleDlg::BackgroundBrush() { return QBrush(QColor(247, 255, 255)); }

kalimo::skin::FrameButtons CColorTitleDlg::ButtonRects() const {
  // The buttons follow the width, also before the window is shown.
  return kalimo::skin::PlaceFrameButtons(width(), boxes_);
}

void CColorTitleDlg::PlaceClientArea() { clientArea_->setGeometry(contentsRect()); }

bool CColorTitleDlg::eventFilter(QObject* watched, QEvent* event) {
  // The pointer may jump from a caption button straight into the client area.
  if (watched == clientArea_ && event->type() == QEvent::Enter) SetHovered(FrameButton::kNone);
  return QDialog::eventFilter(watched, event);
}

FrameHit CColorTitleDlg::HitTest(const QPoint& p) const {
  const bool resizable = minimumSize() != maximumSize() && !isMaximized();
  return kalimo::skin::ReportedHitCode(
      kalimo::skin::HitTestFrame(ButtonRects(), p.x(), p.y(), width(), height(), resizable));
}

QString CColorTitleDlg::ButtonToolTip(FrameButton button) const {
  switch (button) {
    case FrameButton::kMinimize: return QStringLiteral("最小化");
    case FrameButton::kMaximize: return isMaximized() ? QStringLiteral("向下还原") : QStringLiteral("最大化");
    case FrameButton::kClose: return QStringLiteral("关闭");
    case FrameButton::kNone: break;
  }
  return {};
}

void CColorTitleDlg::PressFrameButton(FrameButton button) {
  HideButtonToolTip();
  switch (button) {
    case FrameButton::kMinimize:
      if (boxes_ & kalimo::skin::kMinimizeBox) MinimizeWindow();
      break;
    case FrameButton::kMaximize:
      if (boxes_ & kalimo::skin::kMaximizeBox) ToggleMaximized();
      break;
    case FrameButton::kClose:
      close();
      break;
    case FrameButton::kNone:
      break;
  }
}

void CColorTitleDlg::MinimizeWindow() { showMinimized(); }

void CColorTitleDlg::ToggleMaximized() {
  if (isMaximized()) {
    showNormal();
  } else {
    showMaximized();
  }
}

QMenu* CColorTitleDlg::SystemMenu() {
  if (systemMenu_) return systemMenu_;
  systemMenu_ = new QMenu(this);
  QAction* restore = systemMenu_->addAction(QStringLiteral("还原(&R)"), this, [this] { showNormal(); });
  QAction* move = systemMenu_->addAction(QStringLiteral("移动(&M)"), this, [this] { StartMove(QCursor::pos()); });
  QAction* size = systemMenu_->addAction(QStringLiteral("大小(&S)"), this,
                                         [this] { StartResize(Qt::BottomEdge | Qt::RightEdge, QCursor::pos()); });
  QAction* minimize = systemMenu_->addAction(QStringLiteral("最小化(&N)"), this, [this] { MinimizeWindow(); });
  QAction* maximize = systemMenu_->addAction(QStringLiteral("最大化(&X)"), this, [this] { showMaximized(); });
  systemMenu_->addSeparator();
  systemMenu_->addAction(QStringLiteral("关闭(&C)"), this, [this] { close(); });
  // Entries follow the window's state each time the menu opens, as a system menu's do.
  connect(systemMenu_, &QMenu::aboutToShow, this, [=, this] {
    const bool maximized = isMaximized();
    const bool resizable = minimumSize() != maximumSize();
    restore->setEnabled(maximized);
    move->setEnabled(!maximized);
    size->setEnabled(!maximized && resizable);
    minimize->setEnabled(boxes_ & kalimo::skin::kMinimizeBox);
    maximize->setEnabled((boxes_ & kalimo::skin::kMaximizeBox) && !maximized);
  });
  return systemMenu_;
}

void CColorTitleDlg::SetHovered(FrameButton button) {
  if (button == hovered_) return;
  hovered_ = button;
  update(0, 0, width(), FrameMetrics::kTitleHeight);
  HideButtonToolTip();
  if (button != FrameButton::kNone) toolTipTimer_.start();
  emit HoveredButtonChanged();
}

void CColorTitleDlg::ShowButtonToolTip() {
  if (hovered_ == FrameButton::kNone) return;
  const QRect area = kalimo::skin::ToQRect(kalimo::skin::RectOf(ButtonRects(), hovered_));
  QToolTip::showText(mapToGlobal(QPoint(area.left(), area.bottom() + 8)), ButtonToolTip(hovered_), this, area,
                     10000);
}

void CColorTitleDlg::HideButtonToolTip() {
  toolTipTimer_.stop();
  if (QToolTip::isVisible()) QToolTip::hideText();
}

void CColorTitleDlg::StartMove(const QPoint& globalPoint) {
  if (QWindow* window = windowHandle(); window && !isMaximized() && window->startSystemMove()) return;
  if (isMaximized()) return;
  drag_ = Drag::kMove;
  dragStartGlobal_ = globalPoint;
  dragStartGeometry_ = frameGeometry();
  grabMouse();
}

void CColorTitleDlg::StartResize(Qt::Edges edges, const QPoint& globalPoint) {
  if (QWindow* window = windowHandle(); window && window->startSystemResize(edges)) return;
  drag_ = Drag::kResize;
  dragEdges_ = edges;
  dragStartGlobal_ = globalPoint;
  dragStartGeometry_ = geometry();
  grabMouse();
}

void CColorTitleDlg::UpdateCursor(const QPoint& windowPoint) {
  switch (HitTest(windowPoint)) {
    case kalimo::skin::kHitLeft:
    case kalimo::skin::kHitRight: setCursor(Qt::SizeHorCursor); break;
    case kalimo::skin::kHitTop:
    case kalimo::skin::kHitBottom: setCursor(Qt::SizeVerCursor); break;
    case kalimo::skin::kHitTopLeft:
    case kalimo::skin::kHitBottomRight: setCursor(Qt::SizeFDiagCursor); break;
    case kalimo::skin::kHitTopRight:
    case kalimo::skin::kHitBottomLeft: setCursor(Qt::SizeBDiagCursor); break;
    default: unsetCursor(); break;
  }
}

void CColorTitleDlg::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const FrameHit hit = HitTest(p);
  if (hit == kalimo::skin::kHitClient) {
    QDialog::mousePressEvent(event);
    return;
  }
  if (event->button() == Qt::RightButton && p.y() < FrameMetrics::kTitleHeight) {
    // As on any title bar, the right button opens the window's menu.
    HideButtonToolTip();
    SystemMenu()->popup(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  HideButtonToolTip();
  if (showIcon_ && ButtonRects().icon.Contains(p.x(), p.y())) {
    SystemMenu()->popup(event->globalPosition().toPoint());
  } else if (kalimo::skin::ButtonAt(ButtonRects(), p.x(), p.y()) != FrameButton::kNone) {
    // Pressing a button does nothing visible: its action runs on release.
  } else if (const Qt::Edges edges = EdgesOf(hit)) {
    StartResize(edges, event->globalPosition().toPoint());
  } else if (hit == kalimo::skin::kHitCaption) {
    StartMove(event->globalPosition().toPoint());
  }
  event->accept();
}

void CColorTitleDlg::mouseMoveEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (drag_ == Drag::kMove) {
    move(dragStartGeometry_.topLeft() + (global - dragStartGlobal_));
    return;
  }
  if (drag_ == Drag::kResize) {
    QRect g = dragStartGeometry_;
    const QPoint d = global - dragStartGlobal_;
    if (dragEdges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + d.x(), g.right() - minimumWidth()));
    if (dragEdges_ & Qt::RightEdge) g.setRight(g.right() + d.x());
    if (dragEdges_ & Qt::TopEdge) g.setTop(std::min(g.top() + d.y(), g.bottom() - minimumHeight()));
    if (dragEdges_ & Qt::BottomEdge) g.setBottom(g.bottom() + d.y());
    setGeometry(g);
    return;
  }
  const QPoint p = event->position().toPoint();
  SetHovered(kalimo::skin::ButtonAt(ButtonRects(), p.x(), p.y()));
  UpdateCursor(p);
  QDialog::mouseMoveEvent(event);
}

void CColorTitleDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ != Drag::kNone) {
    drag_ = Drag::kNone;
    releaseMouse();
    event->accept();
    return;
  }
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton && HitTest(p) != kalimo::skin::kHitClient) {
    // The release point alone decides which button's action runs.
    PressFrameButton(kalimo::skin::ButtonAt(ButtonRects(), p.x(), p.y()));
    event->accept();
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

void CColorTitleDlg::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const kalimo::skin::FrameButtons buttons = ButtonRects();
  const bool onCaption = p.y() < FrameMetrics::kTitleHeight && HitTest(p) == kalimo::skin::kHitCaption &&
                         kalimo::skin::ButtonAt(buttons, p.x(), p.y()) == FrameButton::kNone &&
                         !buttons.icon.Contains(p.x(), p.y());
  if (event->button() == Qt::LeftButton && onCaption && (boxes_ & kalimo::skin::kMaximizeBox)) {
    ToggleMaximized();
    event->accept();
    return;
  }
  // A second click on a button counts as a press again, so its release runs the action.
  mousePressEvent(event);
}

void CColorTitleDlg::leaveEvent(QEvent* event) {
  SetHovered(FrameButton::kNone);
  QDialog::leaveEvent(event);
}

void CColorTitleDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceClientArea();
  update();
}

void CColorTitleDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    active_ = isActiveWindow();
    update();
  } else if (event->type() == QEvent::WindowStateChange) {
    HideButtonToolTip();
    update();
  }
  QDialog::changeEvent(event);
}

bool CColorTitleDlg::event(QEvent* event) {
  // Caption buttons have their own tooltip with its own delay; the frame shows no other.
  if (event->type() == QEvent::ToolTip) return true;
  return QDialog::event(event);
}

void CColorTitleDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintFrame(painter);
}

void CColorTitleDlg::PaintFrame(QPainter& painter) const {
  const int w = width();
  const int h = height();
  const int title = FrameMetrics::kTitleHeight;
  const int border = FrameMetrics::kBorderWidth;
  if (skin_.isNull()) {
    painter.fillRect(0, 0, w, title, kFallbackTitle);
    painter.fillRect(0, title, w, h - title, kInnerFrameLine);
  } else {
    painter.drawPixmap(QRect(0, 0, w, title), skin_, kTitleFill);
    painter.drawPixmap(QRect(0, title, border, h - title), skin_, kLeftBorderFill);
    painter.drawPixmap(QRect(w - border, title, border, h - title), skin_, kRightBorderFill);
    painter.drawPixmap(QRect(1, h - border, w - 2, border), skin_, kBottomBorderFill);
  }
  painter.setPen(kOuterFrameLine);
  painter.drawRect(0, 0, w - 1, h - 1);
  painter.setPen(kInnerFrameLine);
  painter.drawRect(1, 1, w - 3, h - 3);
  if (!skin_.isNull()) {
    painter.drawPixmap(QRect(QPoint(0, 0), kTopLeftCorner.size()), skin_, kTopLeftCorner);
    painter.drawPixmap(QRect(QPoint(w - 4, 0), kTopRightCorner.size()), skin_, kTopRightCorner);
  }
  const kalimo::skin::FrameButtons buttons = ButtonRects();
  if (showIcon_ && !icon_.isNull()) painter.drawPixmap(kalimo::skin::ToQRect(buttons.icon), icon_);

  QFont captionFont = font();
  captionFont.setBold(true);
  painter.setFont(captionFont);
  painter.setPen(active_ ? kActiveCaption : kInactiveCaption);
  const int firstButton = !buttons.minimize.IsEmpty()   ? buttons.minimize.left
                          : !buttons.maximize.IsEmpty() ? buttons.maximize.left
                                                        : buttons.close.left;
  const QRect captionArea(FrameMetrics::kCaptionX, FrameMetrics::kCaptionY,
                          std::max(0, firstButton - 4 - FrameMetrics::kCaptionX), title - FrameMetrics::kCaptionY);
  const QString caption = painter.fontMetrics().elidedText(windowTitle(), Qt::ElideRight, captionArea.width());
  painter.drawText(captionArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
  PaintButtons(painter);
}

void CColorTitleDlg::PaintButtons(QPainter& painter) const {
  if (skin_.isNull()) return;
  const auto rowFor = [this](FrameButton button) {
    return !active_ || hovered_ == button ? kHighlightGlyphRow : kNormalGlyphRow;
  };
  const auto draw = [&](const FrameRect& r, int glyphX, FrameButton button) {
    if (r.IsEmpty()) return;
    painter.drawPixmap(kalimo::skin::ToQRect(r), skin_, QRect(glyphX, rowFor(button), 16, 16));
  };
  const kalimo::skin::FrameButtons buttons = ButtonRects();
  draw(buttons.close, kCloseGlyphX, FrameButton::kClose);
  draw(buttons.maximize, isMaximized() ? kRestoreGlyphX : kMaximizeGlyphX, FrameButton::kMaximize);
  draw(buttons.minimize, kMinimizeGlyphX, FrameButton::kMinimize);
}
