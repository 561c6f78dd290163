#include "app/about_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "base/simd_target.h"
#include "settings/settings_version.h"

namespace kelmira {

AboutDialog::AboutDialog(const QPixmap& background, QWidget* parent) : QDialog(parent), background_(background) {
  setWindowTitle("About Kelmira");
  // 280 x 186 dialog units.
  setFixedSize(420, 302);
  auto* ok = new QPushButton("OK", this);
  ok->setDefault(true);
  ok->setGeometry(330, 267, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* version = new QLabel(QString::asprintf("Version %.4f", static_cast<double>(versionNumber)), this);
  version->setObjectName("version");
  version->setGeometry(15, 267, 200, 25);
  // Which vector instructions the unwarp runs with, for bug reports.
  auto* simd = new QLabel(QString::fromStdString(simdDescription()), this);
  simd->setObjectName("simd");
  simd->setWordWrap(true);
  simd->setGeometry(15, 236, 390, 30);
}

void AboutDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), background_);
}

}  // namespace kelmira
