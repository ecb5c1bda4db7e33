// The hooks of the optional process-data link. The link itself lives outside this program; its
// items bind a property name to an output. With no items, nothing here has any effect.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

namespace instruments {

struct TiOPCItem {
  QString PropertyName;
  // Takes a value written by the control; true when the link took it.
  std::function<bool(const QVariant& value)> Output;
};

class TiOPCItemManager {
 public:
  int Count() const { return int(items_.size()); }
  const TiOPCItem& Item(int index) const { return items_.at(index); }
  void Add(TiOPCItem item) { items_.append(std::move(item)); }
  void Clear() { items_.clear(); }

  // Offers a property change to every item bound to that name (case-insensitive); true when
  // one took it.
  bool Offer(const QString& propertyName, const QVariant& value) const;

 private:
  QList<TiOPCItem> items_;
};

using TIndexObjectEvent = std::function<void(QObject* Sender, int Index)>;
using TBeforeOPCNewDataEvent = std::function<void(QObject* Sender, int Index, QVariant& Data)>;

}  // namespace instruments
