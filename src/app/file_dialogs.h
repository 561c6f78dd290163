#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kelmira {

// The open and save dialogs; tests answer them without a window.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // `filter` is written the Windows way: "Label|*.A;*.B|Label|*.C||". Empty on Cancel.
  virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
  // `chosenFilter`, when given, receives the position of the filter the user left chosen.
  virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& initialName, int* chosenFilter = nullptr) = 0;
};

// Qt's own dialogs. The folder of the last file chosen is where the next dialog starts.
class QtFileDialogs : public FileDialogs {
 public:
  QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
  QString saveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& initialName,
                       int* chosenFilter = nullptr) override;

 private:
  QString lastFolder_;
};

// "Label|*.BMP;*.JPG|..." as Qt name filters whose patterns match in any letter case
// ("*.BMP" also shows b.bmp); "*.*" shows every file, as it does on Windows.
QStringList qtNameFilters(const QString& windowsFilter);

}  // namespace kelmira
