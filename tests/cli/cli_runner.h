#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/dib_image.h"
#include "support/signal_wait.h"

namespace kelmira::test {

struct RunResult {
  int status;
  std::string output;  // standard output and error together
};

// The kelmira-cli the tests run: this build's, or another one's named by KELMIRA_CLI (to
// see a test fail on an older build).
inline std::string cliPath() {
  const char* other = std::getenv("KELMIRA_CLI");
  return other != nullptr && *other != '\0' ? other : KELMIRA_CLI_PATH;
}

// Runs the real kelmira-cli with the arguments, through the shell.
inline RunResult runCli(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + " " + cliPath() + " " + arguments + " 2>&1";
  RunResult result{-1, {}};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// kelmira-cli running on its own, its output read as it comes, to be signalled midway.
class CliProcess {
 public:
  // Through the shell's exec and env's, so the process signalled is kelmira-cli itself, with
  // `environment` ("NAME=VALUE ...") added. With
  // `onTerminal`, its standard output and error are a terminal (a pseudo-terminal this
  // side reads), as when a person runs it.
  explicit CliProcess(const std::string& arguments, bool onTerminal = false, const std::string& environment = "") {
    const std::string command = "exec env " + environment + " " + cliPath() + " " + arguments + " 2>&1";
    if (onTerminal) {
      winsize size{};
      size.ws_col = 100;
      size.ws_row = 40;
      pid_ = forkpty(&fd_, nullptr, nullptr, &size);
      if (pid_ == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
      }
      return;
    }
    int ends[2];
    if (pipe(ends) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(ends[1], STDOUT_FILENO);
      close(ends[0]);
      close(ends[1]);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ends[1]);
    fd_ = ends[0];
  }
  ~CliProcess() {
    if (pid_ > 0 && status_ == kRunning) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Reads what comes within `wait` (all of it when the process ends); false at the end.
  bool read(std::chrono::milliseconds wait) {
    if (fd_ < 0) return false;
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return true;
    char buffer[4096];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) return false;  // a terminal's end reads as an error
    output_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
  // Reads until `text` has come, the process ends or `limit` passes; whether it came.
  bool readUntil(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (output_.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
      if (!read(std::chrono::milliseconds(20))) break;
    }
    return output_.find(text) != std::string::npos;
  }
  void signal(int number) { kill(pid_, number); }
  // Waits until the program catches `number` (its handler is in place, as /proc shows),
  // so that a signal sent then reaches the program and not its start; whether it does.
  bool waitUntilCatching(int number, std::chrono::milliseconds limit) {
    return test::waitUntilCatching(pid_, number, limit);
  }
  // Reads the rest and waits for the end: the exit status, or -1 when a signal ended it
  // (or it did not end within `limit` and was killed).
  int finish(std::chrono::seconds limit = std::chrono::seconds(300)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (read(std::chrono::milliseconds(200))) {
      if (std::chrono::steady_clock::now() > end) kill(pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }
  const std::string& output() const { return output_; }

 private:
  static constexpr int kRunning = -2;
  pid_t pid_ = -1;
  int fd_ = -1;
  int status_ = kRunning;
  std::string output_;
};

// Smooth ramps in red and green under a checker of bold blue blocks, so that misplaced
// or blurred pixels show.
inline void paintBlockPanorama(DibImage& image, int width, int height, int blockWidth, int blockHeight) {
  image.allocate(width, height);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(255 * x / width);
      p[1] = static_cast<std::uint8_t>(255 * y / height);
      p[2] = (x / blockWidth + y / blockHeight) % 2 ? 200 : 40;
    }
  image.endAccess();
}

}  // namespace kelmira::test
