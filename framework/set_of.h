// A set of enumeration values kept in the bits of one word, like the description's sets.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace framework {

template <typename E>
class SetOf {
 public:
  constexpr SetOf() = default;
  constexpr SetOf(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  static constexpr SetOf FromBits(uint32_t bits) {
    SetOf s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Contains(E v) const { return bits_ & Bit(v); }
  constexpr SetOf& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr SetOf& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool operator==(const SetOf&) const = default;

 private:
  static constexpr uint32_t Bit(E v) { return uint32_t(1) << static_cast<int>(v); }
  uint32_t bits_ = 0;
};

}  // namespace framework
