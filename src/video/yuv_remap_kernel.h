#pragma once

#include <cstddef>
#include <cstdint>

#include "video/yuv_remap_table.h"

namespace kelmira {

// Two bytes past a source plane's last pixel must be readable: the kernel reads the four
// bytes from each top-left pixel on.
inline constexpr std::size_t kRemapSourceSlack = 2;

// Works out rows first to first + count - 1 of the plane's table (output rows plane.top +
// first on) from `source` into the output plane `out` (its row 0 at `out`), with the widest
// vector instructions the processor has (or those KELMIRA_SIMD names); black pixels get `black`. Each pixel is
// (a (256 - fx) + b fx) (256 - fy) + (c (256 - fx) + d fx) fy, shifted down 16 bits:
// the same bytes on every target.
void remapPlaneRows(const RemapPlane& plane, const std::uint8_t* source, std::int32_t sourceStride,
                    std::uint8_t* out, std::ptrdiff_t outStride, std::uint32_t first, std::uint32_t count,
                    std::uint8_t black);

// The vector target remapPlaneRows runs with now ("AVX3", "AVX2", "SSE4", ...).
const char* remapTargetName();

}  // namespace kelmira
