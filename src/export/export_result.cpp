#include "export/export_result.h"

#include <cctype>

namespace kelmira {

std::string ExportResult::message() const {
  switch (status) {
    case ExportStatus::Written:
      return {};
    case ExportStatus::NoWriter:
      return "There is a problem.  File format has not been selected.";
    case ExportStatus::ViewerMissing:
      return "The web viewer's files are missing from " + detail + ".  Please reinstall Kelmira.";
    case ExportStatus::NoPanorama:
      return "The photograph gives no panorama.";
    case ExportStatus::NoMemory:
      return "Out of memory!";
    case ExportStatus::ImageFailed:
      return errorText(imageCode);
    case ExportStatus::MovieFailed:
      return detail;
    case ExportStatus::VideoFailed:
    case ExportStatus::VideoDamaged: {
      std::string text = detail;
      if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
      return text + ".";
    }
  }
  return {};
}

std::string ExportResult::line() const {
  switch (status) {
    case ExportStatus::Written:
      return {};
    case ExportStatus::NoWriter:
      return destination + ": Kelmira writes no file of this name";
    case ExportStatus::ViewerMissing:
      return "the web viewer's files are not in " + detail + " (reinstall Kelmira)";
    case ExportStatus::NoPanorama:
      return detail + " gives no panorama (crop radius " + std::to_string(cropRadius) +
             " is too small or memory ran out)";
    case ExportStatus::NoMemory:
      return "out of memory";
    case ExportStatus::ImageFailed:
      return "cannot write " + destination + ": " + errorText(imageCode);
    case ExportStatus::MovieFailed: {
      // The window's message box takes paragraphs; a terminal line takes none.
      std::string flat;
      for (const char c : detail) {
        if (c != '\n') {
          flat += c;
        } else if (flat.empty() || flat.back() != ' ') {
          flat += ' ';
        }
      }
      return destination + ": " + flat + " (" + std::to_string(movieCode) + ")";
    }
    case ExportStatus::VideoFailed:
    case ExportStatus::VideoDamaged:
      return detail;
  }
  return {};
}

}  // namespace kelmira
