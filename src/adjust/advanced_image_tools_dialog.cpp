#include "adjust/advanced_image_tools_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

#include "workspace/prompts.h"
#include "workspace/workspace_view.h"

namespace kelmira {

namespace {

QSlider* makeSlider(QWidget* parent, const QRect& geometry) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setGeometry(geometry);
  slider->setTickPosition(QSlider::TicksAbove);
  slider->setTickInterval(1);
  slider->setFocusPolicy(Qt::StrongFocus);
  return slider;
}

// A label at its place in the layout, widened when the platform's font needs more room.
void placeLabel(QWidget* parent, const char* text, int x, int y, int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, std::max(width, label->sizeHint().width()), height);
}

}  // namespace

AdvancedImageToolsDialog::AdvancedImageToolsDialog(WorkspaceView* owner, Prompts* prompts, QWidget* parent)
    : QDialog(parent), owner_(owner) {
  setWindowTitle("Advanced Image Tools");
  setFixedSize(287, 179);
  // The layout is measured for a small dialog font; the platform's default is larger.
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  brightness_ = makeSlider(this, QRect(102, 10, 146, 44));
  contrast_ = makeSlider(this, QRect(102, 52, 146, 41));
  quality_ = makeSlider(this, QRect(102, 98, 146, 41));
  placeLabel(this, "Brightness", 20, 20, 51, 13);
  placeLabel(this, "Contrast", 23, 67, 41, 13);
  placeLabel(this, "Photographic", 15, 98, 65, 13);
  placeLabel(this, "Quality", 27, 114, 33, 13);
  placeLabel(this, "-0.5", 80, 21, 18, 13);
  placeLabel(this, "-0.5", 80, 68, 18, 13);
  placeLabel(this, "0.5", 249, 21, 18, 13);
  placeLabel(this, "0.5", 249, 68, 18, 13);
  placeLabel(this, " 1", 84, 102, 18, 13);
  placeLabel(this, "100", 249, 104, 18, 13);
  accept_ = new QPushButton("Accept Changes", this);
  accept_->setGeometry(41, 145, 96, 23);
  accept_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setGeometry(153, 145, 93, 23);
  connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  if (owner_ == nullptr) {
    if (prompts != nullptr) {
      prompts->showMessage("Error creating advanced window.", MessageIcon::Stop, MessageButtons::Ok);
    }
    return;
  }
  placeBesideParent();
  quality_->setRange(1, 100);
  quality_->setValue(1);
  contrast_->setRange(0, 100);
  contrast_->setValue(50);
  brightness_->setRange(0, 100);
  brightness_->setValue(50);
  // Keys move a slider without a preview; the next mouse release shows every change.
  for (QSlider* slider : {brightness_, contrast_, quality_}) slider->installEventFilter(this);
}

double AdvancedImageToolsDialog::brightness() const { return (brightness_->value() - 50) * 0.01; }
double AdvancedImageToolsDialog::contrast() const { return (contrast_->value() - 50) * 0.01; }
int AdvancedImageToolsDialog::quality() const { return quality_->value(); }

bool AdvancedImageToolsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    // After the slider has taken the release and settled on its position.
    QMetaObject::invokeMethod(this, &AdvancedImageToolsDialog::preview, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void AdvancedImageToolsDialog::preview() {
  if (owner_ == nullptr) return;
  owner_->workspace().applyAdjustments(quality(), brightness(), contrast());
}

// Right of and below the main window's centre, so the panorama stays in sight.
void AdvancedImageToolsDialog::placeBesideParent() {
  const QWidget* window = parentWidget() != nullptr ? parentWidget()->window() : owner_->window();
  const QRect centred(window->geometry().center() - QPoint(width() / 2, height() / 2), size());
  const int h = centred.height();
  QPoint at(centred.left() + centred.width() - 70, centred.top() + h + h / 2 + 20);
  if (const QScreen* screen = window->screen(); screen != nullptr) {
    const QRect room = screen->availableGeometry();
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height() - 30)));
  }
  move(at);
}

}  // namespace kelmira
