#pragma once

// What the file layer's platform halves share, for them alone.
#include <QFile>
#include <QIODevice>
#include <QString>
#include <functional>
#include <future>
#include <memory>

namespace NativeFile {

// A temporary file's name: ".~quillet-" and six letters or digits, ".tmp~".
QString TemporaryName();
bool IsTemporaryName(const QString& name);

// The system's own count of the bytes written and not yet on a disk; -1
// where it keeps none that a program can read.
qint64 SystemUnwrittenBytes();

// A small file is read whole as it is opened and closed at once: an image
// is read in several pieces, and each piece read from the file would cost a
// seek and a read of its own. Larger files (never an image) stay open.
inline constexpr qint64 WholeReadLimit = 1024 * 1024;

// The observer installed, if any.
Observer* TheObserver();

// The platform's error of the last failed call, and setting it as a failed
// call would: errno, or GetLastError on Windows.
int LastSystemError();
void SetSystemError(int error);

// Makes one change through the observer, when one is installed: describe()
// says what act() asks of the system, and act() returns whether it was made.
// A change the observer fails is never asked of the system.
template <class Describe, class Act>
bool Made(Describe describe, Act act) {
  Observer* observer = TheObserver();
  if (!observer) return act();
  const Operation operation = describe();
  if (const int error = observer->Before(operation)) {
    SetSystemError(error);
    return false;
  }
  const bool made = act();
  const int error = made ? 0 : LastSystemError();
  observer->After(operation, error);
  SetSystemError(error);
  return made;
}

// Runs the job on one of a few writer threads; waits first while many
// are on their way already.
std::future<void> WriteBehind(std::function<void()> job);

// Bytes read whole, to be read in pieces from memory.
std::unique_ptr<QIODevice> InMemory(const QByteArray& bytes);

}  // namespace NativeFile
