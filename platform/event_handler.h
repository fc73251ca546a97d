// The program's single error-box handler.
//
// Every handler of a window (a button click, a close request) runs through
// RunHandler. An error that leaves the handler ends that handler only: it is
// shown in the error box and the program goes on, with nothing rolled back.
// No exception ever unwinds through Qt's own code, so handlers do not catch
// errors themselves.
#pragma once

#include <functional>
#include <utility>

#include <QObject>

namespace cluster {

// Runs a handler and shows any error that leaves it in the error box.
void RunHandler(const std::function<void()>& handler) noexcept;

// Connects a signal to a handler of `receiver` run through RunHandler, e.g.
//   ConnectHandler(button, &QPushButton::clicked, this, [this] { AddButtonClick(); });
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection ConnectHandler(Sender* sender, Signal signal, QObject* receiver,
                                       Handler handler) {
  return QObject::connect(sender, signal, receiver,
                          [handler = std::move(handler)] { RunHandler(handler); });
}

}  // namespace cluster
