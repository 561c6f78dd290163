// A bare window around the workspace view, for trying the workspace by hand before the
// main window exists: kelmira-workspace-harness [ROUND] [--make] [--lens-thread]
#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "image/progress_sink.h"
#include "workspace/prompts.h"
#include "workspace/workspace_view.h"

namespace {

using namespace kelmira;

class MessageBoxPrompts : public Prompts {
 public:
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, "Kelmira",
                    QString::fromStdString(text),
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
  }
};

class BarProgress : public ProgressSink {
 public:
  explicit BarProgress(QProgressBar& bar) : bar_(bar) {}
  int reportProgress(std::int32_t position, std::int32_t total) override {
    bar_.setRange(0, total & 0xFFFF);
    bar_.setValue(position);
    QCoreApplication::processEvents();
    return 1;
  }
  void endProgress() override { bar_.reset(); }

 private:
  QProgressBar& bar_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Kelmira workspace");
  auto* layout = new QVBoxLayout(&window);
  auto* buttons = new QHBoxLayout;
  auto* bar = new QProgressBar;  // always there, so the view keeps its size during work
  MessageBoxPrompts prompts;
  BarProgress progress(*bar);
  auto* view = new WorkspaceView(&prompts, &progress);
  view->setMinimumSize(750, 460);
  layout->addLayout(buttons);
  layout->addWidget(view, 1);
  layout->addWidget(bar);
  Workspace& workspace = view->workspace();
  int attachment = 0;

  const auto addButton = [&](const char* label, auto action) {
    auto* button = new QPushButton(label);
    QObject::connect(button, &QPushButton::clicked, action);
    buttons->addWidget(button);
  };
  const auto filter = QStringLiteral("Images (*.bmp *.jpg *.jpeg *.tif *.tiff)");
  addButton("Open Round", [&] {
    const QString path = QFileDialog::getOpenFileName(&window, "Open Round", {}, filter);
    if (!path.isEmpty() && workspace.openRound(path.toStdString()) == 1) view->refreshDisplay();
  });
  addButton("Open Pano", [&] {
    const QString path = QFileDialog::getOpenFileName(&window, "Open Pano", {}, filter);
    if (!path.isEmpty()) workspace.openPanorama(path.toStdString());
  });
  addButton("Make Pano", [&] {
    if (workspace.makePanorama(attachment, 0) == 0) view->refreshDisplay();
  });
  addButton("Crop", [&] { workspace.cropPanorama(); });
  addButton("Undo", [&] { workspace.undo(); });
  addButton("Back to Round", [&] { workspace.backToRound(); });
  addButton("New", [&] {
    workspace.reset(true);
    view->refreshDisplay();
  });

  QStringList arguments = app.arguments().mid(1);
  attachment = arguments.removeAll("--lens-thread") > 0 ? 1 : 0;
  const bool make = arguments.removeAll("--make") > 0;
  window.show();
  if (!arguments.isEmpty() && workspace.openRound(arguments.first().toStdString()) == 1) {
    view->refreshDisplay();
    if (make && workspace.makePanorama(attachment, 0) == 0) view->refreshDisplay();
  }
  return app.exec();
}
