#pragma once

#include "export/export_request.h"
#include "export/export_result.h"

namespace kelmira {

struct ViewerFiles;

// Reads the web viewer's files from the request's folder, or where they are installed;
// ViewerMissing, naming the folder, when they cannot be read.
ExportResult readViewer(const ExportRequest& request, ViewerFiles& viewer);

// The writer of each kind of result (the rows of output_kind.cpp name them). Each writes
// `request.destination` whole or leaves it as it was.
ExportResult writePanoramaPicture(const PanoramaSource& source, const ExportRequest& request);
ExportResult writeSpherePhoto(const PanoramaSource& source, const ExportRequest& request);
ExportResult writeWebPage(const PanoramaSource& source, const ExportRequest& request);
ExportResult writeMovie(const PanoramaSource& source, const ExportRequest& request);

}  // namespace kelmira
