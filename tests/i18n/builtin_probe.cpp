// Prints what the program's translation finds: the language, the built-in catalogue error (if
// any), then one line per DOMAIN:TEXT argument.
#include <cstdio>

#include "framework/exception.h"
#include "i18n/builtin_catalogues.h"
#include "i18n/gnugettext.h"

int main(int argc, char** argv) {
  i18n::TGnuGettextInstance& translation = i18n::DefaultInstance();
  std::printf("language=%s\n", qPrintable(translation.GetCurrentLanguage()));
  std::printf("error=%s\n", qPrintable(i18n::BuiltinCatalogueError()));
  for (int i = 1; i < argc; ++i) {
    const QString argument = QString::fromUtf8(argv[i]);
    const qsizetype colon = argument.indexOf(QLatin1Char(':'));
    try {
      const QString result = translation.dgettext(argument.left(colon), argument.mid(colon + 1));
      std::printf("%s\n", result.toUtf8().constData());
    } catch (const framework::Exception& failure) {
      std::printf("failure=%s\n", failure.Message().toUtf8().constData());
    }
  }
  return 0;
}
