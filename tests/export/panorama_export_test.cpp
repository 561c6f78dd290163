#include "export/panorama_export.h"
#include "export/video_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/dib_image.h"
#include "movie/quicktime/movie_runtime.h"
#include "support/test_files.h"
#include "unwarp/row_elevations.h"

namespace kelmira {
namespace {

void paint(DibImage& picture, int width, int height, unsigned seed) {
  const std::vector<std::uint8_t> pixels = test::patternPixels(width, height, seed);
  ASSERT_EQ(picture.copyFromPixels(pixels.data(), width, height), ImageError::None);
}

std::string text(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class PanoramaExportTest : public testing::Test {
 protected:
  void SetUp() override {
    paint(panorama, 1000, 150, 4);
    std::filesystem::create_directory(dir.file("viewer"));
    test::writeFileBytes(dir.file("viewer/pannellum.js"), {'/', '/', 'j', 's'});
    test::writeFileBytes(dir.file("viewer/pannellum.css"), {'/', '*', '*', '/'});
  }
  ExportRequest request(OutputKind kind, const std::string& name) const {
    ExportRequest made;
    made.kind = kind;
    made.destination = dir.file(name);
    made.viewerFolder = dir.file("viewer");
    return made;
  }
  test::TempDir dir;
  DibImage panorama;
  const RowElevations rows = RowElevations::ofUnwarp(150);
};

TEST_F(PanoramaExportTest, EachKindWritesItsOwnKindOfFileAndLeavesThePanoramaAlone) {
  for (const auto& [kind, name, type] :
       {std::tuple{OutputKind::Jpeg, "p.jpg", FileTypeJpeg}, std::tuple{OutputKind::Tiff, "p.tif", FileTypeTiff},
        std::tuple{OutputKind::Bmp, "p.bmp", FileTypeBmp}}) {
    const ExportResult result = exportPanorama({panorama, rows}, request(kind, name));
    ASSERT_TRUE(result.ok()) << result.line();
    EXPECT_EQ(fileTypeFromContent(dir.file(name)), type) << name;
    DibImage written;
    ASSERT_EQ(written.loadFromFile(dir.file(name)), ImageError::None);
    EXPECT_EQ(written.width(), 1000);  // trimming is the caller's, where it keeps the trimmed panorama
    EXPECT_EQ(written.height(), 150);
  }

  const ExportResult photo = exportPanorama({panorama, rows}, request(OutputKind::SpherePhoto, "p_360.jpg"));
  ASSERT_TRUE(photo.ok()) << photo.line();
  EXPECT_EQ(photo.frame.fullWidth, 1000);
  EXPECT_EQ(photo.frame.fullHeight, 500);
  EXPECT_NE(
      text(dir.file("p_360.jpg")).find("GPano:CroppedAreaImageHeightPixels>" + std::to_string(photo.frame.height)),
      std::string::npos);

  const ExportResult page = exportPanorama({panorama, rows}, request(OutputKind::WebPage, "garden.html"));
  ASSERT_TRUE(page.ok()) << page.line();
  const std::string html = text(dir.file("garden.html"));
  EXPECT_NE(html.find("<title>garden</title>"), std::string::npos);  // the page's name without its extension
  EXPECT_NE(html.find("//js"), std::string::npos);

  ASSERT_EQ(initializeQtml(), noErr);
  const ExportResult movie = exportPanorama({panorama, rows}, request(OutputKind::Movie, "p.mov"));
  terminateQtml();
  ASSERT_TRUE(movie.ok()) << movie.line();
  // 1000 x 150 trimmed: 960 wide, and 150 * 960 / 1000 = 144 high, a multiple of 4.
  EXPECT_EQ(movie.width, 960);
  EXPECT_EQ(movie.height, 144);
  EXPECT_EQ(text(dir.file("p.mov")).substr(4, 4), "moov");
  EXPECT_EQ(panorama.width(), 1000);
  EXPECT_EQ(panorama.height(), 150);
}

TEST_F(PanoramaExportTest, RefusalsComeFirstAndEveryFailureSaysWhyInTheWindowAndOnALine) {
  const ExportResult nothing = exportPanorama({panorama, rows}, request(OutputKind::None, "p.png"));
  EXPECT_EQ(nothing.status, ExportStatus::NoWriter);
  EXPECT_EQ(nothing.message(), "There is a problem.  File format has not been selected.");
  // A panorama makes no video, and a video makes none of a panorama's kinds.
  EXPECT_EQ(exportPanorama({panorama, rows}, request(OutputKind::Video, "p.mp4")).status, ExportStatus::NoWriter);
  const std::string clip = dir.file("clip.mp4");
  EXPECT_EQ(exportVideo(VideoSource{.path = clip}, request(OutputKind::Jpeg, "p.jpg")).status, ExportStatus::NoWriter);
  const ExportResult unreadable = exportVideo(VideoSource{.path = clip}, request(OutputKind::Video, "p.mp4"));
  EXPECT_EQ(unreadable.status, ExportStatus::VideoFailed);
  EXPECT_EQ(unreadable.line().rfind("cannot read " + clip + ": ", 0), 0u) << unreadable.line();
  EXPECT_EQ(unreadable.message().rfind("Cannot read " + clip + ": ", 0), 0u) << unreadable.message();
  EXPECT_FALSE(std::filesystem::exists(dir.file("p.mp4")));

  ExportRequest page = request(OutputKind::WebPage, "p.html");
  page.viewerFolder = dir.file("nowhere");
  const ExportResult missing = exportRefusal(page);
  EXPECT_EQ(missing.status, ExportStatus::ViewerMissing);
  EXPECT_EQ(missing.message(),
            "The web viewer's files are missing from " + dir.file("nowhere") + ".  Please reinstall Kelmira.");
  EXPECT_EQ(missing.line(), "the web viewer's files are not in " + dir.file("nowhere") + " (reinstall Kelmira)");
  EXPECT_EQ(exportPanorama({panorama, rows}, page).status, ExportStatus::ViewerMissing);
  EXPECT_FALSE(std::filesystem::exists(dir.file("p.html")));

  DibImage tall;
  paint(tall, 100, 200, 5);
  const RowElevations tallRows = RowElevations::ofUnwarp(200);
  const ExportRequest movie = request(OutputKind::Movie, "tall.mov");
  EXPECT_TRUE(exportRefusal(movie).ok());  // without the panorama nothing speaks against it
  const ExportResult refused = exportPanorama({tall, tallRows}, movie);
  EXPECT_EQ(refused.status, ExportStatus::MovieFailed);
  EXPECT_EQ(refused.message(), "The panorama must be wider than it is high to make a movie.");
  EXPECT_EQ(refused.line(),
            dir.file("tall.mov") + ": The panorama must be wider than it is high to make a movie. (-1)");
  EXPECT_FALSE(std::filesystem::exists(dir.file("tall.mov")));

  const ExportResult unwritable = exportPanorama({panorama, rows}, request(OutputKind::Jpeg, "no/such/folder.jpg"));
  EXPECT_EQ(unwritable.status, ExportStatus::ImageFailed);
  EXPECT_EQ(unwritable.message(), "error on file open");
  EXPECT_EQ(unwritable.line(), "cannot write " + dir.file("no/such/folder.jpg") + ": error on file open");

  ExportResult toolbox;
  toolbox.status = ExportStatus::MovieFailed;
  toolbox.destination = "a.mov";
  toolbox.movieCode = -34;
  toolbox.detail = "QuickTime save failed.\n\nPlease install the FULL version of QuickTime.";
  EXPECT_EQ(toolbox.line(), "a.mov: QuickTime save failed. Please install the FULL version of QuickTime. (-34)");
  EXPECT_EQ(toolbox.message(), toolbox.detail);
}

// The unwarp hands a picture's encoder each row as it is made; the file is the one the
// finished panorama gives.
TEST_F(PanoramaExportTest, ARoundPhotographWrittenAsItsRowsArriveIsTheFinishedPanoramasFile) {
  DibImage photograph;
  paint(photograph, 320, 240, 6);
  const std::string path = dir.file("round.bmp");
  const RoundSource round{photograph, path, {160, 120, 96, std::nullopt}};
  for (const auto& [kind, name] :
       {std::pair{OutputKind::Jpeg, "r.jpg"}, std::pair{OutputKind::Bmp, "r.bmp"}, std::pair{OutputKind::Tiff, "r.tif"},
        std::pair{OutputKind::SpherePhoto, "r.jpeg"}}) {
    SCOPED_TRACE(name);
    ExportRequest streamed = request(kind, std::string("streamed_") + name);
    std::vector<ExportStage> stages;
    streamed.stageBegins = [&](ExportStage stage) { stages.push_back(stage); };
    DibImage made;
    const ExportResult result = exportRound(round, streamed, made);
    ASSERT_TRUE(result.ok()) << result.line();
    EXPECT_EQ(stages, (std::vector<ExportStage>{ExportStage::Unwarping, ExportStage::Writing}));
    ASSERT_TRUE(made.hasPixels());
    const RowElevations madeRows = RowElevations::ofUnwarp(static_cast<std::uint32_t>(made.height()));
    ASSERT_TRUE(exportPanorama({made, madeRows}, request(kind, std::string("whole_") + name)).ok());
    EXPECT_EQ(test::readFileBytes(dir.file(std::string("streamed_") + name)),
              test::readFileBytes(dir.file(std::string("whole_") + name)));
  }

  const DibImage empty;
  DibImage none;
  const ExportResult failed =
      exportRound({empty, path, {160, 120, 96, std::nullopt}}, request(OutputKind::Jpeg, "x.jpg"), none);
  EXPECT_EQ(failed.status, ExportStatus::NoPanorama);
  EXPECT_EQ(failed.line(), path + " gives no panorama (crop radius 96 is too small or memory ran out)");
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.jpg")));
}

}  // namespace
}  // namespace kelmira
