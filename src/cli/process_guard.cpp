#include "cli/process_guard.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/text.hpp"

namespace lumora::cli {
namespace {

// Read by the signal handler, which may not allocate or lock: a list that only
// grows, each entry made whole before it is linked in, its state an atomic.
// A process writes few files, so entries are never reused (a handler on
// another thread could be reading one) and live until the program ends.
enum : int { kGone = 0, kRemove = 1, kKeep = 2 };
struct Entry {
  std::atomic<int> state{kRemove};
  std::string path;     // the temporary file
  std::string message;  // written when the program ends while it is kept
  Entry* next = nullptr;
};
std::atomic<Entry*> entries{nullptr};

// A signal during a commit waits for its end, unless a second one comes.
std::atomic<bool> committing{false};
std::atomic<int> pendingSignal{0};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void EndOnSignal(int sig) {
  for (Entry* e = entries.load(); e; e = e->next) {
    const int state = e->state.load();
    if (state == kRemove) {
      ::unlink(e->path.c_str());
    } else if (state == kKeep) {
      [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, e->message.data(), e->message.size());
    }
  }
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(sig, &action, nullptr);
  ::raise(sig);
}

void OnSignal(int sig) {
  int none = 0;
  if (committing.load() && pendingSignal.compare_exchange_strong(none, sig)) return;
  EndOnSignal(sig);
}

Entry* Find(const std::filesystem::path& path) {
  for (Entry* e = entries.load(); e; e = e->next)
    if (e->state.load() != kGone && e->path == path.native()) return e;
  return nullptr;
}

void Remember(const std::filesystem::path& path) {
  auto* entry = new Entry;
  entry->path = path.native();
  entry->next = entries.load();
  while (!entries.compare_exchange_weak(entry->next, entry)) {
  }
}

void Forget(const std::filesystem::path& path) {
  if (Entry* e = Find(path)) e->state = kGone;
}

void Keep(const std::filesystem::path& path, const std::filesystem::path& target) {
  Entry* e = Find(path);
  if (!e) return;
  // Made before the state changes: the handler reads it only when kept.
  e->message = "lumora-cli: ended while rewriting " + EchoText(target.string(), 256) + " in place; its new content is in " +
               EchoText(path.string(), 256) + "\n";
  e->state = kKeep;
}

void Committing(bool begins) {
  if (begins) {
    pendingSignal = 0;
    committing = true;
    return;
  }
  committing = false;
  if (const int sig = pendingSignal.exchange(0)) EndOnSignal(sig);
}

}  // namespace

void GuardStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

void RemoveTemporaryFilesOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) sigaddset(&action.sa_mask, sig);
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
}

const TempFileWatch& CleanupWatch() {
  static const TempFileWatch watch{Remember, Forget, Keep, Committing, nullptr};
  return watch;
}

bool WriteStandardOutput(const std::string& text) {
  errno = 0;
  const std::size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
  // fwrite drops its buffer on an error and fflush then succeeds: the error
  // flag is what tells.
  if (written != text.size() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int error = errno;
    std::fprintf(stderr, "lumora-cli: cannot write to standard output%s%s\n", error ? ": " : "",
                 error ? std::strerror(error) : "");
    return false;
  }
  return true;
}

int FinishStandardOutput(int status) {
  errno = 0;
  const bool failed = std::ferror(stdout) != 0;
  if (std::fclose(stdout) != 0 || failed) {
    if (status == 0) {
      const int error = errno;
      std::fprintf(stderr, "lumora-cli: cannot write to standard output%s%s\n", error ? ": " : "",
                   error ? std::strerror(error) : "");
      return 1;
    }
  }
  return status;
}

}  // namespace lumora::cli
