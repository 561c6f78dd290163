#include "ui/dialog_look.h"

#include <QLinearGradient>
#include <QPalette>
#include <QWidget>

#include "ui/skin_colours.h"

namespace kelmira {

namespace {

QString rgb(const QColor& colour) { return colour.name(QColor::HexRgb); }

QString faceGradient(const QColor (&stops)[4]) {
  return QString("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:0.48 %2, stop:0.52 %3, stop:1 %4)")
      .arg(rgb(stops[0]), rgb(stops[1]), rgb(stops[2]), rgb(stops[3]));
}

QPalette skinPalette() {
  QPalette palette;
  QLinearGradient backdrop(0, 0, 0, 1);
  backdrop.setCoordinateMode(QGradient::ObjectMode);
  backdrop.setColorAt(0, skin::backdropTop);
  backdrop.setColorAt(1, skin::backdropBottom);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setBrush(group, QPalette::Window, QBrush(backdrop));
    palette.setColor(group, QPalette::WindowText, skin::textLight);
    palette.setColor(group, QPalette::Base, skin::lcdBottom);
    palette.setColor(group, QPalette::AlternateBase, skin::lcdTop);
    palette.setColor(group, QPalette::Text, skin::buttonInk);
    palette.setColor(group, QPalette::PlaceholderText, skin::textDim);
    palette.setColor(group, QPalette::Button, skin::buttonFace[2]);
    palette.setColor(group, QPalette::ButtonText, skin::buttonInk);
    palette.setColor(group, QPalette::Highlight, skin::accent);
    palette.setColor(group, QPalette::HighlightedText, Qt::white);
    palette.setColor(group, QPalette::Light, skin::buttonFace[0]);
    palette.setColor(group, QPalette::Midlight, skin::buttonFace[1]);
    palette.setColor(group, QPalette::Mid, skin::textDim);
    palette.setColor(group, QPalette::Dark, skin::trayTop);
    palette.setColor(group, QPalette::Shadow, skin::edgeDark);
    palette.setColor(group, QPalette::ToolTipBase, skin::lcdBottom);
    palette.setColor(group, QPalette::ToolTipText, skin::buttonInk);
  }
  palette.setBrush(QPalette::Disabled, QPalette::Window, QBrush(backdrop));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, skin::textDim);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, skin::textDim);
  palette.setColor(QPalette::Disabled, QPalette::Text, skin::textDim);
  return palette;
}

QString buttonStyle() {
  return QString(
             "QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
             " padding: 4px 14px; font-weight: bold; min-height: 18px; }"
             "QPushButton:pressed { background: %4; color: white; border-color: %5; }"
             "QPushButton:default { border: 2px solid %6; }"
             "QPushButton:focus { outline: none; border: 2px solid %6; }"
             "QGroupBox { color: %7; font-weight: bold; border: 1px solid %8; border-radius: 6px;"
             " margin-top: 10px; padding-top: 6px; }"
             "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
             "QLabel, QCheckBox { color: %9; }"
             "QLabel[secondary=\"true\"] { color: %7; }")
      .arg(faceGradient(skin::buttonFace), rgb(skin::buttonInk), rgb(skin::buttonEdge),
           faceGradient(skin::pressedFace), rgb(skin::pressedEdge), rgb(skin::accent), rgb(skin::textDim),
           rgb(skin::edgeDark), rgb(skin::textLight));
}

}  // namespace

void applyKelmiraLook(QWidget* dialog) {
  QFont font(skin::fontFamily);
  font.setPixelSize(12);
  dialog->setFont(font);
  dialog->setPalette(skinPalette());
  dialog->setAutoFillBackground(true);
  dialog->setStyleSheet(buttonStyle());
}

void markSecondary(QWidget* label) { label->setProperty("secondary", true); }

}  // namespace kelmira
