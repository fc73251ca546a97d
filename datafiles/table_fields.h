// The fields of a table's lines (tables of observations, mixed tables,
// square matrices): one at a time, quoted or not, and what a field is.
#pragma once

#include <string>
#include <string_view>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/texts.h"

namespace cluster {

// A field's text as a message shows it: messages are code page 932.
inline std::string Shown(const std::string& text) {
  return "'" + (IsValidUtf8(text) ? Cp932FromUtf8(text) : text) + "'";
}

// The fields of one line, one at a time, each into a string the caller
// reuses: a line of millions of fields never holds them all at once. A
// field that starts with a double quote runs to the next quote that is not
// doubled, each doubled quote giving one; what follows up to the separator
// belongs to it too.
class FieldCursor {
 public:
  FieldCursor(std::string_view line, char separator) : line_(line), separator_(separator) {}
  // The next field into `field`; false when the line has none left.
  bool Next(std::string& field) {
    if (done_) return false;
    field.clear();
    std::size_t p = at_;
    if (p < line_.size() && line_[p] == '"') {
      for (++p; p < line_.size(); ++p) {
        if (line_[p] == '"') {
          if (p + 1 < line_.size() && line_[p + 1] == '"') {
            ++p;
          } else {
            ++p;
            break;
          }
        }
        field += line_[p];
      }
    }
    const std::size_t end = line_.find(separator_, p);
    field.append(line_.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p));
    if (end == std::string_view::npos) {
      done_ = true;
    } else {
      at_ = end + 1;
    }
    return true;
  }

 private:
  std::string_view line_;
  char separator_;
  std::size_t at_ = 0;
  bool done_ = false;
};

// An empty field, NA (as R writes a missing value) or NaN.
inline bool IsMissing(const std::string& field) {
  const std::string text = TrimBlanks(field);
  return text.empty() || text == "NA" || text == "NaN" || text == "nan";
}

inline bool IsNumber(const std::string& text) {
  try {
    TextToReal(text);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

}  // namespace cluster
