// How the port box's drop-down list draws a port: one line with its name, or for a USB adapter
// two: what the adapter says it is, and below it, dimmed, the name that is stored.
#pragma once

#include <QStyledItemDelegate>

namespace serial {

// The item role that holds a port's description; items without one are drawn as usual.
inline constexpr int PortDescriptionRole = Qt::UserRole + 1;

class PortListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace serial
