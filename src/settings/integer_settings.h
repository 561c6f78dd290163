#pragma once

namespace kelmira {

// Named integer values kept between runs, in sections. The window keeps them in its
// settings file; tests keep them in memory. A missing value reads as the default.
class IntegerSettings {
 public:
  virtual ~IntegerSettings() = default;
  virtual int readInt(const char* section, const char* name, int defaultValue) const = 0;
  virtual void writeInt(const char* section, const char* name, int value) = 0;
};

}  // namespace kelmira
