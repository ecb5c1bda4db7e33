#include "skin/file_theme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include "framework/guard.h"
#include "skin/ui_style.h"

namespace skin {

namespace {

QString KeyOf(int index) {
  const SkinProperty* entry = SkinPropertyAt(index);
  return entry ? QLatin1String(entry->Key) : QString();
}

// The given path when it is a file, else the file name in each folder in turn.
QString LocateThemeFile(const QString& path) {
  if (QFileInfo(path).isFile()) return path;
  const QString name = QFileInfo(path).fileName();
  if (name.isEmpty()) return QString();
  QStringList folders{QCoreApplication::applicationDirPath()};
  folders << ThemeSystemFolders();
  for (const QString& folder : folders) {
    const QString candidate = QDir(folder).filePath(name);
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return QString();
}

}  // namespace

QStringList ThemeSystemFolders() {
  return {QStringLiteral("/usr/local/share/zt-modbus-k/skins"),
          QStringLiteral("/usr/share/zt-modbus-k/skins")};
}

bool TsuiFileThemeMgr::Load(const QString& path) {
  if (!QFileInfo(path).isFile()) return false;
  // Read the new file completely before letting go of the old one.
  auto reader = std::make_unique<TsuiThemeFileReader>(path);
  reader_ = std::move(reader);
  return true;
}

void TsuiFileThemeMgr::Bitmap(int index, QImage* bitmap) const {
  if (!reader_ || !bitmap) return;
  const QByteArray* bytes = reader_->Image(KeyOf(index));
  if (!bytes) return;
  QImage image;
  if (image.loadFromData(*bytes)) *bitmap = image;
}

bool TsuiFileThemeMgr::Bool(int index) const {
  return reader_ ? reader_->Boolean(KeyOf(index)) : false;
}

int TsuiFileThemeMgr::Int(int index) const {
  return reader_ ? reader_->Integer(KeyOf(index)) : 0;
}

framework::TColor TsuiFileThemeMgr::Color(int index) const {
  return reader_ ? reader_->Integer(KeyOf(index)) : 0;
}

TsuiFileTheme::TsuiFileTheme(QObject* owner)
    : QObject(owner), manager_(std::make_unique<TsuiFileThemeMgr>()) {}

TsuiFileTheme::~TsuiFileTheme() = default;

void TsuiFileTheme::SetThemeFile(const QString& value) {
  if (value == themeFile_) return;
  const QString located = LocateThemeFile(value);
  if (located.isEmpty()) return;
  if (!IsValidThemeFile(located))
    throw framework::Exception(QStringLiteral("Invalid skin file for Quenlat!"));
  loaded_ = manager_->Load(located);
  themeFile_ = located;
  if (loaded_) ReapplyReferringControls();
}

void TsuiFileTheme::ReapplyReferringControls() {
  QObject* owner = parent();
  if (!owner || !owner->isWidgetType() || !static_cast<QWidget*>(owner)->isWindow()) return;
  const QList<QObject*> components = owner->findChildren<QObject*>();
  for (QObject* component : components) {
    const QVariant ref = component->property("FileTheme");
    if (!ref.isValid() || ref.value<TsuiFileTheme*>() != this) continue;
    if (!ClassNameOf(component).startsWith(QLatin1String("Tsui"))) continue;
    // Assigned again, the control re-applies its style from the new file.
    component->setProperty("FileTheme", QVariant::fromValue(this));
  }
}

void TsuiFileTheme::Bitmap(int index, QImage* bitmap) const {
  manager_->Bitmap(index, bitmap);
}

void TsuiFileTheme::BitmapFrame(int index, QImage* bitmap, int frame, int count) const {
  if (!bitmap) return;
  QImage whole;
  manager_->Bitmap(index, &whole);
  if (whole.isNull()) return;
  CutBitmapFrame(whole, bitmap, count, frame);
}

bool TsuiFileTheme::Bool(int index) const {
  return manager_->Bool(index);
}
int TsuiFileTheme::Int(int index) const {
  return manager_->Int(index);
}
framework::TColor TsuiFileTheme::Color(int index) const {
  return manager_->Color(index);
}

void WatchFileTheme(QObject* owner, TsuiFileTheme*& current, QMetaObject::Connection& watch,
                    TsuiFileTheme* value, std::function<void()> removed) {
  if (value == current) return;
  QObject::disconnect(watch);
  current = value;
  if (value)
    watch = QObject::connect(value, &QObject::destroyed, owner,
                             [removed] { framework::Guard([&] { removed(); }); });
}

}  // namespace skin
