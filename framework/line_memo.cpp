#include "framework/line_memo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>

namespace framework {

namespace {
constexpr int kMargin = 2;

bool PrintableAscii(QStringView line) {
  for (QChar c : line)
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  return true;
}

// The one advance, in 1/64 pixel, of every printable ASCII character when the font has one
// (fixed pitch, no kerning); 0 otherwise. A text's width is then its characters' advances added
// up and rounded to a pixel, as Qt lays it out; checked against the layout itself on every
// character and on lines of every length up to 160, so the shortcut is exact.
int CommonAsciiAdvance(const QFont& font) {
  const QFontMetricsF exact(font);
  const QFontMetrics metrics(font);
  const int one = qRound(exact.horizontalAdvance(QChar(u' ')) * 64);
  if (one <= 0) return 0;
  QString all;
  for (char16_t c = 0x20; c <= 0x7E; ++c) {
    all += QChar(c);
    if (qRound(exact.horizontalAdvance(QChar(c)) * 64) != one) return 0;
  }
  for (int n = 1; n <= 160; ++n) {
    const QString line = all.repeated(2).left(n);
    if (metrics.horizontalAdvance(line) != (n * one + 32) / 64) return 0;
  }
  return one;
}
}  // namespace

TLineMemo::TLineMemo(QWidget* parent) : QAbstractScrollArea(parent), refresh_(new QTimer(this)) {
  refresh_->setSingleShot(true);
  connect(refresh_, &QTimer::timeout, this, &TLineMemo::Refresh);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setCursor(Qt::IBeamCursor);
  verticalScrollBar()->setSingleStep(1);
  // The scroll bars change with every repaint while lines come in. Qt's default style fills
  // them with gradients that cost over a millisecond each time (the fills go through Qt's
  // painting threads); the classic style draws them flat, in a quarter of the time.
  if (QStyle* flat = QStyleFactory::create(QStringLiteral("Windows"))) {
    flat->setParent(this);
    verticalScrollBar()->setStyle(flat);
    horizontalScrollBar()->setStyle(flat);
  }
}

void TLineMemo::Append(const QString& text) { Append(text, QDateTime::currentMSecsSinceEpoch()); }

// A traffic line in a fixed-pitch font costs a multiplication instead of a text layout: at
// hundreds of lines a second, laying each out was a good part of the program's time.
int TLineMemo::LineWidth(const QString& line) const {
  if (asciiAdvance_ < 0) asciiAdvance_ = CommonAsciiAdvance(font());
  if (asciiAdvance_ > 0 && PrintableAscii(line))
    return int((int64_t(line.size()) * asciiAdvance_ + 32) / 64);
  return QFontMetrics(font()).horizontalAdvance(line);
}

void TLineMemo::Append(const QString& text, int64_t stampMs) {
  const auto lines = QStringView(text).split(u'\n');
  for (QStringView line : lines) {
    const QString one = line.toString();
    store_.Append(one, stampMs);
    widest_ = std::max(widest_, LineWidth(one));
  }
  Trim();
  ScheduleRefresh();
}

void TLineMemo::Trim() {
  if (store_.Count() <= maxLines_) return;
  const int64_t excess = store_.Count() - maxLines_;
  store_.DropOldest(excess);
  firstSerial_ += excess;
  droppedSinceRefresh_ += excess;
}

void TLineMemo::Clear() {
  store_.Clear();
  firstSerial_ = 0;
  anchor_ = cursor_ = -1;
  droppedSinceRefresh_ = 0;
  widest_ = 0;
  refresh_->stop();
  Refresh();
}

void TLineMemo::SetMaxLines(int64_t lines) {
  maxLines_ = std::max<int64_t>(lines, 1);
  Trim();
  ScheduleRefresh();
}

QString TLineMemo::Text() const {
  QStringList lines;
  store_.ForEach(0, store_.Count() - 1, [&](const QString& line) { lines << line; });
  return lines.join(u'\n');
}

QString TLineMemo::SelectedText() const {
  if (!HasSelection()) return QString();
  const int64_t first = std::max(std::min(anchor_, cursor_) - firstSerial_, int64_t{0});
  const int64_t last = std::max(anchor_, cursor_) - firstSerial_;
  QStringList lines;
  store_.ForEach(first, last, [&](const QString& line) { lines << line; });
  return lines.join(u'\n');
}

void TLineMemo::SelectAll() {
  if (store_.Count() == 0) return;
  anchor_ = firstSerial_;
  cursor_ = firstSerial_ + store_.Count() - 1;
  viewport()->update();
}

void TLineMemo::CopySelection() const {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void TLineMemo::ScheduleRefresh() {
  if (!refresh_->isActive()) refresh_->start(RepaintMs);
}

void TLineMemo::Refresh() {
  refresh_->stop();
  UpdateScrollBars();
  viewport()->update();
}

int TLineMemo::LineHeight() const { return std::max(QFontMetrics(font()).height(), 1); }

int TLineMemo::VisibleLines() const {
  return std::max((viewport()->height() - 2 * kMargin) / LineHeight(), 1);
}

void TLineMemo::UpdateScrollBars() {
  QScrollBar* v = verticalScrollBar();
  const bool following = v->value() >= v->maximum();
  // Scrolled back, the view keeps showing the same lines while older ones leave above them.
  const int kept = std::max<int64_t>(v->value() - droppedSinceRefresh_, 0);
  droppedSinceRefresh_ = 0;
  const int64_t top = std::max<int64_t>(store_.Count() - VisibleLines(), 0);
  v->setRange(0, static_cast<int>(top));
  v->setPageStep(VisibleLines());
  v->setValue(following ? v->maximum() : kept);

  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(widest_ + 2 * kMargin - viewport()->width(), 0));
  h->setPageStep(viewport()->width());
  h->setSingleStep(std::max(QFontMetrics(font()).averageCharWidth(), 1));
}

int64_t TLineMemo::LineAt(int y) const {
  const int64_t index = verticalScrollBar()->value() + (y - kMargin) / LineHeight();
  return std::clamp<int64_t>(index, 0, std::max<int64_t>(store_.Count() - 1, 0));
}

void TLineMemo::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QPalette& pal = palette();
  const int height = LineHeight();
  const int ascent = QFontMetrics(font()).ascent();
  const int64_t first = verticalScrollBar()->value();
  const int64_t last = std::min<int64_t>(first + viewport()->height() / height, store_.Count() - 1);
  const int x = kMargin - horizontalScrollBar()->value();
  const int64_t selFirst = std::min(anchor_, cursor_), selLast = std::max(anchor_, cursor_);
  int y = kMargin;
  int64_t serial = firstSerial_ + first;
  store_.ForEach(first, last, [&](const QString& line) {
    const bool selected = HasSelection() && serial >= selFirst && serial <= selLast;
    if (selected) painter.fillRect(0, y, viewport()->width(), height, pal.color(QPalette::Highlight));
    painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(x, y + ascent, line);
    y += height;
    ++serial;
  });
}

void TLineMemo::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TLineMemo::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || store_.Count() == 0) return;
  const int64_t serial = firstSerial_ + LineAt(event->position().toPoint().y());
  if (!(event->modifiers() & Qt::ShiftModifier) || !HasSelection()) anchor_ = serial;
  cursor_ = serial;
  viewport()->update();
}

void TLineMemo::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !HasSelection()) return;
  const int y = event->position().toPoint().y();
  // Dragging past an edge scrolls on.
  if (y < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (y > viewport()->height()) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  cursor_ = firstSerial_ + LineAt(y);
  viewport()->update();
}

void TLineMemo::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return CopySelection();
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  QScrollBar* v = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Up: return v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Down: return v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_PageUp: return v->triggerAction(QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown: return v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Home: return v->triggerAction(QAbstractSlider::SliderToMinimum);
    case Qt::Key_End: return v->triggerAction(QAbstractSlider::SliderToMaximum);
    default: QAbstractScrollArea::keyPressEvent(event);
  }
}

void TLineMemo::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("复制"), this, &TLineMemo::CopySelection)->setEnabled(HasSelection());
  menu.addAction(QStringLiteral("全选"), this, &TLineMemo::SelectAll)->setEnabled(store_.Count() > 0);
  if (OnContextMenu) OnContextMenu(menu);
  menu.exec(event->globalPos());
}

void TLineMemo::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  // Widths were measured in the old font.
  asciiAdvance_ = -1;
  widest_ = 0;
  store_.ForEach(0, store_.Count() - 1,
                 [&](const QString& line) { widest_ = std::max(widest_, LineWidth(line)); });
  Refresh();
}

}  // namespace framework
