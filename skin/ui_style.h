// UI styles: the five built-in skins, the 48-entry skin property table with their values, and
// the operations through which a skinned control fetches a bitmap, a colour, an integer or a
// flag for its style.
#pragma once

#include <QImage>
#include <QObject>
#include <QStringList>
#include <cstdint>

#include "framework/exception.h"
#include "framework/tcolor.h"

class QWidget;

namespace skin {
Q_NAMESPACE

enum TsuiUIStyle : uint8_t {
  FromThemeFile = 0,
  MacOS = 1,
  WinXP = 2,
  DeepBlue = 3,
  Protein = 4,
  BlueGlass = 5,
};
Q_ENUM_NS(TsuiUIStyle)

enum class SkinPropertyKind { Int, Color, Image, Bool };

inline constexpr int SkinPropertyCount = 48;

// One entry of the table. Image entries name their resource by the element after the style's
// prefix ("BUTTON" gives "BLUEGLASS_BUTTON"); an empty element means no resource in any style.
// Int, Color and Bool entries hold one value per built-in style, MacOS first.
struct SkinProperty {
  const char* Key;
  SkinPropertyKind Kind;
  const char* Element;
  int32_t Values[5];
};

// The table, entry i at [i - 1].
extern const SkinProperty SkinPropertyTable[SkinPropertyCount];

// Entry `index` (1..48), or null outside.
const SkinProperty* SkinPropertyAt(int index);

// The table index of a key (letter case ignored), or 0.
int SkinPropertyIndex(const QString& key);

// "MACOS" ... "BLUEGLASS"; empty for FromThemeFile and values outside the enumeration.
QString StyleResourcePrefix(TsuiUIStyle style);

// The bitmap resource that Image entry `index` names in a built-in style; empty when the entry
// is not an Image, the style has no table, or the entry names nothing.
QString StyleImageName(TsuiUIStyle style, int index);

// Every skin bitmap resource of the program, style-specific ones first.
QStringList SkinResourceNames();

// The path under which the resource of that name is embedded.
QString SkinResourcePath(const QString& name);

// A named resource that does not exist (or an empty name).
class EResNotFound : public framework::Exception {
 public:
  using Exception::Exception;
};

// Loads the resource of that name; EResNotFound when there is none.
QImage LoadSkinResource(const QString& name);

bool IsBuiltInStyle(TsuiUIStyle style);

void LoadStyleBitmap(TsuiUIStyle style, int index, QImage* bitmap);
void LoadStyleBitmapFrame(TsuiUIStyle style, int index, QImage* bitmap, int frame, int count);
void CutBitmapFrame(const QImage& source, QImage* target, int count, int frame);

framework::TColor StyleColor(TsuiUIStyle style, int index);
bool StyleBool(TsuiUIStyle style, int index);
int StyleInt(TsuiUIStyle style, int index);

// The class name without its namespace ("TsuiButton").
QString ClassNameOf(const QObject* object);

class TsuiFileTheme;

struct StyleSource {
  bool UseThemeFile = false;
  TsuiUIStyle Style = DeepBlue;
};

StyleSource ResolveStyleSource(const TsuiFileTheme* fileTheme, TsuiUIStyle style);

TsuiUIStyle DefaultStyleForOwner(const QObject* owner);

void PropagateStyleToChildren(QWidget* container, TsuiUIStyle style, TsuiFileTheme* fileTheme);

}  // namespace skin
