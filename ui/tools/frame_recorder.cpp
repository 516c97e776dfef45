#include "ui/tools/frame_recorder.h"

#include <QDir>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "picture/frame_name.h"
#include "picture/picture_file.h"

namespace ombrisk {

FrameRecorder::FrameRecorder(const QString& folder, std::size_t queue_limit)
    : folder_(folder), queue_limit_(std::max<std::size_t>(queue_limit, 1)) {
  thread_ = std::thread([this] { write_frames(); });
}

FrameRecorder::~FrameRecorder() { stop(); }

QString FrameRecorder::frame_file_name(int step) {
  return QString::fromStdString(ombrisk::frame_file_name(step));
}

bool FrameRecorder::add_frame(int step, const QImage& picture) {
  // Copied row by row below, which only keeps the colours of a picture whose
  // pixels hold them (an indexed one would lose its colour table).
  const bool holds_colours = picture.format() == QImage::Format_RGB32 ||
                             picture.format() == QImage::Format_ARGB32 ||
                             picture.format() == QImage::Format_ARGB32_Premultiplied;
  const QImage source = holds_colours ? picture : picture.convertToFormat(QImage::Format_RGB32);

  std::unique_lock lock(mutex_);
  if (stopping_) return false;
  // A frame being copied holds its place in the queue, so callers on several
  // threads never queue more than the limit between them.
  const bool room = room_or_idle_.wait_for(lock, std::chrono::milliseconds(kRoomWaitMs), [this] {
    return stopping_ || queue_.size() + copying_ < queue_limit_;
  });
  if (stopping_) return false;
  if (!room) {
    drop_frame(step, QStringLiteral("Frames are written more slowly than the run makes them"));
    return false;
  }
  QImage image;
  if (!spare_.empty()) {
    image = std::move(spare_.back());
    spare_.pop_back();
  }
  ++copying_;
  lock.unlock();
  // Into an image that has held a frame before when there is one: a fresh
  // one of a few megabytes costs the window thread its page faults, and
  // giving it back to the system interrupts the threads that are stepping.
  if (image.size() != source.size() || image.format() != source.format()) {
    image = QImage(source.size(), source.format());
  }
  const bool allocated = !image.isNull() || source.isNull();
  if (allocated) {
    const qsizetype row_bytes = std::min(image.bytesPerLine(), source.bytesPerLine());
    for (int y = 0; y < source.height(); ++y) {
      std::memcpy(image.scanLine(y), source.constScanLine(y), static_cast<std::size_t>(row_bytes));
    }
  }
  lock.lock();
  --copying_;
  if (stopping_ || !allocated) {
    if (!stopping_) drop_frame(step, QStringLiteral("There is not enough memory to hold a frame"));
    lock.unlock();
    room_or_idle_.notify_all();
    return false;
  }
  queue_.push_back({step, std::move(image)});
  lock.unlock();
  frame_ready_.notify_one();
  return true;
}

void FrameRecorder::drop_frame(int step, const QString& reason) {
  ++dropped_;
  note_failure(QStringLiteral("%1: frame %2 was not written")
                   .arg(reason, QDir(folder_).filePath(frame_file_name(step))));
}

void FrameRecorder::wait_until_written() {
  std::unique_lock lock(mutex_);
  room_or_idle_.wait(lock, [this] { return queue_.empty() && !writing_ && copying_ == 0; });
}

void FrameRecorder::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && !thread_.joinable()) return;
    stopping_ = true;
  }
  frame_ready_.notify_all();
  room_or_idle_.notify_all();
  if (thread_.joinable()) thread_.join();
}

QString FrameRecorder::take_error() {
  std::lock_guard lock(mutex_);
  if (error_reported_) return {};
  error_reported_ = !error_.isEmpty();
  return error_;
}

std::size_t FrameRecorder::frames_written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::size_t FrameRecorder::frames_failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

std::size_t FrameRecorder::frames_dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void FrameRecorder::note_failure(const QString& text) {
  if (error_.isEmpty()) error_ = text;
}

void FrameRecorder::write_frames() {
  const QDir dir(folder_);
  std::unique_lock lock(mutex_);
  for (;;) {
    frame_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    // Stopping still writes what is queued.
    if (queue_.empty()) return;
    Frame frame = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    room_or_idle_.notify_all();

    QString error;
    const bool ok = save_picture_png(frame.image, dir.filePath(frame_file_name(frame.step)), &error,
                                     kPngQuality);

    lock.lock();
    if (spare_.size() < queue_limit_) spare_.push_back(std::move(frame.image));
    writing_ = false;
    if (ok) {
      ++written_;
    } else {
      ++failed_;
      note_failure(error);
    }
    room_or_idle_.notify_all();
  }
}

}  // namespace ombrisk
