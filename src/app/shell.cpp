#include "app/shell.h"

#include <QDesktopServices>

namespace kelmira {

bool DesktopShell::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace kelmira
