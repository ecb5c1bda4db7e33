#include "skin/ui_style.h"

#include <QFile>
#include <QMetaProperty>
#include <QPointer>
#include <QWidget>

#include "skin/file_theme.h"

namespace skin {

namespace {

const char* const kStyleElements[] = {"BUTTON",          "CHECKBOX",           "RADIOBUTTON",
                                      "TITLEBTN",        "TITLE_LEFT",         "TITLE_CLIENT",
                                      "TITLE_RIGHT",     "PROGRESSBAR",        "TRACKBAR_BAR",
                                      "TRACKBAR_SLIDER", "TRACKBAR_SLIDER_V",  "SCROLLBAR_BUTTON",
                                      "SCROLLBAR_TRACK", "CHECKLIST",          "TAB",
                                      "TAB_LINE",        "SIDECHENNEL_HANDLE", "SIDECHENNEL_BAR"};

const char* const kExtraResources[] = {"MACOS_SCROLLBUTTON",
                                       "MACOS_COMBOBOX_BUTTON",
                                       "MACOS_FORM_BACKGROUND",
                                       "MACOS_MENU_BAR",
                                       "MACOS_MENU_SELECT",
                                       "WINXP_SCROLLBUTTON",
                                       "WINXP_COMBOBOX_BUTTON",
                                       "PROTEIN_FORM_BACKGROUND",
                                       "MORE_SCROLLBUTTON",
                                       "MENU_CHECKED",
                                       "MSGDLG",
                                       "MSNPOPFORM",
                                       "PANEL_BUTTON",
                                       "MDI_CONTROL_BUTTON",
                                       "STATUSBAR_HANDLE",
                                       "SIDECHANNEL_BTN"};

constexpr int kScrollButtonEntry = 38;

// The entry when it exists for this style and is of that kind.
const SkinProperty* BuiltInEntry(TsuiUIStyle style, int index, SkinPropertyKind kind) {
  const SkinProperty* entry = SkinPropertyAt(index);
  if (!entry || !IsBuiltInStyle(style) || entry->Kind != kind) return nullptr;
  return entry;
}

QString ShortName(const QObject* object) {
  const QString name = QString::fromLatin1(object->metaObject()->className());
  const qsizetype colons = name.lastIndexOf(QLatin1String("::"));
  return colons < 0 ? name : name.mid(colons + 2);
}

}  // namespace

const SkinProperty* SkinPropertyAt(int index) {
  if (index < 1 || index > SkinPropertyCount) return nullptr;
  return &SkinPropertyTable[index - 1];
}

int SkinPropertyIndex(const QString& key) {
  for (int i = 1; i <= SkinPropertyCount; ++i)
    if (key.compare(QLatin1String(SkinPropertyTable[i - 1].Key), Qt::CaseInsensitive) == 0)
      return i;
  return 0;
}

bool IsBuiltInStyle(TsuiUIStyle style) {
  return style >= MacOS && style <= BlueGlass;
}

QString StyleResourcePrefix(TsuiUIStyle style) {
  switch (style) {
    case MacOS:
      return QStringLiteral("MACOS");
    case WinXP:
      return QStringLiteral("WINXP");
    case DeepBlue:
      return QStringLiteral("DEEPBLUE");
    case Protein:
      return QStringLiteral("PROTEIN");
    case BlueGlass:
      return QStringLiteral("BLUEGLASS");
    default:
      return QString();
  }
}

QString StyleImageName(TsuiUIStyle style, int index) {
  const SkinProperty* entry = BuiltInEntry(style, index, SkinPropertyKind::Image);
  if (!entry || !*entry->Element) return QString();
  if (index == kScrollButtonEntry && style != MacOS && style != WinXP)
    return QStringLiteral("MORE_SCROLLBUTTON");
  return StyleResourcePrefix(style) + QLatin1Char('_') + QLatin1String(entry->Element);
}

QStringList SkinResourceNames() {
  QStringList names;
  for (int style = MacOS; style <= BlueGlass; ++style)
    for (const char* element : kStyleElements)
      names << StyleResourcePrefix(TsuiUIStyle(style)) + QLatin1Char('_') + QLatin1String(element);
  for (const char* name : kExtraResources) names << QLatin1String(name);
  return names;
}

QString SkinResourcePath(const QString& name) {
  return QStringLiteral(":/skin/") + name + QStringLiteral(".bmp");
}

QImage LoadSkinResource(const QString& name) {
  QImage image;
  if (!name.isEmpty() && QFile::exists(SkinResourcePath(name)))
    image.load(SkinResourcePath(name), "BMP");
  if (image.isNull()) throw EResNotFound(QStringLiteral("Resource %1 not found").arg(name));
  return image;
}

void LoadStyleBitmap(TsuiUIStyle style, int index, QImage* bitmap) {
  if (!bitmap || !BuiltInEntry(style, index, SkinPropertyKind::Image)) return;
  *bitmap = LoadSkinResource(StyleImageName(style, index));
}

void LoadStyleBitmapFrame(TsuiUIStyle style, int index, QImage* bitmap, int frame, int count) {
  if (count == 0) {
    LoadStyleBitmap(style, index, bitmap);
    return;
  }
  if (!bitmap || !BuiltInEntry(style, index, SkinPropertyKind::Image)) return;
  QImage whole;
  LoadStyleBitmap(style, index, &whole);
  CutBitmapFrame(whole, bitmap, count, frame);
}

void CutBitmapFrame(const QImage& source, QImage* target, int count, int frame) {
  if (!target) return;
  // A count below 1 has no frames to cut: the target gets the whole source.
  if (count < 1) {
    *target = source;
    return;
  }
  const int w = source.width() / count;
  *target = source.copy(w * (frame - 1), 0, w, source.height());
}

framework::TColor StyleColor(TsuiUIStyle style, int index) {
  const SkinProperty* entry = BuiltInEntry(style, index, SkinPropertyKind::Color);
  return entry ? entry->Values[style - MacOS] : 0;
}

bool StyleBool(TsuiUIStyle style, int index) {
  const SkinProperty* entry = BuiltInEntry(style, index, SkinPropertyKind::Bool);
  return entry ? entry->Values[style - MacOS] != 0 : false;
}

int StyleInt(TsuiUIStyle style, int index) {
  const SkinProperty* entry = BuiltInEntry(style, index, SkinPropertyKind::Int);
  return entry ? entry->Values[style - MacOS] : -1;
}

StyleSource ResolveStyleSource(const TsuiFileTheme* fileTheme, TsuiUIStyle style) {
  if (style != FromThemeFile) return {false, style};
  if (fileTheme && fileTheme->Loaded()) return {true, style};
  return {false, DeepBlue};
}

TsuiUIStyle DefaultStyleForOwner(const QObject* owner) {
  if (!owner || !owner->isWidgetType() || !static_cast<const QWidget*>(owner)->isWindow())
    return DeepBlue;
  for (const QObject* child : owner->children()) {
    if (!child->isWidgetType() || ShortName(child) != QLatin1String("TsuiForm")) continue;
    const QVariant value = child->property("UIStyle");
    return value.isValid() ? TsuiUIStyle(value.toInt()) : DeepBlue;
  }
  return DeepBlue;
}

void PropagateStyleToChildren(QWidget* container, TsuiUIStyle style, TsuiFileTheme* fileTheme) {
  if (!container) return;
  // Guarded copies: a child's setter may add or remove widgets.
  QList<QPointer<QObject>> children;
  for (QObject* child : container->children())
    if (child->isWidgetType()) children << child;
  for (const QPointer<QObject>& child : children) {
    if (!child) continue;
    const QMetaObject* meta = child->metaObject();
    if (meta->indexOfProperty("FileTheme") < 0 || meta->indexOfProperty("UIStyle") < 0) continue;
    child->setProperty("FileTheme", QVariant::fromValue(fileTheme));
    child->setProperty("UIStyle", QVariant::fromValue(style));
  }
}

QString ClassNameOf(const QObject* object) {
  return ShortName(object);
}

}  // namespace skin
