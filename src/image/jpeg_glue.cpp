#include "image/jpeg_glue.h"

#include <jerror.h>

namespace kelmira {

namespace {

void errorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1); }

void emitMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER) {
    reinterpret_cast<JpegErrorManager*>(info->err)->dataRanOut = true;
  }
}

void outputMessage(j_common_ptr) {}

void initDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<JpegChunkDestination*>(info->dest);
  destination->pub.next_output_byte = destination->chunk;
  destination->pub.free_in_buffer = JpegChunkDestination::kChunkBytes;
}

boolean emptyOutputBuffer(j_compress_ptr info) {
  auto* destination = reinterpret_cast<JpegChunkDestination*>(info->dest);
  if (!destination->writer->write(destination->chunk, JpegChunkDestination::kChunkBytes)) {
    ERREXIT(info, JERR_FILE_WRITE);
  }
  destination->pub.next_output_byte = destination->chunk;
  destination->pub.free_in_buffer = JpegChunkDestination::kChunkBytes;
  return TRUE;
}

void termDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<JpegChunkDestination*>(info->dest);
  const std::size_t count = JpegChunkDestination::kChunkBytes - destination->pub.free_in_buffer;
  if (!destination->writer->write(destination->chunk, count)) ERREXIT(info, JERR_FILE_WRITE);
}

}  // namespace

jpeg_error_mgr* installJpegErrorManager(JpegErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = errorExit;
  errors.pub.emit_message = emitMessage;
  errors.pub.output_message = outputMessage;
  errors.dataRanOut = false;
  return &errors.pub;
}

void attachJpegDestination(jpeg_compress_struct& info, JpegChunkDestination& destination, JpegByteWriter& writer) {
  destination.pub.init_destination = initDestination;
  destination.pub.empty_output_buffer = emptyOutputBuffer;
  destination.pub.term_destination = termDestination;
  destination.writer = &writer;
  info.dest = &destination.pub;
}

}  // namespace kelmira
