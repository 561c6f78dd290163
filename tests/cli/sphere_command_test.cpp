// kelmira-cli sphere and web: the 360-degree photo and the web page that pans it, the
// page opened in headless Chromium.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RunResult;
using test::runCli;

std::string sample() { return std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg"; }

std::string text(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(KelmiraCliSphere, WritesA360PhotoWithItsPhotoSphereFields) {
  test::TempDir dir;
  const RunResult made = runCli("sphere " + sample() + " " + dir.file("room_360.jpg") + " --centre auto --quality 80");
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_NE(made.output.find("1809 x 253 of a 1809 x 904 sphere from row 366"), std::string::npos) << made.output;
  DibImage photo;
  ASSERT_EQ(photo.loadFromFile(dir.file("room_360.jpg")), ImageError::None);
  EXPECT_EQ(photo.width(), 1809);
  EXPECT_EQ(photo.height(), 253);
  const std::string bytes = text(dir.file("room_360.jpg"));
  EXPECT_NE(bytes.find("http://ns.adobe.com/xap/1.0/"), std::string::npos);
  EXPECT_NE(bytes.find("<GPano:CroppedAreaTopPixels>366</GPano:CroppedAreaTopPixels>"), std::string::npos);

  // Refusals write nothing.
  EXPECT_EQ(runCli("sphere " + sample() + " " + dir.file("room.png")).status, 2);
  EXPECT_NE(runCli("sphere " + sample() + " " + dir.file("bad.jpg") + " --quality 0").status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("room.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.jpg")));
}

bool haveBrowser() {
  const std::string source = std::getenv("KELMIRA_SOURCE_DIR");
  return std::filesystem::exists("/usr/bin/chromium") && std::system("node --version > /dev/null 2>&1") == 0 &&
         std::filesystem::exists(source + "/web/node_modules/playwright-core");
}

// The mean of one channel over a band of rows of a screenshot.
double meanChannel(const DibImage& shot, int firstRow, int lastRow, int channel) {
  double sum = 0;
  for (int y = firstRow; y <= lastRow; ++y)
    for (int x = 100; x < shot.width() - 100; ++x) sum += shot.pixels()[3 * (std::size_t(y) * shot.width() + x) + channel];
  return sum / ((lastRow - firstRow + 1) * (shot.width() - 200));
}

TEST(KelmiraCliWeb, APageThatPansThePhotoInABrowserAndAsksForNothing) {
  test::TempDir dir;
  const std::string page = dir.file("garden.html");
  const RunResult made = runCli("web " + sample() + " " + page + " --title 'My <garden> & \"pond\"'");
  ASSERT_EQ(made.status, 0) << made.output;
  const std::string html = text(page);
  EXPECT_NE(html.find("<title>My &lt;garden&gt; &amp; &quot;pond&quot;</title>"), std::string::npos);
  EXPECT_EQ(html.find("<garden>"), std::string::npos) << "the title is escaped everywhere";
  EXPECT_NE(html.find("Content-Security-Policy"), std::string::npos);
  EXPECT_NE(html.find("data:image/jpeg;base64,/9j/"), std::string::npos);
  EXPECT_NE(html.find("vaov: vertical"), std::string::npos);
  // The title defaults to the page's name.
  ASSERT_EQ(runCli("web " + sample() + " " + dir.file("lawn.html")).status, 0);
  EXPECT_NE(text(dir.file("lawn.html")).find("<title>lawn</title>"), std::string::npos);
  EXPECT_EQ(runCli("web " + sample() + " " + dir.file("lawn.jpg")).status, 2);

  if (!haveBrowser()) GTEST_SKIP() << "no Chromium, Node.js or playwright-core (scripts/setup.sh test installs them)";
  const std::string source = std::getenv("KELMIRA_SOURCE_DIR");
  const std::string command = "cd '" + source + "/web' && node test/viewer_page_test.mjs '" + page + "' '" +
                              dir.path().string() + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string report;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) report += line;
  ASSERT_EQ(pclose(pipe), 0) << report;
  EXPECT_NE(report.find("\"foreign\":[]"), std::string::npos) << report;
  EXPECT_NE(report.find("\"title\":\"My <garden> & \\\"pond\\\"\""), std::string::npos) << report;

  // The view shows the sample's sky above and its grass below.
  DibImage first;
  ASSERT_EQ(first.loadFromFile(dir.file("web-first.png")), ImageError::None);
  ASSERT_EQ(first.width(), 800);
  EXPECT_GT(meanChannel(first, 20, 120, 2), meanChannel(first, 20, 120, 0) + 40) << "blue sky at the top";
  EXPECT_GT(meanChannel(first, 380, 460, 1), meanChannel(first, 380, 460, 2) + 20) << "green grass at the bottom";
  // Nothing of the black background around the photo shows.
  EXPECT_GT(meanChannel(first, 0, 4, 2), 60);
  EXPECT_GT(meanChannel(first, 495, 499, 1), 30);
}

// Runs a browser test script of web/test on a page; its report, and whether it passed.
bool browserCheck(const std::string& script, const std::string& arguments, std::string& report) {
  const std::string source = std::getenv("KELMIRA_SOURCE_DIR");
  const std::string command = "cd '" + source + "/web' && node test/" + script + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) report += line;
  return pclose(pipe) == 0;
}

// A title is text: markup in it (given, or from the page's name) shows as its characters
// and runs nothing, and an entity shows as typed.
TEST(KelmiraCliWeb, ATitleShowsAsTypedAndRunsNothing) {
  test::TempDir dir;
  const std::string markup = "<img src=x onerror=alert(1)>";
  const std::string entity = "a &lt; b";
  ASSERT_EQ(runCli("web " + sample() + " " + dir.file("markup.html") + " --title '" + markup + "'").status, 0);
  ASSERT_EQ(runCli("web " + sample() + " " + dir.file("entity.html") + " --title '" + entity + "'").status, 0);
  ASSERT_EQ(runCli("web " + sample() + " '" + dir.file(markup + ".html") + "'").status, 0);
  for (const std::string& page : {std::string("markup.html"), std::string("entity.html"), markup + ".html"}) {
    const std::string html = text(dir.file(page));
    EXPECT_EQ(html.find(markup), std::string::npos) << page;
    // Only the page's own two scripts may run, named by their digests.
    const auto scripts = html.find("script-src ");
    ASSERT_NE(scripts, std::string::npos) << page;
    const std::string allowed = html.substr(scripts, html.find(';', scripts) - scripts);
    EXPECT_EQ(allowed.find("'unsafe-inline'"), std::string::npos) << allowed;
    EXPECT_EQ(allowed.rfind("script-src 'sha256-", 0), 0u) << allowed;
  }
  EXPECT_NE(text(dir.file("entity.html")).find("<title>a &amp;lt; b</title>"), std::string::npos);

  if (!haveBrowser()) GTEST_SKIP() << "no Chromium, Node.js or playwright-core (scripts/setup.sh test installs them)";
  const std::pair<std::string, std::string> pages[] = {
      {"markup.html", markup}, {"entity.html", entity}, {markup + ".html", markup}};
  for (const auto& [page, title] : pages) {
    const std::string arguments = "'" + dir.file(page) + "' '" + title + "'";
    std::string report;
    EXPECT_TRUE(browserCheck("page_title_test.mjs", arguments, report)) << page << ": " << report;
  }
}

}  // namespace
}  // namespace kelmira
