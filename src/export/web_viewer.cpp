#include "export/web_viewer.h"

#include <filesystem>

namespace kelmira {

std::string webViewerFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "share/kelmira/web";
  return (program.parent_path() / ".." / "share" / "kelmira" / "web").lexically_normal().string();
}

}  // namespace kelmira
