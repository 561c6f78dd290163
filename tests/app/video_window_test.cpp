// The window's way with a mirror video: Open Round shows its frames one at a time, Make
// Pano a frame's panorama, and Save Image offers the 360-degree video.
#include <gtest/gtest.h>

#include <QProgressDialog>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>

#include "app/control_ids.h"
#include "app/image_button.h"
#include "app/main_dialog.h"
#include "app_fakes.h"
#include "settings/settings_store.h"
#include "support/mirror_video.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"
#include "ui/workspace_view.h"
#include "workspace/workspace.h"

namespace kelmira {
namespace {

namespace fs = std::filesystem;

std::string outputOf(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  pclose(pipe);
  return text;
}

// The mean luma of the middle band's row at -5 degrees, frame by frame, as ffmpeg decodes it.
std::vector<double> bandBrightness(const std::string& path, int width) {
  const int height = width / 2;
  const std::string bytes = outputOf("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt gray -");
  const int row = static_cast<int>((90 + 5) * height / 180.0);
  std::vector<double> means;
  for (std::size_t at = 0; at + std::size_t(width) * height <= bytes.size(); at += std::size_t(width) * height) {
    double sum = 0;
    for (int x = 0; x < width; ++x) sum += static_cast<unsigned char>(bytes[at + std::size_t(row) * width + x]);
    means.push_back(sum / width);
  }
  return means;
}

class VideoWindowTest : public testing::Test {
 protected:
  VideoWindowTest() : settings(dir.file("kelmira.conf")) {}
  void SetUp() override {
    if (!test::haveProgram("ffmpeg") || !test::haveProgram("ffprobe")) {
      GTEST_SKIP() << "no ffmpeg and ffprobe programs (Debian's ffmpeg) to make and read the videos";
    }
  }
  MainDialog& window() {
    if (!dialog) {
      MainDialogServices services{&prompts, &files, &shell, &settings, false};
      dialog = std::make_unique<MainDialog>(services);
      dialog->show();
      EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    return *dialog;
  }
  void click(int controlId) {
    ImageButton* button = window().button(controlId);
    ASSERT_TRUE(button->isVisible()) << controlId;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  std::string lastMessage() const { return prompts.messages.empty() ? "" : prompts.messages.back(); }
  std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir;
  test::FakePrompts prompts;
  test::ScriptedFileDialogs files;
  test::RecordingShell shell;
  SettingsStore settings;
  std::unique_ptr<MainDialog> dialog;
};

// The entry of Save Image's filter that is the 360-degree video.
constexpr int kVideoEntry = 6;

TEST_F(VideoWindowTest, OpenRoundShowsAFrameAtATimeAndSaveMakesThe360Video) {
  const test::MirrorVideo video;
  ASSERT_TRUE(test::makeMirrorVideo(dir.file("walk.mp4"), video));
  MainDialog& w = window();
  Workspace& workspace = w.workspaceView().workspace();
  files.answers << QString::fromStdString(dir.file("walk.mp4"));
  click(control::OpenRound);
  EXPECT_TRUE(files.lastFilter().contains("|Videos (mp4,mov,m4v,mkv,avi,webm,mts,3gp)|*.MP4;*.MOV;"))
      << files.lastFilter().toStdString();
  ASSERT_EQ(w.displayMode(), DisplayMode::Round) << lastMessage();
  EXPECT_TRUE(workspace.isVideo());
  EXPECT_EQ(w.infoText(), "MP4 320 x 240\nframe 1 of 20");
  // The ring is found on the frame shown.
  ASSERT_TRUE(workspace.ringRadius());
  EXPECT_NEAR(*workspace.ringRadius(), video.radius, 3);
  EXPECT_NEAR(workspace.circleCentreX(), video.centreX, 2);
  EXPECT_NEAR(workspace.circleCentreY(), video.centreY, 2);

  QSlider* slider = w.frameSlider();
  ASSERT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->maximum(), 19);
  const std::vector<std::uint8_t> first(workspace.roundImage().pixels(),
                                        workspace.roundImage().pixels() + 320 * 240 * 3);
  // Several steps at once (a click held on the groove) show the last one, with no busy message.
  slider->setValue(3);
  slider->setValue(10);
  for (int wait = 0; wait < 250 && workspace.videoFrame() != 10; ++wait) QTest::qWait(20);
  EXPECT_EQ(workspace.videoFrame(), 10);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  EXPECT_EQ(w.infoText(), "MP4 320 x 240\nframe 11 of 20");
  EXPECT_FALSE(std::equal(first.begin(), first.end(), workspace.roundImage().pixels())) << "the marker has moved";

  click(control::MakePano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  EXPECT_FALSE(slider->isVisible());

  files.answers << QString::fromStdString(dir.file("walk_360.mp4"));
  files.chosenFilters << kVideoEntry;
  click(control::SaveImage);
  EXPECT_EQ(files.lastInitialName(), "walk_360.mp4");
  EXPECT_TRUE(files.lastFilter().contains("|360-degree video (*.mp4)|*.MP4|All files")) << files.lastFilter().toStdString();
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  const std::string stream = outputOf("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                      "stream=width,height,nb_read_frames:stream_side_data -of default=nw=1 '" +
                                      dir.file("walk_360.mp4") + "'");
  EXPECT_NE(stream.find("projection=equirectangular"), std::string::npos) << stream;
  EXPECT_NE(stream.find("nb_read_frames=20"), std::string::npos) << stream;
  EXPECT_NE(stream.find("width=496\nheight=248"), std::string::npos) << stream;
  EXPECT_FALSE(w.hasUnsavedPanorama());
}

// A photograph's Save Image offers no video; a name of .mp4 for it is told what makes one.
TEST_F(VideoWindowTest, APhotographsSaveOffersNoVideo) {
  MainDialog& w = window();
  w.openRoundFile(std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg");
  click(control::MakePano);
  files.answers << QString::fromStdString(dir.file("room.mp4"));
  click(control::SaveImage);
  EXPECT_FALSE(files.lastFilter().contains("360-degree video"));
  EXPECT_EQ(lastMessage(), "A 360-degree video is made from a mirror video: open one with Open Round.");
  EXPECT_FALSE(fs::exists(dir.file("room.mp4")));
}

// Brightness and contrast set in Advanced reach every frame of the video.
TEST_F(VideoWindowTest, AdvancedsBrightnessAppliesToEveryFrame) {
  test::MirrorVideo video;
  video.frames = 6;
  video.audio = false;
  ASSERT_TRUE(test::makeMirrorVideo(dir.file("dim.mp4"), video));
  MainDialog& w = window();
  Workspace& workspace = w.workspaceView().workspace();
  w.openRoundFile(dir.file("dim.mp4"));
  click(control::MakePano);
  files.answers << QString::fromStdString(dir.file("plain.mp4"));
  files.chosenFilters << kVideoEntry;
  click(control::SaveImage);

  workspace.snapshotAdjustBase();
  ASSERT_EQ(workspace.applyAdjustments(0, -0.2, 0), WorkspaceResult::Done);
  workspace.freeAdjustBase();
  files.answers << QString::fromStdString(dir.file("darker.mp4"));
  files.chosenFilters << kVideoEntry;
  click(control::SaveImage);
  ASSERT_TRUE(prompts.messages.empty()) << lastMessage();

  const std::vector<double> plain = bandBrightness(dir.file("plain.mp4"), 496);
  const std::vector<double> darker = bandBrightness(dir.file("darker.mp4"), 496);
  ASSERT_EQ(plain.size(), 6u);
  ASSERT_EQ(darker.size(), 6u);
  for (std::size_t f = 0; f < plain.size(); ++f) {
    // A fifth of the range darker: about 45 levels of limited-range luma off the band's ~180.
    EXPECT_NEAR(plain[f] - darker[f], 0.2 * 219, 12) << "frame " << f;
  }
}

// Cancel in the progress dialog stops the save and leaves nothing behind.
TEST_F(VideoWindowTest, CancelStopsTheSaveLeavingNoFile) {
  test::MirrorVideo video;
  video.frames = 120;
  video.audio = false;
  ASSERT_TRUE(test::makeMirrorVideo(dir.file("long.mp4"), video));
  MainDialog& w = window();
  w.openRoundFile(dir.file("long.mp4"));
  click(control::MakePano);
  bool sawProgress = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* progress = qobject_cast<QProgressDialog*>(widget);
      if (progress == nullptr || !progress->isVisible()) continue;
      const auto* child = w.findChild<QProgressDialog*>();
      if (child != progress) continue;
      if (progress->value() >= 2) {
        sawProgress = progress->labelText().startsWith("Making the 360-degree video: frame ");
        progress->cancel();
      }
    }
  });
  poll.start(20);
  files.answers << QString::fromStdString(dir.file("long_360.mp4"));
  files.chosenFilters << kVideoEntry;
  click(control::SaveImage);
  poll.stop();
  EXPECT_TRUE(sawProgress);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"long.mp4"});
  EXPECT_FALSE(w.busy());
}

}  // namespace
}  // namespace kelmira
