#include "ui/mirror_properties_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <cctype>
#include <cmath>

#include "base/decimal_text.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/mirror_report.h"
#include "settings/integer_settings.h"
#include "settings/settings_keys.h"
#include "ui/attachment_item_delegate.h"
#include "ui/dialog_look.h"

namespace kelmira {

namespace {

std::string degrees(double value) { return fixedDecimal(value, 1); }

std::string fileName(const std::string& path) {
  return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName().toStdString();
}

}  // namespace

std::string mirrorSummaryText(const std::string& path, Rig rig) {
  if (path.empty()) return "The attachment's own mirror.";
  const MirrorFile file = readMirrorFile(path);
  if (!file) return file.error;
  const MirrorSummary s = summarizeMirror(*file.model, rig);
  std::string text = std::string(mirrorKindName(s.kind)) + ": " + fileName(path) + "\n";
  text.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));  // "Mirror table"
  if (!s.centre) {
    text += "Centre: the crop circle's\n";
  } else {
    text += "Centre: " + fixedDecimal(s.centre->x, 1) + ", " + fixedDecimal(s.centre->y, 1);
    if (s.calibrationSize) {
      text += " (" + std::to_string(s.calibrationSize->width) + " x " + std::to_string(s.calibrationSize->height) + ")";
    }
    text += "\n";
  }
  if (!s.problem.empty()) return text + "No panorama: " + s.problem;
  return text + "Field of view: 360 x " + degrees(std::abs(s.rimElevation - s.innerElevation)) + " degrees,\nfrom " +
         degrees(std::max(s.innerElevation, s.rimElevation)) + " to " +
         degrees(std::min(s.innerElevation, s.rimElevation)) + " degrees";
}

MirrorPropertiesDialog::MirrorPropertiesDialog(IntegerSettings* settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle("Mirror Properties");
  setFixedSize(310, 440);
  list_ = new QListWidget(this);
  list_->setGeometry(11, 11, 288, 242);
  list_->setItemDelegate(new AttachmentItemDelegate(list_));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The entries' texts are kept but never shown: the delegate draws pictures and captions.
  list_->addItems({"Standard", "Thread"});

  choose_ = new QPushButton("Calibrated mirror...", this);
  choose_->setGeometry(11, 262, 196, 26);
  none_ = new QPushButton("Clear", this);
  none_->setGeometry(213, 262, 86, 26);
  summary_ = new QLabel(this);
  summary_->setGeometry(11, 296, 288, 72);
  summary_->setWordWrap(true);
  summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  summary_->setTextFormat(Qt::PlainText);
  cameraAbove_ = new QCheckBox("Camera above the mirror, looking down", this);
  cameraAbove_->setGeometry(11, 372, 288, 24);

  ok_ = new QPushButton("OK", this);
  ok_->setGeometry(50, 406, 80, 26);
  ok_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setGeometry(180, 406, 80, 26);
  connect(ok_, &QPushButton::clicked, this, &MirrorPropertiesDialog::confirm);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(choose_, &QPushButton::clicked, this, &MirrorPropertiesDialog::chooseMirror);
  connect(none_, &QPushButton::clicked, this, [this] {
    path_.clear();
    refusal_.clear();
    showMirror();
  });
  connect(cameraAbove_, &QCheckBox::toggled, this, [this] { showMirror(); });

  applyKelmiraLook(this);

  const int attachment = settings_ != nullptr ? settings_->readInt(settings::equipmentSection, settings::attachmentKey, 0) : 0;
  // Any other stored value leaves the list without a selection until the user picks one.
  if (attachment == 0 || attachment == 1) list_->setCurrentRow(attachment);
  showMirror();
  list_->setFocus();
}

void MirrorPropertiesDialog::setMirror(const std::string& path, Rig rig) {
  path_ = path;
  refusal_.clear();
  cameraAbove_->setChecked(rig == Rig::CameraAbove);
  showMirror();
}

Rig MirrorPropertiesDialog::rig() const { return cameraAbove_->isChecked() ? Rig::CameraAbove : Rig::CameraBelow; }

void MirrorPropertiesDialog::chooseMirror() {
  if (!chooser_) return;
  const std::string chosen = chooser_();
  if (chosen.empty()) return;
  // A file that cannot be used is told of and leaves the choice as it was.
  if (const MirrorFile file = readMirrorFile(chosen); !file) {
    refusal_ = file.error;
  } else {
    path_ = chosen;
    refusal_.clear();
  }
  showMirror();
}

void MirrorPropertiesDialog::showMirror() {
  none_->setEnabled(!path_.empty());
  summary_->setText(QString::fromStdString(refusal_.empty() ? mirrorSummaryText(path_, rig()) : refusal_));
}

void MirrorPropertiesDialog::confirm() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const int attachment = list_->row(selected.first());
  if (settings_ != nullptr) {
    settings_->writeInt(settings::equipmentSection, settings::mirrorKey, 0);
    settings_->writeInt(settings::equipmentSection, settings::attachmentKey, attachment);
  }
  accept();
}

}  // namespace kelmira
