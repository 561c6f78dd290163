#include "sphere/viewer_page.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/decimal_text.h"
#include "base/replacement_file.h"
#include "sphere/sha256.h"

namespace kelmira {

namespace {

bool readWhole(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  text = bytes.str();
  return file.good() || file.eof();
}

std::string base64(const std::string& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t a = static_cast<std::uint8_t>(bytes[i]);
    const std::uint32_t b = i + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 1]) : 0;
    const std::uint32_t c = i + 2 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 2]) : 0;
    const std::uint32_t triple = (a << 16) | (b << 8) | c;
    out += digits[(triple >> 18) & 63];
    out += digits[(triple >> 12) & 63];
    out += i + 1 < bytes.size() ? digits[(triple >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? digits[triple & 63] : '=';
  }
  return out;
}

std::string htmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A JavaScript string literal that cannot end the script element it stands in.
std::string scriptString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '<' || c == '>' || c == '&' || byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The viewer puts its byline into the page with String.replace, which reads "$" as the
// start of a pattern: "$$" stands for one.
std::string bylineText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '$') out += '$';
  }
  return out;
}

// A point in every locale: a comma would be a syntax error in the script.
std::string number(double value) { return fixedDecimal(value, 4); }

// How the page's Content-Security-Policy names a script it lets run.
std::string scriptHash(const std::string& script) {
  const std::array<std::uint8_t, 32> digest = sha256(script);
  return "'sha256-" + base64(std::string(digest.begin(), digest.end())) + "'";
}

}  // namespace

bool readViewerFiles(const std::string& folder, ViewerFiles& files) {
  const std::filesystem::path at(folder);
  return readWhole((at / "pannellum.js").string(), files.script) &&
         readWhole((at / "pannellum.css").string(), files.styles) && !files.script.empty();
}

std::string viewerCaption(const PhotoMetadata& metadata) {
  const std::string place = placeText(metadata);
  if (metadata.captureTime.empty() || place.empty()) return metadata.captureTime + place;
  return metadata.captureTime + "\n" + place;
}

std::string makeViewerPage(const std::string& jpegBytes, const SphereFrame& frame, const std::string& title,
                           const ViewerFiles& viewer, const std::string& caption) {
  const double vertical = frame.verticalAngle();
  const double middle = frame.centreElevation();
  std::ostringstream setUp;
  setUp << "\nvar vertical = " << number(vertical) << ", middle = " << number(middle) << ";\n"
        // The widest view that shows only the photo: its height must not pass the photo's
        // band of elevations, and how wide that is depends on the window's shape.
        << "function widestView() {\n"
           "  var box = document.getElementById('panorama');\n"
           "  return 360 * Math.atan(Math.tan(vertical / 360 * Math.PI) * box.clientWidth / box.clientHeight) / Math.PI;\n"
           "}\n"
           "var viewer = pannellum.viewer('panorama', {\n"
           "  type: 'equirectangular',\n"
           "  panorama: 'data:image/jpeg;base64,"
        << base64(jpegBytes) << "',\n"
        << "  title: " << scriptString(title) << ",\n";
  if (!caption.empty()) {
    // The viewer's byline, under the title, as it stands: no "by".
    setUp << "  author: " << scriptString(bylineText(caption)) << ",\n"
          << "  strings: { bylineLabel: '%s' },\n";
  }
  // The viewer writes the title and byline into the page as markup unless told to escape them
  // (and then turns line breaks into its own).
  setUp << "  escapeHTML: true,\n"
           "  autoLoad: true,\n"
           "  haov: 360,\n"
           "  vaov: vertical,\n"
           "  vOffset: middle,\n"
           "  minPitch: middle - vertical / 2,\n"
           "  maxPitch: middle + vertical / 2,\n"
           "  pitch: middle,\n"
           "  hfov: Math.min(100, widestView()),\n"
           "  avoidShowingBackground: true\n"
           "});\n"
           "window.addEventListener('resize', function () { viewer.setHfov(Math.min(viewer.getHfov(), widestView()), false); });\n";
  const std::string viewerScript = "\n" + viewer.script + "\n";
  const std::string pageScript = setUp.str();

  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          // Nothing may be fetched from anywhere: the page carries everything it shows. Only
          // its own two scripts run, named by their digests: no inline handler, no script
          // anything on the page could make.
          "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data: blob:; "
          "connect-src data:; style-src 'unsafe-inline'; script-src "
       << scriptHash(viewerScript) << " " << scriptHash(pageScript) << "; base-uri 'none'; form-action 'none'\">\n"
       << "<title>" << htmlEscaped(title) << "</title>\n"
       << "<style>\n" << viewer.styles << "\n"
       << "html, body { margin: 0; height: 100%; background: #121922; }\n"
          "#panorama { width: 100%; height: 100%; }\n</style>\n"
       << "<script>" << viewerScript << "</script>\n</head>\n<body>\n<div id=\"panorama\"></div>\n<script>"
       << pageScript << "</script>\n</body>\n</html>\n";
  return page.str();
}

ImageErrorCode saveViewerPage(const DibImage& panorama, const RowElevations& rows, const std::string& path,
                              const std::string& title, int quality, const ViewerFiles& viewer,
                              ProgressSink* progress, SphereFrame* made, const PhotoMetadata& metadata) {
  DibImage photo;
  SphereFrame frame;
  if (const ImageErrorCode code = makeSpherePhotoToSave(panorama, rows, photo, frame, made); code != ImageError::None) {
    return code;
  }
  // The photo is made as a file first, the very bytes a 360-degree photo would have.
  ReplacementFile scratch(path + ".jpg");
  if (!scratch.created()) return ImageError::FileOpen;
  if (const ImageErrorCode code =
          photo.saveAsJpeg(scratch.temporaryPath(), quality, spherePhotoMetadata(photo, frame, metadata), progress);
      code != ImageError::None) {
    return code;
  }
  std::string jpeg;
  if (!readWhole(scratch.temporaryPath(), jpeg)) return ImageError::FileRead;
  ReplacementFile page(path);
  if (!page.created()) return ImageError::FileOpen;
  {
    std::ofstream out(page.temporaryPath(), std::ios::binary | std::ios::trunc);
    out << makeViewerPage(jpeg, frame, title, viewer, viewerCaption(metadata));
    if (!out.flush()) return ImageError::FileWrite;
  }
  return page.commit() ? ImageError::None : ImageError::FileWrite;
}

}  // namespace kelmira
