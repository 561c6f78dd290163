#include "video/video_converter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/interruption.h"
#include "base/parallel_for.h"
#include "base/replacement_file.h"
#include "image/progress_sink.h"
#include "video/ffmpeg_calls.h"
#include "video/frame_queue.h"
#include "video/spherical_v1_box.h"
#include "video/video_decoder.h"
#include "video/video_encoder.h"
#include "video/video_facts.h"
#include "video/yuv_remap_kernel.h"
#include "video/yuv_remap_table.h"
#include "video/yuv_tone.h"

namespace kelmira {

namespace {

struct FrameDeleter {
  const FfmpegCalls* ff;
  void operator()(AVFrame* frame) const { ff->av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct NumberedFrame {
  std::int64_t number = 0;
  FramePtr frame;
};

// The first failure of any thread, and the stop that every thread heeds.
class Outcome {
 public:
  bool stopped() const { return stop_.load(); }
  void stop() { stop_.store(true); }
  void fail(VideoStatus status, std::string detail) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) {
      failed_ = true;
      status_ = status;
      detail_ = std::move(detail);
    }
    stop_.store(true);
  }
  bool failed(VideoStatus& status, std::string& detail) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    status = status_;
    detail = detail_;
    return failed_;
  }

 private:
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  bool failed_ = false;
  VideoStatus status_ = VideoStatus::Written;
  std::string detail_;
};

// Whether the kernel may read plane `plane` of `frame` as it does, a little past its end.
bool readableWithSlack(const AVFrame* frame, int plane, int width, int height) {
  const int stride = frame->linesize[plane];
  if (stride < width) return false;
  const std::uint8_t* begin = frame->data[plane];
  const std::size_t needed = std::size_t(height - 1) * stride + width + kRemapSourceSlack;
  for (const AVBufferRef* buffer : frame->buf) {
    if (buffer == nullptr) break;
    if (begin >= buffer->data && begin < buffer->data + buffer->size) {
      return static_cast<std::size_t>(begin - buffer->data) + needed <= buffer->size;
    }
  }
  return false;
}

// Output frames, black where nothing is ever drawn, used again once the encoder lets go.
class OutputFrames {
 public:
  OutputFrames(const FfmpegCalls& ff, int width, int height, std::uint8_t blackLuma)
      : ff_(ff), width_(width), height_(height), blackLuma_(blackLuma) {}
  ~OutputFrames() {
    for (Slot& slot : slots_) ff_.av_frame_free(&slot.frame);
  }

  AVFrame* take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Slot& slot : slots_) {
      if (!slot.inUse && ff_.av_frame_is_writable(slot.frame) > 0) {
        slot.inUse = true;
        return slot.frame;
      }
    }
    AVFrame* frame = ff_.av_frame_alloc();
    if (frame == nullptr) return nullptr;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width_;
    frame->height = height_;
    if (ff_.av_frame_get_buffer(frame, 0) < 0) {
      ff_.av_frame_free(&frame);
      return nullptr;
    }
    for (int plane = 0; plane < 3; ++plane) {
      const int rows = plane == 0 ? height_ : height_ / 2;
      std::memset(frame->data[plane], plane == 0 ? blackLuma_ : 128, std::size_t(rows) * frame->linesize[plane]);
    }
    slots_.push_back({frame, true});
    return frame;
  }

  void giveBack(AVFrame* frame) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Slot& slot : slots_) {
      if (slot.frame == frame) slot.inUse = false;
    }
  }

 private:
  struct Slot {
    AVFrame* frame;
    bool inUse;
  };
  const FfmpegCalls& ff_;
  const int width_;
  const int height_;
  const std::uint8_t blackLuma_;
  std::mutex mutex_;
  std::vector<Slot> slots_;
};

// Unwarped frames, put back in order for the encoder. A frame is begun only within a
// window of the next one to be encoded, so the frames waiting, and their memory, stay few
// while the encoder is the slowest part; the next frame is always within it.
class InOrder {
 public:
  explicit InOrder(std::int64_t window) : window_(window) {}

  // Waits until frame `number` may be begun; false once the run stops.
  bool admit(std::int64_t number, const Outcome& outcome) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (outcome.stopped() || finished_) return false;
      if (number < next_ + window_) return true;
      changed_.wait(lock);
    }
  }

  void put(std::int64_t number, AVFrame* frame) {
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting_.emplace(number, frame);
    changed_.notify_all();
  }
  // Frame `number`, or null once no more will come (or the run stops).
  AVFrame* take(std::int64_t number, const Outcome& outcome) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (outcome.stopped()) return nullptr;
      if (const auto found = waiting_.find(number); found != waiting_.end()) {
        AVFrame* frame = found->second;
        waiting_.erase(found);
        next_ = number + 1;
        changed_.notify_all();
        return frame;
      }
      if (finished_) return nullptr;
      changed_.wait(lock);
    }
  }
  void finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::int64_t, AVFrame*> waiting_;
  const std::int64_t window_;
  std::int64_t next_ = 0;
  bool finished_ = false;
};

// Turns a decoded frame into a 4:2:0 frame of the size the tables were made for, with room
// to read past its end, when it is not one already.
class FrameNormaliser {
 public:
  FrameNormaliser(const FfmpegCalls& ff, int width, int height) : ff_(ff), width_(width), height_(height) {}
  ~FrameNormaliser() {
    if (scaler_ != nullptr) ff_.sws_freeContext(scaler_);
  }

  // The frame to unwarp: `frame` itself or a converted copy; null when memory runs out.
  FramePtr normalise(FramePtr frame) {
    const bool planar420 = frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P;
    if (planar420 && frame->width == width_ && frame->height == height_ &&
        readableWithSlack(frame.get(), 0, width_, height_) &&
        readableWithSlack(frame.get(), 1, (width_ + 1) / 2, (height_ + 1) / 2) &&
        readableWithSlack(frame.get(), 2, (width_ + 1) / 2, (height_ + 1) / 2)) {
      return frame;
    }
    if (scaler_ == nullptr || frame->width != fromWidth_ || frame->height != fromHeight_ ||
        frame->format != fromFormat_) {
      if (scaler_ != nullptr) ff_.sws_freeContext(scaler_);
      fromWidth_ = frame->width;
      fromHeight_ = frame->height;
      fromFormat_ = frame->format;
      scaler_ = ff_.sws_getContext(fromWidth_, fromHeight_, static_cast<AVPixelFormat>(fromFormat_), width_, height_,
                                   AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
      if (scaler_ == nullptr) return FramePtr(nullptr, FrameDeleter{&ff_});
    }
    FramePtr converted(ff_.av_frame_alloc(), FrameDeleter{&ff_});
    if (!converted) return converted;
    converted->format = AV_PIX_FMT_YUV420P;
    converted->width = width_;
    converted->height = height_;
    // av_frame_get_buffer pads every plane past its end.
    if (ff_.av_frame_get_buffer(converted.get(), 0) < 0) return FramePtr(nullptr, FrameDeleter{&ff_});
    ff_.sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, converted->data, converted->linesize);
    converted->pts = frame->pts;
    converted->best_effort_timestamp = frame->best_effort_timestamp;
    return converted;
  }

 private:
  const FfmpegCalls& ff_;
  const int width_;
  const int height_;
  SwsContext* scaler_ = nullptr;
  int fromWidth_ = 0;
  int fromHeight_ = 0;
  int fromFormat_ = -1;
};

}  // namespace

VideoResult convertVideo(const VideoConversion& job) {
  VideoResult result;
  const auto failWith = [&result](VideoStatus status, std::string detail) {
    result.status = status;
    result.detail = std::move(detail);
    return result;
  };
  const FfmpegCalls* calls = FfmpegCalls::get();
  if (calls == nullptr) return failWith(VideoStatus::EncoderMissing, std::string("FFmpeg's ") + FfmpegCalls::missing() + " cannot be loaded");
  const FfmpegCalls& ff = *calls;
  if (job.map == nullptr || job.map->empty()) return failWith(VideoStatus::NoVideo, "the mirror's ring shows nothing");

  VideoDecoder decoder(ff);
  std::string detail;
  if (const VideoStatus opened = decoder.open(job.input, detail); opened != VideoStatus::Written) {
    return failWith(opened, detail);
  }
  YuvRemapTable table;
  if (!table.build(*job.map, decoder.rotation(), decoder.storedWidth(), decoder.storedHeight())) {
    return failWith(VideoStatus::NoMemory, "out of memory");
  }
  const VideoSettings& settings = job.settings;
  if (!decoder.seek(settings.start)) return failWith(VideoStatus::Unreadable, "it cannot be read from " + videoTimeText(settings.start));

  const AVStream* stream = decoder.videoStream();
  const AVRational timeBase = stream->time_base;
  const double begin = decoder.startTime() + settings.start;
  const double end = settings.duration > 0 ? begin + settings.duration : std::numeric_limits<double>::infinity();
  const auto offset = static_cast<std::int64_t>(std::llround(begin * AV_TIME_BASE));
  const std::int64_t shift = ff.av_rescale_q(offset, AVRational{1, AV_TIME_BASE}, timeBase);
  const double rate = decoder.frameRate();
  std::int64_t expected = decoder.frameCount();
  if (rate > 0 && settings.start > 0) expected -= std::llround(settings.start * rate);
  if (rate > 0 && settings.duration > 0) expected = std::min<std::int64_t>(expected, std::llround(settings.duration * rate));
  expected = std::max<std::int64_t>(expected, 1);

  // Declared first, so that the encoder has closed the temporary before it goes.
  ReplacementFile file(job.output);
  if (!file.created()) return failWith(VideoStatus::WriteFailed, "no file can be made beside it");
  VideoEncoder encoder(ff);
  VideoEncoderInput input;
  input.timeBase = timeBase;
  input.frameRate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  input.fullRange = decoder.fullRange();
  input.source = decoder.format();
  input.audioStreams = decoder.audioStreams();
  const std::uint32_t width = job.map->width();
  const std::uint32_t height = job.map->height();
  if (const VideoStatus opened =
          encoder.open(file.temporaryPath(), width, height, settings, input, detail, result.warning);
      opened != VideoStatus::Written) {
    return failWith(opened, detail);
  }

  const std::uint8_t blackLuma = input.fullRange ? 0 : 16;
  const YuvTone tone(job.brightness, job.contrast, input.fullRange);
  OutputFrames outputs(ff, static_cast<int>(width), static_cast<int>(height), blackLuma);
  const unsigned workers = std::max(1u, workerThreads());
  FrameQueue<NumberedFrame> decoded(2 * workers);
  InOrder unwarped(workers + 2);
  Outcome outcome;
  std::atomic<std::int64_t> framesDone{0};
  std::mutex progressMutex;
  std::condition_variable progressed;
  bool encodingOver = false;
  double lastFrameEnd = 0;

  // Reads, decodes and hands out the frames in the time asked for; writes audio on the way.
  std::thread reader([&] {
    FrameNormaliser normaliser(ff, static_cast<int>(decoder.storedWidth()), static_cast<int>(decoder.storedHeight()));
    AVPacket* packet = ff.av_packet_alloc();
    FramePtr frame(ff.av_frame_alloc(), FrameDeleter{&ff});
    if (packet == nullptr || !frame) outcome.fail(VideoStatus::NoMemory, "out of memory");
    std::int64_t number = 0;
    const double seconds = av_q2d(timeBase);
    while (!outcome.stopped()) {
      const VideoDecoder::Event event = decoder.next(frame.get(), packet);
      if (event == VideoDecoder::Event::End) break;
      if (event == VideoDecoder::Event::Audio) {
        const AVStream* from = decoder.format()->streams[packet->stream_index];
        const double at = packet->pts == AV_NOPTS_VALUE ? begin : packet->pts * av_q2d(from->time_base);
        const bool inside = (settings.start <= 0 || at >= begin) && at < end;
        if (inside && !encoder.writeAudio(packet, offset)) outcome.fail(VideoStatus::WriteFailed, encoder.detail());
        ff.av_packet_unref(packet);
        continue;
      }
      std::int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
      const double at = pts == AV_NOPTS_VALUE ? begin : pts * seconds;
      if (settings.start > 0 && at < begin - 1e-6) {
        ff.av_frame_unref(frame.get());
        continue;
      }
      if (at >= end) break;
      frame->pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : pts - shift;
      FramePtr ready = normaliser.normalise(std::move(frame));
      frame = FramePtr(ff.av_frame_alloc(), FrameDeleter{&ff});
      if (!ready || !frame) {
        outcome.fail(VideoStatus::NoMemory, "out of memory");
        break;
      }
      if (!decoded.put({number++, std::move(ready)})) break;
    }
    decoded.close();
    ff.av_packet_free(&packet);
  });

  // Unwarps frames as they come, several at a time.
  std::vector<std::thread> unwarpers;
  std::atomic<unsigned> unwarpersLeft{workers};
  for (unsigned k = 0; k < workers; ++k) {
    unwarpers.emplace_back([&] {
      while (std::optional<NumberedFrame> item = decoded.take()) {
        if (outcome.stopped() || !unwarped.admit(item->number, outcome)) continue;
        AVFrame* out = outputs.take();
        if (out == nullptr) {
          outcome.fail(VideoStatus::NoMemory, "out of memory");
          continue;
        }
        const AVFrame* in = item->frame.get();
        remapPlaneRows(table.luma(), in->data[0], in->linesize[0], out->data[0], out->linesize[0], 0,
                       table.luma().rows, blackLuma);
        for (int plane = 1; plane < 3; ++plane) {
          remapPlaneRows(table.chroma(), in->data[plane], in->linesize[plane], out->data[plane], out->linesize[plane],
                         0, table.chroma().rows, 128);
        }
        if (!tone.identity()) {
          for (std::uint32_t row = 0; row < table.luma().rows; ++row) {
            tone.applyLuma(out->data[0] + std::size_t(table.luma().top + row) * out->linesize[0], width);
          }
          for (int plane = 1; plane < 3; ++plane) {
            for (std::uint32_t row = 0; row < table.chroma().rows; ++row) {
              tone.applyChroma(out->data[plane] + std::size_t(table.chroma().top + row) * out->linesize[plane],
                               width / 2);
            }
          }
        }
        out->pts = in->pts;
        unwarped.put(item->number, out);
      }
      if (unwarpersLeft.fetch_sub(1) == 1) unwarped.finish();
    });
  }

  // Encodes them in order.
  std::thread writer([&] {
    const double seconds = av_q2d(timeBase);
    const double frameLength = rate > 0 ? 1 / rate : 0;
    for (std::int64_t number = 0; AVFrame* frame = unwarped.take(number, outcome); ++number) {
      const bool written = encoder.writeFrame(frame);
      const double at = frame->pts * seconds;
      outputs.giveBack(frame);
      if (!written) {
        outcome.fail(VideoStatus::WriteFailed, encoder.detail());
        break;
      }
      {
        const std::lock_guard<std::mutex> lock(progressMutex);
        lastFrameEnd = at + frameLength;
      }
      framesDone.store(number + 1);
      progressed.notify_all();
    }
    const std::lock_guard<std::mutex> lock(progressMutex);
    encodingOver = true;
    progressed.notify_all();
  });

  // Reports on this thread, which may be the window's.
  for (bool over = false; !over;) {
    {
      std::unique_lock<std::mutex> lock(progressMutex);
      progressed.wait_for(lock, std::chrono::milliseconds(100), [&] { return encodingOver; });
      over = encodingOver;
    }
    const std::int64_t done = framesDone.load();
    bool go = !Interruption::stopped();
    if (job.progress != nullptr && !outcome.stopped()) {
      const auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(v, std::numeric_limits<std::int32_t>::max()));
      };
      go = job.progress->reportProgress(clamp(done), clamp(std::max(expected, done))) != 0 && go;
    }
    if (!go) outcome.fail(VideoStatus::Stopped, "stopped");
    if (outcome.stopped()) {
      decoded.close();
      unwarped.finish();
    }
  }
  decoded.close();
  unwarped.finish();
  reader.join();
  for (std::thread& unwarper : unwarpers) unwarper.join();
  writer.join();
  if (job.progress != nullptr) job.progress->endProgress();

  VideoStatus failure = VideoStatus::Written;
  if (outcome.failed(failure, detail)) return failWith(failure, detail);
  result.frames = framesDone.load();
  if (result.frames == 0) {
    return failWith(VideoStatus::NoVideo,
                    decoder.damaged() ? "no frame decodes: " + decoder.damage() : "no frame in the time asked for");
  }
  if (!encoder.finish()) return failWith(VideoStatus::WriteFailed, encoder.detail());
  if (!addSphericalV1Box(file.temporaryPath(), detail)) return failWith(VideoStatus::WriteFailed, detail);
  if (!file.commit()) {
    return failWith(Interruption::stopped() ? VideoStatus::Stopped : VideoStatus::WriteFailed,
                    "it cannot be put in place");
  }
  result.width = width;
  result.height = height;
  if (decoder.damaged()) {
    result.status = VideoStatus::Damaged;
    result.stoppedAt = lastFrameEnd;
    result.detail = decoder.damage();
  }
  return result;
}

}  // namespace kelmira
