#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

#include "app/file_dialogs.h"
#include "app/shell.h"

namespace kelmira::test {

// Answers file dialogs from a list, one answer a dialog, and notes what each showed.
class ScriptedFileDialogs : public FileDialogs {
 public:
  QString openFileName(QWidget*, const QString& title, const QString& filter) override {
    titles << title;
    filters << filter;
    initialNames << QString();
    return next();
  }
  QString saveFileName(QWidget*, const QString& title, const QString& filter, const QString& initialName,
                       int* chosenFilter) override {
    titles << title;
    filters << filter;
    initialNames << initialName;
    if (chosenFilter != nullptr) *chosenFilter = chosenFilters.isEmpty() ? 0 : chosenFilters.takeFirst();
    return next();
  }
  QString lastTitle() const { return titles.isEmpty() ? QString() : titles.last(); }
  QString lastInitialName() const { return initialNames.isEmpty() ? QString() : initialNames.last(); }
  QString lastFilter() const { return filters.isEmpty() ? QString() : filters.last(); }

  QStringList answers;
  // The filter each save dialog reports chosen (the first, when none is given).
  QList<int> chosenFilters;
  // Runs while a dialog is up, inside the command that asked for it.
  std::function<void()> whileShown;
  QStringList titles;
  QStringList filters;
  QStringList initialNames;

 private:
  QString next() {
    if (whileShown) whileShown();
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
};

class RecordingShell : public Shell {
 public:
  bool openUrl(const QUrl& url) override {
    urls << url;
    return true;
  }
  QList<QUrl> urls;
};

}  // namespace kelmira::test
