#include "app/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace kelmira {

namespace {

QString anyCasePattern(const QString& pattern) {
  if (pattern == "*.*") return "*";
  QString result;
  for (const QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      result += QString("[%1%2]").arg(c.toUpper(), c.toLower());
    } else {
      result += c;
    }
  }
  return result;
}

// Options first: changing them later re-applies the filters, and a save dialog then
// gives the proposed name the first filter's extension.
void setOptions(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The labels keep their own text; the any-case patterns behind them stay out of sight.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
}

QString runDialog(QFileDialog& dialog, QString& lastFolder) {
  if (!lastFolder.isEmpty()) dialog.setDirectory(lastFolder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  lastFolder = QFileInfo(chosen).absolutePath();
  return chosen;
}

// The position of the entry the dialog names as chosen. With the details hidden, Qt names it
// as it shows it: the filter without its last group of patterns.
int entryOf(const QStringList& filters, const QString& selected) {
  for (int i = 0; i < filters.size(); ++i) {
    const QString& filter = filters[i];
    if (filter == selected || filter.left(filter.lastIndexOf(" (")).simplified() == selected.simplified()) return i;
  }
  return -1;
}

}  // namespace

QStringList qtNameFilters(const QString& windowsFilter) {
  const QStringList parts = windowsFilter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      // The plain lower-case pattern leads: a save dialog takes its extension for the name
      // when the user picks this filter.
      const QString anyCase = anyCasePattern(pattern);
      const QString plain = anyCase == "*" ? anyCase : pattern.toLower();
      patterns << plain;
      if (anyCase != plain) patterns << anyCase;
    }
    filters << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
  }
  return filters;
}

QString QtFileDialogs::openFileName(QWidget* parent, const QString& title, const QString& filter) {
  QFileDialog dialog(parent, title);
  setOptions(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(qtNameFilters(filter));
  return runDialog(dialog, lastFolder_);
}

QString QtFileDialogs::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& initialName, int* chosenFilter) {
  QFileDialog dialog(parent, title);
  setOptions(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = qtNameFilters(filter);
  dialog.setNameFilters(filters);
  if (!lastFolder_.isEmpty()) dialog.setDirectory(lastFolder_);
  dialog.selectFile(initialName);
  const QString chosen = runDialog(dialog, lastFolder_);
  if (chosenFilter != nullptr) *chosenFilter = entryOf(filters, dialog.selectedNameFilter());
  return chosen;
}

}  // namespace kelmira
