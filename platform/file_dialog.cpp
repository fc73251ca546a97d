#include "platform/file_dialog.h"

#include <QFileDialog>

#include "platform/qt_text.h"

namespace cluster {

namespace {
FileDialogRunner& Runner() {
  static FileDialogRunner runner;
  return runner;
}
}  // namespace

void SetFileDialogRunner(FileDialogRunner runner) { Runner() = std::move(runner); }

QString QtFilterFromDialogFilter(const std::string& cp932Filter) {
  if (cp932Filter.empty()) return {};
  const QString filter = QStringFromCp932(cp932Filter);
  const qsizetype bar = filter.indexOf(u'|');
  if (bar < 0) return filter;
  // Qt takes the patterns from the last parentheses, so a description that
  // itself ends in parentheses still shows whole.
  return filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + QLatin1Char(')');
}

bool FileDialog::Execute(QWidget* parent) {
  std::optional<std::string> chosen;
  if (Runner()) {
    chosen = Runner()(*this);
  } else {
    QFileDialog dialog(parent, QStringFromCp932(Title), QString(), QtFilterFromDialogFilter(Filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (kind_ == FileDialogKind::Save) {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    // AnyFile: the open dialog too takes a name that names no file.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(QStringFromPath(FileName));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = PathFromQString(dialog.selectedFiles().constFirst());
    }
  }
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

}  // namespace cluster
