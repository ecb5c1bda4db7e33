// Run-time translation through GNU gettext catalogues (".mo" files): looked up beside the
// executable in locale/<language>/LC_MESSAGES/<domain>.mo, or built into the executable.
// With no catalogue every lookup gives its text back unchanged.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "i18n/domain.h"

class QCoreApplication;

namespace i18n {

// Called with an object whose whole class is excluded from object-tree translation.
using TTranslator = std::function<void(QObject* object)>;

// Per-class property exclusions; an empty property list excludes the whole class.
struct TClassMode {
  const QMetaObject* HClass = nullptr;
  QStringList PropertiesToIgnore;  // upper case, sorted, no duplicates
  TTranslator SpecialHandler;
};

class TGnuGettextInstance {
 public:
  // `localeDirectory` is where catalogues are sought; `fallbackDirectories` are searched after
  // it. The language comes from SelectLanguage(empty).
  explicit TGnuGettextInstance(const QString& localeDirectory,
                               QStringList fallbackDirectories = {});
  TGnuGettextInstance(const TGnuGettextInstance&) = delete;
  TGnuGettextInstance& operator=(const TGnuGettextInstance&) = delete;

  bool Enabled = true;

  QString gettext(const QString& text);
  QString dgettext(const QString& domain, const QString& text);
  void textdomain(const QString& name);
  QString getcurrenttextdomain() const;
  void bindtextdomain(const QString& domain, const QString& directory);
  void SelectLanguage(const QString& code);
  QString GetCurrentLanguage() const;
  QString LocaleDirectory() const;

  void TP_Ignore(QObject* object, const QString& name);
  QStringList IgnoreList() const;
  void TP_GlobalIgnoreClassProperty(const QMetaObject* cls, const QString& propertyName);
  // Excludes a whole class; the handler, when set, is called with its objects instead.
  void TP_GlobalHandleClass(const QMetaObject* cls, TTranslator handler);
  void TranslateObjectTree(QObject* root, const QString& domain = QString());
  QStringList TranslateStrings(const QStringList& lines, const QString& domain = QString());

  // The domain of that name, created on first use.
  TDomain& Domain(const QString& name);

 private:
  using ObjectQueue = std::deque<std::pair<QPointer<QObject>, QString>>;
  void TranslateObject(QObject* object, const QString& name, const QString& domain,
                       const QStringList& ignored, ObjectQueue& queue);
  void TranslateProperty(QObject* object, const char* property, const QString& domain,
                         ObjectQueue& queue);
  QStringList MergedClassRules(QObject* object, TTranslator* handler, bool* excluded) const;
  // The catalogue's translation as it is, empty ones included.
  QString Lookup(const QString& domain, const QString& text);
  // A caption of a window: one the catalogue translates to an empty text stays as it is, as a
  // resource string does, so that such an entry cannot keep the window from opening.
  QString TranslateOrKeep(const QString& domain, const QString& text);
  QStringList TranslateLines(const QStringList& lines, const QString& domain);

  mutable std::shared_mutex lock_;  // guards everything below
  QString language_;
  QString currentDomain_ = QStringLiteral("default");
  QString localeDirectory_;
  QStringList fallbacks_;
  std::vector<std::unique_ptr<TDomain>> domains_;
  QStringList ignoreList_;
  std::vector<TClassMode> classRules_;
};

// The language for a Windows locale identifier ("C" for any not in the table).
QString LanguageForLocaleId(int localeId);

// The program's instance, created at first use: executable folder + "locale", then the installed
// share folder (<prefix>/share/locale for a program in <prefix>/bin); the built-in catalogues
// are read first.
TGnuGettextInstance& DefaultInstance();

// Resource strings: tried in every domain of the list, in order; the first translation that
// differs from the text wins. The list starts with "default".
void AddResourceStringDomain(const QString& name);
QStringList ResourceStringDomains();
QString TranslateResourceString(const QString& text);

// Routes every string Qt's runtime translates through TranslateResourceString. The translator
// belongs to the application and removes itself when it is destroyed.
void InstallResourceStringTranslator(QCoreApplication& application);

}  // namespace i18n
