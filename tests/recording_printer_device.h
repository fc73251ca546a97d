// A printer device for tests: it keeps every call with its exact
// coordinates, and measures text by simple fixed rules so that every
// expected position can be worked out by hand:
//   - a text is ByteWidth dots wide per byte (a double-byte character is two
//     bytes), an empty text 0;
//   - a non-empty text is CellHeight dots high, an empty text 0;
//   - the average character width is AverageWidth.
// It can be told to fail at a given call, to test what an error leaves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/printer.h"

namespace cluster::testing {

struct PrinterCall {
  enum class Kind { Begin, NewPage, End, Abort, Font, Line, Text };
  Kind kind;
  std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Line: from, to; Text: x1, y1
  std::string text;                              // Text: the text; Font: the face
  std::int32_t charHeight = 0;                   // Font: the character height
};

struct RecordingSettings {
  std::int32_t PageWidth = 4800;
  std::int32_t PageHeight = 6600;
  std::int32_t Dpi = 600;
  std::int32_t ByteWidth = 40;
  std::int32_t CellHeight = 50;
  std::int32_t AverageWidth = 30;
};

class RecordingPrinterDevice : public PrinterDevice {
 public:
  explicit RecordingPrinterDevice(RecordingSettings settings = {}) : settings_(settings) {}

  RecordingSettings& Settings() { return settings_; }
  const std::vector<PrinterCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Calls of one kind, in order.
  std::vector<PrinterCall> CallsOf(PrinterCall::Kind kind) const;
  // The last font handed over: face and character height.
  const std::string& FontFace() const { return face_; }
  std::int32_t FontHeight() const { return charHeight_; }

  // The next call of this kind throws EPrinter::InvalidPrinter after `skip`
  // more of them have passed.
  void FailAt(PrinterCall::Kind kind, int skip = 0) {
    failKind_ = kind;
    failCountdown_ = skip;
    failArmed_ = true;
  }

  void BeginDocument(const std::string& title) override;
  void NewPage() override;
  void EndDocument() override;
  void AbortDocument() noexcept override;
  std::int32_t PageWidth() override { return settings_.PageWidth; }
  std::int32_t PageHeight() override { return settings_.PageHeight; }
  std::int32_t VerticalDpi() override { return settings_.Dpi; }
  void SetFont(const std::string& face, std::int32_t charHeight) override;
  std::int32_t TextWidth(std::string_view text) override;
  std::int32_t TextHeight(std::string_view text) override;
  std::int32_t AverageCharWidth() override { return settings_.AverageWidth; }
  void DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
  void DrawText(std::int32_t x, std::int32_t y, std::string_view text) override;

  std::string LastTitle;

 private:
  void Record(PrinterCall call);

  RecordingSettings settings_;
  std::vector<PrinterCall> calls_;
  std::string face_;
  std::int32_t charHeight_ = 0;
  bool failArmed_ = false;
  PrinterCall::Kind failKind_ = PrinterCall::Kind::Begin;
  int failCountdown_ = 0;
};

// Makes Printer() a fresh printer on a recording device and returns that
// device (owned by the printer).
RecordingPrinterDevice& InstallRecordingPrinter(RecordingSettings settings = {});

}  // namespace cluster::testing
