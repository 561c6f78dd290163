#pragma once

#include <QDialog>

class QLineEdit;

namespace kelmira {

class Prompts;

// "Movie Defaults": the default view size kept in the settings.
class MovieDefaultsDialog : public QDialog {
  Q_OBJECT

 public:
  MovieDefaultsDialog(Prompts* prompts, int width, int height, QWidget* parent = nullptr);
  int enteredWidth() const { return enteredWidth_; }
  int enteredHeight() const { return enteredHeight_; }
  QLineEdit* widthField() const { return width_; }
  QLineEdit* heightField() const { return height_; }

 private:
  void confirm();

  Prompts* prompts_;
  int enteredWidth_ = 0;
  int enteredHeight_ = 0;
  QLineEdit* width_;
  QLineEdit* height_;
};

}  // namespace kelmira
