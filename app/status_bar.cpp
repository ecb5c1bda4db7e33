#include "app/status_bar.h"

#include "framework/canvas.h"
#include "framework/guard.h"
#include "framework/tcolor.h"

#include <QPainter>

namespace app {

// The bar paints every pixel itself, so a changed count repaints nothing beneath it.
TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  repaint_.setSingleShot(true);
  repaint_.setInterval(50);
  connect(&repaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void TStatusBar::AddPanel(int width, const QString& text) {
  panels_.push_back({width, text});
  update();
}

QString TStatusBar::PanelText(int index) const {
  return index >= 0 && index < PanelCount() ? panels_[size_t(index)].text : QString();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
  if (index < 0 || index >= PanelCount() || panels_[size_t(index)].text == text) return;
  panels_[size_t(index)].text = text;
  if (!repaint_.isActive()) repaint_.start();
}

void TStatusBar::paintEvent(QPaintEvent*) {
  framework::Guard([this] {
    QPainter painter(this);
    framework::BeginGdiPainting(painter);
    painter.fillRect(rect(), framework::ColorToQColor(framework::clBtnFace));
    const QColor shadow = framework::ColorToQColor(framework::clBtnShadow);
    const QColor light = framework::ColorToQColor(framework::clBtnHighlight);
    int left = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
      // The last panel takes the rest of the bar.
      const int right = i + 1 == panels_.size() ? width() : left + panels_[i].width;
      const int top = 2, bottom = height();
      framework::GdiFillRect(painter, left, top, right - 2, top + 1, shadow);
      framework::GdiFillRect(painter, left, top, left + 1, bottom, shadow);
      framework::GdiFillRect(painter, left, bottom - 1, right - 2, bottom, light);
      framework::GdiFillRect(painter, right - 3, top, right - 2, bottom, light);
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(QRect(left + 3, top, right - left - 6, bottom - top),
                       Qt::AlignVCenter | Qt::AlignLeft, panels_[i].text);
      left = right;
    }
  });
}

}  // namespace app
