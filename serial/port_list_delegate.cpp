#include "serial/port_list_delegate.h"

#include <QApplication>
#include <QPainter>

namespace serial {

namespace {

constexpr int margin = 4;

QString DescriptionOf(const QModelIndex& index) {
  return index.data(PortDescriptionRole).toString();
}

}  // namespace

void PortListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const QString description = DescriptionOf(index);
  if (description.isEmpty()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QString name = opt.text;
  opt.text.clear();  // the background and selection as usual, the two lines drawn here
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

  const bool selected = opt.state & QStyle::State_Selected;
  const QPalette::ColorGroup group =
      opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  const QColor text =
      opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  QColor dim = text;
  dim.setAlpha(selected ? 200 : 150);
  const QRect area = opt.rect.adjusted(margin, 2, -margin, -2);
  const int line = opt.fontMetrics.lineSpacing();
  painter->save();
  painter->setFont(opt.font);
  painter->setPen(text);
  const QRect first(area.left(), area.top(), area.width(), line);
  painter->drawText(first, Qt::AlignLeft | Qt::AlignVCenter,
                    opt.fontMetrics.elidedText(description, Qt::ElideRight, area.width()));
  painter->setPen(dim);
  painter->drawText(first.translated(0, line), Qt::AlignLeft | Qt::AlignVCenter,
                    opt.fontMetrics.elidedText(name, Qt::ElideMiddle, area.width()));
  painter->restore();
}

QSize PortListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const QSize plain = QStyledItemDelegate::sizeHint(option, index);
  const QString description = DescriptionOf(index);
  if (description.isEmpty()) return plain;
  const QFontMetrics& metrics = option.fontMetrics;
  const int width = std::max(metrics.horizontalAdvance(description),
                             metrics.horizontalAdvance(index.data().toString()));
  return {std::max(plain.width(), width + 2 * margin), 2 * metrics.lineSpacing() + 4};
}

}  // namespace serial
