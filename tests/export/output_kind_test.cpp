#include "export/output_kind.h"

#include <gtest/gtest.h>

#include "export/dialog_filters.h"
#include "export/result_names.h"

namespace kelmira {
namespace {

TEST(OutputKind, TheNameDecidesAndTheChosenTypeOnlyTellsA360PhotoFromAJpeg) {
  struct Case {
    const char* path;
    OutputKind chosen;
    OutputKind expected;
  };
  const Case cases[] = {
      {"/p/room_pano.jpg", OutputKind::None, OutputKind::Jpeg},
      {"room.JPEG", OutputKind::None, OutputKind::Jpeg},
      {"room.tiff", OutputKind::None, OutputKind::Tiff},
      {"room.Bmp", OutputKind::None, OutputKind::Bmp},
      {"room.jpg", OutputKind::SpherePhoto, OutputKind::SpherePhoto},
      {"room.JPEG", OutputKind::SpherePhoto, OutputKind::SpherePhoto},
      {"room.bmp", OutputKind::SpherePhoto, OutputKind::Bmp},  // the name wins over the chosen type
      {"room.jpg", OutputKind::Bmp, OutputKind::Jpeg},
      {"room.HTM", OutputKind::SpherePhoto, OutputKind::WebPage},
      {"room.html", OutputKind::Movie, OutputKind::WebPage},
      {"room.MOV", OutputKind::None, OutputKind::Movie},
      {"room.jpg", OutputKind::Movie, OutputKind::Jpeg},  // Save Movie with a picture's name
      {"room.png", OutputKind::Jpeg, OutputKind::None},   // read, never written
      {"room.jpg.gz", OutputKind::None, OutputKind::None},
      {"room", OutputKind::Jpeg, OutputKind::None},
      {"room.html/page", OutputKind::None, OutputKind::None},
      {"walk.mp4", OutputKind::None, OutputKind::Video},
      {"walk.MP4", OutputKind::SpherePhoto, OutputKind::Video},
      {"walk.mov", OutputKind::Video, OutputKind::Movie},  // a QuickTime VR movie's name
  };
  for (const Case& c : cases) EXPECT_EQ(outputKindFor(c.path, c.chosen), c.expected) << c.path;

  EXPECT_EQ(pictureKindNamed("tif"), OutputKind::Tiff);
  EXPECT_EQ(pictureKindNamed("TIF"), OutputKind::None);
  EXPECT_EQ(pictureKindNamed("png"), OutputKind::None);
  EXPECT_EQ(namingRule(OutputKind::Tiff), "the output must end in .bmp, .jpg, .jpeg, .tif or .tiff");
  EXPECT_EQ(namingRule(OutputKind::SpherePhoto), "a 360-degree photo is a JPEG: name it .jpg or .jpeg");
  EXPECT_EQ(namingRule(OutputKind::WebPage), "a web page is named .html or .htm");
  EXPECT_EQ(namingRule(OutputKind::Video), "a 360-degree video is named .mp4");
}

// The dialogs' texts are the program's own; the entries' kinds follow them one for one.
TEST(OutputKind, DialogFiltersAreBuiltFromTheTables) {
  EXPECT_EQ(openDialogFilter().text,
            "Image Files (bmp,jpg,tif)|*.BMP;*.JPG;*.TIF|Windows BMP Files (*.BMP)|*.BMP|JPEG Files (*.JPG)|*.JPG|"
            "TIFF Files (*.TIF)|*.TIF|All files (*.*)|*.*||");
  const DialogFilter save = saveImageDialogFilter();
  EXPECT_EQ(save.text,
            "Image Files (bmp,jpg,tif)|Image Files *.BMP;*.JPG;*.TIF|Windows BMP Files (*.BMP)|*.BMP|JPEG Files "
            "(*.JPG)|*.JPG|TIFF Files (*.TIF)|*.TIF|360\u00b0 photo (*.jpg)|*.JPG|Web page (*.html)|*.HTML|All files "
            "(*.*)|*.*||");
  EXPECT_EQ(save.kinds, (std::vector<OutputKind>{OutputKind::None, OutputKind::Bmp, OutputKind::Jpeg, OutputKind::Tiff,
                                                 OutputKind::SpherePhoto, OutputKind::WebPage, OutputKind::None}));
  EXPECT_EQ(save.kindAt(7), OutputKind::None);
  EXPECT_EQ(save.kindAt(-1), OutputKind::None);
  const DialogFilter movie = saveMovieDialogFilter();
  EXPECT_EQ(movie.text, "MOVIE Files (*.MOV)|*.MOV|All files (*.*)|*.*||");
  EXPECT_EQ(movie.kindAt(0), OutputKind::Movie);

  // With a video open, Open Round's videos and Save Image's 360-degree video.
  EXPECT_EQ(openDialogFilter(true).text,
            "Image Files (bmp,jpg,tif)|*.BMP;*.JPG;*.TIF|Windows BMP Files (*.BMP)|*.BMP|JPEG Files (*.JPG)|*.JPG|"
            "TIFF Files (*.TIF)|*.TIF|Videos (mp4,mov,m4v,mkv,avi,webm,mts,3gp)|*.MP4;*.MOV;*.M4V;*.MKV;*.AVI;*.WEBM;"
            "*.MTS;*.3GP|All files (*.*)|*.*||");
  const DialogFilter video = saveImageDialogFilter(true);
  EXPECT_TRUE(video.text.find("|Web page (*.html)|*.HTML|360-degree video (*.mp4)|*.MP4|All files") != std::string::npos)
      << video.text;
  EXPECT_EQ(video.kindAt(6), OutputKind::Video);
  EXPECT_EQ(video.kindAt(7), OutputKind::None);
}

TEST(ResultNames, SaveImageKeepsThePhotographsExtensionAndBatchesDropTheLastOne) {
  EXPECT_EQ(proposedPictureName("beach.JPG"), "beach_pano.JPG");
  EXPECT_EQ(proposedPictureName("trip.2024.tif"), "trip.2024_pano.tif");
  EXPECT_EQ(proposedPictureName("scan"), "scan_pano");
  EXPECT_EQ(proposedName("beach.JPG", OutputKind::Movie), "beach.mov");
  EXPECT_EQ(proposedName("beach.JPG", OutputKind::SpherePhoto), "beach_360.jpg");
  EXPECT_EQ(proposedName("walk.MOV", OutputKind::Video), "walk_360.mp4");
  EXPECT_EQ(batchResultPath("/clips/A.mp4", "out", OutputKind::Video), "out/A_360.mp4");

  EXPECT_EQ(batchResultPath("/photos/A.jpg", "out", OutputKind::Jpeg), "out/A_pano.jpg");
  EXPECT_EQ(batchResultPath("trip.2024.JPG", "/o", OutputKind::SpherePhoto), "/o/trip.2024_360.jpg");
  EXPECT_EQ(batchResultPath("noextension", "o", OutputKind::Tiff), "o/noextension_pano.tif");
  EXPECT_EQ(batchResultPath(".hidden", "o", OutputKind::Bmp), "o/.hidden_pano.bmp");
}

}  // namespace
}  // namespace kelmira
