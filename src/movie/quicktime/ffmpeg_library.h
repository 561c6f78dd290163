#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace kelmira {

// The few FFmpeg calls the Cinepak and Sorenson encoders and decoders make, found in libavcodec,
// libavutil and libswscale when first needed. Loading FFmpeg pulls in some ninety more
// libraries, which would add tens of milliseconds to every start of the programs, most
// of which never write such a movie.
struct FfmpegLibrary {
  decltype(&avcodec_find_encoder_by_name) findEncoderByName;
  decltype(&avcodec_alloc_context3) allocContext;
  decltype(&avcodec_free_context) freeContext;
  decltype(&avcodec_open2) open;
  decltype(&avcodec_send_frame) sendFrame;
  decltype(&avcodec_receive_packet) receivePacket;
  decltype(&avcodec_find_decoder) findDecoder;
  decltype(&avcodec_send_packet) sendPacket;
  decltype(&avcodec_receive_frame) receiveFrame;
  decltype(&av_packet_alloc) allocPacket;
  decltype(&av_packet_free) freePacket;
  decltype(&av_frame_alloc) allocFrame;
  decltype(&av_frame_free) freeFrame;
  decltype(&av_frame_get_buffer) frameGetBuffer;
  decltype(&sws_getContext) scalerGetContext;
  decltype(&sws_freeContext) scalerFreeContext;
  decltype(&sws_scale) scale;

  // The loaded library, or null when one of its parts or calls is missing. Loaded once;
  // safe to call from several threads.
  static const FfmpegLibrary* get();
};

}  // namespace kelmira
