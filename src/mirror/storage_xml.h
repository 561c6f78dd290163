#pragma once

#include <string_view>

#include "mirror/stored_node.h"

namespace kelmira {

// Reads the XML that OpenCV's FileStorage writes: an <opencv_storage> root whose elements
// hold text or further elements; an element's type_id (such as "opencv-matrix") becomes
// its tag. Comments and the XML declaration are skipped; other markup is refused.
StoredText readStorageXml(std::string_view text);

}  // namespace kelmira
