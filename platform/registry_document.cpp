// The registry file's keys and values in memory, with their indexes by name.
#include <algorithm>

#include "platform/registry_file.h"

namespace platform::regfile {

namespace {

bool SameName(QStringView a, QStringView b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

QString Folded(const QString& name) {
  QString folded;
  folded.reserve(name.size());
  for (qsizetype i = 0; i < name.size(); ++i) {
    char32_t c = name[i].unicode();
    if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(name[i], name[i + 1]);
      ++i;
    }
    c = QChar::toCaseFolded(c);
    if (QChar::requiresSurrogates(c)) {
      folded.append(QChar(QChar::highSurrogate(c)));
      folded.append(QChar(QChar::lowSurrogate(c)));
    } else {
      folded.append(QChar(static_cast<char16_t>(c)));
    }
  }
  return folded;
}

size_t NameIndex::Hash(QStringView name) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the folded code points
  for (qsizetype i = 0; i < name.size(); ++i) {
    char32_t c = name[i].unicode();
    if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(name[i], name[i + 1]);
      ++i;
    }
    hash = (hash ^ QChar::toCaseFolded(c)) * 1099511628211ull;
  }
  // FNV's low bits are weak, and the table probes by them: mix the high bits down.
  hash = (hash ^ hash >> 33) * 0xff51afd7ed558ccdull;
  hash = (hash ^ hash >> 33) * 0xc4ceb9fe1a85ec53ull;
  return static_cast<size_t>(hash ^ hash >> 33);
}

void NameIndex::Reserve(size_t count) {
  if (count * 4 <= slots_.size() * 3) return;  // a quarter stays free, so probes stay short
  size_t size = 16;
  while (count * 4 > size * 3) size *= 2;
  std::vector<Slot> old(size);
  old.swap(slots_);
  count_ = 0;
  for (const Slot& slot : old)
    if (slot.position) Add(slot.hash, slot.position - 1);
}

void NameIndex::Add(size_t hash, size_t position) {
  if ((count_ + 1) * 4 > slots_.size() * 3) Reserve(count_ * 2 + 1);
  size_t i = hash & (slots_.size() - 1);
  while (slots_[i].position) i = (i + 1) & (slots_.size() - 1);
  slots_[i] = {static_cast<uint32_t>(hash), static_cast<uint32_t>(position + 1)};
  ++count_;
}

void Key::Reindex() {
  index_ = {};
  index_.Reserve(values.size());
  // Hashes first, in the order the names lie in memory; then the table, its slots fetched a
  // little ahead: a key of a million values is indexed at the speed of memory.
  std::vector<size_t> hashes(values.size());
  for (size_t i = 0; i < values.size(); ++i) hashes[i] = NameIndex::Hash(values[i].name);
  constexpr size_t kAhead = 16;
  std::vector<bool> repeated;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i + kAhead < values.size()) index_.Prefetch(hashes[i + kAhead]);
    const QString& name = values[i].name;
    const size_t hash = hashes[i];
    const qsizetype at = index_.Find(hash, [&](size_t j) { return SameName(values[j].name, name); });
    if (at < 0) {
      index_.Add(hash, i);
      continue;
    }
    values[at].data = values[i].data;
    repeated.resize(values.size());
    repeated[i] = true;
  }
  if (repeated.empty()) return;
  size_t kept = 0;
  for (size_t i = 0; i < values.size(); ++i)
    if (!repeated[i]) values[kept++] = std::move(values[i]);
  values.resize(kept);
  Reindex();
}

const Value* Key::Find(const QString& name) const {
  const qsizetype at = index_.Find(NameIndex::Hash(name),
                                   [&](size_t i) { return SameName(values[i].name, name); });
  return at < 0 ? nullptr : &values[at];
}

void Key::Set(const QString& name, const RegValue& data) {
  const size_t hash = NameIndex::Hash(name);
  const qsizetype at = index_.Find(hash, [&](size_t i) { return SameName(values[i].name, name); });
  if (at >= 0) {
    values[at].data = Normalized(data);
    return;
  }
  index_.Add(hash, values.size());
  values.push_back({name, Normalized(data)});
}

Key* Document::Find(const QString& path) {
  const qsizetype at = index_.Find(NameIndex::Hash(path),
                                   [&](size_t i) { return SameName(keys[i].path, path); });
  return at < 0 ? nullptr : &keys[at];
}

const Key* Document::Find(const QString& path) const {
  return const_cast<Document*>(this)->Find(path);
}

Key& Document::FindOrAdd(const QString& path) {
  if (Key* key = Find(path)) return *key;
  index_.Add(NameIndex::Hash(path), keys.size());
  return keys.emplace_back(path);
}

QString Document::ExistingSpelling(const QString& path) const {
  for (const Key& k : keys) {
    if (k.path.size() < path.size() || !SameName(QStringView(k.path).left(path.size()), path))
      continue;
    if (k.path.size() == path.size() || k.path[path.size()] == u'\\')
      return k.path.left(path.size());
  }
  return {};
}

}  // namespace platform::regfile
