#include "desktop/datawindow/tfdist.h"

#include <QCloseEvent>
#include <QPushButton>

#include "common/codepage.h"
#include "common/printer.h"
#include "common/printer_text_stream.h"
#include "common/text_file.h"
#include "desktop/datawindow/csv_file.h"
#include "desktop/datawindow/data_capture.h"
#include "desktop/datawindow/data_listing.h"
#include "desktop/datawindow/data_window_outcome.h"
#include "desktop/datawindow/grid_binding.h"
#include "desktop/datawindow/grid_editing.h"
#include "desktop/datawindow/native_file.h"
#include "desktop/datawindow/program_store.h"
#include "platform/event_handler.h"
#include "platform/message_box.h"
#include "platform/text_grid.h"

namespace cluster {

namespace {

// The window's place (the top-left corner of its frame) and the size of the
// client area the controls below are placed in; the window manager adds its
// own frame and caption around it.
constexpr int kLeft = 200;
constexpr int kTop = 107;
constexpr int kClientWidth = 741;
constexpr int kClientHeight = 429;

constexpr int kButtonLeft = 656;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

const char* const kDialogTitle = "ファイル名";
const char* const kCsvFilter = "CSV files (*.csv)|*.CSV";
const char* const kListingFontFace = "ＭＳ 明朝";
constexpr std::int32_t kListingFontPoints = 12;

QFont FontOf(const QStringList& families, int pixelHeight) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixelHeight);
  return font;
}

}  // namespace

TFDist::TFDist(QWidget* parent) : TFDist(ProgramStore(), parent) {}

TFDist::TFDist(AnalysisStore& store, QWidget* parent) : QWidget(parent, Qt::Window), store_(store) {
  CreateControls();
  FormCreate();
}

TFDist::~TFDist() = default;

QPushButton* TFDist::MakeButton(const char* utf8Caption, int left, int top) {
  auto* button = new QPushButton(QString::fromUtf8(utf8Caption), this);
  button->setGeometry(left, top, kButtonWidth, kButtonHeight);
  return button;
}

void TFDist::CreateControls() {
  setWindowTitle(QString::fromUtf8("距離（非類似度）"));
  move(kLeft, kTop);
  resize(kClientWidth, kClientHeight);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFont(FontOf({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                  QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("sans-serif")},
                 12));

  StringGrid1 = new TextGrid(this);
  StringGrid1->setGeometry(176, 0, 465, 417);
  AddButton = MakeButton("追  加", kButtonLeft, 48);
  DelButton = MakeButton("削  除", kButtonLeft, 88);
  WardButton = MakeButton("Ward", kButtonLeft, 216);
  SaveButton = MakeButton("保  存", kButtonLeft, 128);
  LoadButton = MakeButton("読  出", kButtonLeft, 168);
  PButton = MakeButton("印  刷", kButtonLeft, 304);
  StringGrid2 = new TextGrid(this);
  StringGrid2->setGeometry(8, 0, 161, 417);
  WRCSVButton = MakeButton("保存（CSV）", kButtonLeft, 344);
  RDCSVButton = MakeButton("読出（CSV）", kButtonLeft, 384);
  CentroidButton = MakeButton("重心法", kButtonLeft, 256);
  CloseButton = MakeButton("閉じる", kButtonLeft, 8);

  const QFont gridFont = FontOf({QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                                 QStringLiteral("IPAGothic"), QStringLiteral("monospace")},
                                16);
  StringGrid1->setFont(gridFont);
  StringGrid2->setFont(gridFont);

  QWidget* const tabOrder[] = {StringGrid1, AddButton,   DelButton,   WardButton,     SaveButton,
                               LoadButton,  PButton,     StringGrid2, WRCSVButton,    RDCSVButton,
                               CentroidButton, CloseButton};
  for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

  ConnectHandler(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
  ConnectHandler(DelButton, &QPushButton::clicked, this, [this] { DelButtonClick(); });
  ConnectHandler(WardButton, &QPushButton::clicked, this, [this] { WardButtonClick(); });
  ConnectHandler(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  ConnectHandler(LoadButton, &QPushButton::clicked, this, [this] { LoadButtonClick(); });
  ConnectHandler(PButton, &QPushButton::clicked, this, [this] { PButtonClick(); });
  ConnectHandler(WRCSVButton, &QPushButton::clicked, this, [this] { WRCSVButtonClick(); });
  ConnectHandler(RDCSVButton, &QPushButton::clicked, this, [this] { RDCSVButtonClick(); });
  ConnectHandler(CentroidButton, &QPushButton::clicked, this, [this] { CentroidButtonClick(); });
  ConnectHandler(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });

  matrixBinding_ = std::make_unique<GridBinding>(grids_.Matrix, *StringGrid1);
  labelBinding_ = std::make_unique<GridBinding>(grids_.Labels, *StringGrid2);
}

void TFDist::CommitEdits() {
  StringGrid1->CommitEdit();
  StringGrid2->CommitEdit();
}

void TFDist::FocusAfterFileOperation() {
  WardButton->setFocus();
  CentroidButton->setFocus();
}

void TFDist::FormCreate() {
  // The in-place editors open on the selected cells as the grids get the
  // focus, the matrix grid first.
  SetInitialState(grids_);
}

void TFDist::AddButtonClick() {
  CommitEdits();
  if (!CanAddObject(grids_, store_.MaxObjects())) {
    ShowPlainMessage(TooManyObjectsToAddMessage(store_.MaxObjects()));
    return;
  }
  AddObject(grids_);
}

void TFDist::DelButtonClick() {
  CommitEdits();
  DeleteObject(grids_);
}

void TFDist::CaptureAndClose(std::uint8_t method) {
  CommitEdits();
  if (const auto failure = CaptureData(grids_, store_, method)) {
    ShowPlainMessage(CaptureFailureMessage(*failure));
    return;
  }
  DataWindowOutcome = kDataWindowProceed;
  close();
}

void TFDist::WardButtonClick() { CaptureAndClose(kWardMethod); }

void TFDist::CentroidButtonClick() { CaptureAndClose(kCentroidMethod); }

void TFDist::CloseButtonClick() {
  DataWindowOutcome = kDataWindowCancelled;
  close();
}

void TFDist::FormClose() { DataWindowOutcome = OutcomeAfterClose(DataWindowOutcome); }

void TFDist::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TFDist::RunFileOperation(DataFileFormat format, FileDirection direction) {
  CommitEdits();
  FileDialog& dialog = direction == FileDirection::Save ? SaveDialog1 : OpenDialog1;
  dialog.Title = Cp932FromUtf8(kDialogTitle);
  dialog.Filter = format == DataFileFormat::Csv ? kCsvFilter : "";
  dialog.FileName.clear();
  if (!dialog.Execute(this)) return;
  const std::string& name = dialog.FileName;
  switch (format) {
    case DataFileFormat::Native:
      if (direction == FileDirection::Save) {
        SaveNativeFile(grids_, name);
      } else {
        LoadNativeFile(grids_, name, store_.MaxObjects());
      }
      break;
    case DataFileFormat::Csv:
      if (direction == FileDirection::Save) {
        SaveCsvFile(grids_, EnsureCsvExtension(name));
      } else {
        LoadCsvFile(grids_, name, store_.MaxObjects());
      }
      break;
  }
  FocusAfterFileOperation();
}

void TFDist::SaveButtonClick() { RunFileOperation(DataFileFormat::Native, FileDirection::Save); }

void TFDist::LoadButtonClick() { RunFileOperation(DataFileFormat::Native, FileDirection::Load); }

void TFDist::WRCSVButtonClick() { RunFileOperation(DataFileFormat::Csv, FileDirection::Save); }

void TFDist::RDCSVButtonClick() { RunFileOperation(DataFileFormat::Csv, FileDirection::Load); }

void TFDist::PButtonClick() {
  CommitEdits();
  TextFile listing;
  OpenPrinterStream(listing);
  CheckIo();
  PrinterDocumentGuard guard(Printer());
  Printer().Canvas().SetFontName(Cp932FromUtf8(kListingFontFace));
  Printer().Canvas().SetFontSize(kListingFontPoints);
  WriteDataListing(grids_, listing);
  listing.CloseTextFile();
  CheckIo();
  FocusAfterFileOperation();
}

}  // namespace cluster
