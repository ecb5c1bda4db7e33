#include "i18n/domain.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "framework/exception.h"
#include "i18n/builtin_catalogues.h"

namespace i18n {

namespace {

constexpr uint32_t kMagic = 0x950412DE;
constexpr uint32_t kSwappedMagic = 0xDE120495;
constexpr uint64_t kHeaderSize = 20;
// Catalogues are small; a file beyond this is read only this far, and then judged by what it
// holds there.
constexpr uint64_t kMaxCatalogueSize = 64 << 20;

QString WithSeparator(const QString& directory) {
  if (directory.isEmpty() || directory.endsWith(QLatin1Char('/'))) return directory;
  return directory + QLatin1Char('/');
}

bool Exists(const QString& fileName) {
  return FindBuiltinCatalogue(fileName, nullptr) || QFileInfo(fileName).isFile();
}

// Byte-wise, unsigned, a proper prefix first.
int Compare(const QByteArray& key, const uchar* text, uint32_t length) {
  const size_t common = std::min<size_t>(size_t(key.size()), length);
  const int result = common ? std::memcmp(key.constData(), text, common) : 0;
  if (result != 0) return result;
  if (size_t(key.size()) == length) return 0;
  return size_t(key.size()) < length ? -1 : 1;
}

thread_local bool openingCatalogue = false;

}  // namespace

bool TDomain::OpeningOnThisThread() {
  return openingCatalogue;
}

TDomain::TDomain(QString name, QString directory, QString language, QStringList fallbackDirectories)
    : name_(std::move(name)),
      directory_(WithSeparator(directory)),
      language_(std::move(language)),
      fallbacks_(std::move(fallbackDirectories)) {
  for (QString& folder : fallbacks_) folder = WithSeparator(folder);
}

TDomain::~TDomain() {
  std::unique_lock guard(lock_);
  Close();
}

QString TDomain::Directory() const {
  std::shared_lock guard(lock_);
  return directory_;
}

QString TDomain::Language() const {
  std::shared_lock guard(lock_);
  return language_;
}

void TDomain::SetDirectory(const QString& directory) {
  std::unique_lock guard(lock_);
  directory_ = WithSeparator(directory);
  Close();
}

void TDomain::SetLanguage(const QString& language) {
  std::unique_lock guard(lock_);
  language_ = language;
  Close();
}

QString TDomain::CatalogueName() const {
  std::shared_lock guard(lock_);
  return open_ ? catalogueName_ : QString();
}

uint32_t TDomain::StringCount() const {
  std::shared_lock guard(lock_);
  return open_ ? n_ : 0;
}

void TDomain::Close() {
  data_.clear();
  base_ = nullptr;
  size_ = 0;
  n_ = o_ = t_ = 0;
  open_ = false;
  tryOpen_ = true;
  catalogueName_.clear();
}

QString TDomain::ChooseCatalogue() const {
  const QString tail = QStringLiteral("/LC_MESSAGES/") + name_ + QStringLiteral(".mo");
  QStringList folders{directory_};
  folders += fallbacks_;
  // The whole language first, then its first two characters (de_DE falls back to de).
  for (const QString& folder : folders) {
    const QString full = folder + language_ + tail;
    if (Exists(full)) return full;
    const QString shortName = folder + language_.left(2) + tail;
    if (Exists(shortName)) return shortName;
  }
  return QString();
}

void TDomain::OpenCatalogue() {
  std::unique_lock guard(lock_);
  if (open_ || !tryOpen_) return;
  struct Opening {
    Opening() { openingCatalogue = true; }
    ~Opening() { openingCatalogue = false; }
  } opening;
  const QString fileName = ChooseCatalogue();
  // A failed search or a refused catalogue is not tried again until language or folder change.
  tryOpen_ = false;
  if (fileName.isEmpty()) return;
  try {
    ReadCatalogue(fileName);
    CheckCatalogue(fileName);
  } catch (...) {
    Close();
    tryOpen_ = false;
    throw;
  }
}

// The catalogue is read into memory rather than mapped: a file shrunk in place or copied over
// while the program runs must not pull its bytes away from under a lookup.
void TDomain::ReadCatalogue(const QString& fileName) {
  BuiltinCatalogue builtin;
  const bool isBuiltin = FindBuiltinCatalogue(fileName, &builtin);
  QFile file(isBuiltin ? ExecutableFileName() : fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw framework::Exception(QStringLiteral("Cannot open file ") + fileName);
  const uint64_t offset = isBuiltin ? builtin.offset : 0;
  const uint64_t size = isBuiltin ? builtin.size : uint64_t(file.size());
  if (isBuiltin && offset + size > uint64_t(file.size()))
    throw framework::Exception(QStringLiteral("Cannot create memory map on file ") + fileName);
  // A file that shrank since its size was taken gives fewer bytes, judged as a catalogue below.
  if (file.seek(qint64(offset))) data_ = file.read(qint64(std::min(size, kMaxCatalogueSize)));
  if (file.error() != QFileDevice::NoError)
    throw framework::Exception(QStringLiteral("Cannot map file ") + fileName +
                               QStringLiteral(" into memory. Reason: ") + file.errorString());
  base_ = reinterpret_cast<const uchar*>(data_.constData());
  size_ = uint64_t(data_.size());
  catalogueName_ = fileName;
}

uint32_t TDomain::Word(uint64_t offset) const {
  uint32_t value;
  std::memcpy(&value, base_ + offset, 4);
  return swapped_ ? qbswap(value) : value;
}

// Reads the header and proves every table entry and string lies inside the catalogue with its
// terminating zero, so lookups never read outside it.
void TDomain::CheckCatalogue(const QString& fileName) {
  const QString invalid =
      QStringLiteral("This file is not a valid GNU gettext mo file: ") + fileName;
  if (size_ < kHeaderSize) throw framework::Exception(invalid);
  open_ = true;
  uint32_t magic;
  std::memcpy(&magic, base_, 4);
  if (magic != kMagic && magic != kSwappedMagic) throw framework::Exception(invalid);
  swapped_ = magic == kSwappedMagic;
  n_ = Word(8);
  o_ = Word(12);
  t_ = Word(16);
  const uint64_t tableBytes = uint64_t(n_) * 8;
  if (uint64_t(o_) + tableBytes > size_ || uint64_t(t_) + tableBytes > size_)
    throw framework::Exception(invalid);
  for (uint32_t table : {o_, t_}) {
    for (uint64_t i = 0; i < n_; ++i) {
      const uint64_t length = Word(table + 8 * i);
      const uint64_t start = Word(table + 8 * i + 4);
      if (start + length >= size_ || base_[start + length] != 0)
        throw framework::Exception(invalid);
    }
  }
}

QByteArray TDomain::Entry(uint32_t table, uint32_t index) const {
  const uint32_t length = Word(uint64_t(table) + 8 * uint64_t(index));
  const uint32_t start = Word(uint64_t(table) + 8 * uint64_t(index) + 4);
  return QByteArray(reinterpret_cast<const char*>(base_ + start), qsizetype(length));
}

QByteArray TDomain::Lookup(const QByteArray& key) {
  bool needsOpen;
  {
    std::shared_lock guard(lock_);
    needsOpen = !open_ && tryOpen_;
  }
  if (needsOpen) OpenCatalogue();
  std::shared_lock guard(lock_);
  if (!open_ || n_ == 0) return key;
  // Power-of-two binary search over 1-based entries.
  uint64_t b = 1;
  while (b <= n_) b <<= 1;
  uint64_t c = b / 4;
  b /= 2;
  for (;;) {
    const uint64_t at = uint64_t(o_) + 8 * uint64_t(b - 1);
    const int order = Compare(key, base_ + Word(at + 4), Word(at));
    if (order == 0) return Entry(t_, uint32_t(b - 1));
    if (c == 0) return key;
    b = order < 0 ? (b > c ? b - c : 1) : std::min<uint64_t>(b + c, n_);
    c /= 2;
  }
}

}  // namespace i18n
