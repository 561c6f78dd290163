// Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.
#include <QGuiApplication>
#include <QStringList>

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
#include "settings/settings_store.h"

int main(int argc, char** argv) {
  // Help and the version need no display.
  if (const std::optional<int> answered = kelmira::answerHelpOrVersion(argc, argv)) return *answered;
  kelmira::GuardedApplication qtApplication(argc, argv);
  // The desktop entry the running window belongs to (its icon and name on Wayland).
  QGuiApplication::setDesktopFileName(QStringLiteral("com.torbek.Kelmira"));
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
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
  return 0;
}
