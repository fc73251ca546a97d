#include "platform/qt_text.h"

#include <QFile>

#include "common/codepage.h"

namespace cluster {

QString QStringFromCp932(std::string_view cp932) {
  const std::string utf8 = Utf8FromCp932(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Cp932FromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Cp932FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string PathFromQString(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString QStringFromPath(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace cluster
