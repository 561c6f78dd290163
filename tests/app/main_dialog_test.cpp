#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QListWidget>
#include <QSlider>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QPainter>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <thread>
#include <set>

#include "app/application.h"
#include "app/control_ids.h"
#include "ui/advanced_image_tools_dialog.h"
#include "ui/look_around_view.h"
#include "app/image_button.h"
#include "base/interruption.h"
#include "ui/mirror_properties_dialog.h"
#include "ui/movie_defaults_dialog.h"
#include "ui/movie_properties_dialog.h"
#include "movie/panorama_movie_export.h"
#include "movie/quicktime/movie_runtime.h"
#include "settings/settings_store.h"
#include "app_fakes.h"
#include "mirror/painted_rigs.h"
#include "support/session_locale.h"
#include "support/tagged_photos.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"
#include "ui/workspace_view.h"

namespace kelmira {
namespace {

QString samplePath() {
  return QString::fromLocal8Bit(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg";
}

class MainDialogTest : public testing::Test {
 protected:
  MainDialogTest() : settings(dir.file("kelmira.conf")) {}
  ~MainDialogTest() override {
    dialog.reset();
    if (toolboxStarted) terminateQtml();
  }

  MainDialog& window(bool quickTime = true) {
    if (!dialog) {
      toolboxStarted = quickTime && initializeQtml() == noErr;
      MainDialogServices services{&prompts, &files, &shell, &settings, quickTime};
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
  std::set<int> visibleButtons() {
    std::set<int> ids;
    for (int id : {control::MakePano, control::SaveMovie, control::OpenRound, control::OpenPano, control::SaveImage, control::Crop, control::NewRestart, control::BackToRound, control::Undo, control::Help, control::Up, control::Down, control::Left, control::Right, control::Advanced, control::MirrorSelection, control::LookAround})
      if (window().button(id)->isVisible()) ids.insert(id);
    return ids;
  }
  std::string lastMessage() const { return prompts.messages.empty() ? "" : prompts.messages.back(); }
  // Opens a BMP of a picture with a different colour in every pixel with Open Pano.
  void openPatternPanorama(const std::string& name, int width, int height) {
    DibImage pano;
    const auto pixels = test::patternPixels(width, height);
    ASSERT_EQ(pano.copyFromPixels(pixels.data(), width, height), ImageError::None);
    ASSERT_EQ(pano.saveToFile(dir.file(name), FileTypeBmp), ImageError::None);
    files.answers << QString::fromStdString(dir.file(name));
    click(control::OpenPano);
  }

  test::TempDir dir;
  test::FakePrompts prompts;
  test::ScriptedFileDialogs files;
  test::RecordingShell shell;
  SettingsStore settings;
  std::unique_ptr<MainDialog> dialog;
  bool toolboxStarted = false;
};

TEST_F(MainDialogTest, TheWholeJobByMouseFromRoundPhotographToSavedJpeg) {
  MainDialog& w = window();
  EXPECT_EQ(w.windowTitle(), "Kelmira - Version 2.1000");
  EXPECT_EQ(w.size(), QSize(750, 540));
  EXPECT_EQ(visibleButtons(), (std::set<int>{control::OpenRound, control::OpenPano, control::Help, control::MirrorSelection}));
  EXPECT_FALSE(w.workspaceView().isVisible());
  EXPECT_EQ(w.progressBar()->geometry(), QRect(576, 350, 130, 20));
  EXPECT_EQ(w.infoText(), "");
  EXPECT_EQ(w.button(control::OpenRound)->geometry(), QRect(555, 44, 175, 67));

  files.answers << samplePath();
  click(control::OpenRound);
  EXPECT_EQ(files.lastTitle(), "Select a raw image file");
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  EXPECT_EQ(visibleButtons(), (std::set<int>{control::MakePano, control::NewRestart}));
  EXPECT_EQ(w.workspaceView().geometry(), QRect(64, 63, 476, 344));
  EXPECT_TRUE(w.workspaceView().isVisible());
  EXPECT_EQ(w.progressBar()->geometry(), QRect(578, 397, 127, 20));
  EXPECT_EQ(w.infoText(), "JPG 1600 x 1200");

  click(control::MakePano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  EXPECT_EQ(visibleButtons(), (std::set<int>{control::SaveMovie, control::SaveImage, control::Crop, control::NewRestart, control::BackToRound, control::Undo, control::Advanced, control::LookAround}));
  EXPECT_EQ(w.workspaceView().geometry(), QRect(57, 137, 638, 155));
  EXPECT_EQ(w.progressBar()->geometry(), QRect(450, 47, 240, 20));
  EXPECT_FALSE(w.progressBar()->isVisible());
  EXPECT_EQ(w.infoText(), "PANO 1809 x 288");
  EXPECT_FALSE(w.busy());

  // Drag the top crop line down 20 display rows and crop.
  WorkspaceView& view = w.workspaceView();
  view.repaint();  // as the screen would have been before anyone could press
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 2));
  QTest::mouseMove(&view, QPoint(300, 20));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 20));
  const int top = view.workspace().cropTop();
  EXPECT_EQ(top, static_cast<int>(20 / (155.0 / 288)));
  click(control::Crop);
  EXPECT_EQ(w.infoText(), QString("PANO 1809 x %1").arg(288 - top));

  files.answers << QString::fromStdString(dir.file("room.jpg"));
  click(control::SaveImage);
  EXPECT_EQ(files.lastTitle(), "Save current image as a panorama image file");
  EXPECT_EQ(files.lastInitialName(), "mirror-sample_pano.jpg");
  DibImage saved;
  ASSERT_EQ(saved.loadFromFile(dir.file("room.jpg")), ImageError::None);
  EXPECT_EQ(saved.width(), 1728);  // cut to a multiple of 96
  EXPECT_EQ(saved.height() % 4, 0);
  EXPECT_EQ(saved.height(), static_cast<int>(1728.0 / 1809 * (288 - top)) / 4 * 4);
  EXPECT_EQ(view.workspace().panorama().width(), 1728);  // the panorama keeps its trimmed size
  EXPECT_EQ(view.workspace().cropBottom(), saved.height() - 1);
  EXPECT_FALSE(w.hasUnsavedPanorama());

  click(control::BackToRound);  // Back to Round
  EXPECT_EQ(w.displayMode(), DisplayMode::Round);
  click(control::NewRestart);  // New/Re-Start
  EXPECT_EQ(w.displayMode(), DisplayMode::Start);
  EXPECT_EQ(visibleButtons(), (std::set<int>{control::OpenRound, control::OpenPano, control::Help, control::MirrorSelection}));
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
}

TEST_F(MainDialogTest, AGuardedCommandDuringALongTaskGetsTheBusyMessage) {
  MainDialog& w = window();
  files.answers << samplePath();
  click(control::OpenRound);
  // The unwarp pumps messages between its rows: a click delivered then must not run.
  bool clicked = false;
  QTimer::singleShot(0, [&] {
    clicked = true;
    EXPECT_TRUE(w.busy());
    QTest::mouseClick(w.button(control::NewRestart), Qt::LeftButton);
  });
  click(control::MakePano);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Kelmira is busy doing another task."}));
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Information);
  EXPECT_EQ(w.displayMode(), DisplayMode::Panorama);  // New/Re-Start did not run
  EXPECT_FALSE(w.busy());

  // Enter while busy gets the same message; idle, it does nothing at all.
  w.reportProgress(0, 10);
  QTest::keyClick(&w, Qt::Key_Return);
  EXPECT_EQ(prompts.messages.size(), 2u);
  w.endProgress();
  QTest::keyClick(&w, Qt::Key_Return);
  EXPECT_EQ(prompts.messages.size(), 2u);
  EXPECT_TRUE(w.isVisible());

  // The progress bar takes only the low 16 bits of a total.
  w.reportProgress(5, 70000);
  EXPECT_EQ(w.progressBar()->maximum(), 70000 & 0xFFFF);
  EXPECT_TRUE(w.progressBar()->isVisible());
  w.endProgress();
  w.endProgress();
  EXPECT_FALSE(w.progressBar()->isVisible());
  EXPECT_FALSE(w.busy());
}

TEST_F(MainDialogTest, OpenPanoTakesAQuickTimeVrMovieAndSaysItsHotSpotsWereLeftOut) {
  DibImage pano;
  const auto pixels = test::patternPixels(960, 192);
  ASSERT_EQ(pano.copyFromPixels(pixels.data(), 960, 192), ImageError::None);
  ASSERT_EQ(initializeQtml(), noErr);
  ASSERT_EQ(savePanoramaMovie(pano, dir.file("garden.mov"), {}).code, 0);
  terminateQtml();
  test::writeFileBytes(dir.file("broken.mov"), {0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 9, 'm', 'o', 'o', 'v'});

  MainDialog& w = window(false);
  files.answers << QString::fromStdString(dir.file("broken.mov"));
  click(control::OpenPano);
  EXPECT_TRUE(files.lastFilter().contains("MOVIE Files (*.MOV)|*.MOV|"));
  EXPECT_EQ(lastMessage(), "The file is not a QuickTime movie, or it is damaged.");
  EXPECT_NE(w.displayMode(), DisplayMode::Panorama);

  files.answers << QString::fromStdString(dir.file("garden.mov"));
  click(control::OpenPano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  EXPECT_EQ(w.infoText(), "PANO 960 x 192");
  EXPECT_EQ(lastMessage(), "The movie's hot spots were left out; the panorama is shown without them.");
  EXPECT_FALSE(w.hasUnsavedPanorama());
}

TEST_F(MainDialogTest, OpenPanoAndTheSaveRefusals) {
  DibImage pano;
  const auto pixels = test::patternPixels(1000, 150);
  ASSERT_EQ(pano.copyFromPixels(pixels.data(), 1000, 150), ImageError::None);
  ASSERT_EQ(pano.saveToFile(dir.file("beach.jpg"), FileTypeJpeg), ImageError::None);

  MainDialog& w = window(false);
  files.answers << QString::fromStdString(dir.file("beach.jpg"));
  click(control::OpenPano);
  EXPECT_EQ(files.lastTitle(), "Select a panoramic image file");
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  EXPECT_EQ(visibleButtons(), (std::set<int>{control::SaveMovie, control::SaveImage, control::Crop, control::NewRestart, control::Undo, control::Advanced, control::LookAround}));  // no Back to Round
  EXPECT_EQ(w.infoText(), "PANO 1000 x 150");
  EXPECT_FALSE(w.hasUnsavedPanorama());

  click(control::SaveMovie);  // Save Movie without the movie toolbox
  EXPECT_EQ(lastMessage(), "When this application was started, QuickTime was not installed.\n\nSaving is disabled.");
  EXPECT_EQ(files.titles.size(), 1);

  files.answers << QString::fromStdString(dir.file("beach_pano"));
  click(control::SaveImage);
  EXPECT_EQ(files.lastInitialName(), "beach_pano.jpg");
  EXPECT_EQ(lastMessage(), "There is a problem.  File format has not been selected.");

  files.answers << QString::fromStdString(dir.path().string() + "/no/such/folder/beach.jpg");
  click(control::SaveImage);
  EXPECT_EQ(lastMessage(), "error on file open");
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Stop);

  files.answers << "";  // Cancel writes nothing
  const std::size_t before = prompts.messages.size();
  click(control::SaveImage);
  EXPECT_EQ(prompts.messages.size(), before);

  files.answers << QString::fromStdString(dir.file("beach_pano.bmp"));
  click(control::SaveImage);
  DibImage saved;
  ASSERT_EQ(saved.loadFromFile(dir.file("beach_pano.bmp")), ImageError::None);
  EXPECT_EQ(saved.width(), 960);
  EXPECT_EQ(saved.height(), 144);
}

TEST_F(MainDialogTest, EscapeAsksBeforeThrowingAwayAnUnsavedPanorama) {
  MainDialog& w = window();
  QTest::keyClick(&w, Qt::Key_Escape);  // nothing to lose: closes at once
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(prompts.messages.empty());

  w.show();
  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  ASSERT_TRUE(w.hasUnsavedPanorama());
  prompts.answer = MessageAnswer::No;
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_EQ(lastMessage(), "Discard the unsaved panorama?");
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Question);
  EXPECT_TRUE(w.isVisible());
  prompts.answer = MessageAnswer::Yes;
  w.close();
  EXPECT_FALSE(w.isVisible());
}

// The photograph given to the program when it starts: opened as Open Round opens one,
// questions included.
TEST_F(MainDialogTest, AFileGivenAtStartOpensAsOpenRoundDoes) {
  MainDialog& w = window();
  w.openRoundFile(samplePath().toStdString());
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  EXPECT_EQ(w.infoText(), "JPG 1600 x 1200");
  EXPECT_TRUE(files.titles.isEmpty());  // no file dialog

  // A panorama-shaped picture gets the plausibility question.
  DibImage wide;
  const auto pixels = test::patternPixels(900, 300);
  ASSERT_EQ(wide.copyFromPixels(pixels.data(), 900, 300), ImageError::None);
  ASSERT_EQ(wide.saveToFile(dir.file("wide.bmp"), FileTypeBmp), ImageError::None);
  prompts.answer = MessageAnswer::No;
  w.openRoundFile(dir.file("wide.bmp"));
  EXPECT_NE(lastMessage().find("wide.bmp appears to be a panorama.  Do you wish to continue?"), std::string::npos)
      << lastMessage();

  // An unsaved panorama is asked about first.
  prompts.answer = MessageAnswer::Yes;
  w.openRoundFile(samplePath().toStdString());
  click(control::MakePano);
  ASSERT_TRUE(w.hasUnsavedPanorama());
  prompts.answer = MessageAnswer::No;
  w.openRoundFile(samplePath().toStdString());
  EXPECT_EQ(lastMessage(), "Discard the unsaved panorama?");
  EXPECT_EQ(w.displayMode(), DisplayMode::Panorama);
}

TEST_F(MainDialogTest, SettingsHelpAndTheSaveMovieName) {
  settings.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 640);
  settings.writeInt("EQUIPMENT", "ATTACHMENT", 1);
  MainDialog& w = window();
  EXPECT_EQ(w.movieWidth(), 640);
  EXPECT_EQ(w.movieHeight(), 180);
  EXPECT_EQ(w.attachmentType(), 1);
  EXPECT_EQ(w.mirrorType(), 0);

  click(control::Help);  // Help opens the manual shipped beside the program
  ASSERT_EQ(shell.urls.size(), 1);
  EXPECT_TRUE(shell.urls[0].isLocalFile());
  EXPECT_TRUE(shell.urls[0].toLocalFile().endsWith("share/kelmira/manual/index.html"));

  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  files.answers << "";
  click(control::SaveMovie);
  EXPECT_EQ(files.lastTitle(), "Save current image to a quicktime VR movie file");
  EXPECT_EQ(files.lastInitialName(), "mirror-sample.mov");
  EXPECT_TRUE(files.lastFilter().startsWith("MOVIE Files (*.MOV)|*.MOV|"));

  // Save Movie through the properties dialog, confirmed as it opens: a movie, opened by the shell.
  files.answers << QString::fromStdString(dir.file("room.mov"));
  QTimer::singleShot(0, [] {
    auto* properties = qobject_cast<MoviePropertiesDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->compressorList()->currentText(), "JPEG Codec");
    EXPECT_EQ(properties->qualityList()->currentText(), "Normal Quality");
    EXPECT_EQ(properties->movieWidthField()->text(), "640");
    QTest::mouseClick(properties->saveMovieButton(), Qt::LeftButton);
  });
  click(control::SaveMovie);
  EXPECT_EQ(w.movieSettings().codecType, fourCC("jpeg"));
  EXPECT_EQ(w.movieSettings().codecQuality, 0x200u);
  EXPECT_EQ(w.movieSettings().viewWidth, 640);
  const test::Bytes movie = test::readFileBytes(dir.file("room.mov"));
  ASSERT_GT(movie.size(), 8u);
  EXPECT_EQ(std::string(movie.begin() + 4, movie.begin() + 8), "moov");
  ASSERT_EQ(shell.urls.size(), 2);
  EXPECT_EQ(shell.urls[1].toLocalFile().toStdString(), dir.file("room.mov"));
  EXPECT_EQ(w.infoText(), "PANO 1728 x 272");
  EXPECT_FALSE(w.hasUnsavedPanorama());
}

// Answers the next modal dialog of type D with `answer` once it is up.
template <typename D, typename Answer>
void whenShown(Answer answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    answer(*dialog);
  });
}

void pickAttachment(MirrorPropertiesDialog& dialog, int row, QPushButton* closeWith) {
  QListWidget* list = dialog.attachmentList();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(row)).center());
  QTest::mouseClick(closeWith, Qt::LeftButton);
}

TEST_F(MainDialogTest, MirrorSelectionOfTheLensThreadMirrorsTheNextPanorama) {
  MainDialog& w = window();
  whenShown<MirrorPropertiesDialog>([](MirrorPropertiesDialog& d) { pickAttachment(d, 1, d.okButton()); });
  click(control::MirrorSelection);
  EXPECT_EQ(w.attachmentType(), 1);
  EXPECT_EQ(w.mirrorType(), 0);
  EXPECT_EQ(settings.readInt("EQUIPMENT", "ATTACHMENT", -1), 1);

  // Cancel changes nothing, in the window or the store.
  whenShown<MirrorPropertiesDialog>([](MirrorPropertiesDialog& d) { pickAttachment(d, 0, d.cancelButton()); });
  click(control::MirrorSelection);
  EXPECT_EQ(w.attachmentType(), 1);
  EXPECT_EQ(settings.readInt("EQUIPMENT", "ATTACHMENT", -1), 1);

  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  const DibImage& mirrored = w.workspaceView().workspace().panorama();
  Workspace standard(nullptr, nullptr, nullptr);
  standard.setFindRingOnOpen(w.findRingOnOpen());  // the circle where the window put it
  ASSERT_EQ(standard.openRound(samplePath().toStdString()), WorkspaceResult::Done);
  ASSERT_EQ(standard.makePanorama(0, 0), WorkspaceResult::Done);
  const DibImage& expected = standard.panorama();
  ASSERT_EQ(mirrored.width(), expected.width());
  ASSERT_EQ(mirrored.height(), expected.height());
  const int width = expected.width();
  bool same = true;
  for (int y = 0; y < expected.height() && same; ++y)
    for (int x = 0; x < width && same; ++x)
      same = std::equal(mirrored.pixels() + 3 * (y * width + x), mirrored.pixels() + 3 * (y * width + x) + 3,
                        expected.pixels() + 3 * (y * width + width - 1 - x));
  EXPECT_TRUE(same) << "the lens-thread panorama is not the mirror image of the standard one";
}

// A calibration chosen in Mirror Properties with the camera above: remembered in the
// settings file, the circle put on its centre, Make Pano unwarping through it (the rows
// of the 360-degree photo at its elevations), Save Movie writing that panorama.
TEST_F(MainDialogTest, ACalibratedMirrorChosenInMirrorPropertiesMakesEveryResult) {
  const test::PaintedRig rig = test::ocamPaintedRig();
  const std::string calib = dir.file("calib_results.txt");
  std::ofstream(calib) << rig.text;
  DibImage round;
  test::paint(rig, false, round);
  ASSERT_EQ(round.saveToFile(dir.file("round.bmp"), FileTypeBmp), ImageError::None);

  MainDialog& w = window();
  EXPECT_EQ(w.calibratedMirror(), "");
  files.answers << QString::fromStdString(calib);
  whenShown<MirrorPropertiesDialog>([](MirrorPropertiesDialog& d) {
    QTest::mouseClick(d.calibratedMirrorButton(), Qt::LeftButton);
    QTest::mouseClick(d.cameraAboveBox(), Qt::LeftButton);
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
  });
  click(control::MirrorSelection);
  EXPECT_EQ(files.lastTitle(), "Select a calibrated mirror file");
  EXPECT_EQ(w.calibratedMirror(), calib);
  EXPECT_TRUE(w.cameraAbove());
  EXPECT_EQ(settings.readString("EQUIPMENT", "CALIBRATED_MIRROR", ""), calib);
  EXPECT_EQ(settings.readString("EQUIPMENT", "RIG", ""), "camera-above");

  files.answers << QString::fromStdString(dir.file("round.bmp"));
  click(control::OpenRound);
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  Workspace& workspace = w.workspaceView().workspace();
  EXPECT_EQ(workspace.circleCentreX(), 323);  // the calibration's centre, (322.7, 241.3)
  EXPECT_EQ(workspace.circleCentreY(), 241);
  click(control::MakePano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama) << lastMessage();
  EXPECT_EQ(w.infoText(), "PANO 896 x 189");
  EXPECT_GT(workspace.panoramaRows().top(), 60);  // the camera above: the sky up, far above the attachment's

  files.answers << QString::fromStdString(dir.file("room_360.jpg"));
  files.chosenFilters << 4;
  click(control::SaveImage);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  if (test::haveExiftool()) {
    DibImage photo;
    ASSERT_EQ(photo.loadFromFile(dir.file("room_360.jpg")), ImageError::None);
    const test::BandFigures figures = test::checkSpherePhoto(photo, test::readGPano(dir.file("room_360.jpg")), "window");
    EXPECT_GT(figures.bandEdges, 500);
  }

  files.answers << QString::fromStdString(dir.file("room.mov"));
  whenShown<MoviePropertiesDialog>([](MoviePropertiesDialog& d) { QTest::mouseClick(d.saveMovieButton(), Qt::LeftButton); });
  click(control::SaveMovie);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir.file("room.mov"))));
  EXPECT_EQ(w.infoText(), "PANO 864 x 180");  // trimmed to movie size

  // The next start remembers both; Clear goes back to the attachment's mirror.
  dialog.reset();
  MainDialog& again = window();
  EXPECT_EQ(again.calibratedMirror(), calib);
  EXPECT_TRUE(again.cameraAbove());
  whenShown<MirrorPropertiesDialog>([](MirrorPropertiesDialog& d) {
    EXPECT_TRUE(d.mirrorSummary()->text().startsWith("OCamCalib: calib_results.txt"));
    QTest::mouseClick(d.noCalibrationButton(), Qt::LeftButton);
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
  });
  click(control::MirrorSelection);
  EXPECT_EQ(settings.readString("EQUIPMENT", "CALIBRATED_MIRROR", "-"), "");
  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  EXPECT_EQ(again.infoText(), "PANO 1809 x 288");  // the classic unwarp
}

// A calibration that does not fit the photograph is told of at Make Pano, naming the file.
TEST_F(MainDialogTest, MakePanoTellsWhyTheCalibratedMirrorCannotBeUsed) {
  const std::string calib = dir.file("calib_results.txt");
  std::ofstream(calib) << test::ocamPaintedRig().text;
  settings.writeString("EQUIPMENT", "CALIBRATED_MIRROR", calib);
  MainDialog& w = window();
  w.openRoundFile(test::writePicture(dir.file("square.bmp"), 500, 500));
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  prompts.messages.clear();
  click(control::MakePano);
  EXPECT_EQ(w.displayMode(), DisplayMode::Round);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(lastMessage(), calib + ": the calibration is for pictures of 640 x 480 pixels, and the photograph's "
                                   "500 x 500 are of another shape");
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Stop);
}

TEST_F(MainDialogTest, AdvancedPreviewsInTheWindowAndCancelGivesThePanoramaBack) {
  MainDialog& w = window();
  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  Workspace& workspace = w.workspaceView().workspace();
  const std::vector<std::uint8_t> before(workspace.panorama().pixels(),
                                         workspace.panorama().pixels() + 3 * 1809 * 288);
  const auto unchanged = [&] { return std::equal(before.begin(), before.end(), workspace.panorama().pixels()); };

  // Several releases, each showing in the window's panorama, then Cancel.
  int changes = 0;
  whenShown<AdvancedImageToolsDialog>([&](AdvancedImageToolsDialog& d) {
    for (QSlider* slider : {d.brightnessSlider(), d.qualitySlider(), d.contrastSlider()}) {
      QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
      QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
      QCoreApplication::processEvents();
      changes += !unchanged();
    }
    EXPECT_FALSE(workspace.adjustBase().pixels() == nullptr);
    QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
  });
  click(control::Advanced);
  EXPECT_EQ(changes, 3);
  EXPECT_TRUE(unchanged());
  EXPECT_FALSE(workspace.adjustBase().hasPixels());

  // Accept without touching a slider: nothing was applied.
  whenShown<AdvancedImageToolsDialog>([](AdvancedImageToolsDialog& d) { QTest::mouseClick(d.acceptButton(), Qt::LeftButton); });
  click(control::Advanced);
  EXPECT_TRUE(unchanged());

  // Accept after a release keeps the adjusted panorama; Undo gives the one from before.
  whenShown<AdvancedImageToolsDialog>([](AdvancedImageToolsDialog& d) {
    QSlider* slider = d.brightnessSlider();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
    QCoreApplication::processEvents();
    QTest::mouseClick(d.acceptButton(), Qt::LeftButton);
  });
  click(control::Advanced);
  EXPECT_FALSE(unchanged());
  EXPECT_FALSE(workspace.adjustBase().hasPixels());
  click(control::Undo);  // Undo
  EXPECT_TRUE(unchanged());
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
}

TEST_F(MainDialogTest, AdvancedDuringASaveIsRefusedAndTheFileHoldsWhatTheWindowShows) {
  MainDialog& w = window();
  openPatternPanorama("beach.bmp", 1000, 150);

  // Save Image trims 1000 x 150 to 960 x 144 with a resample that pumps messages: the
  // Advanced button is pressed then, and a slider release follows if the tools open.
  bool toolsOpened = false;
  QTimer::singleShot(0, [&] {
    EXPECT_TRUE(w.busy());
    QTimer::singleShot(0, [&] {
      auto* tools = qobject_cast<AdvancedImageToolsDialog*>(QApplication::activeModalWidget());
      if (tools == nullptr) return;
      toolsOpened = true;
      QSlider* slider = tools->brightnessSlider();
      QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
      QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 3, slider->height() / 2));
      QCoreApplication::processEvents();
      QTest::mouseClick(tools->acceptButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w.button(control::Advanced), Qt::LeftButton);
  });
  files.answers << QString::fromStdString(dir.file("beach_pano.bmp"));
  click(control::SaveImage);
  EXPECT_FALSE(toolsOpened);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Kelmira is busy doing another task."}));
  EXPECT_FALSE(w.busy());

  const DibImage& shown = w.workspaceView().workspace().panorama();
  DibImage saved;
  ASSERT_EQ(saved.loadFromFile(dir.file("beach_pano.bmp")), ImageError::None);
  ASSERT_EQ(saved.width(), 960);
  ASSERT_EQ(shown.width(), 960);
  ASSERT_EQ(saved.height(), shown.height());
  EXPECT_TRUE(std::equal(saved.pixels(), saved.pixels() + 3 * 960 * saved.height(), shown.pixels()));
  EXPECT_FALSE(w.hasUnsavedPanorama());
}

TEST_F(MainDialogTest, TheBusyFlagHoldsUntilTheCommandEnds) {
  MainDialog& w = window();
  // A step of a command that ends its own progress does not end the command.
  bool checked = false;
  files.whileShown = [&] {
    w.reportProgress(1, 2);
    w.endProgress();
    EXPECT_TRUE(w.busy());
    EXPECT_FALSE(w.progressBar()->isVisible());
    checked = true;
  };
  click(control::OpenRound);  // cancelled
  EXPECT_TRUE(checked);
  EXPECT_FALSE(w.busy());
}

TEST_F(MainDialogTest, EveryCommandThatWouldDropAnUnsavedPanoramaAsksFirst) {
  MainDialog& w = window();
  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  ASSERT_TRUE(w.hasUnsavedPanorama());
  const std::uint64_t made = w.workspaceView().workspace().panoramaRevision();

  // No keeps everything as it was.
  prompts.answer = MessageAnswer::No;
  click(control::NewRestart);  // New/Re-Start
  EXPECT_EQ(w.displayMode(), DisplayMode::Panorama);
  click(control::BackToRound);  // Back to Round keeps the panorama: no question
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  click(control::MakePano);  // Make Pano would replace it
  EXPECT_EQ(w.displayMode(), DisplayMode::Round);
  click(control::NewRestart);  // New/Re-Start from the round view
  EXPECT_EQ(w.displayMode(), DisplayMode::Round);
  EXPECT_EQ(w.workspaceView().workspace().panoramaRevision(), made);
  EXPECT_EQ(prompts.messages, std::vector<std::string>(3, "Discard the unsaved panorama?"));
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Question);

  // Yes goes on; once saved, nothing is asked.
  prompts.answer = MessageAnswer::Yes;
  click(control::MakePano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  EXPECT_NE(w.workspaceView().workspace().panoramaRevision(), made);
  files.answers << QString::fromStdString(dir.file("kept.bmp"));
  click(control::SaveImage);
  ASSERT_FALSE(w.hasUnsavedPanorama());
  click(control::NewRestart);
  EXPECT_EQ(w.displayMode(), DisplayMode::Start);
  EXPECT_EQ(prompts.messages.size(), 4u);
}

TEST_F(MainDialogTest, ARefusedMovieLeavesThePanoramaAsItWas) {
  MainDialog& w = window();
  openPatternPanorama("tall.bmp", 300, 400);  // asks whether it is a round image; the fake answers Yes
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  prompts.messages.clear();

  files.answers << QString::fromStdString(dir.file("tall.mov"));
  whenShown<MoviePropertiesDialog>([](MoviePropertiesDialog& d) { QTest::mouseClick(d.saveMovieButton(), Qt::LeftButton); });
  click(control::SaveMovie);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"The panorama must be wider than it is high to make a movie."}));
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Stop);
  EXPECT_EQ(w.workspaceView().workspace().panorama().width(), 300);  // not trimmed to 288 x 384
  EXPECT_EQ(w.workspaceView().workspace().panorama().height(), 400);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.file("tall.mov"))));
  EXPECT_FALSE(w.hasUnsavedPanorama());
}

// The program ended by a signal (the session closing, Ctrl-C in its terminal) while Save
// Image or Save Movie writes: the save stops, the old file stays as it was, no temporary
// is left beside it or in the temporary folder, and nothing is told, there being no one to
// answer. The signal is marked as the program's signal thread marks it, from another
// thread, once the target's temporary is there.
class StoppedMidSave : public MainDialogTest, public testing::WithParamInterface<bool> {
 protected:
  ~StoppedMidSave() override {
    Interruption::clearForTest();
    if (temporaryFolder_) {
      setenv("TMPDIR", temporaryFolder_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  void useTemporaryFolder(const std::string& folder) {
    if (const char* was = std::getenv("TMPDIR")) temporaryFolder_ = was;
    setenv("TMPDIR", folder.c_str(), 1);
  }

 private:
  std::optional<std::string> temporaryFolder_;
};

TEST_P(StoppedMidSave, TheOldFileStaysAndNoTemporaryIsLeft) {
  const bool asMovie = GetParam();
  namespace fs = std::filesystem;
  const std::string temporaryFolder = dir.file("tmp");
  fs::create_directories(temporaryFolder);
  useTemporaryFolder(temporaryFolder);
  MainDialog& w = window();
  // Large enough for the save to take a while; already of movie size.
  openPatternPanorama("wide.bmp", 6720, 1152);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  const std::string target = dir.file(asMovie ? "wide.mov" : "wide_pano.jpg");
  const test::Bytes old{'o', 'l', 'd'};
  test::writeFileBytes(target, old);

  std::atomic<bool> saving{true}, stoppedMidSave{false};
  std::thread signal([&] {
    const std::string temporaryPrefix = fs::path(target).filename().string() + ".";
    while (saving) {
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with(temporaryPrefix)) {
          Interruption::stopForTest(SIGTERM);
          stoppedMidSave = true;
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  files.answers << QString::fromStdString(target);
  if (asMovie) {
    whenShown<MoviePropertiesDialog>(
        [](MoviePropertiesDialog& d) { QTest::mouseClick(d.saveMovieButton(), Qt::LeftButton); });
  }
  click(asMovie ? control::SaveMovie : control::SaveImage);
  saving = false;
  signal.join();

  ASSERT_TRUE(stoppedMidSave) << "the save was over before its temporary was seen";
  EXPECT_EQ(test::readFileBytes(target), old);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) left.push_back(entry.path().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{temporaryFolder, dir.file("wide.bmp"), target}));
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
  EXPECT_TRUE(shell.urls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(SaveImageAndSaveMovie, StoppedMidSave, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Movie" : "Image"; });

// How much the crop circle panel of the window differs from the round background with
// the given instructions written on it.
double panelDifference(MainDialog& w, RingInstructions which) {
  const QRect panel(560, 160, 160, 112);
  QImage expected(":/skin/background-round.png");
  expected = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  {
    QPainter p(&expected);
    p.setRenderHint(QPainter::Antialiasing);
    paintRingInstructions(p, which);
  }
  const QImage shown = w.grab(panel).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage wanted = expected.copy(panel).convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  for (int y = 0; y < panel.height(); ++y)
    for (int x = 0; x < panel.width(); ++x) {
      const QRgb a = shown.pixel(x, y), b = wanted.pixel(x, y);
      sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    }
  return sum / (panel.width() * panel.height());
}

// A command is one action: its button, its key and the context menu run it, inside the
// one busy guard.
TEST_F(MainDialogTest, TheButtonTheKeyAndTheMenuRunOneActionInsideOneBusyGuard) {
  MainDialog& w = window();
  QSignalSpy crops(w.commandAction(control::Crop), &QAction::triggered);
  EXPECT_EQ(w.commandAction(control::Crop)->text(), "Crop");
  EXPECT_FALSE(w.findRingAction()->isEnabled());  // only the round screen offers it
  EXPECT_TRUE(w.actions().contains(w.findRingAction()));
  EXPECT_EQ(w.findRingAction()->shortcut(), QKeySequence(Qt::Key_F));
  files.answers << samplePath();
  click(control::OpenRound);
  ASSERT_TRUE(w.findRingAction()->isEnabled());

  // While Make Pano pumps messages between its rows the window is busy: the key, the
  // menu's entry and a button's action are each refused with the busy message.
  bool ran = false;
  QTimer::singleShot(0, [&] {
    ran = true;
    QTest::keyClick(&w, Qt::Key_F);
    w.findRingAction()->trigger();
    w.commandAction(control::NewRestart)->trigger();
  });
  click(control::MakePano);
  EXPECT_TRUE(ran);
  EXPECT_EQ(prompts.messages, std::vector<std::string>(3, "Kelmira is busy doing another task."));
  EXPECT_EQ(w.displayMode(), DisplayMode::Panorama);  // New/Re-Start did not run
  EXPECT_FALSE(w.findRingAction()->isEnabled());
  click(control::Crop);
  EXPECT_EQ(crops.count(), 1);
}

// Look Around: its button, the L key and the context menu open the view of the panorama
// as it stands, which Escape closes; the round screen does not offer it.
TEST_F(MainDialogTest, LookAroundOpensFromTheButtonTheKeyAndTheMenuOnThePanoramaScreen) {
  MainDialog& w = window();
  QAction* look = w.commandAction(control::LookAround);
  ASSERT_NE(look, nullptr);
  EXPECT_EQ(look->text(), "Look Around");
  EXPECT_EQ(look->shortcut(), QKeySequence(Qt::Key_L));
  EXPECT_FALSE(look->isEnabled());
  openPatternPanorama("strip.bmp", 1200, 200);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  ASSERT_TRUE(look->isEnabled());
  EXPECT_EQ(w.button(control::LookAround)->geometry(), QRect(342, 444, 180, 64));

  // Each way in: the view shows the panorama's pixels, then Escape closes it.
  int opened = 0;
  std::function<void(int)> closeWhenOpen = [&](int tries) {
    QTimer::singleShot(10, [&, tries] {
      auto* view = qobject_cast<LookAroundView*>(QApplication::activeModalWidget());
      if (view == nullptr) {
        if (tries > 0) closeWhenOpen(tries - 1);
        return;
      }
      ++opened;
      EXPECT_TRUE(w.busy());
      EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
      view->repaint();
      EXPECT_FALSE(view->frame().isNull());
      EXPECT_EQ(view->surface().kind(), LookSurfaceKind::Cylinder);  // an opened picture: the square cylinder
      QTest::keyClick(view, Qt::Key_Escape);
      if (view->isVisible()) view->reject();
    });
  };
  closeWhenOpen(100);
  click(control::LookAround);
  EXPECT_EQ(opened, 1);
  closeWhenOpen(100);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_L);
  EXPECT_EQ(opened, 2);
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(look));
    closeWhenOpen(100);
    menu->close();
    look->trigger();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 300), w.mapToGlobal(QPoint(300, 300)));
  QApplication::sendEvent(&w, &event);
  EXPECT_EQ(opened, 3);
  EXPECT_FALSE(w.busy());
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
}

TEST_F(MainDialogTest, OpenRoundPutsTheCircleOnTheRingAndTheFKeyFindsItAgain) {
  MainDialog& w = window();
  EXPECT_TRUE(w.findRingOnOpen());  // on unless the settings say otherwise
  files.answers << samplePath();
  click(control::OpenRound);
  ASSERT_EQ(w.displayMode(), DisplayMode::Round);
  Workspace& workspace = w.workspaceView().workspace();
  ASSERT_TRUE(workspace.ringRadius());
  EXPECT_NEAR(*workspace.ringRadius(), 600, 6);  // the sample's ring: half its 1200 rows
  EXPECT_EQ(workspace.circleCentreX(), 800);
  EXPECT_EQ(workspace.circleCentreY(), 600);
  EXPECT_EQ(w.ringInstructions(), RingInstructions::RingFound);
  w.repaint();
  EXPECT_LT(panelDifference(w, RingInstructions::RingFound), 1.0);
  EXPECT_GT(panelDifference(w, RingInstructions::PlaceByHand), 5.0);

  // Moved off by hand, F puts it back; elsewhere F does nothing.
  workspace.setCircleCentre(700, 520);
  QTest::keyClick(&w, Qt::Key_F);
  EXPECT_EQ(workspace.circleCentreX(), 800);
  EXPECT_EQ(workspace.circleCentreY(), 600);

  // A photograph without a ring: the circle where it always sits, and the panel says so.
  click(control::NewRestart);
  DibImage pattern;
  const auto pixels = test::patternPixels(800, 600);
  ASSERT_EQ(pattern.copyFromPixels(pixels.data(), 800, 600), ImageError::None);
  ASSERT_EQ(pattern.saveToFile(dir.file("pattern.bmp"), FileTypeBmp), ImageError::None);
  files.answers << QString::fromStdString(dir.file("pattern.bmp"));
  click(control::OpenRound);
  EXPECT_EQ(workspace.circleCentreX(), 400);
  EXPECT_EQ(workspace.circleRadius(), 240);
  EXPECT_FALSE(workspace.ringRadius());
  EXPECT_EQ(w.ringInstructions(), RingInstructions::RingNotFound);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
}

TEST_F(MainDialogTest, WithTheFinderOffTheRoundScreenIsAsItAlwaysWas) {
  {
    MainDialog& first = window();
    first.setFindRingOnOpen(false);  // as the context menu's check box does
  }
  EXPECT_EQ(settings.readInt("DEFAULTS", "FIND_RING", -1), 0);
  dialog.reset();
  MainDialog& w = window();
  EXPECT_FALSE(w.findRingOnOpen());
  files.answers << samplePath();
  click(control::OpenRound);
  Workspace& workspace = w.workspaceView().workspace();
  EXPECT_EQ(workspace.circleCentreX(), 800);
  EXPECT_EQ(workspace.circleRadius(), 480);
  EXPECT_FALSE(workspace.ringRadius());
  EXPECT_EQ(w.ringInstructions(), RingInstructions::PlaceByHand);
  w.repaint();
  EXPECT_LT(panelDifference(w, RingInstructions::PlaceByHand), 1.0);
  // F still looks when asked.
  QTest::keyClick(&w, Qt::Key_F);
  EXPECT_TRUE(workspace.ringRadius());
  EXPECT_EQ(w.ringInstructions(), RingInstructions::RingFound);
}

TEST_F(MainDialogTest, SaveImageWritesA360PhotoAndItsWebPageOfThePanoramaOnScreen) {
  MainDialog& w = window();
  files.answers << samplePath();
  click(control::OpenRound);
  click(control::MakePano);
  ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
  const auto bytesOf = [](const std::string& path) {
    const test::Bytes bytes = test::readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
  };
  // The elevation of the photo's top edge, from its Photo Sphere fields.
  const auto topElevation = [&](const std::string& path) {
    const std::string text = bytesOf(path);
    const auto field = [&](const std::string& name) {
      const auto at = text.find("<GPano:" + name + ">");
      return at == std::string::npos ? -1.0 : std::stod(text.substr(at + name.size() + 8));
    };
    return 90 - field("CroppedAreaTopPixels") * 180 / field("FullPanoHeightPixels");
  };

  // The 360-degree type is offered after the described three.
  files.answers << QString::fromStdString(dir.file("room_360.jpg"));
  files.chosenFilters << 4;
  click(control::SaveImage);
  EXPECT_TRUE(files.lastFilter().contains(QString::fromUtf8("|360\u00b0 photo (*.jpg)|*.JPG|Web page (*.html)|*.HTML|")));
  const double wholeTop = topElevation(dir.file("room_360.jpg"));
  EXPECT_NEAR(wholeTop, 17.2, 0.2);  // the ring's inner edge
  EXPECT_EQ(w.workspaceView().workspace().panorama().width(), 1809) << "not trimmed to movie size";
  EXPECT_FALSE(w.hasUnsavedPanorama());

  // A JPEG under the JPEG type stays a plain panorama image.
  files.answers << QString::fromStdString(dir.file("plain.jpg"));
  files.chosenFilters << 2;
  click(control::SaveImage);
  EXPECT_EQ(bytesOf(dir.file("plain.jpg")).find("GPano"), std::string::npos);

  // Cropped, the photo keeps the elevations of the rows kept: it starts further down.
  Workspace& workspace = w.workspaceView().workspace();
  workspace.setCropLines(20, 120);
  click(control::Crop);
  ASSERT_EQ(workspace.panorama().height(), 101) << lastMessage();
  files.answers << QString::fromStdString(dir.file("cropped_360.jpg"));
  files.chosenFilters << 4;
  click(control::SaveImage);
  EXPECT_LT(topElevation(dir.file("cropped_360.jpg")), wholeTop - 2);

  // The web page, by its name, whatever type is chosen.
  files.answers << QString::fromStdString(dir.file("room.html"));
  files.chosenFilters << 0;
  click(control::SaveImage);
  const std::string page = bytesOf(dir.file("room.html"));
  EXPECT_NE(page.find("<title>room</title>"), std::string::npos);
  EXPECT_NE(page.find("pannellum.viewer("), std::string::npos);
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
}

// The size caption says when the picture was taken and with what, and the panorama the
// window saves carries what the camera recorded; a damaged block is told, not fatal.
TEST_F(MainDialogTest, TheSizeCaptionSaysWhenAndWithWhatAndTheSavedPanoramaCarriesIt) {
  if (!test::haveExiftool() || !test::haveImageMagick()) {
    GTEST_SKIP() << "no exiftool or ImageMagick (scripts/setup.sh test installs them)";
  }
  const std::string photo = dir.file("harbour.jpg");
  test::writeFileBytes(dir.file("display.icc"), test::colourProfile("Kelmira test display"));
  ASSERT_TRUE(test::embedProfile(samplePath().toStdString(), dir.file("display.icc"), photo));
  ASSERT_TRUE(test::tagPhotograph(photo));
  MainDialog& w = window();
  files.answers << QString::fromStdString(photo);
  click(control::OpenRound);
  EXPECT_EQ(w.infoText().toStdString(), "JPG 1600 x 1200\n2021-06-05 14:03:22\nCanon EOS R6");
  click(control::MakePano);
  EXPECT_EQ(w.infoText().toStdString(), "PANO 1809 x 288\n2021-06-05 14:03:22\nCanon EOS R6");
  files.answers << QString::fromStdString(dir.file("harbour_pano.jpg"));
  files.chosenFilters << 2;
  click(control::SaveImage);
  std::map<std::string, std::string> saved = test::exiftoolTags(dir.file("harbour_pano.jpg"));
  EXPECT_EQ(saved["ExifIFD:DateTimeOriginal"], "2021:06:05 14:03:22");
  EXPECT_EQ(saved["GPS:GPSLatitude"], "59.91387");
  EXPECT_EQ(saved["ICC_Profile:ProfileDescription"], "Kelmira test display");
  EXPECT_EQ(saved["IFD0:Software"], "Kelmira 2.1000");
  EXPECT_TRUE(prompts.messages.empty()) << lastMessage();

  // Without metadata, the caption is the size alone.
  w.openRoundFile(samplePath().toStdString());
  EXPECT_EQ(w.infoText().toStdString(), "JPG 1600 x 1200");

  // A damaged EXIF block: told, and the picture opens all the same.
  test::Bytes bytes = test::readFileBytes(photo);
  const std::string header("Exif\0\0MM\0\x2A\0\0\0\x08", 14);
  const auto at = std::search(bytes.begin(), bytes.end(), header.begin(), header.end());
  ASSERT_NE(at, bytes.end());
  at[10] = 0x7F;
  test::writeFileBytes(photo, bytes);
  w.openRoundFile(photo);
  EXPECT_EQ(lastMessage(), "harbour.jpg: its EXIF block is damaged and was left out.");
  EXPECT_EQ(prompts.icons.back(), MessageIcon::Information);
  EXPECT_EQ(w.displayMode(), DisplayMode::Round);
  EXPECT_EQ(w.infoText().toStdString(), "JPG 1600 x 1200") << "the date and the camera were EXIF's";
}

// A German session, as the window gets from LANG=de_DE.UTF-8 through Qt's start-up: the web
// page saved from the window carries its numbers with a point, so the browser runs its
// script and shows the photo rather than a blank page, and the settings file records the
// version with a point.
TEST_F(MainDialogTest, InAGermanSessionTheSavedWebPageShowsAndTheVersionKeepsItsPoint) {
  std::string shown;
  {
    test::GermanSession german;
    if (!german.active()) GTEST_SKIP() << german.whyNot();
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    Application application(prompts, settings);
    application.startUp();
    MainDialog& w = window();
    files.answers << samplePath();
    click(control::OpenRound);
    click(control::MakePano);
    ASSERT_EQ(w.displayMode(), DisplayMode::Panorama);
    files.answers << QString::fromStdString(dir.file("garden.html"));
    click(control::SaveImage);
    EXPECT_TRUE(prompts.messages.empty()) << lastMessage();
    dialog.reset();
    application.shutDown();
  }
  const test::Bytes stored = test::readFileBytes(dir.file("kelmira.conf"));
  EXPECT_NE(std::string(stored.begin(), stored.end()).find("\nVERSION=2.1000\n"), std::string::npos);
  const test::Bytes bytes = test::readFileBytes(dir.file("garden.html"));
  const std::string page(bytes.begin(), bytes.end());
  EXPECT_TRUE(std::regex_search(page, std::regex("var vertical = [0-9]+\\.[0-9]{4}, middle = -?[0-9]+\\.[0-9]{4};\n")))
      << page.substr(page.find("var vertical"), 60);

  const std::string source = std::getenv("KELMIRA_SOURCE_DIR");
  if (!std::filesystem::exists("/usr/bin/chromium") || std::system("node --version > /dev/null 2>&1") != 0 ||
      !std::filesystem::exists(source + "/web/node_modules/playwright-core")) {
    GTEST_SKIP() << "no Chromium, Node.js or playwright-core (scripts/setup.sh test installs them)";
  }
  const std::string command = "cd '" + source + "/web' && node test/viewer_page_test.mjs '" + dir.file("garden.html") +
                              "' '" + dir.path().string() + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string report;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) report += line;
  ASSERT_EQ(pclose(pipe), 0) << report;
  // Not blank: the sample's blue sky at the top of the view.
  DibImage first;
  ASSERT_EQ(first.loadFromFile(dir.file("web-first.png")), ImageError::None);
  double red = 0, blue = 0;
  for (int y = 20; y < 120; ++y)
    for (int x = 100; x < 700; ++x) {
      red += first.pixels()[3 * (std::size_t(y) * first.width() + x)];
      blue += first.pixels()[3 * (std::size_t(y) * first.width() + x) + 2];
    }
  EXPECT_GT(blue, red * 1.2) << report;
}

}  // namespace
}  // namespace kelmira
