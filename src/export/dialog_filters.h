#pragma once

#include <string>
#include <vector>

#include "export/output_kind.h"

namespace kelmira {

// A file dialog's filter written the Windows way ("Label|*.A;*.B|Label|*.C||") and the kind
// each of its entries stands for (None for the groups and "All files").
struct DialogFilter {
  std::string text;
  std::vector<OutputKind> kinds;
  OutputKind kindAt(int entry) const {
    return entry >= 0 && static_cast<std::size_t>(entry) < kinds.size() ? kinds[entry] : OutputKind::None;
  }
};

// Open Round and Open Pano: the formats the dialogs offer that Kelmira reads; with
// `videos` (Open Round), the videos too.
DialogFilter openDialogFilter(bool videos = false);
// Open Pano: those, and QuickTime VR panorama movies.
DialogFilter openPanoramaDialogFilter();
// Save Image: the formats offered that Kelmira writes, then every other kind with an entry;
// the kinds made from a video only with `video` (a video is open).
DialogFilter saveImageDialogFilter(bool video = false);
// Save Movie: the movie.
DialogFilter saveMovieDialogFilter();

}  // namespace kelmira
