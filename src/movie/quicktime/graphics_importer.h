#pragma once

#include <string>

#include "image/dib_image.h"
#include "movie/quicktime/gworld.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// A graphics importer for BMP files: it reads the picture through the image layer and
// draws it, scaled to its bounds rectangle, into an offscreen world. The whole picture
// is read once, when the importer is opened.
class GraphicsImporter {
 public:
  GraphicsImporter(const GraphicsImporter&) = delete;
  GraphicsImporter& operator=(const GraphicsImporter&) = delete;

  const Rect& naturalBounds() const { return naturalBounds_; }
  const Rect& boundsRect() const { return boundsRect_; }
  void setBoundsRect(const Rect& bounds) { boundsRect_ = bounds; }
  void setGWorld(GWorldPtr world) { world_ = world; }
  OSErr draw() const;

 private:
  friend OSErr getGraphicsImporterForFile(const std::string&, GraphicsImporter**);
  GraphicsImporter() = default;
  DibImage picture_;
  Rect naturalBounds_;
  Rect boundsRect_;
  GWorldPtr world_ = nullptr;
};
using GraphicsImportComponent = GraphicsImporter*;

// fnfErr for a missing file, cantFindHandler for a file that is not a BMP, codecBadDataErr
// for a damaged BMP, memFullErr, ioErr; paramErr for a null out-pointer or an empty path.
// The bounds rectangle starts as the natural bounds: (0, 0) to (height, width).
OSErr getGraphicsImporterForFile(const std::string& path, GraphicsImportComponent* importer);
OSErr graphicsImportGetNaturalBounds(GraphicsImportComponent importer, Rect* naturalBounds);
OSErr graphicsImportGetBoundsRect(GraphicsImportComponent importer, Rect* bounds);
// paramErr for an empty rectangle.
OSErr graphicsImportSetBoundsRect(GraphicsImportComponent importer, const Rect* bounds);
// Devices are not supported: gdh must be null.
OSErr graphicsImportSetGWorld(GraphicsImportComponent importer, GWorldPtr port, const void* gdh = nullptr);
// Draws into the world at the bounds rectangle (world coordinates); whatever falls
// outside the world is clipped, so a rectangle moved up shows a lower part of the picture.
OSErr graphicsImportDraw(GraphicsImportComponent importer);
// Frees the importer; null is harmless.
OSErr closeComponent(GraphicsImportComponent importer);

}  // namespace kelmira
