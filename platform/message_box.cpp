#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/qt_text.h"

namespace cluster {

namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

QWidget* ActiveParent() { return QApplication::activeWindow(); }

// The application's title, the caption of every message box. Kept here
// rather than as Qt's application display name, which Linux desktops would
// append to every window's caption.
const QString kApplicationTitle = QStringLiteral("Cluster Analysis");
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

std::string ErrorBoxText(const std::string& cp932) {
  std::string text = cp932;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

void ShowPlainMessage(const std::string& cp932) {
  if (Hook()) return Hook()(MessageKind::Plain, cp932);
  QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, QStringFromCp932(cp932),
                  QMessageBox::Ok, ActiveParent());
  box.exec();
}

void ShowErrorBox(const std::string& cp932) {
  const std::string text = ErrorBoxText(cp932);
  if (Hook()) return Hook()(MessageKind::Error, text);
  QMessageBox box(QMessageBox::Critical, kApplicationTitle, QStringFromCp932(text),
                  QMessageBox::Ok, ActiveParent());
  box.exec();
}

}  // namespace cluster
