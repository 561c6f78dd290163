// kelmira-cli stopped by Ctrl-C, SIGTERM or SIGHUP halfway through its work.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string sample() { return std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg"; }

bool haveDjpeg() {
  static const bool installed = std::system("command -v djpeg > /dev/null") == 0;
  return installed;
}

constexpr char kNoDjpeg[] =
    "the results were read by Kelmira's own reader only: no djpeg (libjpeg-turbo-progs, which scripts/setup.sh test "
    "installs)";

// A JPEG that is all there: it ends where a JPEG ends, our reader takes it, and so does
// libjpeg's own djpeg, without a warning, where it is installed.
void expectWholeJpeg(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  ASSERT_GE(bytes.size(), 4u) << path;
  EXPECT_TRUE(bytes[bytes.size() - 2] == 0xFF && bytes.back() == 0xD9) << path;
  DibImage picture;
  EXPECT_EQ(picture.loadFromFile(path), ImageError::None) << path;
  if (haveDjpeg()) {
    EXPECT_EQ(std::system(("djpeg -outfile /dev/null '" + path + "' 2>/dev/null").c_str()), 0) << path;
  }
}

// Every file under `folder`, to see that no temporary is left anywhere.
std::vector<std::string> everyFile(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), folder).string());
  }
  return files;
}

int statusFor(int signal) { return 128 + signal; }

// A batch stopped once its first result is out: no temporary and no reserved name is left,
// each result left is whole and was reported finished, the others are named not written,
// and the status tells the signal. A second signal ends it at once, leaving as little.
TEST(KelmiraCliInterrupted, ABatchStopsKeepingOnlyWholeFinishedResults) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, 0}) {
    const bool twice = signal == 0;
    const int sent = twice ? SIGINT : signal;
    SCOPED_TRACE(twice ? "SIGINT twice" : std::to_string(signal));
    test::TempDir dir;
    fs::create_directories(dir.file("in"));
    constexpr int kPhotographs = 12;
    std::string inputs;
    for (int i = 0; i < kPhotographs; ++i) {
      const std::string photo = dir.file("in/p" + std::to_string(i) + ".jpg");
      fs::copy_file(sample(), photo);
      inputs += photo + " ";
    }
    test::CliProcess run("unwarp " + inputs + "--out-dir " + dir.file("out") + " --jobs 2");
    ASSERT_TRUE(run.readUntil("_pano.jpg: ", 120s)) << run.output();
    run.signal(sent);
    if (twice) run.signal(sent);
    EXPECT_EQ(run.finish(), statusFor(sent)) << run.output();

    const std::string output = run.output();
    EXPECT_NE(output.find("stopped by SIG"), std::string::npos) << output;
    const std::vector<std::string> left = everyFile(dir.path() / "out");
    EXPECT_LT(left.size(), static_cast<std::size_t>(kPhotographs)) << output;
    for (const std::string& name : left) {
      SCOPED_TRACE(name);
      expectWholeJpeg(dir.file("out/" + name));
      // Ended at once, a result may be in place before its line was printed.
      if (!twice) {
        EXPECT_NE(output.find(dir.file("out/" + name) + ": "), std::string::npos) << output;
      }
    }
    std::size_t notWritten = 0;
    for (std::size_t at = 0; (at = output.find("not written: ", at)) != std::string::npos; ++at) ++notWritten;
    if (!twice) {
      EXPECT_EQ(notWritten + left.size(), static_cast<std::size_t>(kPhotographs)) << output;
    }
    EXPECT_EQ(everyFile(dir.path() / "in").size(), static_cast<std::size_t>(kPhotographs));
  }
  if (!haveDjpeg()) GTEST_SKIP() << kNoDjpeg;
}

// One photograph or one movie, signalled early: stopped, the old file is as it was and no
// temporary is left, also in the temporary folder; or done before the signal came, the
// new file whole.
TEST(KelmiraCliInterrupted, OnePictureOrMovieLeavesTheOldFileOrAWholeNewOne) {
  test::TempDir dir;
  fs::create_directories(dir.file("tmp"));
  DibImage pattern;
  test::paintBlockPanorama(pattern, 9600, 1440, 60, 30);
  ASSERT_EQ(pattern.saveToFile(dir.file("wide.jpg"), FileTypeJpeg), ImageError::None);
  ASSERT_EQ(test::runCli("simulate " + dir.file("wide.jpg") + " " + dir.file("round.jpg") + " --size 4000x3000").status,
            0);
  const test::Bytes old{'o', 'l', 'd'};
  struct Case {
    std::string arguments;
    std::string target;
    int signal;
  };
  const Case cases[] = {
      {"unwarp " + dir.file("round.jpg") + " " + dir.file("pano.jpg"), dir.file("pano.jpg"), SIGINT},
      {"movie " + dir.file("wide.jpg") + " " + dir.file("pano.mov"), dir.file("pano.mov"), SIGTERM},
      {"sphere " + dir.file("round.jpg") + " " + dir.file("sphere.jpg"), dir.file("sphere.jpg"), SIGHUP},
  };
  int stopped = 0;
  for (const auto& [arguments, target, signal] : cases) {
    SCOPED_TRACE(arguments);
    for (const auto wait : {50ms, 150ms, 300ms}) {
      test::writeFileBytes(target, old);
      test::CliProcess run(arguments, false, "TMPDIR=" + dir.file("tmp"));
      ASSERT_TRUE(run.waitUntilCatching(signal, 60s));
      std::this_thread::sleep_for(wait);
      run.signal(signal);
      const int status = run.finish();
      if (status == 0) {
        if (target.size() > 4 && target.compare(target.size() - 4, 4, ".mov") == 0) {
          EXPECT_EQ(test::runCli("movdump " + target).status, 0);
        } else {
          expectWholeJpeg(target);
        }
      } else {
        ++stopped;
        EXPECT_EQ(status, statusFor(signal)) << run.output();
        EXPECT_EQ(test::readFileBytes(target), old);
      }
      // Nothing but the pictures and the targets, and nothing in the temporary folder.
      for (const std::string& file : everyFile(dir.path())) {
        EXPECT_TRUE(file == "wide.jpg" || file == "round.jpg" || file == "pano.jpg" || file == "pano.mov" ||
                    file == "sphere.jpg")
            << file << "\n" << run.output();
      }
    }
  }
  if (stopped == 0) GTEST_SKIP() << "every run was over before its signal: nothing stopped on this machine";
  if (!haveDjpeg()) GTEST_SKIP() << kNoDjpeg;
}

}  // namespace
}  // namespace kelmira
