#include "framework/line_store.h"

#include <algorithm>
#include <limits>

namespace framework {

namespace {

// Traffic lines are mostly runs of " XX" (a space and two upper-case hexadecimal digits). Such a
// run is kept as the escape byte, a count and the byte values: UTF-8 never uses 0xFF.
constexpr uint8_t kHexRun = 0xFF;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HexPairAt(const QByteArray& utf8, qsizetype i) {
  return i + 2 < utf8.size() && utf8[i] == ' ' && HexDigit(utf8[i + 1]) >= 0 &&
         HexDigit(utf8[i + 2]) >= 0;
}

}  // namespace

QByteArray LineStore::Pack(const QString& line) {
  const QByteArray utf8 = line.toUtf8();
  QByteArray packed;
  packed.reserve(utf8.size());
  for (qsizetype i = 0; i < utf8.size();) {
    if (!HexPairAt(utf8, i)) {
      packed += utf8[i++];
      continue;
    }
    const qsizetype countAt = packed.size() + 1;
    packed += char(kHexRun);
    packed += char(0);
    uint8_t count = 0;
    for (; count < 255 && HexPairAt(utf8, i); ++count, i += 3)
      packed += char(HexDigit(utf8[i + 1]) << 4 | HexDigit(utf8[i + 2]));
    packed[countAt] = char(count);
  }
  return packed;
}

QString LineStore::Unpack(const char* data, size_t size) {
  static const char digits[] = "0123456789ABCDEF";
  QByteArray utf8;
  utf8.reserve(static_cast<qsizetype>(size) * 3);
  for (size_t i = 0; i < size;) {
    if (uint8_t(data[i]) != kHexRun || i + 1 >= size) {
      utf8 += data[i++];
      continue;
    }
    const size_t count = std::min<size_t>(uint8_t(data[i + 1]), size - i - 2);
    for (size_t k = 0; k < count; ++k) {
      const uint8_t byte = uint8_t(data[i + 2 + k]);
      utf8 += ' ';
      utf8 += digits[byte >> 4];
      utf8 += digits[byte & 0xF];
    }
    i += 2 + count;
  }
  return QString::fromUtf8(utf8);
}

QString LineStore::Chunk::Line(size_t i) const {
  const uint32_t begin = starts[i];
  const uint32_t end = i + 1 < starts.size() ? starts[i + 1] : static_cast<uint32_t>(bytes.size());
  return Unpack(bytes.data() + begin, end - begin);
}

// A stamp before the chunk's first one (a clock set back) or too far after it starts a chunk.
bool LineStore::Chunk::Takes(size_t size, int64_t stamp) const {
  if (bytes.size() + size > bytes.capacity()) return false;
  if (starts.empty()) return true;
  return stamp >= firstStamp &&
         uint64_t(stamp) - uint64_t(firstStamp) <= std::numeric_limits<uint32_t>::max();
}

void LineStore::Append(const QString& line, int64_t stamp) {
  const QByteArray utf8 = Pack(line);
  const size_t size = static_cast<size_t>(utf8.size());
  if (chunks_.empty() || !chunks_.back().Takes(size, stamp)) {
    if (!chunks_.empty()) {
      // A full chunk takes no more lines: its tables need no room to grow.
      chunks_.back().starts.shrink_to_fit();
      chunks_.back().stamps.shrink_to_fit();
    }
    chunks_.emplace_back();
    // Reserved once: the chunk never moves while it fills. A longer line gets a chunk its size.
    chunks_.back().bytes.reserve(std::max(kChunkBytes, size));
  }
  Chunk& chunk = chunks_.back();
  if (chunk.starts.empty()) chunk.firstStamp = stamp;
  chunk.starts.push_back(static_cast<uint32_t>(chunk.bytes.size()));
  chunk.stamps.push_back(static_cast<uint32_t>(uint64_t(stamp) - uint64_t(chunk.firstStamp)));
  chunk.bytes.insert(chunk.bytes.end(), utf8.begin(), utf8.end());
  ++count_;
}

void LineStore::DropOldest(int64_t count) {
  count = std::min(count, count_);
  count_ -= count;
  dropped_ += count;
  while (!chunks_.empty() && dropped_ >= chunks_.front().Lines()) {
    dropped_ -= chunks_.front().Lines();
    chunks_.pop_front();
  }
  if (count_ == 0) Clear();
}

void LineStore::Clear() {
  chunks_.clear();
  dropped_ = 0;
  count_ = 0;
}

const LineStore::Chunk* LineStore::Find(int64_t& index) const {
  if (index < 0 || index >= count_) return nullptr;
  index += dropped_;
  // Chunks hold some hundreds of lines each: walking the few of them is cheap enough for the
  // handful of lines a view shows.
  for (const Chunk& chunk : chunks_) {
    if (index < chunk.Lines()) return &chunk;
    index -= chunk.Lines();
  }
  return nullptr;
}

QString LineStore::Line(int64_t index) const {
  const Chunk* chunk = Find(index);
  return chunk ? chunk->Line(static_cast<size_t>(index)) : QString();
}

int64_t LineStore::Stamp(int64_t index) const {
  const Chunk* chunk = Find(index);
  return chunk ? chunk->firstStamp + chunk->stamps[static_cast<size_t>(index)] : 0;
}

void LineStore::ForEach(int64_t first, int64_t last,
                        const std::function<void(const QString&)>& visit) const {
  ForEach(first, last, [&visit](const QString& line, int64_t) { visit(line); });
}

void LineStore::ForEach(int64_t first, int64_t last,
                        const std::function<void(const QString&, int64_t)>& visit) const {
  first = std::max<int64_t>(first, 0);
  last = std::min(last, count_ - 1);
  int64_t index = first + dropped_;
  int64_t left = last - first + 1;
  for (const Chunk& chunk : chunks_) {
    if (left <= 0) break;
    if (index >= chunk.Lines()) {
      index -= chunk.Lines();
      continue;
    }
    for (; index < chunk.Lines() && left > 0; ++index, --left) {
      const auto i = static_cast<size_t>(index);
      visit(chunk.Line(i), chunk.firstStamp + chunk.stamps[i]);
    }
    index = 0;
  }
}

size_t LineStore::Capacity() const {
  size_t total = 0;
  for (const Chunk& chunk : chunks_)
    total += chunk.bytes.capacity() + (chunk.starts.capacity() + chunk.stamps.capacity()) * sizeof(uint32_t);
  return total;
}

}  // namespace framework
