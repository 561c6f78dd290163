// kelmira-cli unwarp and sphere over many photographs with --out-dir.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/batch_run.h"
#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/synthetic_ring.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RunResult;
using test::runCli;

// Two photographs whose rings sit in different places, a copy of one under another
// format's name, and a file that is no picture at all.
class KelmiraCliBatch : public testing::Test {
 protected:
  void SetUp() override {
    makePhoto("east.jpg", 700, 560, 77);
    makePhoto("west.jpg", 560, 640, 78);
    std::filesystem::create_directories(dir.file("in"));
    for (const char* name : {"east.jpg", "west.jpg"}) std::filesystem::copy_file(dir.file(name), in(name));
    test::writeFileBytes(in("notes.jpg"), {'n', 'o', 't', 'e', 's'});
  }

  void makePhoto(const std::string& name, int x, int y, unsigned seed) {
    test::SyntheticRing truth;
    truth.width = 1280;
    truth.height = 1024;
    truth.centreX = x;
    truth.centreY = y;
    truth.radius = 400;
    truth.seed = seed;
    DibImage photo;
    test::makeSyntheticRingPhoto(truth, photo, dir.path().string());
    ASSERT_EQ(photo.saveToFile(dir.file(name), FileTypeJpeg), ImageError::None);
  }
  std::string in(const std::string& name) const { return dir.file("in/" + name); }
  std::string out(const std::string& name) const { return dir.file("out/" + name); }
  std::vector<std::string> filesIn(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file(folder))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The panorama the single form writes of a photograph.
  test::Bytes singlePanorama(const std::string& photo) {
    const std::string single = dir.file("single.jpg");
    EXPECT_EQ(runCli("unwarp " + photo + " " + single).status, 0);
    return test::readFileBytes(single);
  }

  test::TempDir dir;
};

TEST_F(KelmiraCliBatch, WritesEachPhotographAsTheSingleFormDoesAndReportsTheBadOne) {
  const RunResult batch =
      runCli("unwarp " + in("east.jpg") + " " + in("notes.jpg") + " " + in("west.jpg") + " --out-dir " +
             dir.file("out") + " --centre auto --jobs 2");
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find("cannot read " + in("notes.jpg")), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("3 photographs: 2 written to " + dir.file("out") + ", 1 failed"), std::string::npos)
      << batch.output;
  // --centre auto found each photograph's own ring.
  EXPECT_NE(batch.output.find(out("east_pano.jpg") + ": "), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("around (700, 560)"), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("around (560, 640)"), std::string::npos) << batch.output;
  EXPECT_FALSE(std::filesystem::exists(out("notes_pano.jpg")));

  for (const char* name : {"east", "west"}) {
    SCOPED_TRACE(name);
    const std::string single = dir.file(std::string(name) + "_single.jpg");
    ASSERT_EQ(runCli("unwarp " + dir.file(std::string(name) + ".jpg") + " " + single + " --centre auto").status, 0);
    EXPECT_EQ(test::readFileBytes(out(std::string(name) + "_pano.jpg")), test::readFileBytes(single));
  }

  // All good: status 0; the format asked for.
  const RunResult tiffs = runCli("unwarp " + in("east.jpg") + " " + in("west.jpg") + " --out-dir " + dir.file("tif") +
                                 " --format tif --jobs 1");
  EXPECT_EQ(tiffs.status, 0) << tiffs.output;
  DibImage tiff;
  EXPECT_EQ(tiff.loadFromFile(dir.file("tif/west_pano.tif")), ImageError::None);
}

TEST_F(KelmiraCliBatch, SphereBatchesNameTheirPhotos360) {
  const RunResult batch = runCli("sphere " + in("east.jpg") + " " + in("west.jpg") + " --out-dir " + dir.file("out"));
  EXPECT_EQ(batch.status, 0) << batch.output;
  const std::string single = dir.file("east_single.jpg");
  ASSERT_EQ(runCli("sphere " + dir.file("east.jpg") + " " + single).status, 0);
  EXPECT_EQ(test::readFileBytes(out("east_360.jpg")), test::readFileBytes(single));
  EXPECT_TRUE(std::filesystem::exists(out("west_360.jpg")));
}

TEST_F(KelmiraCliBatch, NeverWritesOverAnInputOrTwiceToOneName) {
  // A panorama of an earlier run among the inputs, and two photographs of one name.
  std::filesystem::copy_file(in("east.jpg"), in("east_pano.jpg"));
  std::filesystem::copy_file(dir.file("west.jpg"), dir.file("in/west.png"));
  const test::Bytes before = test::readFileBytes(in("east_pano.jpg"));
  const RunResult batch = runCli("unwarp " + in("east.jpg") + " " + in("east_pano.jpg") + " " + in("west.jpg") + " " +
                                 in("west.png") + " --out-dir " + dir.file("in"));
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find("would replace the input " + in("east_pano.jpg")), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("is also the result of " + in("west.jpg")), std::string::npos) << batch.output;
  EXPECT_EQ(test::readFileBytes(in("east_pano.jpg")), before);
  EXPECT_TRUE(std::filesystem::exists(in("east_pano_pano.jpg")));
  EXPECT_TRUE(std::filesystem::exists(in("west_pano.jpg")));
}

// A photograph given twice, under any spelling, is done once and is no failure; a
// panorama among the photographs (a rerun into the input folder) is left alone unless forced.
TEST_F(KelmiraCliBatch, APhotographGivenTwiceIsDoneOnceAndAPanoramaIsSkippedUnlessForced) {
  DibImage strip;
  test::paintBlockPanorama(strip, 1000, 300, 60, 30);  // wider than twice its height
  ASSERT_EQ(strip.saveToFile(in("strip.jpg"), FileTypeJpeg), ImageError::None);
  std::filesystem::create_symlink("east.jpg", in("link.jpg"));
  const RunResult batch = runCli("unwarp " + in("east.jpg") + " " + dir.file("in/../in/./east.jpg") + " " +
                                 in("link.jpg") + " " + in("strip.jpg") + " --out-dir " + dir.file("out"));
  EXPECT_EQ(batch.status, 0) << batch.output;
  const std::string summary = "4 photographs: 1 written to " + dir.file("out") + ", 0 failed, 2 given twice, 1 skipped";
  EXPECT_NE(batch.output.find(summary), std::string::npos)
      << batch.output;
  EXPECT_NE(batch.output.find(dir.file("in/../in/./east.jpg") + ": given twice (also as " + in("east.jpg") + ")"),
            std::string::npos)
      << batch.output;
  EXPECT_NE(batch.output.find(in("strip.jpg") + " appears to be a panorama already: skipped (--force unwarps it)"),
            std::string::npos)
      << batch.output;
  EXPECT_EQ(batch.output.find("not written"), std::string::npos) << batch.output;
  // Nothing but the one result: no reserved name is left behind.
  EXPECT_EQ(filesIn("out"), std::vector<std::string>{"east_pano.jpg"});
  EXPECT_EQ(test::readFileBytes(out("east_pano.jpg")), singlePanorama(in("east.jpg")));

  const RunResult forced = runCli("unwarp " + in("strip.jpg") + " --force --out-dir " + dir.file("out"));
  EXPECT_EQ(forced.status, 0) << forced.output;
  EXPECT_NE(forced.output.find("appears to be a panorama.  Do you wish to continue? Yes."), std::string::npos)
      << forced.output;
  EXPECT_TRUE(std::filesystem::exists(out("strip_pano.jpg")));
}

// Each result's name is reserved in the output folder before the work starts, so the file
// system decides which names are one file. A link in the folder makes two names one file
// wherever it runs; a vfat folder does it with names that differ in case (below).
TEST_F(KelmiraCliBatch, TwoNamesForOneFileInTheOutputFolderAreOneResult) {
  std::filesystem::create_directories(dir.file("out"));
  std::filesystem::create_symlink("east_pano.jpg", out("west_pano.jpg"));
  const RunResult batch =
      runCli("unwarp " + in("east.jpg") + " " + in("west.jpg") + " --jobs 1 --out-dir " + dir.file("out"));
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find(in("west.jpg") + ": its result " + out("west_pano.jpg") + " is also the result of " +
                              in("east.jpg")),
            std::string::npos)
      << batch.output;
  EXPECT_EQ(test::readFileBytes(out("east_pano.jpg")), singlePanorama(in("east.jpg")));
  EXPECT_EQ(filesIn("out"), (std::vector<std::string>{"east_pano.jpg", "west_pano.jpg"}));
}

// Control characters and escape sequences in names never reach the terminal raw, and a
// name with a newline leaves the progress lines drawn in place.
TEST_F(KelmiraCliBatch, NamesAreShownEscapedAndTheProgressRedrawHoldsTogether) {
  // A name that would clear the screen, end a line, start a C1 escape, and is no UTF-8.
  const std::string bytes = "b\x1b[2Jx\ny \xc2\x9b" "31m\xff";
  const std::string nasty = "b\\x1b[2Jx\\ny \\xc2\\x9b31m\\xff";  // as it is shown
  std::filesystem::copy_file(in("east.jpg"), in(bytes + ".jpg"));
  test::writeFileBytes(in("bad\x1b]0;title\x07.jpg"), {'n', 'o'});
  const std::string quoted = "'" + in(bytes + ".jpg") + "' '" + in("bad\x1b]0;title\x07.jpg") + "' " + in("west.jpg");

  const RunResult piped = runCli("unwarp " + quoted + " --out-dir " + dir.file("out"));
  EXPECT_EQ(piped.status, 1);
  for (const char control : {'\x1b', '\x07', '\x9b', '\xff'}) {
    EXPECT_EQ(piped.output.find(control), std::string::npos) << int(control) << "\n" << piped.output;
  }
  EXPECT_NE(piped.output.find(out(nasty + "_pano.jpg") + ": "), std::string::npos) << piped.output;
  EXPECT_NE(piped.output.find("cannot read " + in("bad\\x1b]0;title\\x07.jpg")), std::string::npos) << piped.output;
  EXPECT_TRUE(std::filesystem::exists(out(bytes + "_pano.jpg")));

  // On a terminal 100 columns wide: replay what was sent on a screen of that width. What
  // stays on it is the lines of the photographs and the summary, each once, and no
  // progress line.
  std::filesystem::remove_all(dir.file("out"));
  test::CliProcess run("unwarp " + quoted + " --out-dir " + dir.file("out") + " --jobs 2", true);
  EXPECT_EQ(run.finish(), 1);
  std::vector<std::string> screen(1);
  std::vector<bool> wrapped(1, false);  // a row that goes on from the one above
  std::size_t row = 0, column = 0;
  const std::string& sent = run.output();
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const char c = sent[i];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == screen.size()) screen.emplace_back(), wrapped.push_back(false);
      wrapped[row] = false;
      column = 0;
    } else if (c == '\x1b' && sent.compare(i, 2, "\x1b[") == 0) {
      std::size_t end = i + 2;
      while (end < sent.size() && std::isdigit(static_cast<unsigned char>(sent[end]))) ++end;
      const int count = end > i + 2 ? std::stoi(sent.substr(i + 2, end - i - 2)) : 1;
      if (sent[end] == 'A') row -= std::min<std::size_t>(row, static_cast<std::size_t>(count));
      if (sent[end] == 'J') {
        screen[row].resize(std::min(screen[row].size(), column));
        screen.resize(row + 1);
        wrapped.resize(row + 1);
      }
      i = end;
    } else {
      if (column == 100) {  // the terminal wraps
        if (++row == screen.size()) screen.emplace_back(), wrapped.push_back(false);
        wrapped[row] = true;
        column = 0;
      }
      if (screen[row].size() <= column) screen[row].resize(column + 1, ' ');
      screen[row][column++] = c;
    }
  }
  while (!screen.empty() && screen.back().empty()) screen.pop_back();
  std::string shown;
  std::size_t lines = 0;
  for (std::size_t r = 0; r < screen.size(); ++r) {
    if (r > 0 && !wrapped[r]) shown += "\n";
    lines += wrapped[r] ? 0 : 1;
    shown += screen[r];
  }
  shown += "\n";
  EXPECT_EQ(shown.find(" done ["), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Unwarping"), std::string::npos) << shown;
  EXPECT_NE(shown.find(out(nasty + "_pano.jpg") + ": "), std::string::npos) << shown;
  EXPECT_NE(shown.find(out("west_pano.jpg") + ": "), std::string::npos) << shown;
  EXPECT_NE(shown.find("3 photographs: 2 written to " + dir.file("out") + ", 1 failed\n"), std::string::npos) << shown;
  EXPECT_EQ(lines, 5u) << shown;  // two results, a failure, the summary, one not written
}

// An exception from one photograph's work is that photograph's failure; the others go on.
TEST_F(KelmiraCliBatch, AnExceptionInOnePhotographsWorkIsItsFailure) {
  std::vector<std::string> inputs;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) inputs.push_back(in(name));
  BatchOptions options;
  options.inputs = inputs;
  options.outputFolder = dir.file("out");
  options.jobs = 2;
  std::vector<char> done(inputs.size(), 0);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  const int status = runBatch(options, OutputKind::Jpeg, [&](const std::string& input, const std::string& output,
                                                         StepProgress&) -> FileOutcome {
    if (input == inputs[1]) throw std::runtime_error("no memory for the picture");
    if (input == inputs[2]) throw 42;
    done[input == inputs[0] ? 0 : 3] = 1;
    test::writeFileBytes(output, {'p'});
    return FileOutcome::written(output + ": done");
  });
  const std::string errors = testing::internal::GetCapturedStderr();
  const std::string report = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(done[0] && done[3]);
  EXPECT_NE(errors.find(inputs[1] + ": stopped by an unexpected problem: no memory for the picture"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find(inputs[2] + ": stopped by an unexpected problem"), std::string::npos) << errors;
  EXPECT_NE(report.find("4 photographs: 2 written to " + dir.file("out") + ", 2 failed"), std::string::npos) << report;
  EXPECT_EQ(filesIn("out"), (std::vector<std::string>{"a_pano.jpg", "d_pano.jpg"}));
}

// A folder on a vfat file system, where names that differ only in case are one file: the
// kernel's own vfat on a loop device where the machine has it, else vfat through FUSE
// (fusefat, with the file system's own inode numbers).
class KelmiraCliOnVfat : public KelmiraCliBatch {
 protected:
  void SetUp() override {
    KelmiraCliBatch::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a vfat image needs root";
    if (std::system("command -v mkfs.vfat > /dev/null") != 0) GTEST_SKIP() << "no mkfs.vfat (dosfstools)";
    const std::string image = dir.file("card.img");
    std::filesystem::create_directories(mountPoint());
    ASSERT_EQ(std::system(("truncate -s 48M " + image + " && mkfs.vfat " + image + " > /dev/null").c_str()), 0);
    if (std::system(("mount -o loop -t vfat " + image + " " + mountPoint() + " 2> /dev/null").c_str()) == 0) {
      unmount_ = "umount " + mountPoint();
    } else if (std::system("command -v fusefat > /dev/null && command -v fusermount > /dev/null") == 0 &&
               std::system(("fusefat -o rw+,use_ino " + image + " " + mountPoint() + " > /dev/null 2>&1").c_str()) ==
                   0) {
      unmount_ = "fusermount -u " + mountPoint();
    } else {
      GTEST_SKIP() << "this machine mounts no vfat image: the kernel has no vfat for a loop device and fusefat "
                      "is missing or FUSE is not allowed";
    }
  }
  void TearDown() override {
    if (!unmount_.empty()) {
      EXPECT_EQ(std::system(unmount_.c_str()), 0);
    }
  }
  std::string mountPoint() const { return dir.file("card"); }
  std::string card(const std::string& name) const { return mountPoint() + "/" + name; }

 private:
  std::string unmount_;
};

TEST_F(KelmiraCliOnVfat, NamesThatDifferInCaseAreOneFile) {
  std::filesystem::create_directories(dir.file("a"));
  std::filesystem::create_directories(dir.file("b"));
  std::filesystem::copy_file(in("east.jpg"), dir.file("a/IMG_1.JPG"));
  std::filesystem::copy_file(in("west.jpg"), dir.file("b/img_1.jpg"));
  const RunResult batch = runCli("unwarp " + dir.file("a/IMG_1.JPG") + " " + dir.file("b/img_1.jpg") + " --out-dir " +
                                 card("out") + " --jobs 2");
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find(dir.file("b/img_1.jpg") + ": its result " + card("out/img_1_pano.jpg") +
                              " is also the result of " + dir.file("a/IMG_1.JPG")),
            std::string::npos)
      << batch.output;
  EXPECT_NE(batch.output.find("2 photographs: 1 written to " + card("out") + ", 1 failed"), std::string::npos)
      << batch.output;
  const std::vector<std::string> written = filesIn("card/out");
  ASSERT_EQ(written, std::vector<std::string>{"IMG_1_pano.jpg"});
  EXPECT_EQ(test::readFileBytes(card("out/IMG_1_pano.jpg")), singlePanorama(dir.file("a/IMG_1.JPG")));

  // An input X_PANO.JPG is the file X.jpg's result x_pano.jpg would be.
  // Copied by hand: vfat through FUSE has no chmod for a copy's permissions.
  test::writeFileBytes(card("out/X.jpg"), test::readFileBytes(in("east.jpg")));
  test::writeFileBytes(card("out/X_PANO.JPG"), test::readFileBytes(card("out/IMG_1_pano.jpg")));
  const test::Bytes before = test::readFileBytes(card("out/X_PANO.JPG"));
  const RunResult rerun =
      runCli("unwarp " + card("out/X.jpg") + " " + card("out/X_PANO.JPG") + " --out-dir " + card("out"));
  EXPECT_EQ(rerun.status, 1) << rerun.output;
  EXPECT_NE(rerun.output.find(card("out/X.jpg") + ": its result " + card("out/X_pano.jpg") +
                              " would replace the input " + card("out/X_PANO.JPG")),
            std::string::npos)
      << rerun.output;
  EXPECT_EQ(test::readFileBytes(card("out/X_PANO.JPG")), before);
}

TEST(KelmiraCliBatchUsage, OneFormOrTheOther) {
  test::TempDir dir;
  const std::string a = dir.file("a.jpg"), b = dir.file("b.jpg"), c = dir.file("c.jpg");
  EXPECT_EQ(runCli("unwarp " + a + " " + b + " " + c).status, 2);              // three paths need --out-dir
  EXPECT_EQ(runCli("unwarp " + a + " " + b + " --jobs 2").status, 2);           // --jobs belongs to a batch
  EXPECT_EQ(runCli("unwarp " + a + " --out-dir " + dir.file("o") + " --movie " + c).status, 2);
  EXPECT_NE(runCli("unwarp " + a + " --out-dir " + dir.file("o") + " --format png").status, 0);
  EXPECT_NE(runCli("sphere " + a + " --out-dir " + dir.file("o") + " --format tif").status, 0);
  test::writeFileBytes(dir.file("file"), {'x'});
  EXPECT_EQ(runCli("unwarp " + a + " --out-dir " + dir.file("file")).status, 2);  // not a folder
}

}  // namespace
}  // namespace kelmira
