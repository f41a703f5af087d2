#include "cli/Terminal.h"

#include <csignal>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Terminal {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
  interrupted = 1;
#ifdef Q_OS_WIN
  // The handler is reset before it is called; later presses are stops too.
  std::signal(SIGINT, onInterrupt);
#endif
}

}  // namespace

#ifdef Q_OS_WIN
bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

void CatchInterrupt() {
  std::signal(SIGINT, onInterrupt);
}
#else
bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

void CatchInterrupt() {
  // Without SA_RESTART, so that Ctrl+C at the overwrite question ends the
  // read instead of waiting for an answer.
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  // A reader that goes away (quillet-cli ... | head) must not end the run
  // between a write and its commit; output to it is simply lost.
  std::signal(SIGPIPE, SIG_IGN);
}
#endif

bool InterruptRequested() {
  return interrupted != 0;
}

void Write(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

bool ReadLine(QString* line) {
  std::string bytes;
  for (int c = std::fgetc(stdin); c != '\n'; c = std::fgetc(stdin)) {
    if (c == EOF || interrupted) return false;
    bytes.push_back(static_cast<char>(c));
  }
  *line = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size())).trimmed();
  return true;
}

}  // namespace Terminal
