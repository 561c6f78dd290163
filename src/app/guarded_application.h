#pragma once

#include <QApplication>

namespace kelmira {

// The program's QApplication. An exception must never unwind through Qt's event loop
// (that ends the program with the user's work): one that reaches it is told and the
// event is dropped, so the window lives on.
class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kelmira
