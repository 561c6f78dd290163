#include "app/guarded_application.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace kelmira {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  QString problem;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    problem = QString::fromLocal8Bit(error.what());
  } catch (...) {
    problem = "an unknown error";
  }
  std::fprintf(stderr, "kelmira: a command stopped: %s\n", problem.toLocal8Bit().constData());
  QMessageBox::critical(nullptr, "Kelmira", "The command stopped because of an unexpected problem:\n\n" + problem);
  return false;
}

}  // namespace kelmira
