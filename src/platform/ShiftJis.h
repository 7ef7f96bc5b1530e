#pragma once
// Shift-JIS (code page 932) is the text encoding inside the system. These helpers answer which
// bytes begin a double-byte character and convert text to and from UTF-8 at the edges of the
// program (terminal, window, file names on disk).
#include <string>
#include <string_view>

namespace kelvo {

// Lead bytes as the lexer's definition text takes them: 0x80-0x9F and 0xE0-0xFF.
constexpr bool IsLexLeadByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || b >= 0xE0; }

// Lead bytes as the compiler's string decoder and the literal writer take them:
// 0x80-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Shift-JIS to UTF-8. A byte sequence that is not valid CP932 becomes U+FFFD, so the result is
// always valid UTF-8.
std::string SjisToUtf8(std::string_view sjis);

// UTF-8 to Shift-JIS. A character CP932 cannot hold, or an invalid UTF-8 sequence, becomes "?".
std::string Utf8ToSjis(std::string_view utf8);

}  // namespace kelvo

// A UTF-8 string literal converted once into the Shift-JIS text the system uses:
//   throw Error(SJ("バグ発生:") + name);
#define SJ(utf8_literal)                                                         \
  ([]() -> const std::string& {                                                \
    static const std::string converted = ::kelvo::Utf8ToSjis(utf8_literal);    \
    return converted;                                                          \
  }())
