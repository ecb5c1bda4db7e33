// Translating every caption of an object and of everything it owns or references.
#include <QMetaProperty>
#include <QSet>
#include <QStringListModel>

#include "framework/exception.h"
#include "i18n/gnugettext.h"

namespace i18n {

namespace {

void InsertSorted(QStringList& list, const QString& text) {
  auto at = std::lower_bound(list.begin(), list.end(), text);
  if (at == list.end() || *at != text) list.insert(at, text);
}

bool Contains(const QStringList& sorted, const QString& text) {
  return std::binary_search(sorted.begin(), sorted.end(), text);
}

bool InheritsFrom(const QMetaObject* cls, const QMetaObject* ancestor) {
  for (; cls; cls = cls->superClass())
    if (cls == ancestor) return true;
  return false;
}

framework::Exception PropertyFailure(QObject* object, const QString& property,
                                     const QString& reason) {
  return framework::Exception(
      QStringLiteral("Property cannot be translated.\r\nUse TP_GlobalIgnoreClassProperty(") +
      QString::fromLatin1(object->metaObject()->className()) + QLatin1Char(',') + property +
      QStringLiteral(") or\r\nTP_Ignore (self,'.") + property +
      QStringLiteral("') to prevent this message.\r\nReason: ") + reason);
}

}  // namespace

void TGnuGettextInstance::TP_Ignore(QObject*, const QString& name) {
  std::unique_lock guard(lock_);
  InsertSorted(ignoreList_, name.toUpper());
}

QStringList TGnuGettextInstance::IgnoreList() const {
  std::shared_lock guard(lock_);
  return ignoreList_;
}

void TGnuGettextInstance::TP_GlobalIgnoreClassProperty(const QMetaObject* cls,
                                                       const QString& propertyName) {
  std::unique_lock guard(lock_);
  for (TClassMode& rule : classRules_) {
    if (rule.HClass != cls) continue;
    if (rule.SpecialHandler)
      throw framework::Exception(
          QStringLiteral("You cannot ignore a class property for a class that has a handler set."));
    InsertSorted(rule.PropertiesToIgnore, propertyName.toUpper());
    return;
  }
  // A rule goes before the rules of its ancestors, so the most derived class is met first.
  auto at = std::find_if(classRules_.begin(), classRules_.end(),
                         [cls](const TClassMode& rule) { return InheritsFrom(cls, rule.HClass); });
  classRules_.insert(at, {cls, {propertyName.toUpper()}, {}});
}

void TGnuGettextInstance::TP_GlobalHandleClass(const QMetaObject* cls, TTranslator handler) {
  std::unique_lock guard(lock_);
  for (TClassMode& rule : classRules_) {
    if (rule.HClass != cls) continue;
    rule.PropertiesToIgnore.clear();
    rule.SpecialHandler = std::move(handler);
    return;
  }
  auto at = std::find_if(classRules_.begin(), classRules_.end(),
                         [cls](const TClassMode& rule) { return InheritsFrom(cls, rule.HClass); });
  classRules_.insert(at, {cls, {}, std::move(handler)});
}

QStringList TGnuGettextInstance::MergedClassRules(QObject* object, TTranslator* handler,
                                                  bool* excluded) const {
  std::shared_lock guard(lock_);
  QStringList merged;
  *excluded = false;
  for (const TClassMode& rule : classRules_) {
    if (!InheritsFrom(object->metaObject(), rule.HClass)) continue;
    if (rule.PropertiesToIgnore.isEmpty()) {
      *excluded = true;
      *handler = rule.SpecialHandler;
      return {};
    }
    for (const QString& name : rule.PropertiesToIgnore) InsertSorted(merged, name);
  }
  return merged;
}

QStringList TGnuGettextInstance::TranslateStrings(const QStringList& lines, const QString& domain) {
  QStringList copy = lines;
  for (QString& line : copy)
    if (!line.isEmpty()) line = dgettext(domain, line);
  return copy;
}

QStringList TGnuGettextInstance::TranslateLines(const QStringList& lines, const QString& domain) {
  QStringList copy = lines;
  for (QString& line : copy)
    if (!line.isEmpty()) line = TranslateOrKeep(domain, line);
  return copy;
}

void TGnuGettextInstance::TranslateObjectTree(QObject* root, const QString& domain) {
  const QString textDomain = domain.isEmpty() ? getcurrenttextdomain() : domain;
  // The ignore list serves one walk, whether it ends normally or by a failure.
  struct ClearIgnoreList {
    TGnuGettextInstance* self;
    ~ClearIgnoreList() {
      std::unique_lock guard(self->lock_);
      self->ignoreList_.clear();
    }
  } clearAtEnd{this};
  const QStringList ignored = IgnoreList();
  ObjectQueue queue{{root, QString()}};
  QSet<QObject*> visited;
  while (!queue.empty()) {
    auto [object, name] = queue.front();
    queue.pop_front();
    if (!object || visited.contains(object)) continue;
    visited.insert(object);
    TranslateObject(object, name, textDomain, ignored, queue);
  }
}

void TGnuGettextInstance::TranslateObject(QObject* object, const QString& name,
                                          const QString& domain, const QStringList& ignored,
                                          ObjectQueue& queue) {
  TTranslator handler;
  bool excluded = false;
  const QStringList skipped = MergedClassRules(object, &handler, &excluded);
  if (excluded) {
    if (handler) handler(object);
    return;
  }
  const QMetaObject* meta = object->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i) {
    const QMetaProperty property = meta->property(i);
    if (!property.isReadable() || !property.isStored()) continue;
    const QString upper = QString::fromLatin1(property.name()).toUpper();
    if (Contains(ignored, name + QLatin1Char('.') + upper) || Contains(skipped, upper)) continue;
    TranslateProperty(object, property.name(), domain, queue);
  }
  if (auto* model = qobject_cast<QStringListModel*>(object))
    model->setStringList(TranslateLines(model->stringList(), domain));
  for (QObject* child : object->children()) {
    const QString childName = child->objectName().toUpper();
    if (!Contains(ignored, childName)) queue.emplace_back(child, childName);
  }
}

void TGnuGettextInstance::TranslateProperty(QObject* object, const char* property,
                                            const QString& domain, ObjectQueue& queue) {
  const QString propertyName = QString::fromLatin1(property);
  try {
    const QMetaObject* meta = object->metaObject();
    QMetaProperty meta_property = meta->property(meta->indexOfProperty(property));
    const QVariant value = meta_property.read(object);
    const int type = meta_property.metaType().id();
    QVariant translated;
    if (type == QMetaType::QString) {
      const QString text = value.toString();
      if (text.isEmpty() || !meta_property.isWritable()) return;
      const QString result = TranslateOrKeep(domain, text);
      if (result != text) translated = result;
    } else if (type == QMetaType::QStringList) {
      const QStringList lines = value.toStringList();
      const QStringList result = TranslateLines(lines, domain);
      if (result != lines && meta_property.isWritable()) translated = result;
    } else if (meta_property.metaType().flags() & QMetaType::PointerToQObject) {
      if (QObject* referenced = value.value<QObject*>()) queue.emplace_back(referenced, QString());
    }
    if (!translated.isValid()) return;
    // Writing a caption may rebuild the object's properties; find this one again by name.
    const int index = object->metaObject()->indexOfProperty(property);
    if (index < 0) throw framework::Exception(QStringLiteral("Property disappeared..."));
    object->metaObject()->property(index).write(object, translated);
  } catch (const framework::Exception& failure) {
    throw PropertyFailure(object, propertyName, failure.Message());
  } catch (const std::exception& failure) {
    throw PropertyFailure(object, propertyName, QString::fromUtf8(failure.what()));
  }
}

}  // namespace i18n
