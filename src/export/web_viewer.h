#pragma once

#include <string>

namespace kelmira {

// Where the web viewer's files are installed: share/kelmira/web beside the program's bin
// folder (the build tree lays them out the same way).
std::string webViewerFolder();

}  // namespace kelmira
