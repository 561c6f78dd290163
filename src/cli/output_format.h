#pragma once

#include <string>

#include "image/file_type.h"

namespace kelmira {

// "X,Y" and "WxH" arguments; false when the text is not of that form.
bool parsePoint(const std::string& text, double& x, double& y);
bool parseSize(const std::string& text, int& width, int& height);

}  // namespace kelmira
