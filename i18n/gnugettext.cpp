#include "i18n/gnugettext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include "framework/exception.h"
#include "i18n/builtin_catalogues.h"

namespace i18n {

namespace {

struct LocaleIdCode {
  int id;
  const char* code;
};

const LocaleIdCode localeIdTable[] = {
    {1030, "da_DK"}, {1031, "de_DE"}, {1032, "gr_GR"}, {1033, "en_US"}, {1034, "es_ES"},
    {3082, "es_ES"}, {1035, "fi_FI"}, {1036, "fr_FR"}, {1039, "is_IS"}, {1040, "it_IT"},
    {1042, "ko_KO"}, {1043, "nl_NL"}, {1044, "no_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"},
    {1049, "ru_RU"}, {1053, "sv_SE"}, {2057, "en_UK"}, {2060, "fr_BE"}, {2067, "nl_BE"},
    {2068, "nn_NO"}, {2070, "pt_PT"}, {2077, "fi_SE"}, {3084, "fr_CA"}, {4103, "de_LU"}};

// Qt has no Windows locale identifier for the thread; 0 maps to "C".
int ThreadLocaleId() {
  return 0;
}

QString UserLocaleLanguage() {
  const QLocale locale = QLocale::system();
  const QString language = QLocale::languageToCode(locale.language());
  const QString country = QLocale::territoryToCode(locale.territory());
  if (language.size() == 2 && country.size() == 2) return language + QLatin1Char('_') + country;
  return LanguageForLocaleId(ThreadLocaleId());
}

// Windows controls want CR LF line ends; catalogues carry bare LFs.
QByteArray WithCarriageReturns(const QByteArray& text) {
  if (!text.contains('\n')) return text;
  QByteArray result;
  result.reserve(text.size() + 8);
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
    result += text[i];
  }
  return result;
}

}  // namespace

QString LanguageForLocaleId(int localeId) {
  for (const LocaleIdCode& entry : localeIdTable)
    if (entry.id == localeId) return QString::fromLatin1(entry.code);
  return QStringLiteral("C");
}

TGnuGettextInstance::TGnuGettextInstance(const QString& localeDirectory,
                                         QStringList fallbackDirectories)
    : localeDirectory_(localeDirectory), fallbacks_(std::move(fallbackDirectories)) {
  // The component name is never a text, wherever it appears.
  classRules_.push_back({&QObject::staticMetaObject, {QStringLiteral("OBJECTNAME")}, {}});
  SelectLanguage(QString());
  bindtextdomain(QStringLiteral("default"), localeDirectory_);
  textdomain(QStringLiteral("default"));
}

TDomain& TGnuGettextInstance::Domain(const QString& name) {
  {
    std::shared_lock guard(lock_);
    for (auto& domain : domains_)
      if (domain->Name() == name) return *domain;
  }
  std::unique_lock guard(lock_);
  for (auto& domain : domains_)
    if (domain->Name() == name) return *domain;
  domains_.push_back(std::make_unique<TDomain>(name, localeDirectory_, language_, fallbacks_));
  return *domains_.back();
}

QString TGnuGettextInstance::gettext(const QString& text) {
  return dgettext(getcurrenttextdomain(), text);
}

QString TGnuGettextInstance::dgettext(const QString& domain, const QString& text) {
  if (!Enabled) return text;
  const QString result = Lookup(domain, text);
  if (!text.isEmpty() && result.isEmpty()) {
    QString message = QStringLiteral(
        "Error: Could not translate %s. Probably because the mo file doesn't contain utf-8 "
        "encoded translations.");
    throw framework::Exception(message.replace(QStringLiteral("%s"), text));
  }
  return result;
}

QString TGnuGettextInstance::TranslateOrKeep(const QString& domain, const QString& text) {
  if (!Enabled) return text;
  const QString result = Lookup(domain, text);
  return result.isEmpty() ? text : result;
}

QString TGnuGettextInstance::Lookup(const QString& domain, const QString& text) {
  TDomain& catalogue = Domain(domain);
  QByteArray key = text.toUtf8();
  key.replace('\r', QByteArray());
  return QString::fromUtf8(WithCarriageReturns(catalogue.Lookup(key)));
}

void TGnuGettextInstance::textdomain(const QString& name) {
  std::unique_lock guard(lock_);
  currentDomain_ = name;
}

QString TGnuGettextInstance::getcurrenttextdomain() const {
  std::shared_lock guard(lock_);
  return currentDomain_;
}

void TGnuGettextInstance::bindtextdomain(const QString& domain, const QString& directory) {
  Domain(domain).SetDirectory(directory);
}

void TGnuGettextInstance::SelectLanguage(const QString& code) {
  QString language = code;
  if (language.isEmpty()) language = qEnvironmentVariable("LANG");
  if (language.isEmpty()) language = UserLocaleLanguage();
  const qsizetype dot = language.indexOf(QLatin1Char('.'));
  if (dot >= 0) language.truncate(dot);
  std::unique_lock guard(lock_);
  language_ = language;
  for (auto& domain : domains_) domain->SetLanguage(language);
}

QString TGnuGettextInstance::GetCurrentLanguage() const {
  std::shared_lock guard(lock_);
  return language_;
}

QString TGnuGettextInstance::LocaleDirectory() const {
  std::shared_lock guard(lock_);
  return localeDirectory_;
}

TGnuGettextInstance& DefaultInstance() {
  static TGnuGettextInstance instance = [] {
    QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (executable.isEmpty() && QCoreApplication::instance())
      executable = QCoreApplication::applicationFilePath();
    LoadBuiltinCatalogues(executable);
    const QString folder = QFileInfo(executable).absolutePath();
    return TGnuGettextInstance(folder + QStringLiteral("/locale"),
                               {QDir::cleanPath(folder + QStringLiteral("/../share/locale"))});
  }();
  return instance;
}

}  // namespace i18n
