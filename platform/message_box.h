// The program's two kinds of message box.
//
// The plain message box shows one of the program's own notices with one OK
// button (the capture error, "Invalid value of DistType", the completion
// message). The error box shows an error that ended a handler: error icon,
// one OK button, the application's title as caption, and a period appended
// when the message's last byte sorts above ".".
//
// Both are modal. Tests replace them with a recorder (SetMessageBoxHook), so
// nothing waits for a click.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace cluster {

enum class MessageKind { Plain, Error };

// Shows a plain notice (code page 932 text).
void ShowPlainMessage(const std::string& cp932);

// Shows an error that ended a handler (code page 932 message, as raised).
void ShowErrorBox(const std::string& cp932);

// The text the error box shows for a message: a period is appended when the
// last byte sorts above "." (after a letter, a digit or a double-byte
// character; not after ")" or a period).
std::string ErrorBoxText(const std::string& cp932);

// Replaces the boxes while the hook is set (tests); an empty function
// restores them. The hook receives the kind and the text as it would show.
using MessageBoxHook = std::function<void(MessageKind, const std::string& cp932)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace cluster
