#include "instruments/data_link.h"

namespace instruments {

bool TiOPCItemManager::Offer(const QString& propertyName, const QVariant& value) const {
  bool taken = false;
  for (const TiOPCItem& item : items_) {
    if (item.PropertyName.compare(propertyName, Qt::CaseInsensitive) != 0) continue;
    if (item.Output && item.Output(value)) taken = true;
  }
  return taken;
}

}  // namespace instruments
