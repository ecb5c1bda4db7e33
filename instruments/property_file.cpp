// The property text file of the instrument controls: "File Type = <class>", then one line per
// stored property, "<path> = <value>", nested persistent objects (fonts) as "<name>.<path>".
#include <QFile>
#include <QLocale>
#include <QMetaProperty>
#include <QSaveFile>

#include "framework/exception.h"
#include "framework/guard.h"
#include "instruments/component.h"
#include "instruments/convert.h"

namespace instruments {

namespace {

using framework::Exception;

const QStringList kAlwaysExcluded = {QStringLiteral("Name")};
const QStringList kLayoutExcluded = {
    QStringLiteral("Left"),     QStringLiteral("Top"),   QStringLiteral("Width"),
    QStringLiteral("Height"),   QStringLiteral("Align"), QStringLiteral("Cursor"),
    QStringLiteral("ShowHint"), QStringLiteral("Tag"),   QStringLiteral("Visible"),
    QStringLiteral("Enabled"),  QStringLiteral("Hint"),  QStringLiteral("HelpContext")};

QString ShortClassName(const QMetaObject* meta) {
  const QString name = QString::fromLatin1(meta->className());
  return name.mid(name.lastIndexOf(QLatin1String("::")) +
                  (name.contains(QLatin1String("::")) ? 2 : 0));
}

// A persistent sub-object (a font): a plain object, not another control.
QObject* NestedObject(const QMetaProperty& property, const QObject* owner) {
  if (!(property.metaType().flags() & QMetaType::PointerToQObject)) return nullptr;
  QObject* object = property.read(owner).value<QObject*>();
  if (!object || object->isWidgetType()) return nullptr;
  return object;
}

int FirstStoredProperty(const QObject* object) {
  if (qobject_cast<const TiComponent*>(object))
    return TiComponent::staticMetaObject.propertyOffset();
  return QObject::staticMetaObject.propertyCount();
}

QString EncodeString(QString text) {
  return text.replace(QLatin1Char('\r'), QLatin1String("#13"))
      .replace(QLatin1Char('\n'), QLatin1String("#10"));
}

QString DecodeString(QString text) {
  return text.replace(QLatin1String("#13"), QLatin1String("\r"))
      .replace(QLatin1String("#10"), QLatin1String("\n"));
}

void WriteProperties(const QObject* object, const QString& prefix, const QStringList& excluded,
                     QStringList& lines) {
  const QMetaObject* meta = object->metaObject();
  for (int i = FirstStoredProperty(object); i < meta->propertyCount(); ++i) {
    const QMetaProperty property = meta->property(i);
    const QString name = QString::fromLatin1(property.name());
    if (!property.isReadable() || !property.isWritable() || excluded.contains(name)) continue;
    if (QObject* nested = NestedObject(property, object)) {
      WriteProperties(nested, prefix + name + QLatin1Char('.'), {}, lines);
      continue;
    }
    const QVariant value = property.read(object);
    QString text;
    switch (property.metaType().id()) {
      case QMetaType::QString:
        text = EncodeString(value.toString());
        break;
      case QMetaType::Double:
      case QMetaType::Float:
        text = QLocale().toString(value.toDouble());
        break;
      case QMetaType::Bool:
        text = QString::number(value.toBool() ? 1 : 0);
        break;
      case QMetaType::Char:
        text = QString::number(uchar(value.value<char>()));
        break;
      default:
        if (!property.isEnumType() && !value.canConvert<qlonglong>()) continue;
        text = QString::number(value.toLongLong());
        break;
    }
    lines << prefix + name + QLatin1String(" = ") + text;
  }
}

int ParseOrdinal(const QString& text) {
  if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return 1;
  if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return 0;
  return StrToInt(text);
}

QVariant ParseValue(const QMetaProperty& property, const QString& text) {
  const int type = property.metaType().id();
  if (type == QMetaType::QString) return DecodeString(text);
  if (type == QMetaType::Double || type == QMetaType::Float) {
    bool ok = false;
    const double value = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok) throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
  }
  const int ordinal = ParseOrdinal(text);
  if (type == QMetaType::Bool) return ordinal != 0;
  if (property.isEnumType()) {
    if (!property.enumerator().valueToKey(ordinal))
      throw Exception(QStringLiteral("%1 is not a valid value of %2").arg(text, property.name()));
    return ordinal;
  }
  if (type == QMetaType::Char || type == QMetaType::UChar || type == QMetaType::SChar) {
    if (ordinal < 0 || ordinal > 255)
      throw Exception(QStringLiteral("%1 is out of range for %2").arg(text, property.name()));
    if (type == QMetaType::UChar) return QVariant::fromValue(uchar(ordinal));
    if (type == QMetaType::SChar) return QVariant::fromValue((signed char)(ordinal));
    return QVariant::fromValue(char(ordinal));
  }
  return ordinal;
}

// Follows the path through nested objects; false when it names no stored property.
bool FindProperty(QObject* root, const QString& path, QObject*& object, QMetaProperty& property) {
  const QStringList parts = path.split(QLatin1Char('.'));
  object = root;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(parts[i].toLatin1().constData());
    if (index < FirstStoredProperty(object)) return false;
    property = meta->property(index);
    if (i + 1 == parts.size()) return property.isWritable() && !NestedObject(property, object);
    object = NestedObject(property, object);
    if (!object) return false;
  }
  return false;
}

void LoadLine(QObject* root, const QString& line) {
  const qsizetype equals = line.indexOf(QLatin1Char('='));
  if (equals < 0) return;
  const QString path = line.left(equals).trimmed();
  const QString text = line.mid(equals + 1).trimmed();
  if (path.isEmpty()) return;
  QObject* object = nullptr;
  QMetaProperty property;
  if (!FindProperty(root, path, object, property)) return;
  QVariant value = ParseValue(property, text);
  if (!property.write(object, value))
    throw Exception(QStringLiteral("Invalid value '%1' for %2").arg(text, path));
}

}  // namespace

void TiComponent::SavePropertiesToFile(const QString& fileName) {
  try {
    QStringList lines;
    lines << QLatin1String("File Type = ") + ShortClassName(metaObject());
    QStringList excluded = kAlwaysExcluded;
    if (!optionSaveAllProperties_) excluded << kLayoutExcluded;
    WriteProperties(this, QString(), excluded, lines);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
      throw Exception(
          QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (!file.commit())
      throw Exception(
          QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
  } catch (...) {
    throw Exception(QLatin1String("Error Saving Properties - ") +
                    framework::ExceptionMessage(std::current_exception()));
  }
}

void TiComponent::LoadPropertiesFromFile(const QString& fileName) {
  BeginUpdate();
  try {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
      throw Exception(
          QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QString text = QString::fromUtf8(file.readAll());
    for (const QString& line : text.split(QLatin1Char('\n'))) LoadLine(this, line);
  } catch (...) {
    const QString message = framework::ExceptionMessage(std::current_exception());
    EndUpdate();
    throw Exception(QLatin1String("Error Loading Properties - ") + message);
  }
  EndUpdate();
}

}  // namespace instruments
