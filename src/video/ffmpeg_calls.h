#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/spherical.h>
#include <libswscale/swscale.h>
}

namespace kelmira {

// Every FFmpeg call the videos make: (library, name).
#define KELMIRA_FFMPEG_VIDEO_CALLS(X)                                                                            \
  X(avformat, avformat_open_input)                                                                               \
  X(avformat, avformat_find_stream_info)                                                                         \
  X(avformat, avformat_close_input)                                                                              \
  X(avformat, av_find_best_stream)                                                                               \
  X(avformat, av_read_frame)                                                                                     \
  X(avformat, avformat_seek_file)                                                                                \
  X(avformat, avformat_alloc_output_context2)                                                                    \
  X(avformat, avformat_free_context)                                                                             \
  X(avformat, avformat_new_stream)                                                                               \
  X(avformat, avformat_query_codec)                                                                              \
  X(avformat, avformat_write_header)                                                                             \
  X(avformat, av_interleaved_write_frame)                                                                        \
  X(avformat, av_write_trailer)                                                                                  \
  X(avformat, avio_open)                                                                                         \
  X(avformat, avio_closep)                                                                                       \
  X(avformat, av_stream_add_side_data)                                                                           \
  X(avformat, av_stream_get_side_data)                                                                           \
  X(avcodec, avcodec_find_decoder)                                                                               \
  X(avcodec, avcodec_find_encoder_by_name)                                                                       \
  X(avcodec, avcodec_get_name)                                                                                   \
  X(avcodec, avcodec_alloc_context3)                                                                             \
  X(avcodec, avcodec_free_context)                                                                               \
  X(avcodec, avcodec_parameters_to_context)                                                                      \
  X(avcodec, avcodec_parameters_from_context)                                                                    \
  X(avcodec, avcodec_parameters_copy)                                                                            \
  X(avcodec, avcodec_open2)                                                                                      \
  X(avcodec, avcodec_send_packet)                                                                                \
  X(avcodec, avcodec_receive_frame)                                                                              \
  X(avcodec, avcodec_send_frame)                                                                                 \
  X(avcodec, avcodec_receive_packet)                                                                             \
  X(avcodec, avcodec_flush_buffers)                                                                              \
  X(avcodec, av_packet_alloc)                                                                                    \
  X(avcodec, av_packet_free)                                                                                     \
  X(avcodec, av_packet_unref)                                                                                    \
  X(avcodec, av_packet_rescale_ts)                                                                               \
  X(avutil, av_frame_alloc)                                                                                      \
  X(avutil, av_frame_free)                                                                                       \
  X(avutil, av_frame_unref)                                                                                      \
  X(avutil, av_frame_get_buffer)                                                                                 \
  X(avutil, av_frame_is_writable)                                                                                \
  X(avutil, av_dict_set)                                                                                         \
  X(avutil, av_dict_get)                                                                                         \
  X(avutil, av_dict_free)                                                                                        \
  X(avutil, av_display_rotation_get)                                                                             \
  X(avutil, av_spherical_alloc)                                                                                  \
  X(avutil, av_rescale_q)                                                                                        \
  X(avutil, av_strerror)                                                                                         \
  X(avutil, av_free)                                                                                             \
  X(avutil, av_log_set_level)                                                                                    \
  X(avutil, av_opt_set)                                                                                          \
  X(swscale, sws_getContext)                                                                                     \
  X(swscale, sws_freeContext)                                                                                    \
  X(swscale, sws_scale)

// FFmpeg's demuxers, decoders, encoders and muxers, found in its libraries when a video
// first needs them: linked in, they would add a third of a second to every start of the
// programs, most of which never touch a video.
struct FfmpegCalls {
#define KELMIRA_FFMPEG_MEMBER(library, name) decltype(&::name) name = nullptr;
  KELMIRA_FFMPEG_VIDEO_CALLS(KELMIRA_FFMPEG_MEMBER)
#undef KELMIRA_FFMPEG_MEMBER

  // The loaded calls, or null when a library or one of its calls is missing. Loaded once;
  // safe to call from several threads.
  static const FfmpegCalls* get();
  // Why get() gave null: the library or call missing.
  static const char* missing();
};

}  // namespace kelmira
