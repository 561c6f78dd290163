#include "video/video_decoder.h"

#include <algorithm>
#include <cmath>

namespace kelmira {

std::string ffmpegError(const FfmpegCalls& ff, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (ff.av_strerror(error, text, sizeof text) < 0) return "error " + std::to_string(error);
  return text;
}

VideoDecoder::~VideoDecoder() {
  if (codec_ != nullptr) ff_.avcodec_free_context(&codec_);
  if (format_ != nullptr) ff_.avformat_close_input(&format_);
}

VideoStatus VideoDecoder::open(const std::string& path, std::string& detail) {
  if (int error = ff_.avformat_open_input(&format_, path.c_str(), nullptr, nullptr); error < 0) {
    detail = ffmpegError(ff_, error);
    return VideoStatus::Unreadable;
  }
  if (int error = ff_.avformat_find_stream_info(format_, nullptr); error < 0) {
    detail = ffmpegError(ff_, error);
    return VideoStatus::Unreadable;
  }
  const AVCodec* decoder = nullptr;
  videoIndex_ = ff_.av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (videoIndex_ < 0 || decoder == nullptr) {
    detail = videoIndex_ == AVERROR_DECODER_NOT_FOUND ? "no decoder for its video" : "no video stream";
    return VideoStatus::NoVideo;
  }
  AVStream* stream = format_->streams[videoIndex_];
  codec_ = ff_.avcodec_alloc_context3(decoder);
  if (codec_ == nullptr || ff_.avcodec_parameters_to_context(codec_, stream->codecpar) < 0) {
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }
  codec_->thread_count = 0;  // as many as the decoder likes
  codec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  codec_->pkt_timebase = stream->time_base;
  if (int error = ff_.avcodec_open2(codec_, decoder, nullptr); error < 0) {
    detail = ffmpegError(ff_, error);
    return VideoStatus::NoVideo;
  }
  if (codec_->width < 4 || codec_->height < 4 || codec_->width > 32767 || codec_->height > 32767) {
    detail = "its frames have no usable size";
    return VideoStatus::NoVideo;
  }
  std::size_t size = 0;
  const std::uint8_t* matrix = ff_.av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (matrix != nullptr && size >= 9 * sizeof(std::int32_t)) {
    rotation_ = DisplayRotation::ofMatrix(reinterpret_cast<const std::int32_t*>(matrix), ff_.av_display_rotation_get);
  }
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    AVStream* other = format_->streams[i];
    if (other->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      audio_.push_back(static_cast<int>(i));
    } else {
      other->discard = static_cast<int>(i) == videoIndex_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
  }
  return VideoStatus::Written;
}

bool VideoDecoder::fullRange() const {
  return codec_->color_range == AVCOL_RANGE_JPEG || codec_->pix_fmt == AV_PIX_FMT_YUVJ420P ||
         codec_->pix_fmt == AV_PIX_FMT_YUVJ422P || codec_->pix_fmt == AV_PIX_FMT_YUVJ444P;
}

double VideoDecoder::frameRate() const {
  const AVStream* stream = videoStream();
  for (const AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
    if (rate.num > 0 && rate.den > 0) return static_cast<double>(rate.num) / rate.den;
  }
  return 0;
}

double VideoDecoder::startTime() const {
  if (format_->start_time != AV_NOPTS_VALUE) return format_->start_time / static_cast<double>(AV_TIME_BASE);
  const AVStream* stream = videoStream();
  if (stream->start_time != AV_NOPTS_VALUE) return stream->start_time * av_q2d(stream->time_base);
  return 0;
}

double VideoDecoder::duration() const {
  const AVStream* stream = videoStream();
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) return stream->duration * av_q2d(stream->time_base);
  if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    return format_->duration / static_cast<double>(AV_TIME_BASE);
  }
  return 0;
}

std::int64_t VideoDecoder::frameCount() const {
  const AVStream* stream = videoStream();
  if (stream->nb_frames > 0) return stream->nb_frames;
  return static_cast<std::int64_t>(std::llround(duration() * frameRate()));
}

bool VideoDecoder::seek(double seconds) {
  if (seconds <= 0 && packetsRead_ == 0 && !draining_) return true;
  const auto target = static_cast<std::int64_t>((startTime() + std::max(seconds, 0.0)) * AV_TIME_BASE);
  if (ff_.avformat_seek_file(format_, -1, INT64_MIN, target, target, 0) < 0) return false;
  ff_.avcodec_flush_buffers(codec_);
  seeked_ = true;
  draining_ = false;
  return true;
}

void VideoDecoder::markDamaged(std::string what) {
  if (!damaged_) {
    damaged_ = true;
    damage_ = std::move(what);
  }
  if (!draining_) {
    draining_ = true;
    ff_.avcodec_send_packet(codec_, nullptr);
  }
}

// At the end of the file: did every packet the index promised come?
void VideoDecoder::checkCompleteness() {
  const AVStream* stream = videoStream();
  if (!seeked_ && stream->nb_frames > 0 && packetsRead_ < stream->nb_frames) {
    markDamaged("the file ends after " + std::to_string(packetsRead_) + " of its " +
                std::to_string(stream->nb_frames) + " video frames");
    return;
  }
  if (lastPacketEnd_ == AV_NOPTS_VALUE) return;
  // Where the video should end, in seconds: its stream's duration, else the file's (a
  // Matroska file keeps only that).
  double end = 0;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    end = static_cast<double>(start + stream->duration) * av_q2d(stream->time_base);
  } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    end = startTime() + format_->duration / static_cast<double>(AV_TIME_BASE);
  }
  const double rate = frameRate();
  const double slack = rate > 0 ? 2 / rate : 0.1;
  if (end > 0 && static_cast<double>(lastPacketEnd_) * av_q2d(stream->time_base) < end - slack) {
    markDamaged("the file ends before the video does");
  }
}

VideoDecoder::Event VideoDecoder::next(AVFrame* frame, AVPacket* packet) {
  for (;;) {
    const int received = ff_.avcodec_receive_frame(codec_, frame);
    if (received == 0) return Event::Frame;
    if (received == AVERROR_EOF) return Event::End;
    if (received != AVERROR(EAGAIN)) {
      markDamaged("a frame does not decode (" + ffmpegError(ff_, received) + ")");
      if (received == AVERROR(ENOMEM)) return Event::End;
      continue;
    }
    if (draining_) return Event::End;  // a decoder that will say no more
    const int read = ff_.av_read_frame(format_, packet);
    if (read < 0) {
      if (read == AVERROR_EOF) {
        checkCompleteness();
      } else {
        markDamaged("the file cannot be read on (" + ffmpegError(ff_, read) + ")");
      }
      if (!draining_) {
        draining_ = true;
        ff_.avcodec_send_packet(codec_, nullptr);
      }
      continue;
    }
    if (packet->stream_index == videoIndex_) {
      if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
        ff_.av_packet_unref(packet);
        markDamaged("a video frame is cut short");
        continue;
      }
      ++packetsRead_;
      if (packet->pts != AV_NOPTS_VALUE) {
        const std::int64_t end = packet->pts + std::max<std::int64_t>(packet->duration, 0);
        if (lastPacketEnd_ == AV_NOPTS_VALUE || end > lastPacketEnd_) lastPacketEnd_ = end;
      }
      const int sent = ff_.avcodec_send_packet(codec_, packet);
      ff_.av_packet_unref(packet);
      if (sent < 0 && sent != AVERROR(EAGAIN)) markDamaged("a video frame does not decode (" + ffmpegError(ff_, sent) + ")");
      continue;
    }
    if (std::find(audio_.begin(), audio_.end(), packet->stream_index) != audio_.end()) return Event::Audio;
    ff_.av_packet_unref(packet);
  }
}

}  // namespace kelmira
