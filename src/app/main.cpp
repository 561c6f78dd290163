// Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.
#include "app/application.h"
#include "app/file_dialogs.h"
#include "app/guarded_application.h"
#include "app/main_dialog.h"
#include "app/message_box_prompts.h"
#include "settings/settings_store.h"
#include "app/shell.h"

int main(int argc, char** argv) {
  kelmira::GuardedApplication qtApplication(argc, argv);
  kelmira::MessageBoxPrompts prompts;
  kelmira::SettingsStore settings(kelmira::programSettingsPath());
  kelmira::QtFileDialogs fileDialogs;
  kelmira::DesktopShell shell;

  kelmira::Application application(prompts, settings);
  application.startUp();
  kelmira::MainDialogServices services;
  services.fileDialogs = &fileDialogs;
  services.shell = &shell;
  application.runMainWindow(services);
  application.shutDown();
  return 0;
}
