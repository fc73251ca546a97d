#include "tests/recording_printer_device.h"

#include <utility>

namespace cluster::testing {

namespace {

PrinterCall MakeCall(PrinterCall::Kind kind, std::int32_t x1 = 0, std::int32_t y1 = 0,
                     std::int32_t x2 = 0, std::int32_t y2 = 0, std::string text = {},
                     std::int32_t charHeight = 0) {
  PrinterCall call{kind, x1, y1, x2, y2, std::move(text), charHeight};
  return call;
}

}  // namespace

std::vector<PrinterCall> RecordingPrinterDevice::CallsOf(PrinterCall::Kind kind) const {
  std::vector<PrinterCall> found;
  for (const PrinterCall& call : calls_) {
    if (call.kind == kind) found.push_back(call);
  }
  return found;
}

void RecordingPrinterDevice::Record(PrinterCall call) {
  if (failArmed_ && call.kind == failKind_) {
    if (failCountdown_ == 0) {
      failArmed_ = false;
      throw EPrinter::InvalidPrinter();
    }
    --failCountdown_;
  }
  calls_.push_back(std::move(call));
}

void RecordingPrinterDevice::BeginDocument(const std::string& title) {
  Record(MakeCall(PrinterCall::Kind::Begin));
  LastTitle = title;
}

void RecordingPrinterDevice::NewPage() { Record(MakeCall(PrinterCall::Kind::NewPage)); }

void RecordingPrinterDevice::EndDocument() { Record(MakeCall(PrinterCall::Kind::End)); }

void RecordingPrinterDevice::AbortDocument() noexcept {
  calls_.push_back(MakeCall(PrinterCall::Kind::Abort));
}

void RecordingPrinterDevice::SetFont(const std::string& face, std::int32_t charHeight) {
  Record(MakeCall(PrinterCall::Kind::Font, 0, 0, 0, 0, face, charHeight));
  face_ = face;
  charHeight_ = charHeight;
}

std::int32_t RecordingPrinterDevice::TextWidth(std::string_view text) {
  return static_cast<std::int32_t>(text.size()) * settings_.ByteWidth;
}

std::int32_t RecordingPrinterDevice::TextHeight(std::string_view text) {
  return text.empty() ? 0 : settings_.CellHeight;
}

void RecordingPrinterDevice::DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                      std::int32_t y2) {
  Record(MakeCall(PrinterCall::Kind::Line, x1, y1, x2, y2));
}

void RecordingPrinterDevice::DrawText(std::int32_t x, std::int32_t y, std::string_view text) {
  Record(MakeCall(PrinterCall::Kind::Text, x, y, 0, 0, std::string(text)));
}

RecordingPrinterDevice& InstallRecordingPrinter(RecordingSettings settings) {
  SetPrinterDeviceFactory(
      [settings] { return std::make_unique<RecordingPrinterDevice>(settings); });
  return dynamic_cast<RecordingPrinterDevice&>(Printer().Device());
}

}  // namespace cluster::testing
