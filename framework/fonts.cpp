#include "framework/fonts.h"

#include <QFont>

namespace framework {

QStringList ProgramFontFamilies() {
  return {QStringLiteral("MS Sans Serif"), QStringLiteral("宋体"), QStringLiteral("微软雅黑"),
          QStringLiteral("Courier New"), QStringLiteral("Fixedsys")};
}

void RegisterFontSubstitutes() {
  // The CJK face goes last in every list so that Chinese captions find their glyphs. The fixed
  // fonts fall back to the same face as the others, not to its monospaced sibling: Chinese
  // glyphs are full width in both, and a second face of the same file costs another 3 MB the
  // first time a Chinese text (a CRC error line) reaches the monitor.
  const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
  const QString sans = QStringLiteral("DejaVu Sans");
  const QString mono = QStringLiteral("DejaVu Sans Mono");
  const QStringList families = ProgramFontFamilies();
  QFont::insertSubstitutions(families[0], {sans, cjk});
  QFont::insertSubstitutions(families[1], {cjk, sans});
  QFont::insertSubstitutions(families[2], {cjk, sans});
  QFont::insertSubstitutions(families[3], {mono, cjk});
  QFont::insertSubstitutions(families[4], {mono, cjk});
}

}  // namespace framework
