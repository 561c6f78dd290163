#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/display_mode.h"
#include "app/skin_set.h"
#include "image/progress_sink.h"
#include "movie/movie_settings.h"
#include "ui/ring_instructions.h"
#include "workspace/prompts.h"

class QAction;
class QProgressBar;
class QSlider;
class QTimer;

namespace kelmira {

class FileDialogs;
class ImageButton;
class SettingsStore;
class Shell;
class WorkspaceView;
enum class OutputKind;
struct ExportResult;

// What the main window needs from outside; tests hand in fakes.
struct MainDialogServices {
  Prompts* prompts = nullptr;
  FileDialogs* fileDialogs = nullptr;
  Shell* shell = nullptr;
  SettingsStore* settings = nullptr;
  bool quickTimeAvailable = false;
};

// The program's one window: the skinned background of the current display mode, the
// picture buttons that fit that mode, the workspace view and the progress bar. Every
// command runs here, on the one thread; long work keeps the window alive through
// reportProgress, and the busy flag keeps a second command out meanwhile.
class MainDialog : public QDialog, public ProgressSink {
  Q_OBJECT

 public:
  explicit MainDialog(const MainDialogServices& services, QWidget* parent = nullptr);
  ~MainDialog() override;

  int reportProgress(std::int32_t position, std::int32_t total) override;
  void endProgress() override;
  void showBusyMessage();
  void pumpMessages();
  bool busy() const { return busy_; }

  int layoutForMode();
  void refreshInfoArea();
  // The size caption of the current mode ("JPG 1600 x 1200", "PANO 1809 x 288"), with a
  // line each for the capture date and the camera when the picture says; empty when none.
  QString infoText() const;
  int saveCurrent(bool asMovie);
  // Runs "Save Movie Properties"; 1 when confirmed (the movie settings are then replaced).
  int showMovieProperties();
  const MovieSettings& movieSettings() const { return movieSettings_; }

  DisplayMode displayMode() const { return mode_; }
  WorkspaceView& workspaceView() { return *view_; }
  ImageButton* button(int controlId) const { return buttons_.value(controlId); }
  // The command a button stands for; its button, and anything else that offers it, run it.
  QAction* commandAction(int controlId) const { return actions_.value(controlId); }
  // Find the Ring Again: the F key and the context menu's entry, on the round screen.
  QAction* findRingAction() const { return findRingAction_; }
  QProgressBar* progressBar() const { return progressBar_; }
  // The round screen's slider that picks the frame of a video shown.
  QSlider* frameSlider() const { return frameSlider_; }
  int mirrorType() const { return mirrorType_; }
  // The calibrated mirror chosen in Mirror Properties (empty: the attachment's own) and
  // how the camera sits on it; the workspace unwarps with them.
  const std::string& calibratedMirror() const { return calibratedMirror_; }
  bool cameraAbove() const { return cameraAbove_; }
  int attachmentType() const { return attachmentType_; }
  int movieWidth() const { return movieWidth_; }
  int movieHeight() const { return movieHeight_; }
  // True when the panorama changed since it was opened or last saved.
  bool hasUnsavedPanorama() const;
  // What the crop circle panel says: found, not found, or place it by hand.
  RingInstructions ringInstructions() const;
  // Looks for the ring again and puts the circle on it when sure (the F key).
  void findRingAgain();
  // Opens a photograph as Open Round does after its file dialog (the file given to the
  // program when it starts, its name in the file system's bytes).
  void openRoundFile(const std::string& path);
  // Whether Open Round looks for the ring, remembered in the settings.
  void setFindRingOnOpen(bool find);
  bool findRingOnOpen() const;

 public slots:
  void reject() override;
  void accept() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  template <typename Command>
  void guarded(Command&& command);
  void connectCommands();
  // A command as an action, run inside the busy guard when `guard`.
  QAction* addCommand(const QString& text, bool guard, std::function<void()> work);
  void setMode(DisplayMode mode);

  void openRound();
  void openRoundPath(const std::string& path);
  void showVideoFrame(int frame);
  // Writes the 360-degree video of the video open to savePath_, with a progress dialog.
  int saveVideo();
  void openPanorama();
  // A QuickTime VR panorama movie put back together and shown; false when it was refused.
  bool openMoviePanorama(const std::string& path);
  void makePanorama();
  void backToRound();
  void newRestart();
  void help();
  void nudgeCentre(int dx, int dy);
  void showMirrorProperties();
  // Hands the calibrated mirror and the rig to the workspace.
  void useCalibratedMirror();
  void showAdvancedTools();
  void lookAround();
  void showAbout();
  // Writes the panorama on screen to savePath_ as `kind`: 0, or -1 (-2 when the movie
  // toolbox failed) once the user is told why not.
  int writeSaveTarget(OutputKind kind);
  int tellFailure(const ExportResult& result);
  // False when the user keeps an unsaved panorama rather than let a command replace it.
  bool mayDiscardPanorama();
  // The picture chosen in the open dialog; empty on Cancel, or when the unsaved panorama is kept.
  // `videos`: mirror videos offered too (Open Round); `movies`: QuickTime VR movies (Open Pano).
  QString askForPicture(const char* title, bool videos = false, bool movies = false);
  void tell(const QString& text, MessageIcon icon);
  bool ask(const QString& text);

  MainDialogServices services_;
  SkinSet skin_;
  QMap<int, ImageButton*> buttons_;
  QMap<int, QAction*> actions_;
  QAction* findRingAction_ = nullptr;
  QAction* findRingOnOpenAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  WorkspaceView* view_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QSlider* frameSlider_ = nullptr;
  QTimer* frameTimer_ = nullptr;
  DisplayMode mode_ = DisplayMode::Start;
  bool busy_ = true;
  // The prompts the window and its workspace speak through: silent once the program is
  // being ended by a signal (Interruption), when no one is there to answer.
  std::unique_ptr<Prompts> prompts_;
  int runningCommands_ = 0;
  static constexpr std::chrono::milliseconds kProgressPumpInterval{15};
  std::chrono::steady_clock::time_point lastProgressPump_;
  int mirrorType_ = 0;
  int attachmentType_ = 0;
  std::string calibratedMirror_;
  bool cameraAbove_ = false;
  int movieWidth_ = 400;
  int movieHeight_ = 180;
  QString openedExtension_;
  QString openedFileName_;
  QString savePath_;
  int saveFileType_ = 0;
  std::uint64_t savedRevision_ = 0;
  MovieSettings movieSettings_;
};

}  // namespace kelmira
