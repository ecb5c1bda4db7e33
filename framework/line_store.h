// Text lines kept compactly: UTF-8 in 64 KiB chunks, a start offset per line, runs of
// hexadecimal bytes (" 01 03 FD") as the bytes themselves. Lines are only
// added at the end and dropped at the front, so a chunk is freed once its last line has gone,
// and a store kept at its limit reuses the same memory over and over. Each line also carries a
// time stamp (any int64, e.g. milliseconds since the epoch), kept as four bytes from its chunk's
// first stamp.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace framework {

class LineStore {
 public:
  // One line, without its line break, and its time stamp.
  void Append(const QString& line, int64_t stamp = 0);
  void DropOldest(int64_t count);
  void Clear();

  int64_t Count() const { return count_; }
  QString Line(int64_t index) const;
  int64_t Stamp(int64_t index) const;
  // Every line in order, without the cost of finding each one anew.
  void ForEach(int64_t first, int64_t last, const std::function<void(const QString&)>& visit) const;
  void ForEach(int64_t first, int64_t last,
               const std::function<void(const QString&, int64_t stamp)>& visit) const;
  // Bytes held, for the memory figures.
  size_t Capacity() const;

  // The stored form of a line, and back.
  static QByteArray Pack(const QString& line);
  static QString Unpack(const char* data, size_t size);

 private:
  struct Chunk {
    std::vector<char> bytes;
    std::vector<uint32_t> starts;
    int64_t firstStamp = 0;
    std::vector<uint32_t> stamps;  // from firstStamp
    int64_t Lines() const { return static_cast<int64_t>(starts.size()); }
    QString Line(size_t i) const;
    bool Takes(size_t size, int64_t stamp) const;
  };
  // The chunk and index within it of a line; nullptr when there is none.
  const Chunk* Find(int64_t& index) const;
  static constexpr size_t kChunkBytes = 64 * 1024;

  std::deque<Chunk> chunks_;
  int64_t dropped_ = 0;  // lines of the front chunk already dropped
  int64_t count_ = 0;
};

}  // namespace framework
