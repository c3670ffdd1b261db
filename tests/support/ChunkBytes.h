// ChunkBytes.h: little-endian numbers and 3DS chunks as bytes, for the tests that build 3DS
// files by hand.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

inline std::string u16(unsigned v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string u32(uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }
inline std::string f32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return u32(bits);
}
// A zero-terminated name.
inline std::string str(const std::string& s) { return s + std::string(1, '\0'); }
// A chunk: its id, its length with the six header bytes, its body.
inline std::string chunk(unsigned id, const std::string& body) { return u16(id) + u32(uint32_t(6 + body.size())) + body; }
