#pragma once

#include <QIcon>
#include <QMap>
#include <QPixmap>

#include "app/display_mode.h"

namespace kelmira {

class Prompts;

struct ButtonArt {
  int controlId;
  const char* name;   // picture file stem: button-<name>-normal.png
  const char* label;  // the command's name, painted into its pictures
};

// The seventeen buttons in the order their pictures load.
extern const ButtonArt kButtonArt[17];

// The window's pictures: three backgrounds, a picture pair per button, the About
// background and the icon. This platform has only true-colour displays, so only the
// true-colour set exists.
class SkinSet {
 public:
  // Loads from the program's resources. A picture that is missing stops the load there
  // with "A required resource was unavailable."; what loaded before stays.
  bool loadTrueColorSkin(Prompts* prompts);

  const QPixmap& background(DisplayMode mode) const;
  QPixmap normalPicture(int controlId) const { return normal_.value(controlId); }
  QPixmap pressedPicture(int controlId) const { return pressed_.value(controlId); }
  const QPixmap& aboutBackground() const { return about_; }
  const QIcon& windowIcon() const { return icon_; }

 private:
  QMap<int, QPixmap> normal_;
  QMap<int, QPixmap> pressed_;
  QPixmap panorama_;
  QPixmap round_;
  QPixmap start_;
  QPixmap about_;
  QIcon icon_;
};

}  // namespace kelmira
