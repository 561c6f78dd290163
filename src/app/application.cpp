#include "app/application.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "app/display_mode.h"
#include "app/main_dialog.h"
#include "settings/settings_store.h"
#include "settings/settings_version.h"
#include "movie/quicktime/movie_runtime.h"
#include "workspace/prompts.h"

namespace kelmira {

std::string programSettingsPath() {
  // The executable's own name, not applicationName(), which start-up code may set.
  QString application = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (application.isEmpty()) application = QStringLiteral("kelmira");
  return userSettingsPath(application.toStdString());
}

void Application::startUp() {
  quickTimeAvailable_ = initializeQtml() == noErr;
  if (!quickTimeAvailable_) {
    prompts_.showMessage(
        "QuickTime not available.  Please install QuickTime 4.0 or later.\n\nWithout Quicktime, movies will not "
        "play or be saved.",
        MessageIcon::Stop, MessageButtons::Ok);
  }
  if (quickTimeVrVersion() < qtvrVersion21) {
    prompts_.showMessage("QuickTime VR 2.1 or greater is required.", MessageIcon::Stop, MessageButtons::Ok);
  }
  enterMovies();  // without the runtime this only fails, which changes nothing
  // A settings file that cannot be read is told of once, whenever it is found so.
  settings_.setProblemListener([this](const std::string& message) {
    prompts_.showMessage(message, MessageIcon::Stop, MessageButtons::Ok);
  });
  reconcileSettingsVersion(settings_);
}

void Application::runMainWindow(MainDialogServices services, const std::string& file) {
  services.prompts = &prompts_;
  services.settings = &settings_;
  services.quickTimeAvailable = quickTimeAvailable_;
  MainDialog window(services);
  const QString reportPath = qEnvironmentVariable("KELMIRA_REPORT_WINDOW");
  if (!file.empty() || !reportPath.isEmpty()) {
    // Once the window is up and running its loop.
    QTimer::singleShot(0, &window, [&] {
      if (!file.empty()) window.openRoundFile(file);
      if (reportPath.isEmpty()) return;
      QFile report(reportPath);
      if (report.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const char* mode = window.displayMode() == DisplayMode::Round      ? "round"
                           : window.displayMode() == DisplayMode::Panorama ? "panorama"
                                                                            : "start";
        report.write(QString("mode %1\ncaption %2\n").arg(mode, window.infoText()).toUtf8());
      }
      window.done(0);
    });
  }
  window.exec();
}

void Application::shutDown() {
  settings_.setProblemListener(nullptr);
  if (!quickTimeAvailable_) return;
  exitMovies();
  terminateQtml();
}

}  // namespace kelmira
