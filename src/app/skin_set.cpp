#include "app/skin_set.h"

#include "app/control_ids.h"
#include "workspace/prompts.h"

// The pictures are compiled into the application library; a static library's resources
// must be registered by hand or the linker leaves them out.
static void registerSkinResources() { Q_INIT_RESOURCE(kelmira); }

namespace kelmira {

const ButtonArt kButtonArt[17] = {
    {control::MakePano, "make-pano", "Make Pano"},
    {control::SaveMovie, "save-movie", "Save Movie"},
    {control::SaveImage, "save-image", "Save Image"},
    {control::OpenRound, "open-round", "Open Round"},
    {control::OpenPano, "open-pano", "Open Pano"},
    {control::MirrorSelection, "mirror-selection", "Mirror Selection"},
    {control::Crop, "crop", "Crop"},
    {control::NewRestart, "new-restart", "New/Re-Start"},
    {control::BackToRound, "back-to-round", "Back to Round"},
    {control::Help, "help", "Help"},
    {control::Undo, "undo", "Undo"},
    {control::Up, "up", "up"},
    {control::Down, "down", "down"},
    {control::Left, "left", "left"},
    {control::Right, "right", "right"},
    {control::Advanced, "advanced", "Advanced"},
    {control::LookAround, "look-around", "Look Around"},
};

namespace {

bool loadPicture(QPixmap& into, const QString& file) {
  QPixmap picture(":/skin/" + file);
  if (picture.isNull()) return false;
  into = picture;
  return true;
}

}  // namespace

bool SkinSet::loadTrueColorSkin(Prompts* prompts) {
  registerSkinResources();
  const auto unavailable = [prompts] {
    if (prompts != nullptr) {
      prompts->showMessage("A required resource was unavailable.", MessageIcon::Stop, MessageButtons::Ok);
    }
    return false;
  };
  for (const ButtonArt& art : kButtonArt) {
    const QString stem = QString("button-%1-").arg(art.name);
    if (!loadPicture(normal_[art.controlId], stem + "normal.png") ||
        !loadPicture(pressed_[art.controlId], stem + "pressed.png")) {
      return unavailable();
    }
  }
  loadPicture(panorama_, "background-panorama.png");
  loadPicture(round_, "background-round.png");
  if (!loadPicture(start_, "background-start.png")) return unavailable();
  loadPicture(about_, "about.png");
  icon_ = QIcon();
  icon_.addFile(":/skin/icon-32.png", QSize(32, 32));
  icon_.addFile(":/skin/icon-16.png", QSize(16, 16));
  return true;
}

const QPixmap& SkinSet::background(DisplayMode mode) const {
  switch (mode) {
    case DisplayMode::Panorama: return panorama_;
    case DisplayMode::Round: return round_;
    default: return start_;
  }
}

}  // namespace kelmira
