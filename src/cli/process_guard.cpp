#include "cli/process_guard.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace lumora::cli {
namespace {

// Read by the signal handler, so plain fixed storage: a handler may not
// allocate or lock. Updated with the signals blocked.
constexpr std::size_t kSlots = 8;
constexpr std::size_t kPathBytes = 4096;
std::array<std::array<char, kPathBytes>, kSlots> tempPaths{};
std::array<volatile sig_atomic_t, kSlots> slotUsed{};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int sig) {
  for (std::size_t i = 0; i < kSlots; ++i)
    if (slotUsed[i]) ::unlink(tempPaths[i].data());
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(sig, &action, nullptr);
  ::raise(sig);
}

class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

void Remember(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.size() >= kPathBytes) return;
  SignalsBlocked blocked;
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (slotUsed[i]) continue;
    std::memcpy(tempPaths[i].data(), text.c_str(), text.size() + 1);
    slotUsed[i] = 1;
    return;
  }
}

void Forget(const std::filesystem::path& path) {
  SignalsBlocked blocked;
  for (std::size_t i = 0; i < kSlots; ++i)
    if (slotUsed[i] && path.native() == tempPaths[i].data()) slotUsed[i] = 0;
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
  static const TempFileWatch watch{Remember, Forget};
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
