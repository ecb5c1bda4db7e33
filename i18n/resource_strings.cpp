// Resource strings: every text Qt's runtime translates is looked up in the resource-string
// domains, "default" first.
#include <QCoreApplication>
#include <QTranslator>
#include <mutex>
#include <shared_mutex>

#include "i18n/gnugettext.h"

namespace i18n {

namespace {

struct DomainList {
  std::shared_mutex lock;
  QStringList names{QStringLiteral("default")};
};

DomainList& ResourceDomains() {
  static DomainList list;
  return list;
}

// Set while this thread is inside a lookup from Qt: a text Qt translates during it (a file
// error while a catalogue opens) is left as it is instead of coming back into the catalogue.
thread_local bool insideLookup = false;

class ResourceStringTranslator : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }

  QString translate(const char*, const char* sourceText, const char*, int) const override {
    if (insideLookup || TDomain::OpeningOnThisThread() || !sourceText || !*sourceText)
      return QString();
    insideLookup = true;
    QString result;
    const QString text = QString::fromUtf8(sourceText);
    try {
      result = TranslateResourceString(text);
    } catch (...) {
      // Nothing may be thrown into Qt; a refused catalogue leaves the text as it is.
      result.clear();
    }
    insideLookup = false;
    // Qt lays text out with bare line feeds here.
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result == text ? QString() : result;
  }
};

}  // namespace

void AddResourceStringDomain(const QString& name) {
  std::unique_lock guard(ResourceDomains().lock);
  ResourceDomains().names.append(name);
}

QStringList ResourceStringDomains() {
  std::shared_lock guard(ResourceDomains().lock);
  return ResourceDomains().names;
}

QString TranslateResourceString(const QString& text) {
  TGnuGettextInstance& instance = DefaultInstance();
  // A domain without the text gives it back with CR LF line ends: that is no translation, and
  // the next domain is asked.
  QString untranslated = text;
  untranslated.remove(QLatin1Char('\r')).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  for (const QString& domain : ResourceStringDomains()) {
    const QString result = instance.dgettext(domain, text);
    if (result != text && result != untranslated) return result;
  }
  return text;
}

void InstallResourceStringTranslator(QCoreApplication& application) {
  application.installTranslator(new ResourceStringTranslator(&application));
}

}  // namespace i18n
