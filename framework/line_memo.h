// A read-only memo for a stream of text lines, such as a traffic log: it keeps the newest
// MaxLines lines compactly, draws only the lines in view, and repaints at most RepaintMs apart
// however fast lines come. While the view shows the last line it follows new ones; scrolled
// back, it stays on the lines it shows even as the oldest leave. Whole lines are selected
// with the mouse (drag, or click and shift-click); Ctrl+C copies them, Ctrl+A selects all.
#pragma once

#include "framework/line_store.h"

#include <QAbstractScrollArea>

#include <functional>

class QMenu;
class QTimer;

namespace framework {

class TLineMemo : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TLineMemo(QWidget* parent = nullptr);

  static constexpr int RepaintMs = 100;

  // Adds the owner's entries to the context menu, after the memo's own.
  std::function<void(QMenu& menu)> OnContextMenu;

  // Appends one line; line breaks in the text start further lines. Each line keeps its time
  // (milliseconds since the epoch): now, or the one given.
  void Append(const QString& text);
  void Append(const QString& text, int64_t stampMs);
  void Clear();
  void SetMaxLines(int64_t lines);
  int64_t MaxLines() const { return maxLines_; }

  int64_t LineCount() const { return store_.Count(); }
  QString Line(int64_t index) const { return store_.Line(index); }
  int64_t Stamp(int64_t index) const { return store_.Stamp(index); }
  // Every line with its time, oldest first.
  void ForEachLine(const std::function<void(const QString& line, int64_t stampMs)>& visit) const {
    store_.ForEach(0, store_.Count() - 1, visit);
  }
  QString Text() const;
  // The selected lines joined by line breaks; empty without a selection.
  QString SelectedText() const;
  void SelectAll();
  void CopySelection() const;
  // Brings the scroll bars and the view up to date at once instead of at the next repaint.
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int LineHeight() const;
  int VisibleLines() const;
  int64_t LineAt(int y) const;
  void ScheduleRefresh();
  void Trim();
  void UpdateScrollBars();
  bool HasSelection() const { return anchor_ >= 0; }

  LineStore store_;
  int64_t maxLines_ = 100000;
  int64_t firstSerial_ = 0;  // the serial number of line 0: selections survive dropped lines
  int64_t anchor_ = -1, cursor_ = -1;  // selected serials, inclusive; -1: none
  int64_t droppedSinceRefresh_ = 0;
  int widest_ = 0;
  int LineWidth(const QString& line) const;
  mutable int asciiAdvance_ = -1;  // of the current font, in 1/64 pixel; -1: not known yet
  QTimer* refresh_;
};

}  // namespace framework
