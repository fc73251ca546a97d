#include "platform/file_dialog.h"

#include <QFileDialog>
#include <QLineEdit>

#include "platform/qt_text.h"

namespace cluster {

namespace {

// A name holding "*" or "?" is a pattern, as users know it from common file
// dialogs: typed and confirmed, it shows the files it matches (in the folder
// it names, if any) and the dialog stays open.
bool IsPattern(const QString& name) { return name.contains(u'*') || name.contains(u'?'); }

class PatternFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  // Shows the files that match `pattern` and keeps it in the name box.
  void ShowPattern(const QString& pattern) {
    const qsizetype slash = pattern.lastIndexOf(u'/');
    const QString name = slash < 0 ? pattern : pattern.mid(slash + 1);
    if (slash >= 0) setDirectory(slash == 0 ? QStringLiteral("/") : pattern.left(slash));
    setNameFilter(name);
    selectFile(name);
  }

  void accept() override {
    const auto* box = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (box != nullptr && IsPattern(box->text())) {
      ShowPattern(box->text());
      return;
    }
    QFileDialog::accept();
  }
};
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
    PatternFileDialog dialog(parent, QStringFromCp932(Title), QString(), QtFilterFromDialogFilter(Filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (kind_ == FileDialogKind::Save) {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    // AnyFile: the open dialog too takes a name that names no file.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString name = QStringFromPath(FileName);
    if (IsPattern(name)) {
      dialog.ShowPattern(name);
    } else {
      dialog.selectFile(name);
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = PathFromQString(dialog.selectedFiles().constFirst());
    }
  }
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

}  // namespace cluster
