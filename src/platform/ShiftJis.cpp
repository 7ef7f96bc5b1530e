#include "platform/ShiftJis.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace kelvo {
namespace {

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// One open conversion descriptor per direction and thread; iconv keeps no state between our
// calls because every call starts with a reset.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an invalid or unconvertible sequence, appends `replacement`, skips
  // `skip(in)` bytes of input and goes on.
  template <typename Skip>
  std::string Convert(std::string_view in, std::string_view replacement, Skip skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ, or EINVAL for a sequence cut off at the end of the text.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.append(replacement);
        size_t n = skip(std::string_view(src, srcLeft));
        src += n;
        srcLeft -= n;
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(std::string_view rest) {
  unsigned char b = static_cast<unsigned char>(rest[0]);
  size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  // Skip the whole character when it is complete, else only its first byte.
  if (n > rest.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 1;
  return n;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  thread_local Converter converter("UTF-8", "CP932");
  // Skip only the offending byte: the byte after a bad lead byte may start a character.
  return converter.Convert(sjis, "\xEF\xBF\xBD", [](std::string_view) -> size_t { return 1; });
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(utf8, "?", Utf8SequenceLength);
}

}  // namespace kelvo
