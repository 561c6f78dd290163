// The installed window program, run as a user runs it, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/signal_wait.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// This build's window program, or another build's named by KELMIRA_WINDOW (to see a test
// fail on an older build).
std::string windowPath() {
  const char* other = std::getenv("KELMIRA_WINDOW");
  return other != nullptr && *other != '\0' ? other : KELMIRA_WINDOW_PATH;
}

std::string sample() { return std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg"; }

// Runs `kelmira` with these arguments, given as they are (no shell), in a home of its own
// and with that as its working folder;
// when `signalAfter` is set, that signal comes after that long. The exit status, or -1
// when a signal ended it or it had to be killed.
int runWindow(const test::TempDir& home, const std::vector<std::string>& arguments, const std::string& report = "",
              int signal = 0, std::chrono::milliseconds signalAfter = 0ms) {
  const std::string program = windowPath();
  const pid_t child = fork();
  if (child == 0) {
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() / ".config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!report.empty()) setenv("KELMIRA_REPORT_WINDOW", report.c_str(), 1);
    // In the home folder, where the tests put their photographs: a name is given as it is.
    if (chdir(home.path().c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  const auto start = std::chrono::steady_clock::now();
  bool signalled = signal == 0;
  for (;;) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto now = std::chrono::steady_clock::now();
    // Sent once the program catches it: one that came during its start would end it there.
    if (!signalled && now - start >= signalAfter && test::waitUntilCatching(child, signal, 0ms)) {
      kill(child, signal);
      signalled = true;
    }
    if (now - start > 30s) {  // a message box nobody can answer, say
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
}

std::string contentOf(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A file is opened by its bytes: one whose name starts with a dash after "--", one whose
// name is no UTF-8; and "--" ends the options for Qt's own too.
TEST(WindowProgram, OpensAnyFileNameGivenAfterTheOptions) {
  test::TempDir dir;
  const std::vector<std::string> names = {"-name.jpg", "--help", "-platform", "caf\xe9 \xff.jpg"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    fs::copy_file(sample(), dir.path() / name, fs::copy_options::overwrite_existing);
    fs::remove(dir.file("report"));
    EXPECT_EQ(runWindow(dir, {"--", name}, dir.file("report")), 0);
    // The caption names the extension, when there is one.
    const bool jpg = name.ends_with(".jpg");
    EXPECT_EQ(contentOf(dir.file("report")),
              std::string("mode round\ncaption ") + (jpg ? "JPG" : "") + " 1600 x 1200\n");
  }
  // Without "--" too, for a name that looks like no option.
  fs::remove(dir.file("report"));
  EXPECT_EQ(runWindow(dir, {names.back()}, dir.file("report")), 0);
  EXPECT_EQ(contentOf(dir.file("report")), "mode round\ncaption JPG 1600 x 1200\n");
  EXPECT_EQ(runWindow(dir, {"--", "a.jpg", "b.jpg"}), 2);  // still one photograph at a time
}

// SIGINT, SIGTERM or SIGHUP close the window in order and end the program with 128 + the signal.
TEST(WindowProgram, ASignalClosesTheWindowInOrder) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    test::TempDir home;
    EXPECT_EQ(runWindow(home, {sample()}, "", signal, 1500ms), 128 + signal);
  }
}

}  // namespace
}  // namespace kelmira
