// The theme file component: loads the theme file named by ThemeFile and answers the skin
// questions (bitmap, frame, flag, integer, colour by table index) for the controls whose
// FileTheme refers to it.
#pragma once

#include <QImage>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

#include "framework/tcolor.h"
#include "skin/theme_file.h"

namespace skin {

// Owns at most one reader; a failed load keeps the previous one.
class TsuiFileThemeMgr {
 public:
  // False (and the previous reader stays) when the file does not exist; throws EThemeFileError
  // when it exists but its directory is damaged.
  bool Load(const QString& path);

  void Bitmap(int index, QImage* bitmap) const;
  bool Bool(int index) const;
  int Int(int index) const;
  framework::TColor Color(int index) const;

 private:
  std::unique_ptr<TsuiThemeFileReader> reader_;
};

// Folders searched for a theme file after the given path and the executable's folder.
QStringList ThemeSystemFolders();

class TsuiFileTheme : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString ThemeFile READ ThemeFile WRITE SetThemeFile)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

 public:
  explicit TsuiFileTheme(QObject* owner = nullptr);
  ~TsuiFileTheme() override;

  QString ThemeFile() const { return themeFile_; }
  // Finds the file (the path, the executable's folder, the system skin folders); a file found
  // nowhere changes nothing; one that is no theme file raises "Invalid skin file for Quenlat!".
  void SetThemeFile(const QString& value);
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  bool Loaded() const { return loaded_; }

  void Bitmap(int index, QImage* bitmap) const;
  void BitmapFrame(int index, QImage* bitmap, int frame, int count) const;
  bool Bool(int index) const;
  int Int(int index) const;
  framework::TColor Color(int index) const;

 private:
  void ReapplyReferringControls();

  QString themeFile_;
  bool loaded_ = false;
  int tag_ = 0;
  std::unique_ptr<TsuiFileThemeMgr> manager_;
};

// A control's FileTheme: points current at value and, when that is another theme, watches it so
// that removed runs (guarded) when it is destroyed. Re-applying the style is the caller's part.
void WatchFileTheme(QObject* owner, TsuiFileTheme*& current, QMetaObject::Connection& watch,
                    TsuiFileTheme* value, std::function<void()> removed);

}  // namespace skin
