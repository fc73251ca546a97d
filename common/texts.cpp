#include "common/texts.h"

#include "common/codepage.h"

namespace cluster {

namespace {
constexpr bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
constexpr bool IsSplitBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 1 && b <= 32;
}
}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsControlOrBlank(text[first])) ++first;
  while (last > first && IsControlOrBlank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string PadRight(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

std::size_t SplitCommaText(std::string_view text, std::vector<std::string>& fields, std::size_t maxFields,
                           std::size_t* filled) {
  // The strings already in `fields` are refilled rather than made anew: a
  // CSV data file splits one line per object, each a field longer than the
  // last, and their storage is reused from line to line. Fields beyond
  // maxFields are counted in one scratch string and dropped.
  std::size_t count = 0;
  std::size_t kept = 0;
  std::size_t lastFilled = 0;
  std::string dropped;
  auto nextField = [&]() -> std::string& {
    ++count;
    if (kept == maxFields) {
      dropped.clear();
      return dropped;
    }
    if (kept == fields.size()) fields.emplace_back();
    std::string& field = fields[kept++];
    field.clear();
    return field;
  };
  const std::size_t n = text.size();
  // A double-byte character moves as one unit: its second byte may look
  // like a quote or a comma in ASCII terms, but never is one. A lead byte
  // before a comma or a quote is a character of its own, since neither is
  // a second byte in code page 932: a label ending in such a byte must not
  // swallow the comma or the closing quote after it.
  auto charLength = [&](std::size_t pos) -> std::size_t {
    if (!IsLeadByte(static_cast<unsigned char>(text[pos])) || pos + 1 >= n) return 1;
    return text[pos + 1] == ',' || text[pos + 1] == '"' ? 1 : 2;
  };
  std::size_t p = 0;
  auto skipBlanks = [&] {
    while (p < n && IsSplitBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string& field = nextField();
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            field += '"';
            p += 2;
            continue;
          }
          ++p;  // closing quote
          break;
        }
        const std::size_t length = charLength(p);
        field.append(text.substr(p, length));
        p += length;
      }
    } else {
      const std::size_t first = p;
      while (p < n && text[p] != ',' && !IsSplitBlank(text[p])) p += charLength(p);
      field.assign(text.substr(first, p - first));
    }
    if (!field.empty()) lastFilled = count;
    skipBlanks();
    if (p < n && text[p] == ',') {
      if (p + 1 == n) nextField();
      ++p;
      skipBlanks();
    }
  }
  fields.resize(kept);
  if (filled != nullptr) *filled = lastFilled;
  return count;
}

}  // namespace cluster
