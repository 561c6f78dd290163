#include "export/panorama_export.h"

#include "export/panorama_writers.h"
#include "export/save_as_rows_arrive.h"
#include "image/dib_image.h"
#include "image/progress_sink.h"
#include "mirror/calibrated_unwarp.h"
#include "movie/panorama_movie_export.h"
#include "sphere/viewer_page.h"
#include "unwarp/panorama_maker.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

namespace {

void begin(const ExportRequest& request, ExportStage stage) {
  if (request.stageBegins) request.stageBegins(stage);
}

ExportResult failure(const ExportRequest& request, ExportStatus status) {
  ExportResult result;
  result.status = status;
  result.destination = request.destination;
  return result;
}

}  // namespace

ExportResult exportRefusal(const ExportRequest& request, const DibImage* panorama) {
  const OutputKindRow& row = outputKindRow(request.kind);
  if (row.write == nullptr) return failure(request, ExportStatus::NoWriter);
  if (request.kind == OutputKind::WebPage) {
    ViewerFiles viewer;
    if (ExportResult missing = readViewer(request, viewer); !missing.ok()) return missing;
  }
  if (request.kind == OutputKind::Movie && panorama != nullptr) {
    if (std::string refusal = movieRefusal(*panorama, request.movie); !refusal.empty()) {
      ExportResult result = failure(request, ExportStatus::MovieFailed);
      result.movieCode = -1;
      result.detail = std::move(refusal);
      return result;
    }
  }
  return {};
}

ExportResult exportPanorama(const PanoramaSource& source, const ExportRequest& request) {
  if (ExportResult refusal = exportRefusal(request, &source.panorama); !refusal.ok()) return refusal;
  return outputKindRow(request.kind).write(source, request);
}

ExportResult exportRound(const RoundSource& source, const ExportRequest& request, DibImage& panorama) {
  if (ExportResult refusal = exportRefusal(request); !refusal.ok()) return refusal;
  begin(request, ExportStage::Unwarping);
  RowProgress report;
  if (request.progress != nullptr) {
    report = [&request](std::uint32_t row, std::uint32_t rows) {
      request.progress->reportProgress(static_cast<std::int32_t>(row), static_cast<std::int32_t>(rows));
    };
  }
  // A picture's encoder takes the rows as the unwarp finishes them, on a thread of its own.
  const bool asRowsArrive = isPanoramaPicture(request.kind);
  SaveAsRowsArrive save(request.destination, outputKindRow(request.kind).format, source.metadata);
  const RingPlacement& ring = source.ring;
  PanoramaRowListener* const listener = asRowsArrive ? &save : nullptr;
  if (source.mirror != nullptr) {
    if (makeCalibratedPanorama(source.photograph, *source.mirror, panorama, report, listener) != 0) {
      save.finish();
      return failure(request, ExportStatus::NoMemory);
    }
  } else if (makePanoramaImage(source.photograph, ring.centreX, ring.centreY, ring.cropRadius, source.lensThread,
                               panorama, report, ring.ringRadius, listener) != 0) {
    save.finish();
    ExportResult result = failure(request, ExportStatus::NoPanorama);
    result.detail = source.path;
    result.cropRadius = ring.cropRadius;
    return result;
  }
  if (request.progress != nullptr) request.progress->endProgress();
  const RowElevations rows = source.mirror != nullptr
                                 ? source.mirror->rows()
                                 : RowElevations::ofUnwarp(static_cast<std::uint32_t>(panorama.height()));
  const PanoramaSource made{panorama, rows, source.metadata};
  begin(request, ExportStage::Writing);
  if (!asRowsArrive) return exportPanorama(made, request);
  // No thread to be had: the finished panorama is written as any other.
  const std::optional<ImageErrorCode> code = save.finish();
  if (!code) return exportPanorama(made, request);
  ExportResult result = failure(request, *code == ImageError::None ? ExportStatus::Written : ExportStatus::ImageFailed);
  result.imageCode = *code;
  result.width = panorama.width();
  result.height = panorama.height();
  return result;
}

}  // namespace kelmira
