#include "export/output_kind.h"

#include <cctype>

#include "export/panorama_writers.h"
#include "export/video_export.h"
#include "image/file_format.h"

namespace kelmira {

namespace {

using namespace std::string_view_literals;

constexpr OutputKindRow kKinds[] = {
    {.kind = OutputKind::Jpeg,
     .name = "JPEG",
     .format = FileTypeJpeg,
     .pickedByName = true,
     .mark = "_pano",
     .trimmedToMovieSize = true,
     .write = writePanoramaPicture},
    {.kind = OutputKind::Tiff,
     .name = "TIFF",
     .format = FileTypeTiff,
     .pickedByName = true,
     .mark = "_pano",
     .trimmedToMovieSize = true,
     .write = writePanoramaPicture},
    {.kind = OutputKind::Bmp,
     .name = "Windows bitmap",
     .format = FileTypeBmp,
     .pickedByName = true,
     .mark = "_pano",
     .trimmedToMovieSize = true,
     .write = writePanoramaPicture},
    {.kind = OutputKind::SpherePhoto,
     .name = "360-degree photo",
     .format = FileTypeJpeg,
     .mark = "_360",
     .dialogLabel = "360\u00b0 photo (*.jpg)",
     .namingRule = "a 360-degree photo is a JPEG: name it .jpg or .jpeg",
     .write = writeSpherePhoto},
    {.kind = OutputKind::WebPage,
     .name = "web page",
     .ownExtensions = {".HTML"sv, ".HTM"sv},
     .pickedByName = true,
     .mark = "_360",
     .dialogLabel = "Web page (*.html)",
     .namingRule = "a web page is named .html or .htm",
     .write = writeWebPage},
    {.kind = OutputKind::Movie,
     .name = "QuickTime VR movie",
     .format = FileTypeMovie,
     .pickedByName = true,
     .trimmedToMovieSize = true,
     .namingRule = "a movie is named .mov",
     .write = writeMovie},
    {.kind = OutputKind::Video,
     .name = "360-degree video",
     .ownExtensions = {".MP4"sv},
     .pickedByName = true,
     .mark = "_360",
     .dialogLabel = "360-degree video (*.mp4)",
     .namingRule = "a 360-degree video is named .mp4",
     .writeVideo = writeSphereVideo},
};

constexpr OutputKindRow kNone{.name = "nothing"};

bool nameFits(const std::string& path, OutputKind kind) {
  for (const std::string_view extension : extensionsOf(kind)) {
    if (hasExtension(path, extension)) return true;
  }
  return false;
}

}  // namespace

std::span<const OutputKindRow> outputKinds() { return kKinds; }

const OutputKindRow& outputKindRow(OutputKind kind) {
  for (const OutputKindRow& row : kKinds) {
    if (row.kind == kind) return row;
  }
  return kNone;
}

bool isPanoramaPicture(OutputKind kind) {
  return kind == OutputKind::Jpeg || kind == OutputKind::Tiff || kind == OutputKind::Bmp;
}

std::array<std::string_view, 2> extensionsOf(OutputKind kind) {
  const OutputKindRow& row = outputKindRow(kind);
  const FileFormat* format = fileFormatOf(row.format);
  return format != nullptr ? format->extensions : row.ownExtensions;
}

std::string shortExtensionOf(OutputKind kind) {
  std::string extension(extensionsOf(kind)[0]);
  if (!extension.empty()) extension.erase(0, 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

OutputKind outputKindFor(const std::string& path, OutputKind chosen) {
  if (nameFits(path, chosen)) return chosen;
  for (const OutputKindRow& row : kKinds) {
    if (row.pickedByName && nameFits(path, row.kind)) return row.kind;
  }
  return OutputKind::None;
}

OutputKind pictureKindNamed(const std::string& name) {
  for (const OutputKindRow& row : kKinds) {
    if (isPanoramaPicture(row.kind) && shortExtensionOf(row.kind) == name) return row.kind;
  }
  return OutputKind::None;
}

std::vector<std::string> pictureExtensions() {
  std::vector<std::string> names;
  for (const FileFormat& format : fileFormats()) {
    if (format.encode == nullptr) continue;
    for (const std::string_view extension : format.extensions) {
      if (extension.empty()) continue;
      std::string& name = names.emplace_back(extension);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return names;
}

std::string namingRule(OutputKind kind) {
  if (const char* rule = outputKindRow(kind).namingRule; rule != nullptr) return rule;
  const std::vector<std::string> names = pictureExtensions();
  std::string rule = "the output must end in ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) rule += i + 1 == names.size() ? " or " : ", ";
    rule += names[i];
  }
  return rule;
}

}  // namespace kelmira
