// The text grid control: a table of code page 932 texts with one fixed row
// and one fixed column, shown and edited in place.
//
// The cells live outside the control, behind TextGridSource (the data
// window's cell model); the control only shows them and passes edits on.
// Cell [column, row] of the source with row and column >= 1 is the table
// cell; row 0 is the column header and column 0 the row header, which stay
// in view while the table scrolls; [0, 0] is the corner. Texts are decoded
// for the screen only: a cell whose bytes do not decode keeps them until the
// user changes its text, and what the user types enters the source in code
// page 932 ("?" for a character the code page lacks).
//
// Columns are 64 pixels wide and rows 24 high; grid lines and both scroll
// bars are shown. There is one current cell and no range selection, and an
// in-place editor stays open on the current cell, so that typing goes
// straight into it. Nothing is created per cell, so a grid of 1001 x 1001
// cells scrolls and edits as quickly as a small one.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <cstdint>
#include <string>
#include <string_view>

class QAbstractButton;

namespace cluster {

// What the control needs of the cells.
class TextGridSource {
 public:
  virtual ~TextGridSource() = default;
  virtual std::int32_t ColCount() const = 0;
  virtual std::int32_t RowCount() const = 0;
  virtual std::string_view Cell(std::int32_t col, std::int32_t row) const = 0;
  virtual void SetCell(std::int32_t col, std::int32_t row, std::string text) = 0;
  virtual std::int32_t CurrentCol() const = 0;
  virtual std::int32_t CurrentRow() const = 0;
  virtual void SetCurrentCell(std::int32_t col, std::int32_t row) = 0;
};

// Qt's view of a TextGridSource, without the fixed row and column in the
// table proper (they are the header sections).
class TextGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit TextGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetSource(TextGridSource* source);
  TextGridSource* Source() const noexcept { return source_; }

  void SourceAboutToReset() { beginResetModel(); }
  void SourceReset() { endResetModel(); }
  void SourceCellChanged(std::int32_t col, std::int32_t row);

 signals:
  // The corner cell [0, 0] changed.
  void CornerChanged();

 public:
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  TextGridSource* source_ = nullptr;
};

class TextGrid : public QTableView {
  Q_OBJECT
 public:
  static constexpr int kDefaultColWidth = 64;
  static constexpr int kDefaultRowHeight = 24;

  explicit TextGrid(QWidget* parent = nullptr);

  void SetSource(TextGridSource* source);
  TextGridModel& Model() noexcept { return model_; }

  // The source announces its changes through these: a reset around changes
  // of the counts or of many cells, or one cell, or the current cell.
  void NotifyAboutToReset();
  void NotifyReset();
  void NotifyCellChanged(std::int32_t col, std::int32_t row);
  void NotifyCurrentCellChanged();

  // Hands what the in-place editor holds to the source now.
  void CommitEdit();
  // Opens the in-place editor on the current cell, its text selected, if
  // none is open.
  void OpenEditor();
  // Moves the view's current cell to the source's.
  void ShowSourceCurrentCell();
  // The in-place editor, or null when none is open.
  QWidget* Editor() const;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void focusInEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PaintCorner();
  void OpenEditorLater();

  TextGridModel model_;
  QAbstractButton* corner_ = nullptr;
  bool syncingCurrent_ = false;
};

}  // namespace cluster
