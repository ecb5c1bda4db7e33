#include "framework/fonts.h"

#include <QFont>

namespace framework {

QStringList ProgramFontFamilies() {
  return {QStringLiteral("MS Sans Serif"), QStringLiteral("宋体"), QStringLiteral("微软雅黑"),
          QStringLiteral("Courier New"), QStringLiteral("Fixedsys")};
}

void RegisterFontSubstitutes() {
  // The CJK face goes last in every list so that Chinese captions find their glyphs.
  const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
  const QString cjkMono = QStringLiteral("WenQuanYi Micro Hei Mono");
  const QString sans = QStringLiteral("DejaVu Sans");
  const QString mono = QStringLiteral("DejaVu Sans Mono");
  const QStringList families = ProgramFontFamilies();
  QFont::insertSubstitutions(families[0], {sans, cjk});
  QFont::insertSubstitutions(families[1], {cjk, sans});
  QFont::insertSubstitutions(families[2], {cjk, sans});
  QFont::insertSubstitutions(families[3], {mono, cjkMono});
  QFont::insertSubstitutions(families[4], {mono, cjkMono});
}

}  // namespace framework
