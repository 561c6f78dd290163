#include "app/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QSlider>
#include <QTimer>

#include <cmath>
#include <functional>
#include <vector>

#include "app/about_dialog.h"
#include "app/control_ids.h"
#include "app/file_dialogs.h"
#include "app/image_button.h"
#include "app/shell.h"
#include "base/interruption.h"
#include "export/dialog_filters.h"
#include "export/panorama_export.h"
#include "export/result_names.h"
#include "export/video_export.h"
#include "image/file_type.h"
#include "movie/qtvr_panorama_reader.h"
#include "movie/quicktime/movie_runtime.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "settings/settings_version.h"
#include "ui/advanced_image_tools_dialog.h"
#include "ui/look_around_view.h"
#include "ui/mirror_properties_dialog.h"
#include "ui/movie_properties_dialog.h"
#include "ui/video_save_progress.h"
#include "ui/workspace_view.h"
#include "video/video_facts.h"
#include "workspace/prompts.h"

namespace kelmira {

namespace {

constexpr QSize kClientSize(750, 540);
// Below the round screen's view, as wide.
constexpr QRect kFrameSliderPlace(64, 412, 476, 22);

// Template positions are dialog units of an 8-point font: 1.5 pixels across, 1.625 down.
QPoint fromDialogUnits(int x, int y) { return QPoint(std::lround(x * 1.5), std::lround(y * 1.625)); }

struct ButtonPlace {
  int controlId;
  int x, y;  // dialog units
};
constexpr ButtonPlace kButtonPlaces[] = {
    {control::OpenRound, 370, 27}, {control::OpenPano, 370, 73},   {control::MirrorSelection, 370, 165},
    {control::Help, 370, 119},     {control::MakePano, 370, 27},   {control::NewRestart, 90, 272},
    {control::SaveMovie, 354, 213}, {control::SaveImage, 228, 214}, {control::Crop, 154, 21},
    {control::Undo, 89, 21},       {control::Advanced, 222, 22},   {control::BackToRound, 24, 21},
    {control::Up, 417, 202},       {control::Down, 419, 244},      {control::Left, 389, 224},
    {control::Right, 445, 224},     {control::LookAround, 228, 273},
};

struct ModeLayout {
  QRect view;
  bool viewShown;
  QRect progressBar;
  std::vector<int> buttons;
};

ModeLayout layoutOf(DisplayMode mode) {
  switch (mode) {
    case DisplayMode::Start:
      return {QRect(0, 0, 10, 10), false, QRect(576, 350, 130, 20),
              {control::OpenRound, control::OpenPano, control::MirrorSelection, control::Help}};
    case DisplayMode::Round:
      return {QRect(64, 63, 476, 344), true, QRect(578, 397, 127, 20), {control::MakePano, control::NewRestart}};
    case DisplayMode::Panorama:
      return {QRect(57, 137, 638, 155), true, QRect(450, 47, 240, 20),
              {control::SaveMovie, control::SaveImage, control::Crop, control::NewRestart, control::Undo,
               control::Advanced, control::LookAround}};
  }
  return {};
}

class QuietOnceStopped : public Prompts {
 public:
  explicit QuietOnceStopped(Prompts* prompts) : prompts_(prompts) {}
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    if (Interruption::stopped() || prompts_ == nullptr) {
      return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    return prompts_->showMessage(text, icon, buttons);
  }

 private:
  Prompts* const prompts_;
};

}  // namespace

MainDialog::MainDialog(const MainDialogServices& services, QWidget* parent)
    : QDialog(parent), services_(services), prompts_(std::make_unique<QuietOnceStopped>(services.prompts)) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  // The window manager draws the frame; the client area is the backgrounds' size.
  setFixedSize(kClientSize);
  move(0, 0);

  skin_.loadTrueColorSkin(services_.prompts);
  setWindowTitle(QString::asprintf("Kelmira - Version %.4f", static_cast<double>(versionNumber)));
  if (services_.settings != nullptr) {
    using namespace settings;
    movieWidth_ = services_.settings->readInt(defaultsSection, movieWidthKey, defaultMovieWidth);
    movieHeight_ = services_.settings->readInt(defaultsSection, movieHeightKey, defaultMovieHeight);
    mirrorType_ = services_.settings->readInt(equipmentSection, mirrorKey, 0);
    attachmentType_ = services_.settings->readInt(equipmentSection, attachmentKey, 0);
    calibratedMirror_ = services_.settings->readString(equipmentSection, calibratedMirrorKey, "");
    cameraAbove_ = services_.settings->readString(equipmentSection, rigKey, "") == rigName(Rig::CameraAbove);
  }
  setWindowIcon(skin_.windowIcon());

  for (const ButtonPlace& place : kButtonPlaces) {
    auto* button = new ImageButton(this);
    button->setObjectName(QString::number(place.controlId));
    button->setPictures(skin_.normalPicture(place.controlId), skin_.pressedPicture(place.controlId));
    button->fitToPicture();
    button->move(fromDialogUnits(place.x, place.y));
    button->hide();
    buttons_.insert(place.controlId, button);
  }
  for (const ButtonArt& art : kButtonArt) buttons_.value(art.controlId)->setAccessibleName(art.label);

  progressBar_ = new QProgressBar(this);
  progressBar_->setTextVisible(false);
  progressBar_->hide();

  frameSlider_ = new QSlider(Qt::Horizontal, this);
  frameSlider_->setAccessibleName("Frame of the video");
  frameSlider_->setGeometry(kFrameSliderPlace);
  // A frame is decoded when the slider is let go, not at every step of a drag.
  frameSlider_->setTracking(false);
  frameSlider_->hide();
  // The frame is read after the slider's own event is done (a click held on its groove
  // pages on meanwhile), the latest asked for, once no other command runs.
  frameTimer_ = new QTimer(this);
  frameTimer_->setSingleShot(true);
  connect(frameSlider_, &QSlider::valueChanged, frameTimer_, [this] { frameTimer_->start(0); });
  connect(frameTimer_, &QTimer::timeout, this, [this] {
    if (busy_) {
      frameTimer_->start(50);
      return;
    }
    guarded([this] { showVideoFrame(frameSlider_->value()); });
  });

  view_ = new WorkspaceView(prompts_.get(), this, this);
  view_->setGeometry(0, 0, 10, 10);
  view_->workspace().reset(true);
  const int findRing = services_.settings != nullptr ? services_.settings->readInt(settings::defaultsSection,
                                                                                   settings::findRingKey,
                                                                                   settings::defaultFindRing)
                                                     : settings::defaultFindRing;
  view_->workspace().setFindRingOnOpen(findRing != 0);
  useCalibratedMirror();

  connectCommands();
  mode_ = DisplayMode::Start;
  layoutForMode();
  busy_ = false;
}

MainDialog::~MainDialog() = default;

void MainDialog::connectCommands() {
  // A button runs its command's action, and so does anything else that offers the command.
  const auto button = [this](int id, bool guard, std::function<void()> work) {
    QAction* action = addCommand(buttons_.value(id)->accessibleName(), guard, std::move(work));
    actions_.insert(id, action);
    connect(buttons_.value(id), &QAbstractButton::clicked, action, &QAction::trigger);
  };
  button(control::OpenRound, true, [this] { openRound(); });
  button(control::OpenPano, true, [this] { openPanorama(); });
  button(control::MirrorSelection, false, [this] { showMirrorProperties(); });
  button(control::Help, false, [this] { help(); });
  button(control::MakePano, true, [this] { makePanorama(); });
  button(control::Crop, true, [this] {
    view_->workspace().cropPanorama();
    refreshInfoArea();
  });
  button(control::Undo, true, [this] {
    if (mode_ == DisplayMode::Panorama) view_->workspace().undo();
    refreshInfoArea();
  });
  button(control::Advanced, true, [this] { showAdvancedTools(); });
  button(control::LookAround, true, [this] { lookAround(); });
  button(control::BackToRound, true, [this] { backToRound(); });
  button(control::NewRestart, true, [this] { newRestart(); });
  button(control::SaveImage, true, [this] { saveCurrent(false); });
  button(control::SaveMovie, true, [this] { saveCurrent(true); });
  button(control::Up, true, [this] { nudgeCentre(0, -1); });
  button(control::Down, true, [this] { nudgeCentre(0, 1); });
  button(control::Left, true, [this] { nudgeCentre(-1, 0); });
  button(control::Right, true, [this] { nudgeCentre(1, 0); });

  // The F key and the context menu's entry; only the round screen offers it.
  findRingAction_ = addCommand("&Find the Ring Again", true, [this] { findRingAgain(); });
  findRingAction_->setShortcut(QKeySequence(Qt::Key_F));
  findRingAction_->setShortcutContext(Qt::WindowShortcut);
  addAction(findRingAction_);
  // L and the context menu open the look-around view too, on the panorama screen.
  QAction* look = actions_.value(control::LookAround);
  look->setShortcut(QKeySequence(Qt::Key_L));
  look->setShortcutContext(Qt::WindowShortcut);
  addAction(look);
  findRingOnOpenAction_ = new QAction("Find the Ring When a &Photograph Opens", this);
  findRingOnOpenAction_->setCheckable(true);
  connect(findRingOnOpenAction_, &QAction::triggered, this, &MainDialog::setFindRingOnOpen);
  aboutAction_ = addCommand("&About Kelmira...", false, [this] { showAbout(); });
}

QAction* MainDialog::addCommand(const QString& text, bool guard, std::function<void()> work) {
  auto* action = new QAction(text, this);
  connect(action, &QAction::triggered, this, [this, guard, work = std::move(work)] {
    if (guard) {
      guarded(work);
    } else {
      work();
    }
  });
  return action;
}

template <typename Command>
void MainDialog::guarded(Command&& command) {
  if (busy_) {
    showBusyMessage();
    return;
  }
  busy_ = true;
  ++runningCommands_;
  command();
  --runningCommands_;
  busy_ = false;
}

// ---- progress and the busy flag ----

int MainDialog::reportProgress(std::int32_t position, std::int32_t total) {
  busy_ = true;
  // The program is being ended by a signal: the task gives up, and no file is put in place.
  if (Interruption::stopped()) return 0;
  // Reports come once a row, thousands a picture; the bar and the window are kept alive at
  // the rate a screen shows, not at the rate rows are decoded.
  const auto now = std::chrono::steady_clock::now();
  const bool sameTask = !progressBar_->isHidden() && progressBar_->maximum() == (total & 0xFFFF) && position != 0;
  if (sameTask && now - lastProgressPump_ < kProgressPumpInterval) return 1;
  lastProgressPump_ = now;
  progressBar_->show();
  progressBar_->setRange(0, total & 0xFFFF);
  progressBar_->setValue(position);
  pumpMessages();
  return 1;
}

void MainDialog::endProgress() {
  progressBar_->hide();
  // A step of a command may end its progress while the command goes on.
  busy_ = runningCommands_ > 0;
}

void MainDialog::showBusyMessage() {
  QApplication::beep();
  tell("Kelmira is busy doing another task.", MessageIcon::Information);
}

void MainDialog::pumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// ---- layout and painting ----

int MainDialog::layoutForMode() {
  for (ImageButton* button : buttons_) button->hide();
  view_->hide();
  progressBar_->hide();
  if (mode_ != DisplayMode::Start && mode_ != DisplayMode::Round && mode_ != DisplayMode::Panorama) {
    tell("Background not set!  Invalid display parameter.", MessageIcon::Stop);
    return -1;
  }
  update();
  pumpMessages();

  const ModeLayout layout = layoutOf(mode_);
  view_->setGeometry(layout.view);
  view_->display().setClientSize(layout.view.width(), layout.view.height());
  view_->setVisible(layout.viewShown);
  for (const int id : layout.buttons) buttons_.value(id)->show();
  // Back to Round only once a round image has been shown since the last reset.
  const DisplaySize round = view_->display().roundDisplaySize();
  if (mode_ == DisplayMode::Panorama && (round.width != 0 || round.height != 0)) {
    buttons_.value(control::BackToRound)->show();
  }
  progressBar_->setGeometry(layout.progressBar);
  frameSlider_->setVisible(mode_ == DisplayMode::Round && view_->workspace().isVideo());
  findRingAction_->setEnabled(mode_ == DisplayMode::Round);
  actions_.value(control::LookAround)->setEnabled(mode_ == DisplayMode::Panorama);
  update();
  return 0;
}

namespace {

// The size caption's further lines: when the picture was taken and with what, as known.
QString capturedLines(const PhotoMetadata& metadata) {
  QString lines;
  for (const std::string* line : {&metadata.captureTime, &metadata.camera}) {
    if (!line->empty()) lines += "\n" + QString::fromStdString(*line);
  }
  return lines;
}

}  // namespace

QString MainDialog::infoText() const {
  const Workspace& workspace = view_->workspace();
  if (mode_ == DisplayMode::Round && workspace.roundImage().width() > 0) {
    QString text = QString::asprintf("%s %d x %d", openedExtension_.toUtf8().constData(), workspace.roundImage().width(),
                                     workspace.roundImage().height());
    if (workspace.isVideo()) {
      text += QString::asprintf("\nframe %lld of %lld", static_cast<long long>(workspace.videoFrame() + 1),
                                static_cast<long long>(workspace.videoFrameCount()));
    }
    return text + capturedLines(workspace.roundMetadata());
  }
  if (mode_ == DisplayMode::Panorama && workspace.panorama().width() > 0) {
    return QString::asprintf("PANO %d x %d", workspace.panorama().width(), workspace.panorama().height()) +
           capturedLines(workspace.panoramaMetadata());
  }
  return {};
}

void MainDialog::refreshInfoArea() {
  if (mode_ == DisplayMode::Round) update(QRect(QPoint(550, 150), QPoint(699, 299)));
  if (mode_ == DisplayMode::Panorama) update(QRect(QPoint(75, 200), QPoint(349, 449)));
}

void MainDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), skin_.background(mode_));
  if (mode_ == DisplayMode::Round) paintRingInstructions(painter, ringInstructions());
  const QString caption = infoText();
  if (caption.isEmpty()) return;
  const bool round = mode_ == DisplayMode::Round;
  QFont font("Arial");
  font.setPointSizeF(round ? 7 : 13);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QPoint at = round ? QPoint(605, 320) : QPoint(100, 385);
  const QStringList lines = caption.split('\n');
  if (lines.size() == 1) {
    painter.drawText(QRect(at, QSize(kClientSize.width() - at.x(), 60)), Qt::AlignLeft | Qt::AlignTop, caption);
    return;
  }
  // With the capture's lines under the size the caption is centred in the skin's light box,
  // the panorama's in a smaller type than its size.
  const QRect box = round ? QRect(568, 295, 147, 46) : QRect(80, 350, 236, 60);
  QFont detail("Arial");
  detail.setPointSizeF(round ? 7 : 8);
  const int sizeHeight = QFontMetrics(font).height();
  const int detailHeight = QFontMetrics(detail).height();
  const int width = box.right() - 4 - at.x();
  int y = box.top() + (box.height() - sizeHeight - detailHeight * static_cast<int>(lines.size() - 1)) / 2;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i == 1) painter.setFont(detail);
    const int height = i == 0 ? sizeHeight : detailHeight;
    painter.drawText(QRect(at.x(), y, width, height), Qt::AlignLeft | Qt::AlignTop,
                     painter.fontMetrics().elidedText(lines[i], Qt::ElideRight, width));
    y += height;
  }
}

// ---- commands ----

void MainDialog::setMode(DisplayMode mode) {
  mode_ = mode;
  layoutForMode();
}

bool MainDialog::mayDiscardPanorama() { return !hasUnsavedPanorama() || ask("Discard the unsaved panorama?"); }

QString MainDialog::askForPicture(const char* title, bool videos, bool movies) {
  if (!mayDiscardPanorama()) return {};
  const DialogFilter filter = movies ? openPanoramaDialogFilter() : openDialogFilter(videos);
  return services_.fileDialogs->openFileName(this, title, QString::fromStdString(filter.text));
}

void MainDialog::openRound() {
  const QString path = askForPicture("Select a raw image file", true);
  if (path.isEmpty()) return;
  openRoundPath(QFile::encodeName(path).toStdString());
}

void MainDialog::openRoundFile(const std::string& path) {
  guarded([&] {
    if (!mayDiscardPanorama()) return;
    // A QuickTime file may be a mirror video as well as a panorama movie.
    if (!isQuickTimeVrMovie(path)) {
      openRoundPath(path);
      return;
    }
    openedFileName_ = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
    if (!openMoviePanorama(path)) return;
    savedRevision_ = view_->workspace().panoramaRevision();
    setMode(DisplayMode::Panorama);
    view_->refreshDisplay();
    refreshInfoArea();
  });
}

void MainDialog::openRoundPath(const std::string& path) {
  // The name is shown as well as Qt can; the file is opened by its own bytes.
  const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(path)));
  openedFileName_ = file.fileName();
  openedExtension_ = file.fileName().contains('.') ? file.suffix().toUpper() : QString();
  Workspace& workspace = view_->workspace();
  const bool video = hasVideoExtension(path);
  if ((video ? workspace.openVideo(path) : workspace.openRound(path)) != WorkspaceResult::Done) return;
  if (video) {
    const QSignalBlocker quiet(frameSlider_);
    frameSlider_->setRange(0, static_cast<int>(std::min<std::int64_t>(workspace.videoFrameCount(), 1 << 30) - 1));
    frameSlider_->setValue(0);
  }
  setMode(DisplayMode::Round);
  view_->refreshDisplay();
  refreshInfoArea();
}

void MainDialog::showVideoFrame(int frame) {
  if (mode_ != DisplayMode::Round || view_->workspace().showVideoFrame(frame) != WorkspaceResult::Done) return;
  view_->refreshDisplay();
  update();
}

void MainDialog::openPanorama() {
  const QString path = askForPicture("Select a panoramic image file", false, true);
  if (path.isEmpty()) return;
  openedFileName_ = QFileInfo(path).fileName();
  const std::string file = QFile::encodeName(path).toStdString();
  if (looksLikeQuickTimeMovie(file)) {
    if (!openMoviePanorama(file)) return;
  } else if (view_->workspace().openPanorama(file) != WorkspaceResult::Done) {
    return;
  }
  savedRevision_ = view_->workspace().panoramaRevision();
  setMode(DisplayMode::Panorama);
  view_->refreshDisplay();
  refreshInfoArea();
}

bool MainDialog::openMoviePanorama(const std::string& path) {
  QtvrPanorama movie;
  if (const std::string why = readQtvrPanorama(path, movie); !why.empty()) {
    prompts_->showMessage(why, MessageIcon::Stop, MessageButtons::Ok);
    return false;
  }
  RowElevations rows(movie.rowElevations());
  if (view_->workspace().showPanorama(movie.panorama, std::move(rows)) != WorkspaceResult::Done) return false;
  if (movie.hasHotSpots) {
    prompts_->showMessage("The movie's hot spots were left out; the panorama is shown without them.",
                          MessageIcon::Information, MessageButtons::Ok);
  }
  return true;
}

void MainDialog::makePanorama() {
  if (mode_ != DisplayMode::Round || !mayDiscardPanorama()) return;
  if (view_->workspace().makePanorama(attachmentType_, mirrorType_) == WorkspaceResult::Done) {
    setMode(DisplayMode::Panorama);
    view_->refreshDisplay();
  }
  update();
}

void MainDialog::backToRound() {
  if (mode_ != DisplayMode::Panorama) return;
  setMode(DisplayMode::Round);
  view_->workspace().backToRound();
}

void MainDialog::newRestart() {
  if (!mayDiscardPanorama()) return;
  mode_ = DisplayMode::Start;
  progressBar_->hide();
  view_->workspace().reset(true);
  layoutForMode();
}

void MainDialog::help() {
  if (busy_) {
    showBusyMessage();
    return;
  }
  // The manual sits in share/kelmira/manual beside the program's bin folder.
  const QString manual = QDir(QCoreApplication::applicationDirPath()).filePath("../share/kelmira/manual/index.html");
  if (!QFileInfo::exists(manual)) {
    tell("The manual was not found in " + QDir::cleanPath(manual) + ".", MessageIcon::Stop);
    return;
  }
  services_.shell->openUrl(QUrl::fromLocalFile(QDir::cleanPath(manual)));
}

void MainDialog::nudgeCentre(int dx, int dy) {
  if (mode_ != DisplayMode::Round) return;
  Workspace& workspace = view_->workspace();
  workspace.setCircleCentre(workspace.circleCentreX() + dx, workspace.circleCentreY() + dy);
  view_->update();
  refreshInfoArea();
}

void MainDialog::showMirrorProperties() {
  MirrorPropertiesDialog dialog(services_.settings, this);
  dialog.setMirror(calibratedMirror_, cameraAbove_ ? Rig::CameraAbove : Rig::CameraBelow);
  dialog.setFileChooser([this, &dialog] {
    const QString path = services_.fileDialogs->openFileName(
        &dialog, "Select a calibrated mirror file",
        "Mirror calibrations and tables (*.txt *.yaml *.yml *.xml);;All files (*)");
    return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
  });
  if (dialog.exec() != QDialog::Accepted) return;
  calibratedMirror_ = dialog.mirrorPath();
  cameraAbove_ = dialog.rig() == Rig::CameraAbove;
  useCalibratedMirror();
  if (services_.settings == nullptr) return;
  using namespace settings;
  services_.settings->writeString(equipmentSection, calibratedMirrorKey, calibratedMirror_);
  services_.settings->writeString(equipmentSection, rigKey, std::string(rigName(dialog.rig())));
  mirrorType_ = services_.settings->readInt(equipmentSection, mirrorKey, 0);
  attachmentType_ = services_.settings->readInt(equipmentSection, attachmentKey, 0);
}

void MainDialog::useCalibratedMirror() {
  std::optional<MirrorChoice> choice;
  if (!calibratedMirror_.empty()) {
    choice = MirrorChoice{calibratedMirror_, cameraAbove_ ? Rig::CameraAbove : Rig::CameraBelow, std::nullopt};
  }
  view_->workspace().setMirror(std::move(choice));
  view_->update();
}

void MainDialog::showAdvancedTools() {
  Workspace& workspace = view_->workspace();
  workspace.snapshotAdjustBase();
  AdvancedImageToolsDialog dialog(view_, services_.prompts, this);
  if (dialog.exec() != QDialog::Accepted) workspace.restoreAdjustBase();
  workspace.freeAdjustBase();
}

void MainDialog::lookAround() {
  const Workspace& workspace = view_->workspace();
  if (mode_ != DisplayMode::Panorama || !workspace.panorama().hasPixels()) return;
  LookAroundView view(workspace.panorama(), workspace.panoramaRows(), this);
  view.exec();
}

int MainDialog::saveCurrent(bool asMovie) {
  if (asMovie && !services_.quickTimeAvailable) {
    tell("When this application was started, QuickTime was not installed.\n\nSaving is disabled.",
         MessageIcon::Information);
    return -1;
  }
  if (asMovie && quickTimeVrVersion() < qtvrVersion21) {
    tell("QuickTime VR 2.1 or greater is required.", MessageIcon::Stop);
    return -1;
  }
  if (!view_->workspace().hasDisplayedImage()) return -1;
  saveFileType_ = 0;
  const std::string opened = openedFileName_.toStdString();
  // A video's first result is its 360-degree video; Save Image still offers its frame's panorama.
  const bool video = view_->workspace().isVideo();
  const DialogFilter filter = asMovie ? saveMovieDialogFilter() : saveImageDialogFilter(video);
  int chosenFilter = -1;
  const QString chosen =
      asMovie ? services_.fileDialogs->saveFileName(this, "Save current image to a quicktime VR movie file",
                                                    QString::fromStdString(filter.text),
                                                    QString::fromStdString(proposedName(opened, OutputKind::Movie)),
                                                    &chosenFilter)
              : services_.fileDialogs->saveFileName(this, "Save current image as a panorama image file",
                                                    QString::fromStdString(filter.text),
                                                    QString::fromStdString(video ? proposedName(opened, OutputKind::Video)
                                                                                 : proposedPictureName(opened)),
                                                    &chosenFilter);
  if (chosen.isEmpty()) return -1;
  savePath_ = chosen;
  saveFileType_ = fileTypeFromExtension(savePath_.toStdString());
  // The name decides what is written, whichever command asked; the type chosen in the
  // dialog tells a 360-degree photo from a JPEG.
  return writeSaveTarget(outputKindFor(savePath_.toStdString(), filter.kindAt(chosenFilter)));
}

int MainDialog::writeSaveTarget(OutputKind kind) {
  if (kind == OutputKind::Video) return saveVideo();
  if (kind == OutputKind::Movie) {
    if (showMovieProperties() != 1) {
      view_->update();
      return -1;
    }
  } else if (kind != OutputKind::None && mode_ != DisplayMode::Panorama) {
    return 0;
  }
  Workspace& workspace = view_->workspace();
  ExportRequest request;
  request.kind = kind;
  request.destination = savePath_.toStdString();
  request.movie = movieSettings_;
  request.progress = this;
  // A result that would be refused leaves the panorama as it is.
  if (const ExportResult refusal = exportRefusal(request, &workspace.panorama()); !refusal.ok()) {
    return tellFailure(refusal);
  }
  if (outputKindRow(kind).trimmedToMovieSize) {
    workspace.fitPanoramaToMovieSize();
    refreshInfoArea();
  }
  // What is written is the panorama of this moment, whatever changes while the file is written.
  const std::uint64_t revision = workspace.panoramaRevision();
  const PhotoMetadata metadata = workspace.panoramaMetadata();
  const ExportResult result = exportPanorama({workspace.panorama(), workspace.panoramaRows(), metadata}, request);
  if (!result.ok()) return tellFailure(result);
  savedRevision_ = revision;
  if (kind == OutputKind::Movie) services_.shell->openUrl(QUrl::fromLocalFile(savePath_));
  return 0;
}

int MainDialog::saveVideo() {
  Workspace& workspace = view_->workspace();
  if (!workspace.isVideo()) {
    tell("A 360-degree video is made from a mirror video: open one with Open Round.", MessageIcon::Information);
    return -1;
  }
  ExportRequest request;
  request.kind = OutputKind::Video;
  request.destination = savePath_.toStdString();
  VideoSaveProgress progress(this);
  request.progress = &progress;
  // Every frame is unwarped with the circle and ring of the frame on screen.
  VideoSource source{.path = workspace.videoPath()};
  source.centreX = workspace.circleCentreX();
  source.centreY = workspace.circleCentreY();
  source.ringRadius = workspace.ringRadius().value_or(workspace.roundImage().height() / 2.0);
  source.lensThread = attachmentType_ == 1;
  source.brightness = workspace.brightness();
  source.contrast = workspace.contrast();
  // A calibration chosen in Mirror Properties unwarps the video as it does the photographs.
  const std::optional<MirrorChoice> mirror = workspace.mirror();
  source.mirror = mirror ? &*mirror : nullptr;
  if (mirror) source.ringRadius = workspace.ringRadius();
  const ExportResult result = exportVideo(source, request);
  progress.endProgress();
  if (progress.cancelled() || Interruption::stopped()) return -1;  // nothing was written, as asked
  if (result.status == ExportStatus::VideoDamaged) {
    tell(QString::fromStdString(result.message()), MessageIcon::Information);
    return 0;
  }
  if (!result.ok()) return tellFailure(result);
  savedRevision_ = workspace.panoramaRevision();
  return 0;
}

int MainDialog::tellFailure(const ExportResult& result) {
  // The movie toolbox's own failures, and a name that names nothing, are told plainly.
  const bool toolboxFailed = result.status == ExportStatus::MovieFailed && result.movieCode != -1;
  const bool plain = toolboxFailed || result.status == ExportStatus::NoWriter;
  tell(QString::fromStdString(result.message()), plain ? MessageIcon::None : MessageIcon::Stop);
  return toolboxFailed ? -2 : -1;
}

int MainDialog::showMovieProperties() {
  const DibImage& panorama = view_->workspace().panorama();
  MoviePropertiesDialog dialog(services_.prompts, services_.settings, movieWidth_, movieHeight_, panorama.width(),
                               panorama.height(), this);
  const int result = dialog.exec() == QDialog::Accepted ? 1 : 2;
  // Setup Defaults may have changed the defaults, even when the dialog was then cancelled.
  movieWidth_ = dialog.defaultWidth();
  movieHeight_ = dialog.defaultHeight();
  if (result == 1) movieSettings_ = dialog.movieSettings();
  return result;
}

bool MainDialog::hasUnsavedPanorama() const {
  const Workspace& workspace = view_->workspace();
  return workspace.panorama().hasPixels() && workspace.panoramaRevision() != savedRevision_;
}

// ---- keys, closing and the About box ----

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (busy_) showBusyMessage();
    return;  // Enter never closes the window
  }
  QDialog::keyPressEvent(event);
}

RingInstructions MainDialog::ringInstructions() const {
  const Workspace& workspace = view_->workspace();
  if (workspace.ringRadius()) return RingInstructions::RingFound;
  if (workspace.lastFoundRing() || workspace.findRingOnOpen()) return RingInstructions::RingNotFound;
  return RingInstructions::PlaceByHand;
}

void MainDialog::findRingAgain() {
  if (mode_ != DisplayMode::Round) return;
  view_->workspace().locateRing();
  view_->update();
  update();
}

void MainDialog::setFindRingOnOpen(bool find) {
  view_->workspace().setFindRingOnOpen(find);
  if (services_.settings != nullptr) services_.settings->writeInt(settings::defaultsSection, settings::findRingKey, find);
  update();
}

bool MainDialog::findRingOnOpen() const { return view_->workspace().findRingOnOpen(); }

void MainDialog::accept() {
  if (busy_) showBusyMessage();
}

void MainDialog::reject() {
  if (Interruption::stopped()) {
    // The session or the user's shell ends the program: nothing is asked.
    QDialog::reject();
    return;
  }
  if (busy_) {
    if (!ask("Kelmira is busy doing another task.\n\nDo you wish to quit the application?")) return;
  } else if (hasUnsavedPanorama() && !ask("Discard the unsaved panorama?")) {
    return;
  }
  QDialog::reject();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The window manager's menu cannot take our entries, so the window's own menu carries them.
  QMenu menu(this);
  if (mode_ == DisplayMode::Round) menu.addAction(findRingAction_);
  if (mode_ == DisplayMode::Panorama) menu.addAction(actions_.value(control::LookAround));
  findRingOnOpenAction_->setChecked(findRingOnOpen());
  menu.addAction(findRingOnOpenAction_);
  menu.addSeparator();
  menu.addAction(aboutAction_);
  menu.exec(event->globalPos());
}

void MainDialog::showAbout() {
  AboutDialog about(skin_.aboutBackground(), this);
  about.exec();
  update();
}

void MainDialog::tell(const QString& text, MessageIcon icon) {
  prompts_->showMessage(text.toStdString(), icon, MessageButtons::Ok);
}

bool MainDialog::ask(const QString& text) {
  return services_.prompts == nullptr ||
         prompts_->showMessage(text.toStdString(), MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

}  // namespace kelmira
