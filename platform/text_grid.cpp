#include "platform/text_grid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTimer>

#include "platform/qt_text.h"

namespace cluster {

// ---- TextGridModel ----------------------------------------------------------

void TextGridModel::SetSource(TextGridSource* source) {
  beginResetModel();
  source_ = source;
  endResetModel();
}

void TextGridModel::SourceCellChanged(std::int32_t col, std::int32_t row) {
  if (col >= 1 && row >= 1) {
    const QModelIndex cell = index(row - 1, col - 1);
    emit dataChanged(cell, cell);
  } else if (row == 0 && col >= 1) {
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  } else if (col == 0 && row >= 1) {
    emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
  } else {
    emit CornerChanged();
  }
}

int TextGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || source_ == nullptr) return 0;
  return source_->RowCount() - 1;
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || source_ == nullptr) return 0;
  return source_->ColCount() - 1;
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
  if (source_ == nullptr || !index.isValid()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return QStringFromCp932(source_->Cell(index.column() + 1, index.row() + 1));
}

bool TextGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (source_ == nullptr || !index.isValid() || role != Qt::EditRole) return false;
  const std::int32_t col = index.column() + 1;
  const std::int32_t row = index.row() + 1;
  const QString text = value.toString();
  // An untouched cell keeps its bytes, also those that do not decode.
  if (text == QStringFromCp932(source_->Cell(col, row))) return true;
  source_->SetCell(col, row, Cp932FromQString(text));
  return true;
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (source_ == nullptr || role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return QStringFromCp932(source_->Cell(section + 1, 0));
  return QStringFromCp932(source_->Cell(0, section + 1));
}

Qt::ItemFlags TextGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

// ---- The in-place editor's delegate ---------------------------------------

namespace {

// Tab leaves the grid for the next control instead of moving to the next
// cell; everything else is the standard in-place editing.
class TextGridDelegate : public QStyledItemDelegate {
 public:
  explicit TextGridDelegate(TextGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor != nullptr) emit commitData(editor);
        FocusNeighbour(key == Qt::Key_Tab);
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  void FocusNeighbour(bool forward) {
    QWidget* target = forward ? grid_.nextInFocusChain() : grid_.previousInFocusChain();
    for (int guard = 0; target != nullptr && target != &grid_ && guard < 1000; ++guard) {
      const bool inside = grid_.isAncestorOf(target);
      if (!inside && target->isVisibleTo(grid_.window()) && target->isEnabled() &&
          (target->focusPolicy() & Qt::TabFocus) != 0) {
        target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
      }
      target = forward ? target->nextInFocusChain() : target->previousInFocusChain();
    }
  }

  TextGrid& grid_;
};

}  // namespace

// ---- TextGrid ---------------------------------------------------------------

TextGrid::TextGrid(QWidget* parent) : QTableView(parent) {
  setModel(&model_);
  setItemDelegate(new TextGridDelegate(*this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  setTabKeyNavigation(false);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // The fixed row and column are the header sections; column 0 is as wide
  // as any other column and row 0 as high as any other row.
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  horizontalHeader()->setDefaultSectionSize(kDefaultColWidth);
  verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
  verticalHeader()->setFixedWidth(kDefaultColWidth);
  horizontalHeader()->setFixedHeight(kDefaultRowHeight);

  // The corner shows cell [0, 0] like any fixed cell and does nothing.
  corner_ = findChild<QAbstractButton*>();
  if (corner_ != nullptr) {
    corner_->setAttribute(Qt::WA_TransparentForMouseEvents);
    corner_->installEventFilter(this);
  }
  connect(&model_, &TextGridModel::CornerChanged, this, [this] {
    if (corner_ != nullptr) corner_->update();
  });
}

void TextGrid::SetSource(TextGridSource* source) {
  model_.SetSource(source);
  ShowSourceCurrentCell();
}

void TextGrid::NotifyAboutToReset() { model_.SourceAboutToReset(); }

void TextGrid::NotifyReset() {
  model_.SourceReset();
  if (corner_ != nullptr) corner_->update();
  ShowSourceCurrentCell();
  OpenEditorLater();
}

void TextGrid::NotifyCellChanged(std::int32_t col, std::int32_t row) { model_.SourceCellChanged(col, row); }

void TextGrid::NotifyCurrentCellChanged() { ShowSourceCurrentCell(); }

QWidget* TextGrid::Editor() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? indexWidget(current) : nullptr;
}

void TextGrid::CommitEdit() {
  if (QWidget* editor = Editor()) commitData(editor);
}

void TextGrid::OpenEditor() {
  const QModelIndex current = currentIndex();
  if (!current.isValid() || state() == QAbstractItemView::EditingState) return;
  edit(current);
  // The whole text is selected, so that typing replaces it.
  if (auto* line = qobject_cast<QLineEdit*>(Editor())) line->selectAll();
}

void TextGrid::OpenEditorLater() {
  // Only while the grid has the focus: an editor opening elsewhere would
  // take the focus from the control the user went to.
  QTimer::singleShot(0, this, [this] {
    if (hasFocus()) OpenEditor();
  });
}

void TextGrid::ShowSourceCurrentCell() {
  TextGridSource* source = model_.Source();
  if (source == nullptr || selectionModel() == nullptr) return;
  const QModelIndex wanted = model_.index(source->CurrentRow() - 1, source->CurrentCol() - 1);
  if (!wanted.isValid() || wanted == currentIndex()) return;
  syncingCurrent_ = true;
  selectionModel()->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect);
  syncingCurrent_ = false;
}

void TextGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  TextGridSource* source = model_.Source();
  if (!syncingCurrent_ && source != nullptr && current.isValid()) {
    source->SetCurrentCell(current.column() + 1, current.row() + 1);
  }
}

void TextGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableView::closeEditor(editor, hint);
  // The editor stays open on the current cell while the grid has the focus.
  OpenEditorLater();
}

void TextGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  if (QWidget* editor = Editor()) {
    editor->setFocus(event->reason());
  } else {
    OpenEditorLater();
  }
}

bool TextGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == corner_ && event->type() == QEvent::Paint) {
    PaintCorner();
    return true;
  }
  return QTableView::eventFilter(watched, event);
}

void TextGrid::PaintCorner() {
  QPainter painter(corner_);
  QStyleOptionHeader option;
  option.initFrom(corner_);
  option.rect = corner_->rect();
  option.position = QStyleOptionHeader::OnlyOneSection;
  option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  if (TextGridSource* source = model_.Source()) option.text = QStringFromCp932(source->Cell(0, 0));
  style()->drawControl(QStyle::CE_Header, &option, &painter, corner_);
}

}  // namespace cluster
