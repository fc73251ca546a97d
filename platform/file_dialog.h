// File-open and file-save dialogs with a title, a filter and a file name.
//
// A FileDialog keeps its settings between uses, as the windows' dialogs do:
// the caller sets Title, Filter and FileName, calls Execute, and on true
// reads the chosen FileName. Texts are code page 932; FileName holds the
// file system's bytes of the path.
//
// The dialogs are Qt's own rather than the desktop's, so they behave alike
// everywhere: the save dialog never asks before overwriting, and the open
// dialog accepts the name of a file that does not exist (opening it then
// fails with the program's "file not found"). A name holding "*" or "?" is
// a pattern: given as the starting name, or typed and confirmed, it filters
// the list, stays in the name box, and the dialog stays open; it is never
// taken as a file's name. Tests answer the dialogs
// through SetFileDialogRunner instead of showing anything.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QString>

class QWidget;

namespace cluster {

enum class FileDialogKind { Open, Save };

class FileDialog {
 public:
  explicit FileDialog(FileDialogKind kind) : kind_(kind) {}

  FileDialogKind Kind() const noexcept { return kind_; }

  // The caption (code page 932).
  std::string Title;
  // "description|pattern" (code page 932), or empty for no filter.
  std::string Filter;
  // The name shown when the dialog opens, and the chosen name afterwards.
  std::string FileName;

  // Shows the dialog over `parent`. False when the user cancels, leaving
  // FileName unchanged.
  bool Execute(QWidget* parent = nullptr);

 private:
  FileDialogKind kind_;
};

// Answers dialogs instead of showing them: receives the dialog as set up,
// returns the chosen path's bytes, or nothing for "cancel". An empty
// function restores the real dialogs.
using FileDialogRunner = std::function<std::optional<std::string>(const FileDialog&)>;
void SetFileDialogRunner(FileDialogRunner runner);

// The Qt filter text for "description|pattern": "description (pattern)".
// An empty filter gives an empty text.
QString QtFilterFromDialogFilter(const std::string& cp932Filter);

}  // namespace cluster
