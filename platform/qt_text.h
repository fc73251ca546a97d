// The bridge between the program's code page 932 texts and Qt's Unicode
// strings. Texts cross it only where they meet the screen or a file name.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace cluster {

// Code page 932 bytes as a Qt string (undecodable bytes become U+FFFD).
QString QStringFromCp932(std::string_view cp932);

// A Qt string as code page 932 bytes; a character with no code page 932
// form becomes "?".
std::string Cp932FromQString(const QString& text);

// A file path as the file system's bytes (UTF-8 on Linux), and back.
std::string PathFromQString(const QString& path);
QString QStringFromPath(std::string_view path);

}  // namespace cluster
