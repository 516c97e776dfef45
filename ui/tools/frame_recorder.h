// Writes the pictures of a run as numbered PNG files in a folder, encoding
// them on a thread of its own so that the window thread only hands them over.
#pragma once

#include <QImage>
#include <QString>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ombrisk {

class FrameRecorder {
 public:
  // Frames waiting to be written at most; each holds a whole picture.
  static constexpr std::size_t kDefaultQueueLimit = 4;
  // How long add_frame waits for room before it drops a frame.
  static constexpr int kRoomWaitMs = 5000;
  // Fast PNG compression: a run makes many frames, and the encoding competes
  // with the steps for the processor.
  static constexpr int kPngQuality = 80;

  explicit FrameRecorder(const QString& folder, std::size_t queue_limit = kDefaultQueueLimit);
  // Writes what is still queued, as stop().
  ~FrameRecorder();
  FrameRecorder(const FrameRecorder&) = delete;
  FrameRecorder& operator=(const FrameRecorder&) = delete;

  // "frame_NNNNNN.png": the step zero-padded to six digits, more when larger.
  static QString frame_file_name(int step);

  // Queues a copy of the picture of `step` for writing as
  // folder/frame_file_name(step) and returns at once while the queue has
  // room. When it is full (the disk is slower than the run), waits for room
  // up to kRoomWaitMs, so no frame is lost to a short stall; after that, or
  // when there is no memory for the copy, the frame is dropped, counted and
  // reported through take_error(). Returns false when the frame was not
  // queued (dropped, or the recorder stopped). Safe from several threads.
  bool add_frame(int step, const QImage& picture);

  // Blocks until every queued frame has been written (or has failed).
  void wait_until_written();

  // Writes every queued frame, then ends the writing thread. Later frames are
  // refused. Safe to call more than once.
  void stop();

  const QString& folder() const { return folder_; }

  // The first failure (a file that could not be written, or a dropped
  // frame), once; empty before it and on every later call. Failures after
  // the first are only counted, so a full disk gives one message, not one
  // per frame.
  QString take_error();

  std::size_t frames_written() const;
  std::size_t frames_failed() const;
  std::size_t frames_dropped() const;

 private:
  struct Frame {
    int step;
    QImage image;
  };

  void write_frames();
  void note_failure(const QString& text);  // with mutex_ held
  void drop_frame(int step, const QString& reason);  // with mutex_ held

  const QString folder_;
  const std::size_t queue_limit_;

  mutable std::mutex mutex_;
  std::condition_variable frame_ready_;
  std::condition_variable room_or_idle_;
  std::deque<Frame> queue_;
  std::vector<QImage> spare_;  // written frames' images, for the next ones
  std::size_t copying_ = 0;    // frames being copied in add_frame, outside the lock
  bool writing_ = false;  // the thread is writing a frame taken off the queue
  bool stopping_ = false;
  std::size_t written_ = 0;
  std::size_t failed_ = 0;
  std::size_t dropped_ = 0;
  QString error_;
  bool error_reported_ = false;

  std::thread thread_;
};

}  // namespace ombrisk
