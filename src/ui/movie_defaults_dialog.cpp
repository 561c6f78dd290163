#include "ui/movie_defaults_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/dialog_input.h"
#include "ui/dialog_look.h"
#include "movie/movie_settings.h"

namespace kelmira {

MovieDefaultsDialog::MovieDefaultsDialog(Prompts* prompts, int width, int height, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setWindowTitle("Movie Defaults");
  width_ = new QLineEdit(QString::number(width));
  height_ = new QLineEdit(QString::number(height));
  auto* form = new QFormLayout;
  form->addRow("Movie Width", width_);
  form->addRow("Movie Height", height_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &MovieDefaultsDialog::confirm);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  applyKelmiraLook(this);
}

void MovieDefaultsDialog::confirm() {
  if (!readInteger(width_, enteredWidth_) || !readInteger(height_, enteredHeight_)) {
    return tellStop(prompts_, "Please enter an integer.");
  }
  if (enteredWidth_ <= 0) return tellStop(prompts_, "Movie width must be greater than zero.");
  if (enteredHeight_ <= 0) return tellStop(prompts_, "Movie height must be greater than zero.");
  if (!isMovieViewSizeAllowed(enteredWidth_) || !isMovieViewSizeAllowed(enteredHeight_)) {
    return tellStop(prompts_, kMovieViewSizeRule);
  }
  accept();
}

}  // namespace kelmira
