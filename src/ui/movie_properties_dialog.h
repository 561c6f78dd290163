#pragma once

#include <QDialog>

#include "movie/movie_settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelmira {

class Prompts;
class IntegerSettings;

// "Save Movie Properties": compressor, quality, correction and the view size, with the
// panorama's size for reference and "Setup Defaults" for the stored default view size.
class MoviePropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  MoviePropertiesDialog(Prompts* prompts, IntegerSettings* settings, int defaultWidth, int defaultHeight,
                        int panoramaWidth, int panoramaHeight, QWidget* parent = nullptr);

  // The chosen settings, once the dialog closed with "Save Movie".
  MovieSettings movieSettings() const { return chosen_; }
  int defaultWidth() const { return defaultWidth_; }
  int defaultHeight() const { return defaultHeight_; }

  QComboBox* compressorList() const { return compressor_; }
  QComboBox* qualityList() const { return quality_; }
  QComboBox* correctionList() const { return correction_; }
  QLineEdit* movieWidthField() const { return viewWidth_; }
  QLineEdit* movieHeightField() const { return viewHeight_; }
  QPushButton* setupDefaultsButton() const { return setupDefaults_; }
  QPushButton* saveMovieButton() const { return saveMovie_; }

 private:
  void saveMovie();
  void setupDefaults();
  void refuse(const char* text);

  Prompts* prompts_;
  IntegerSettings* settings_;
  int defaultWidth_;
  int defaultHeight_;
  MovieSettings chosen_;
  QComboBox* compressor_;
  QComboBox* quality_;
  QComboBox* correction_;
  QLineEdit* viewWidth_;
  QLineEdit* viewHeight_;
  QPushButton* setupDefaults_;
  QPushButton* saveMovie_;
};

}  // namespace kelmira
