#include "ui/movie_properties_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_look.h"
#include "ui/dialog_input.h"
#include "ui/movie_defaults_dialog.h"
#include "settings/integer_settings.h"
#include "settings/settings_keys.h"

namespace kelmira {

namespace {

constexpr CodecQ kQualityByPosition[] = {codecLosslessQuality, codecMaxQuality, codecMinQuality,
                                         codecLowQuality,      codecNormalQuality, codecHighQuality};
constexpr std::uint32_t kCorrectionByPosition[] = {kNoCorrection, kPartialCorrection, kFullCorrection};

}  // namespace

MoviePropertiesDialog::MoviePropertiesDialog(Prompts* prompts, IntegerSettings* settings, int defaultWidth,
                                             int defaultHeight, int panoramaWidth, int panoramaHeight,
                                             QWidget* parent)
    : QDialog(parent), prompts_(prompts), settings_(settings), defaultWidth_(defaultWidth),
      defaultHeight_(defaultHeight) {
  setWindowTitle("Save Movie Properties");
  compressor_ = new QComboBox;
  compressor_->addItems({"Sorenson Codec", "Cinepak Codec", "JPEG Codec"});
  quality_ = new QComboBox;
  quality_->addItems({"Lossless Quality", "Maximum Quality", "Minimum Quality", "Low Quality", "Normal Quality",
                      "High Quality"});
  correction_ = new QComboBox;
  correction_->setEditable(true);
  // Typed text is checked against the items on Save Movie; it never becomes an item.
  correction_->setInsertPolicy(QComboBox::NoInsert);
  correction_->addItems({"No Correction", "Partial Correction", "Full Correction"});
  // Choices of an earlier save are not remembered.
  compressor_->setCurrentIndex(2);
  quality_->setCurrentIndex(4);
  correction_->setCurrentIndex(0);

  auto* panoramaWidthField = new QLineEdit(QString::number(panoramaWidth));
  auto* panoramaHeightField = new QLineEdit(QString::number(panoramaHeight));
  panoramaWidthField->setReadOnly(true);
  panoramaHeightField->setReadOnly(true);
  viewWidth_ = new QLineEdit(QString::number(defaultWidth));
  viewHeight_ = new QLineEdit(QString::number(defaultHeight));

  auto* compression = new QGroupBox("Compression");
  auto* compressionForm = new QFormLayout(compression);
  compressionForm->addRow("Compressor", compressor_);
  compressionForm->addRow("Quality", quality_);
  auto* correctionGroup = new QGroupBox("Correction Mode");
  (new QVBoxLayout(correctionGroup))->addWidget(correction_);
  auto* dimensions = new QGroupBox("Movie Dimensions");
  auto* dimensionsForm = new QFormLayout(dimensions);
  dimensionsForm->addRow("Panorama Width", panoramaWidthField);
  dimensionsForm->addRow("Panorama Height", panoramaHeightField);
  dimensionsForm->addRow("Movie Width", viewWidth_);
  dimensionsForm->addRow("Movie Height", viewHeight_);

  setupDefaults_ = new QPushButton("Setup Defaults");
  saveMovie_ = new QPushButton("Save Movie");
  saveMovie_->setDefault(true);
  auto* cancel = new QPushButton("Cancel");
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(setupDefaults_, QDialogButtonBox::ActionRole);
  buttons->addButton(saveMovie_, QDialogButtonBox::AcceptRole);
  buttons->addButton(cancel, QDialogButtonBox::RejectRole);
  connect(setupDefaults_, &QPushButton::clicked, this, &MoviePropertiesDialog::setupDefaults);
  connect(saveMovie_, &QPushButton::clicked, this, &MoviePropertiesDialog::saveMovie);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(compression);
  layout->addWidget(correctionGroup);
  layout->addWidget(dimensions);
  layout->addWidget(buttons);
  applyKelmiraLook(this);
}

void MoviePropertiesDialog::refuse(const char* text) { tellStop(prompts_, text); }

void MoviePropertiesDialog::saveMovie() {
  const int compressor = compressor_->currentIndex();
  if (compressor < 0) return refuse("Please select a valid compressor.");
  const int quality = quality_->currentIndex();
  if (quality < 0) return refuse("Please select a valid compression quality.");
  // The correction field is editable: what is typed must name one of the items.
  const int correction = correction_->findText(correction_->currentText().trimmed(), Qt::MatchFixedString);
  if (correction < 0) return refuse("Please select a valid correction mode.");
  int width = 0;
  int height = 0;
  if (!readInteger(viewWidth_, width) || !readInteger(viewHeight_, height)) return refuse("Please enter an integer.");
  if (!isMovieViewSizeAllowed(width) || !isMovieViewSizeAllowed(height)) return refuse(kMovieViewSizeRule);
  chosen_.codecType = compressor == 0 ? kSorensonCodecType : compressor == 2 ? kJPEGCodecType : kCinepakCodecType;
  chosen_.codecQuality = quality <= 5 ? kQualityByPosition[quality] : codecNormalQuality;
  chosen_.correctionMode = kCorrectionByPosition[correction];
  chosen_.viewWidth = width;
  chosen_.viewHeight = height;
  accept();
}

void MoviePropertiesDialog::setupDefaults() {
  const int width = settings_ != nullptr ? settings_->readInt(settings::defaultsSection, settings::movieWidthKey, defaultWidth_)
                                         : defaultWidth_;
  const int height = settings_ != nullptr ? settings_->readInt(settings::defaultsSection, settings::movieHeightKey, defaultHeight_)
                                          : defaultHeight_;
  MovieDefaultsDialog defaults(prompts_, width, height, this);
  if (defaults.exec() != QDialog::Accepted) return;
  defaultWidth_ = defaults.enteredWidth();
  defaultHeight_ = defaults.enteredHeight();
  if (settings_ != nullptr) {
    settings_->writeInt(settings::defaultsSection, settings::movieWidthKey, defaultWidth_);
    settings_->writeInt(settings::defaultsSection, settings::movieHeightKey, defaultHeight_);
  }
  viewWidth_->setText(QString::number(defaultWidth_));
  viewHeight_->setText(QString::number(defaultHeight_));
}

}  // namespace kelmira
