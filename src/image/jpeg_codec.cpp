#include "image/jpeg_codec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include <jerror.h>
#include <jpeglib.h>

#include "image/jpeg_glue.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

constexpr std::size_t kBufferBytes = 4096;  // what is read from the stream at a time
// The headers that name what an APP segment holds, each with its terminating zero.
constexpr char kXmpNamespace[] = "http://ns.adobe.com/xap/1.0/";
constexpr char kExifHeader[] = "Exif\0";  // the second zero is the array's own
constexpr char kPhotoshopHeader[] = "Photoshop 3.0";
constexpr char kIccHeader[] = "ICC_PROFILE";
constexpr std::uint16_t kIptcResource = 0x0404;

struct StreamSource {
  jpeg_source_mgr pub;
  ImageStream* stream;
  bool endReached;
  JOCTET buffer[kBufferBytes];
};

void initSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info) {
  auto* source = reinterpret_cast<StreamSource*>(info->src);
  std::size_t got = source->stream->readSome(source->buffer, kBufferBytes);
  if (got == 0) {
    // An end marker lets the library finish with what it has.
    source->endReached = true;
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    got = 2;
  }
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = got;
  return TRUE;
}

void skipInputData(j_decompress_ptr info, long count) {
  auto* source = reinterpret_cast<StreamSource*>(info->src);
  while (count > 0 && static_cast<std::size_t>(count) > source->pub.bytes_in_buffer) {
    count -= static_cast<long>(source->pub.bytes_in_buffer);
    fillInputBuffer(info);
    if (source->endReached) return;
  }
  if (count > 0) {
    source->pub.next_input_byte += count;
    source->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

void termSource(j_decompress_ptr) {}

void attachSource(jpeg_decompress_struct& info, StreamSource& source, ImageStream& stream) {
  source.pub.next_input_byte = nullptr;
  source.pub.bytes_in_buffer = 0;
  source.pub.init_source = initSource;
  source.pub.fill_input_buffer = fillInputBuffer;
  source.pub.skip_input_data = skipInputData;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = termSource;
  source.stream = &stream;
  source.endReached = false;
  info.src = &source.pub;
}

// The encoder's bytes go straight to the file's stream.
class StreamWriter : public JpegByteWriter {
 public:
  explicit StreamWriter(ImageStream& stream) : stream_(stream) {}
  bool write(const std::uint8_t* bytes, std::size_t count) override { return stream_.write(bytes, count); }

 private:
  ImageStream& stream_;
};

struct DecompressorGuard {
  jpeg_decompress_struct* info;
  ~DecompressorGuard() { jpeg_destroy_decompress(info); }
};

struct CompressorGuard {
  jpeg_compress_struct* info;
  ~CompressorGuard() { jpeg_destroy_compress(info); }
};

void convertScanline(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, int components) {
  switch (components) {
    case 1:
      for (JDIMENSION x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      break;
    default:  // CMYK, as Adobe writes it: the key scales each channel
      for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        out[0] = static_cast<std::uint8_t>(in[0] * in[3] / 255);
        out[1] = static_cast<std::uint8_t>(in[1] * in[3] / 255);
        out[2] = static_cast<std::uint8_t>(in[2] * in[3] / 255);
      }
      break;
  }
}


// Whether a saved segment starts with a header (its terminating zero included).
template <std::size_t N>
bool startsWith(const jpeg_saved_marker_ptr marker, const char (&header)[N]) {
  return marker->data_length >= N && std::memcmp(marker->data, header, N) == 0;
}

std::string after(const jpeg_saved_marker_ptr marker, std::size_t header) {
  return {reinterpret_cast<const char*>(marker->data) + header, marker->data_length - header};
}

void appendBigEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// IPTC as Photoshop stores it in APP13: one resource of its image resource block.
std::string photoshopSegment(const std::string& iptc) {
  std::string segment(kPhotoshopHeader, sizeof kPhotoshopHeader);
  segment += "8BIM";
  appendBigEndian(segment, kIptcResource, 2);
  segment.append(2, '\0');  // an empty name, padded to an even length
  appendBigEndian(segment, static_cast<std::uint32_t>(iptc.size()), 4);
  segment += iptc;
  if (iptc.size() % 2 != 0) segment += '\0';
  return segment;
}

// Writes one APP segment; false when the library gave up.
bool writeSegment(JpegErrorManager& errors, jpeg_compress_struct& info, int marker, const std::string& segment) {
  return guardedJpegStep(errors, [&] {
    jpeg_write_marker(&info, marker, reinterpret_cast<const JOCTET*>(segment.data()),
                      static_cast<unsigned>(segment.size()));
  });
}

bool writeMetadata(JpegErrorManager& errors, jpeg_compress_struct& info, const EmbeddedMetadata& metadata) {
  if (!metadata.exif.empty() &&
      !writeSegment(errors, info, JPEG_APP0 + 1, std::string(kExifHeader, sizeof kExifHeader) + metadata.exif)) {
    return false;
  }
  // Readers find XMP in APP1 by its namespace, ended by a zero byte.
  if (!metadata.xmp.empty() &&
      !writeSegment(errors, info, JPEG_APP0 + 1, std::string(kXmpNamespace, sizeof kXmpNamespace) + metadata.xmp)) {
    return false;
  }
  if (!metadata.iccProfile.empty() && !guardedJpegStep(errors, [&] {
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(metadata.iccProfile.data()),
                               static_cast<unsigned>(metadata.iccProfile.size()));
      })) {
    return false;
  }
  return metadata.iptc.empty() || writeSegment(errors, info, JPEG_APP0 + 13, photoshopSegment(metadata.iptc));
}

bool fitsSegments(const EmbeddedMetadata& metadata) {
  // The profile is cut into at most 255 chunks.
  constexpr std::size_t kMaxIccBytes = 255 * (65533 - 14);
  return metadata.exif.size() <= kMaxJpegExifBytes && metadata.xmp.size() <= kMaxJpegXmpBytes &&
         metadata.iptc.size() <= kMaxJpegIptcBytes && metadata.iccProfile.size() <= kMaxIccBytes;
}

struct IccProfileBytes {
  JOCTET* data = nullptr;
  ~IccProfileBytes() { std::free(data); }
};

// Reads the header of a JPEG with its metadata segments saved; false when it is no JPEG.
bool readHeaderWithSegments(JpegErrorManager& errors, jpeg_decompress_struct& info) {
  return guardedJpegStep(errors, [&] {
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 13, 0xFFFF);
    jpeg_read_header(&info, TRUE);
  });
}

// The profile of a header read with its segments saved.
std::string colourProfileOf(JpegErrorManager& errors, jpeg_decompress_struct& info, bool& damaged) {
  damaged = false;
  bool chunks = false;
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == JPEG_APP0 + 2 && startsWith(marker, kIccHeader)) chunks = true;
  }
  if (!chunks) return {};
  IccProfileBytes profile;
  unsigned length = 0;
  boolean read = FALSE;
  if (!guardedJpegStep(errors, [&] { read = jpeg_read_icc_profile(&info, &profile.data, &length); }) || !read ||
      profile.data == nullptr) {
    damaged = true;
    return {};
  }
  return {reinterpret_cast<const char*>(profile.data), length};
}

}  // namespace

PixelBlock readJpeg(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  width = 0;
  height = 0;

  JpegErrorManager errors;
  StreamSource source;
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = installJpegErrorManager(errors);
  if (!guardedJpegStep(errors, [&] { jpeg_create_decompress(&info); })) {
    call.fail(ImageError::BadJpeg);
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  DecompressorGuard guard{&info};
  attachSource(info, source, stream);

  const bool headerRead = guardedJpegStep(errors, [&] {
    jpeg_read_header(&info, TRUE);
    jpeg_calc_output_dimensions(&info);
  });
  if (!headerRead) {
    call.fail(ImageError::BadJpeg);
    return nullptr;
  }
  const int components = info.out_color_components;
  const bool convertible = components == 3 || components == 1 || (components == 4 && info.jpeg_color_space != JCS_YCCK);
  if (!convertible) {
    call.fail(ImageError::WrongBitDepth);
    return nullptr;
  }
  // Checked before the library sizes its own buffers by the header's dimensions.
  PixelBlock pixels = allocatePixelBlock(info.output_width, info.output_height);
  // Colour rows are decoded straight into the block; others are converted from a row of their own.
  const bool direct = components == 3;
  std::unique_ptr<JSAMPLE[]> scanline(
      pixels && !direct ? new (std::nothrow) JSAMPLE[static_cast<std::size_t>(info.output_width) * components]
                        : nullptr);
  if (!pixels || (!direct && !scanline)) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }
  if (!guardedJpegStep(errors, [&] { jpeg_start_decompress(&info); })) {
    call.fail(ImageError::BadJpeg);
    return nullptr;
  }

  const JDIMENSION outWidth = info.output_width;
  const auto rows = static_cast<std::int32_t>(info.output_height);
  const std::size_t outStride = 3 * static_cast<std::size_t>(outWidth);
  // Files of several scans are read whole by jpeg_start_decompress; when one of those
  // ends early every row still carries what arrived, so all rows are kept.
  const bool endBeforeRows = source.endReached || errors.dataRanOut;
  std::int32_t row = 0;
  for (; row < rows; ++row) {
    std::uint8_t* const out = pixels.get() + static_cast<std::size_t>(row) * outStride;
    JSAMPROW rowPointer = direct ? out : scanline.get();
    JDIMENSION got = 0;
    if (!guardedJpegStep(errors, [&] { got = jpeg_read_scanlines(&info, &rowPointer, 1); })) {
      call.fail(ImageError::FileRead);
      break;
    }
    if (got != 1) {
      call.fail(ImageError::EndOfImage);
      break;
    }
    if (!direct) convertScanline(scanline.get(), out, outWidth, components);
    if (!endBeforeRows && errors.dataRanOut) {
      call.fail(ImageError::FileRead);
      break;
    }
    if (!call.progress(row, rows)) break;
  }
  if (endBeforeRows) call.fail(ImageError::FileRead);
  if (row == rows && !guardedJpegStep(errors, [&] { jpeg_finish_decompress(&info); })) call.fail(ImageError::FileRead);

  width = static_cast<std::int32_t>(outWidth);
  height = rows;
  return pixels;
}

std::int64_t writeJpeg(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       int quality, bool progressive, const EmbeddedMetadata& metadata, const RowGate* rowsReady) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0 || !fitsSegments(metadata)) {
    call.fail(ImageError::BadParameter);
    return 0;
  }

  JpegErrorManager errors;
  StreamWriter writer(stream);
  JpegChunkDestination destination;
  jpeg_compress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = installJpegErrorManager(errors);
  if (!guardedJpegStep(errors, [&] { jpeg_create_compress(&info); })) {
    call.fail(ImageError::BadJpeg);
    jpeg_destroy_compress(&info);
    return 0;
  }
  CompressorGuard guard{&info};
  attachJpegDestination(info, destination, writer);

  const bool started = guardedJpegStep(errors, [&] {
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    info.density_unit = 0;
    info.X_density = 1;
    info.Y_density = 1;
    jpeg_start_compress(&info, TRUE);
  });
  if (!started) {
    call.fail(ImageError::BadJpeg);
    return 0;
  }
  if (!writeMetadata(errors, info, metadata)) {
    call.fail(ImageError::FileWrite);
    return 0;
  }

  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  for (std::int32_t row = 0; row < height; ++row) {
    if (rowsReady != nullptr && !rowsReady->waitFor(row + 1)) {
      call.fail(ImageError::Aborted);
      return 0;
    }
    // The library only reads the rows it is given.
    JSAMPROW rowPointer = const_cast<JSAMPLE*>(pixels + static_cast<std::size_t>(row) * stride);
    JDIMENSION written = 0;
    if (!guardedJpegStep(errors, [&] { written = jpeg_write_scanlines(&info, &rowPointer, 1); })) {
      call.fail(ImageError::FileWrite);
      return 0;
    }
    if (written != 1) {
      call.fail(ImageError::EndOfImage);
      return 0;
    }
    if (!call.progress(row, height)) return 0;
  }
  if (!guardedJpegStep(errors, [&] { jpeg_finish_compress(&info); })) {
    call.fail(ImageError::BadJpeg);
    return 0;
  }
  return encodedLength(stream, call);
}

bool readJpegMetadataSegments(ImageStream& stream, JpegMetadataSegments& segments) {
  segments = {};
  JpegErrorManager errors;
  StreamSource source;
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = installJpegErrorManager(errors);
  if (!guardedJpegStep(errors, [&] { jpeg_create_decompress(&info); })) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  DecompressorGuard guard{&info};
  attachSource(info, source, stream);
  if (!readHeaderWithSegments(errors, info)) return false;
  bool exifSeen = false;
  bool xmpSeen = false;
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == JPEG_APP0 + 1 && !exifSeen && startsWith(marker, kExifHeader)) {
      exifSeen = true;
      segments.exif = after(marker, sizeof kExifHeader);
    } else if (marker->marker == JPEG_APP0 + 1 && !xmpSeen && startsWith(marker, kXmpNamespace)) {
      xmpSeen = true;
      segments.xmp = after(marker, sizeof kXmpNamespace);
    } else if (marker->marker == JPEG_APP0 + 13 && startsWith(marker, kPhotoshopHeader)) {
      segments.photoshop += after(marker, sizeof kPhotoshopHeader);
    }
  }
  segments.iccProfile = colourProfileOf(errors, info, segments.iccDamaged);
  return true;
}

std::string readJpegColourProfile(ImageStream& stream, bool& damaged) {
  JpegMetadataSegments segments;
  damaged = false;
  if (!readJpegMetadataSegments(stream, segments)) return {};
  damaged = segments.iccDamaged;
  return segments.iccProfile;
}

}  // namespace kelmira
