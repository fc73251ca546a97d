// Code page conversion through the C library's iconv ("CP932" is glibc's name
// for windows-31j).
//
// Each direction has one converter, opened once for the life of the process
// and shared under a lock. Opening a converter loads the C library's
// conversion modules, which needs file descriptors; the messages that report
// a failure are built through these converters, and one of those failures is
// running out of descriptors. So both converters are opened while the
// program starts, before anything can have used the descriptors up.
#include "common/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <stdexcept>

namespace cluster {
namespace {

// How many bytes of undecodable input one replacement stands for, given the
// first byte and the bytes left.
using SkipLengthOf = std::size_t (*)(unsigned char lead, std::size_t left);

// A UTF-8 character's length from its lead byte.
std::size_t Utf8SkipLength(unsigned char lead, std::size_t left) {
  const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return n < left ? n : left;
}

// One byte of code page 932 at a time.
std::size_t SingleByte(unsigned char, std::size_t) { return 1; }

class Converter {
 public:
  Converter(const char* to, const char* from, SkipLengthOf skipLength)
      : cd_(iconv_open(to, from)), skipLength_(skipLength) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the whole input; an unconvertible or invalid sequence of `skip`
  // bytes is replaced by `replacement` and conversion goes on after it.
  std::string Run(std::string_view in, std::string_view replacement) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    out.reserve(in.size() * 2 + 4);
    char buffer[256];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip one whole input character.
        std::size_t skip = skipLength_(static_cast<unsigned char>(*src), left);
        out.append(replacement);
        src += skip;
        left -= skip;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  std::mutex mutex_;
  iconv_t cd_;
  SkipLengthOf skipLength_;
};

Converter& Cp932Converter() {
  static Converter converter("CP932", "UTF-8", Utf8SkipLength);
  return converter;
}

Converter& Utf8Converter() {
  static Converter converter("UTF-8", "CP932", SingleByte);
  return converter;
}

// Opens both converters while the program starts. A system without them
// is not stopped here, before main can say why: the first conversion tries
// again and raises the failure where it is reported.
[[maybe_unused]] const bool kConvertersOpened = [] {
  try {
    Cp932Converter();
    Utf8Converter();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}();

}  // namespace

std::string Cp932FromUtf8(std::string_view utf8) { return Cp932Converter().Run(utf8, "?"); }

std::string Utf8FromCp932(std::string_view cp932) { return Utf8Converter().Run(cp932, "\xEF\xBF\xBD"); }

bool IsValidUtf8(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size()) {
    const auto lead = static_cast<unsigned char>(text[p]);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range, narrowed where the
    unsigned char high = 0xBF; // lead byte allows overlong or invalid forms
    if (lead < 0x80) {
      ++p;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (p + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[p + k]);
      if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
    }
    p += length;
  }
  return true;
}

std::vector<std::string> Utf8Texts(const std::vector<std::string>& texts, bool utf8) {
  if (utf8) return texts;
  std::vector<std::string> converted;
  converted.reserve(texts.size());
  for (const std::string& text : texts) converted.push_back(Utf8FromCp932(text));
  return converted;
}

std::vector<std::string> Cp932Texts(const std::vector<std::string>& texts, bool utf8) {
  if (!utf8) return texts;
  std::vector<std::string> converted;
  converted.reserve(texts.size());
  for (const std::string& text : texts) converted.push_back(Cp932FromUtf8(text));
  return converted;
}

}  // namespace cluster
