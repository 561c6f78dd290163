#include "ui/advanced_image_tools_dialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/dialog_look.h"
#include "workspace/prompts.h"
#include "ui/workspace_view.h"

namespace kelmira {

namespace {

// Between two previews while a slider is dragged: one preview of a large panorama takes
// about 20 ms, so the window keeps answering the mouse.
constexpr int kDragPreviewIntervalMs = 60;

QSlider* makeSlider(QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setTickPosition(QSlider::TicksAbove);
  slider->setTickInterval(1);
  slider->setFocusPolicy(Qt::StrongFocus);
  slider->setMinimumWidth(150);
  return slider;
}

QLabel* endLabel(const char* text, Qt::Alignment alignment) {
  auto* label = new QLabel(text);
  label->setAlignment(alignment | Qt::AlignVCenter);
  markSecondary(label);
  return label;
}

QLabel* nameLabel(const char* text) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

AdvancedImageToolsDialog::AdvancedImageToolsDialog(WorkspaceView* owner, Prompts* prompts, QWidget* parent)
    : QDialog(parent), owner_(owner) {
  setWindowTitle("Advanced Image Tools");
  brightness_ = makeSlider(this);
  contrast_ = makeSlider(this);
  quality_ = makeSlider(this);

  // One row a slider: its name, the value at its left end, the slider, the value at its right end.
  auto* sliders = new QGridLayout;
  sliders->setHorizontalSpacing(8);
  sliders->setVerticalSpacing(4);
  sliders->addWidget(nameLabel("Brightness"), 0, 0);
  sliders->addWidget(endLabel("-0.5", Qt::AlignRight), 0, 1);
  sliders->addWidget(brightness_, 0, 2);
  sliders->addWidget(endLabel("0.5", Qt::AlignLeft), 0, 3);
  sliders->addWidget(nameLabel("Contrast"), 1, 0);
  sliders->addWidget(endLabel("-0.5", Qt::AlignRight), 1, 1);
  sliders->addWidget(contrast_, 1, 2);
  sliders->addWidget(endLabel("0.5", Qt::AlignLeft), 1, 3);
  auto* qualityName = new QVBoxLayout;
  qualityName->setSpacing(0);
  qualityName->addWidget(nameLabel("Photographic"));
  qualityName->addWidget(nameLabel("Quality"));
  sliders->addLayout(qualityName, 2, 0);
  sliders->addWidget(endLabel(" 1", Qt::AlignRight), 2, 1);
  sliders->addWidget(quality_, 2, 2);
  sliders->addWidget(endLabel("100", Qt::AlignLeft), 2, 3);

  accept_ = new QPushButton("Accept Changes", this);
  accept_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(accept_);
  buttons->addWidget(cancel_);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->setSpacing(12);
  layout->addLayout(sliders);
  layout->addLayout(buttons);
  applyKelmiraLook(this);
  setFixedSize(sizeHint());

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

  dragPreview_.setSingleShot(true);
  dragPreview_.setInterval(kDragPreviewIntervalMs);
  connect(&dragPreview_, &QTimer::timeout, this, &AdvancedImageToolsDialog::preview);
  for (QSlider* slider : {brightness_, contrast_, quality_}) {
    // Keys move a slider without a preview; the next mouse release shows every change.
    slider->installEventFilter(this);
    connect(slider, &QSlider::valueChanged, this, [this, slider] {
      if (slider->isSliderDown() && !dragPreview_.isActive()) dragPreview_.start();
    });
  }
}

double AdvancedImageToolsDialog::brightness() const { return (brightness_->value() - 50) * 0.01; }
double AdvancedImageToolsDialog::contrast() const { return (contrast_->value() - 50) * 0.01; }
int AdvancedImageToolsDialog::quality() const { return quality_->value(); }

bool AdvancedImageToolsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    // After the slider has taken the release and settled on its position; the release
    // shows the settled values, so a drag preview still waiting is not needed.
    dragPreview_.stop();
    QMetaObject::invokeMethod(this, &AdvancedImageToolsDialog::preview, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void AdvancedImageToolsDialog::preview() {
  if (owner_ == nullptr) return;
  owner_->workspace().applyAdjustments(quality(), brightness(), contrast());
  ++previews_;
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
