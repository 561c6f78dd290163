// Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.
#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/file_dialogs.h"
#include "app/guarded_application.h"
#include "app/main_dialog.h"
#include "app/message_box_prompts.h"
#include "app/shell.h"
#include "base/interruption.h"
#include "settings/settings_store.h"

int main(int argc, char** argv) {
  // Help and the version need no display.
  if (const std::optional<int> answered = kelmira::answerHelpOrVersion(argc, argv)) return *answered;
  // SIGINT, SIGTERM or SIGHUP (the session ending) close the window in order: a save under
  // way stops and takes its temporary with it.
  kelmira::Interruption::watch("kelmira", [](int) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(application, [] { QApplication::closeAllWindows(); }, Qt::QueuedConnection);
    }
  });
  // Qt takes its options only from before a "--"; what follows is files, as bytes.
  int qtArgc = kelmira::argumentsBeforeFiles(argc, argv);
  const std::vector<std::string> files(argv + qtArgc, argv + argc);
  kelmira::GuardedApplication qtApplication(qtArgc, argv);
  // The desktop entry the running window belongs to (its icon and name on Wayland).
  QGuiApplication::setDesktopFileName(QStringLiteral("com.torbek.Kelmira"));
  std::vector<std::string> arguments(argv, argv + qtArgc);
  arguments.insert(arguments.end(), files.begin(), files.end());
  const kelmira::WindowArguments wanted = kelmira::readWindowArguments(arguments);
  if (!wanted.error.empty()) {
    std::fprintf(stderr, "kelmira: %s\n", wanted.error.c_str());
    return 2;
  }

  kelmira::MessageBoxPrompts prompts;
  kelmira::SettingsStore settings(kelmira::programSettingsPath());
  kelmira::QtFileDialogs fileDialogs;
  kelmira::DesktopShell shell;

  kelmira::Application application(prompts, settings);
  application.startUp();
  kelmira::MainDialogServices services;
  services.fileDialogs = &fileDialogs;
  services.shell = &shell;
  application.runMainWindow(services, wanted.file);
  application.shutDown();
  return kelmira::Interruption::exitStatus();
}
