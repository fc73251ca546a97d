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

void SplitCommaText(std::string_view text, std::vector<std::string>& fields) {
  // The strings already in `fields` are refilled rather than made anew: a
  // CSV data file splits one line per object, each a field longer than the
  // last, and their storage is reused from line to line.
  std::size_t count = 0;
  auto nextField = [&]() -> std::string& {
    if (count == fields.size()) fields.emplace_back();
    std::string& field = fields[count++];
    field.clear();
    return field;
  };
  const std::size_t n = text.size();
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
        // A double-byte character moves as one unit: its second byte may
        // look like a quote or a comma in ASCII terms, but never is one.
        const std::size_t length = CharLengthAt(text, p);
        field.append(text.substr(p, length));
        p += length;
      }
    } else {
      const std::size_t first = p;
      while (p < n && text[p] != ',' && !IsSplitBlank(text[p])) p += CharLengthAt(text, p);
      field.assign(text.substr(first, p - first));
    }
    skipBlanks();
    if (p < n && text[p] == ',') {
      if (p + 1 == n) nextField();
      ++p;
      skipBlanks();
    }
  }
  fields.resize(count);
}

}  // namespace cluster
