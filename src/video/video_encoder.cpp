#include "video/video_encoder.h"

#include "video/video_decoder.h"

namespace kelmira {

VideoEncoder::~VideoEncoder() {
  if (packet_ != nullptr) ff_.av_packet_free(&packet_);
  if (encoder_ != nullptr) ff_.avcodec_free_context(&encoder_);
  if (output_ != nullptr) {
    if (output_->pb != nullptr) ff_.avio_closep(&output_->pb);
    ff_.avformat_free_context(output_);
  }
}

bool VideoEncoder::fail(const std::string& what, int error) {
  if (detail_.empty()) detail_ = what + (error < 0 ? " (" + ffmpegError(ff_, error) + ")" : std::string());
  return false;
}

VideoStatus VideoEncoder::open(const std::string& path, std::uint32_t width, std::uint32_t height,
                               const VideoSettings& settings, const VideoEncoderInput& input, std::string& detail,
                               std::string& warning) {
  const AVCodec* x264 = ff_.avcodec_find_encoder_by_name("libx264");
  if (x264 == nullptr) {
    detail = "FFmpeg's libavcodec has no libx264 encoder";
    return VideoStatus::EncoderMissing;
  }
  if (ff_.avformat_alloc_output_context2(&output_, nullptr, "mp4", path.c_str()) < 0 || output_ == nullptr) {
    detail = "FFmpeg's libavformat has no MP4 muxer";
    return VideoStatus::EncoderMissing;
  }
  // The spherical box is not in the MP4 standard's own list.
  output_->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
  encoder_ = ff_.avcodec_alloc_context3(x264);
  packet_ = ff_.av_packet_alloc();
  videoStream_ = ff_.avformat_new_stream(output_, nullptr);
  if (encoder_ == nullptr || packet_ == nullptr || videoStream_ == nullptr) {
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }
  encoder_->width = static_cast<int>(width);
  encoder_->height = static_cast<int>(height);
  encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder_->color_range = input.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  encoder_->sample_aspect_ratio = AVRational{1, 1};
  encoder_->time_base = input.timeBase;
  if (input.frameRate.num > 0) encoder_->framerate = input.frameRate;
  encoder_->thread_count = 0;
  encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // an MP4 keeps the parameter sets in its header
  AVDictionary* options = nullptr;
  ff_.av_dict_set(&options, "preset", settings.preset.c_str(), 0);
  ff_.av_dict_set(&options, "crf", std::to_string(settings.crf).c_str(), 0);
  const int opened = ff_.avcodec_open2(encoder_, x264, &options);
  ff_.av_dict_free(&options);
  if (opened < 0) {
    detail = "the H.264 encoder does not start (" + ffmpegError(ff_, opened) + ")";
    return VideoStatus::EncoderMissing;
  }
  if (ff_.avcodec_parameters_from_context(videoStream_->codecpar, encoder_) < 0) {
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }
  videoStream_->time_base = encoder_->time_base;
  if (input.frameRate.num > 0) videoStream_->avg_frame_rate = input.frameRate;

  // Spherical Video V2: an equirectangular projection of the whole sphere, facing ahead.
  std::size_t size = 0;
  AVSphericalMapping* spherical = ff_.av_spherical_alloc(&size);
  if (spherical == nullptr) {
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }
  spherical->projection = AV_SPHERICAL_EQUIRECTANGULAR;
  if (ff_.av_stream_add_side_data(videoStream_, AV_PKT_DATA_SPHERICAL, reinterpret_cast<std::uint8_t*>(spherical),
                                  size) < 0) {
    ff_.av_free(spherical);
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }

  if (input.source != nullptr) {
    audioOutput_.assign(input.source->nb_streams, -1);
    audioTimeBase_.assign(input.source->nb_streams, AVRational{1, 1});
    for (const int index : input.audioStreams) {
      const AVStream* from = input.source->streams[index];
      const AVCodecID id = from->codecpar->codec_id;
      if (ff_.avformat_query_codec(output_->oformat, id, FF_COMPLIANCE_NORMAL) != 1) {
        if (!warning.empty()) warning += "; ";
        warning += "audio stream " + std::to_string(index) + " (" + ff_.avcodec_get_name(id) +
                   ") cannot go into an MP4 and is left out";
        continue;
      }
      AVStream* to = ff_.avformat_new_stream(output_, nullptr);
      if (to == nullptr || ff_.avcodec_parameters_copy(to->codecpar, from->codecpar) < 0) {
        detail = "out of memory";
        return VideoStatus::NoMemory;
      }
      to->codecpar->codec_tag = 0;
      to->time_base = from->time_base;
      to->disposition = from->disposition;
      if (const AVDictionaryEntry* language = ff_.av_dict_get(from->metadata, "language", nullptr, 0)) {
        ff_.av_dict_set(&to->metadata, "language", language->value, 0);
      }
      audioOutput_[index] = to->index;
      audioTimeBase_[index] = from->time_base;
    }
    for (const char* key : {"creation_time", "location"}) {
      if (const AVDictionaryEntry* tag = ff_.av_dict_get(input.source->metadata, key, nullptr, 0)) {
        ff_.av_dict_set(&output_->metadata, key, tag->value, 0);
      }
    }
  }

  if (int error = ff_.avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE); error < 0) {
    detail = ffmpegError(ff_, error);
    return VideoStatus::WriteFailed;
  }
  if (int error = ff_.avformat_write_header(output_, nullptr); error < 0) {
    detail = ffmpegError(ff_, error);
    return VideoStatus::WriteFailed;
  }
  headerWritten_ = true;
  return VideoStatus::Written;
}

bool VideoEncoder::drainPackets() {
  for (;;) {
    const int received = ff_.avcodec_receive_packet(encoder_, packet_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) return fail("the H.264 encoder failed", received);
    ff_.av_packet_rescale_ts(packet_, encoder_->time_base, videoStream_->time_base);
    packet_->stream_index = videoStream_->index;
    const std::lock_guard<std::mutex> lock(muxer_);
    if (int error = ff_.av_interleaved_write_frame(output_, packet_); error < 0) {
      return fail("the video cannot be written", error);
    }
  }
}

bool VideoEncoder::writeFrame(AVFrame* frame) {
  // x264 takes strictly rising timestamps.
  if (frame->pts == AV_NOPTS_VALUE || (lastPts_ != AV_NOPTS_VALUE && frame->pts <= lastPts_)) {
    frame->pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + 1;
  }
  lastPts_ = frame->pts;
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  if (int error = ff_.avcodec_send_frame(encoder_, frame); error < 0) return fail("the H.264 encoder failed", error);
  ++framesWritten_;
  return drainPackets();
}

bool VideoEncoder::writeAudio(AVPacket* packet, std::int64_t offset) {
  const int index = packet->stream_index;
  if (index < 0 || static_cast<std::size_t>(index) >= audioOutput_.size() || audioOutput_[index] < 0) return true;
  const AVRational from = audioTimeBase_[index];
  const std::int64_t shift = ff_.av_rescale_q(offset, AVRational{1, AV_TIME_BASE}, from);
  if (packet->pts != AV_NOPTS_VALUE) packet->pts -= shift;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts -= shift;
  const AVStream* to = output_->streams[audioOutput_[index]];
  ff_.av_packet_rescale_ts(packet, from, to->time_base);
  packet->stream_index = audioOutput_[index];
  packet->pos = -1;
  const std::lock_guard<std::mutex> lock(muxer_);
  if (int error = ff_.av_interleaved_write_frame(output_, packet); error < 0) {
    return fail("the audio cannot be written", error);
  }
  return true;
}

bool VideoEncoder::finish() {
  if (!headerWritten_) return false;
  if (int error = ff_.avcodec_send_frame(encoder_, nullptr); error < 0) return fail("the H.264 encoder failed", error);
  if (!drainPackets()) return false;
  {
    const std::lock_guard<std::mutex> lock(muxer_);
    if (int error = ff_.av_write_trailer(output_); error < 0) return fail("the video cannot be finished", error);
  }
  if (int error = ff_.avio_closep(&output_->pb); error < 0) return fail("the video cannot be written", error);
  return true;
}

}  // namespace kelmira
