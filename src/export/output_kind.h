#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/file_type.h"

namespace kelmira {

struct ExportRequest;
struct ExportResult;
struct PanoramaSource;
struct VideoSource;

// What a result is: a panorama picture in one of the written file formats, the
// 360-degree photo, the web page that pans it, the QuickTime VR movie, or the 360-degree
// video of a mirror video.
enum class OutputKind { None, Jpeg, Tiff, Bmp, SpherePhoto, WebPage, Movie, Video };

// Writes the panorama as the request's kind; the kind's refusals were checked before.
using PanoramaWriter = ExportResult (*)(const PanoramaSource& source, const ExportRequest& request);
// Writes a video as the request's kind.
using VideoWriter = ExportResult (*)(const VideoSource& source, const ExportRequest& request);

// Everything the program knows of one kind of result. A new kind is a new row here and
// its writer; the window's save dialog and the command line read the rows.
struct OutputKindRow {
  OutputKind kind = OutputKind::None;
  const char* name = nullptr;  // for people: "360-degree photo"
  // The file format it is written in; FileTypeNone for a kind with a format of its own.
  FileType format = FileTypeNone;
  // The names a kind without a format takes: upper-case, with the dot, the first proposed.
  std::array<std::string_view, 2> ownExtensions{};
  // A name alone asks for it (a 360-degree photo shares JPEG's names, so it must be chosen).
  bool pickedByName = false;
  // Between the photograph's name and the extension in the names proposed: "_pano", "_360".
  const char* mark = "";
  // Its own entry in the Save Image dialog; the picture kinds have their formats' entries.
  const char* dialogLabel = nullptr;
  // The panorama is trimmed to movie size (width a multiple of 96, height of 4) before it
  // is written, and keeps that size.
  bool trimmedToMovieSize = false;
  // What a command line says of a name that cannot be this kind; none for the pictures,
  // whose rule names every picture format.
  const char* namingRule = nullptr;
  PanoramaWriter write = nullptr;
  // Made from a video rather than a panorama: its writer, and its entry offered only when
  // a video is open.
  VideoWriter writeVideo = nullptr;
};

// Every kind but None, panorama pictures first (JPEG first: a batch's default).
std::span<const OutputKindRow> outputKinds();
const OutputKindRow& outputKindRow(OutputKind kind);
// A panorama picture: JPEG, TIFF or BMP.
bool isPanoramaPicture(OutputKind kind);
// The names the kind takes, upper-case with the dot.
std::array<std::string_view, 2> extensionsOf(OutputKind kind);
// The extension a result of the kind is given, lower-case and without the dot ("jpg").
std::string shortExtensionOf(OutputKind kind);
// Every name a panorama picture takes, lower-case with the dot, in the format table's order.
std::vector<std::string> pictureExtensions();

// The kind a destination's name asks for. `chosen` (a dialog's filter, a command) wins
// when the name is one of its; otherwise the first kind picked by such a name; else None.
OutputKind outputKindFor(const std::string& path, OutputKind chosen = OutputKind::None);
// The panorama picture whose short extension is `name` ("jpg", "tif", "bmp"); None when none is.
OutputKind pictureKindNamed(const std::string& name);
// What a name that cannot be `kind` is told ("a web page is named .html or .htm"); for
// the panorama pictures, every picture name.
std::string namingRule(OutputKind kind);

}  // namespace kelmira
