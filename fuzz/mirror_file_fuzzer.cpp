// Arbitrary text as a mirror file, for a photograph whose size comes from the first bytes:
// read it, and when it gives a model, plan a panorama with it and describe it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mirror/calibrated_panorama.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/mirror_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<kelmira::ImageSize> photo;
  if (size >= 2 && data[0] != 0) {
    photo = kelmira::ImageSize{16 * data[0], 16 * (data[1] + 1)};
    data += 2;
    size -= 2;
  }
  const kelmira::MirrorFile file =
      kelmira::readMirrorText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", photo, "cam1");
  if (!file) {
    if (file.error.rfind("fuzz: ", 0) != 0) std::abort();
    return 0;
  }
  const kelmira::ImageSize frame = photo.value_or(kelmira::ImageSize{640, 480});
  kelmira::PanoramaPlacement placement;
  placement.width = 64;  // a small map: the work is in the model, not in the pixels
  for (kelmira::Rig rig : {kelmira::Rig::CameraBelow, kelmira::Rig::CameraAbove}) {
    std::string why;
    const std::optional<kelmira::CalibratedPanorama> plan =
        kelmira::CalibratedPanorama::plan(*file.model, rig, frame, placement, why);
    if (plan && plan->height() <= 4096) {
      kelmira::SourceMap map;
      plan->buildSourceMap(map);
    }
  }
  (void)kelmira::describeMirror(*file.model);
  return 0;
}
