#pragma once

#include "export/export_request.h"
#include "export/export_result.h"

namespace kelmira {

class DibImage;

// Why the request cannot be met, found before anything is changed, unwarped or written:
// a name that names nothing Kelmira writes, the web viewer's files missing, and, given
// the panorama, a movie refused. Written when it can be met.
ExportResult exportRefusal(const ExportRequest& request, const DibImage* panorama = nullptr);

// Writes the panorama as the request's kind. The panorama is not changed: a kind that is
// trimmed to movie size is trimmed by the caller first where the caller keeps that size
// (the window), and a movie trims a copy of its own.
ExportResult exportPanorama(const PanoramaSource& source, const ExportRequest& request);

// Unwarps the round photograph into `panorama` and writes it as the request's kind; a
// panorama picture is written while the unwarp makes its rows.
ExportResult exportRound(const RoundSource& source, const ExportRequest& request, DibImage& panorama);

}  // namespace kelmira
