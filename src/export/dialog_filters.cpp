#include "export/dialog_filters.h"

#include <cctype>

#include "image/file_format.h"
#include "video/video_facts.h"

namespace kelmira {

namespace {

std::string patternOf(std::string_view extension) {
  std::string pattern("*");
  pattern += extension;
  return pattern;
}

OutputKind pictureKindOf(FileType type) {
  for (const OutputKindRow& row : outputKinds()) {
    if (isPanoramaPicture(row.kind) && row.format == type) return row.kind;
  }
  return OutputKind::None;
}

void add(DialogFilter& filter, const std::string& label, const std::string& patterns, OutputKind kind) {
  filter.text += label + "|" + patterns + "|";
  filter.kinds.push_back(kind);
}

void addAllFiles(DialogFilter& filter) {
  add(filter, "All files (*.*)", "*.*", OutputKind::None);
  filter.text += "|";
}

// "Image Files (bmp,jpg,tif)" with the patterns of every format offered, then each of them.
void addOfferedFormats(DialogFilter& filter, bool writable, const std::string& groupPrefix) {
  std::string names;
  std::string patterns;
  std::vector<const FileFormat*> offered;
  for (const FileFormat& format : fileFormats()) {
    const bool can = writable ? format.encode != nullptr : format.decode != nullptr;
    if (format.dialogLabel == nullptr || !can) continue;
    offered.push_back(&format);
    if (!names.empty()) {
      names += ",";
      patterns += ";";
    }
    names += shortExtension(format);
    patterns += patternOf(format.extensions[0]);
  }
  add(filter, "Image Files (" + names + ")", groupPrefix + patterns, OutputKind::None);
  for (const FileFormat* format : offered) {
    add(filter, format->dialogLabel, patternOf(format->extensions[0]), pictureKindOf(format->type));
  }
}

}  // namespace

DialogFilter openDialogFilter(bool videos) {
  DialogFilter filter;
  addOfferedFormats(filter, false, "");
  if (videos) {
    std::string names;
    std::string patterns;
    for (const std::string_view extension : videoExtensions()) {
      if (!names.empty()) {
        names += ",";
        patterns += ";";
      }
      names += extension;
      std::string upper(extension);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      patterns += "*." + upper;
    }
    add(filter, "Videos (" + names + ")", patterns, OutputKind::None);
  }
  addAllFiles(filter);
  return filter;
}

DialogFilter openPanoramaDialogFilter() {
  DialogFilter filter;
  addOfferedFormats(filter, false, "");
  add(filter, fileFormatOf(FileTypeMovie)->dialogLabel, patternOf(extensionsOf(OutputKind::Movie)[0]),
      OutputKind::None);
  addAllFiles(filter);
  return filter;
}

DialogFilter saveImageDialogFilter(bool video) {
  DialogFilter filter;
  // The group's pattern text has always carried its label.
  addOfferedFormats(filter, true, "Image Files ");
  for (const OutputKindRow& row : outputKinds()) {
    if (row.dialogLabel == nullptr || (row.writeVideo != nullptr && !video)) continue;
    add(filter, row.dialogLabel, patternOf(extensionsOf(row.kind)[0]), row.kind);
  }
  addAllFiles(filter);
  return filter;
}

DialogFilter saveMovieDialogFilter() {
  DialogFilter filter;
  add(filter, fileFormatOf(FileTypeMovie)->dialogLabel, patternOf(extensionsOf(OutputKind::Movie)[0]),
      OutputKind::Movie);
  addAllFiles(filter);
  return filter;
}

}  // namespace kelmira
