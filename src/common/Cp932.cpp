#include "common/Cp932.h"

#include <iconv.h>

#include <cerrno>

#include "common/Error.h"

namespace quillet {
namespace {

// One converter per thread and direction; iconv_open is too slow to repeat for every text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  iconv_t get() {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Error("Shift-JIS(CP932)の変換が使えません");
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    return cd_;
  }

 private:
  iconv_t cd_;
};

iconv_t ToUtf8Converter() {
  thread_local Converter c("UTF-8", "CP932");
  return c.get();
}

iconv_t FromUtf8Converter() {
  thread_local Converter c("CP932", "UTF-8");
  return c.get();
}

}  // namespace

std::string ToUtf8(std::string_view sjis) {
  std::string out;
  if (sjis.empty()) return out;
  iconv_t cd = ToUtf8Converter();
  out.resize(sjis.size() * 3 + 4);
  char* in = const_cast<char*>(sjis.data());
  size_t inLeft = sjis.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {  // cannot happen with 3 bytes per input byte, but stay safe
      size_t used = dst - out.data();
      out.resize(out.size() * 2);
      dst = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: one byte without meaning; replace it and go on after it.
    static const char kReplacement[] = "\xEF\xBF\xBD";
    if (outLeft < 3) {
      size_t used = dst - out.data();
      out.resize(out.size() * 2 + 8);
      dst = out.data() + used;
      outLeft = out.size() - used;
    }
    for (int i = 0; i < 3; ++i) *dst++ = kReplacement[i];
    outLeft -= 3;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(dst - out.data());
  return out;
}

bool TryFromUtf8(std::string_view utf8, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
  iconv_t cd = FromUtf8Converter();
  out.resize(utf8.size() * 2 + 4);
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  if (r == static_cast<size_t>(-1) || inLeft != 0) return false;
  // iconv counts irreversible conversions in its result; CP932 has none we would accept.
  if (r != 0) return false;
  out.resize(dst - out.data());
  return true;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  if (!TryFromUtf8(utf8, out))
    throw Error("Shift-JISで表せない文字があります: " + std::string(utf8));
  return out;
}

}  // namespace quillet
