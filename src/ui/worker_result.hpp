// The result of a worker thread's future, taken on the window's thread. An
// exception thrown on the worker (QtConcurrent wraps it in QUnhandledException)
// comes back as its message, so that a window shows it and stays up.
#pragma once

#include <QFuture>
#include <QString>
#include <QUnhandledException>
#include <exception>
#include <variant>

#include "common/text.hpp"

namespace lumora {

// The message of the exception in flight (inside a catch block only).
inline QString ThrownMessage() {
  try {
    throw;
  } catch (const QUnhandledException& wrapped) {
    if (wrapped.exception()) {
      try {
        std::rethrow_exception(wrapped.exception());
      } catch (...) {
        return ThrownMessage();
      }
    }
  } catch (const std::exception& error) {
    // Messages may echo file contents: one line of shown characters.
    return QString::fromStdString(EchoText(error.what(), 512));
  } catch (...) {
  }
  return QStringLiteral("an unknown error on the worker thread");
}

// The future's result, or the message of what the worker threw.
template <typename T>
std::variant<T, QString> TakeResult(const QFuture<T>& future) {
  try {
    return future.result();
  } catch (...) {
    return ThrownMessage();
  }
}

}  // namespace lumora
