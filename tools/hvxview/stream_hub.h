// The MJPEG stream behind /stream.mjpg: one encoder thread turns the newest frame into
// a JPEG picture while anybody reads the stream, and every reader takes the newest
// picture whenever it is ready for one. A reader still busy with its last picture
// simply misses the ones in between (counted as skipped), so no reader ever waits for
// another and none slows the subscription.
//
// Ownership: owned by main; started after the FrameFeed, stopped before the HTTP
// server ends. Threading: AddReader, NextPicture, RemoveReader and Readers from any
// thread (each reader from its own HTTP thread); Start and Stop on main.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/annotated_mutex.h"
#include "tools/hvxview/frame_feed.h"

struct StreamPicture {
  uint64_t frameSequence = 0;  // the ViewFrame it shows
  uint32_t frameNumber = 0;
  std::string jpeg;
};

struct StreamReaderStats {
  int id = 0;
  uint64_t sent = 0;
  uint64_t skipped = 0;  // frames the viewer received that this reader never got
};

class StreamHub final {
 public:
  StreamHub(FrameFeed* feed, int quality);
  ~StreamHub();
  StreamHub(const StreamHub&) = delete;
  StreamHub& operator=(const StreamHub&) = delete;

  void Start();
  // Wakes every reader (their NextPicture answers null from now on) and joins the encoder.
  void Stop() EXCLUDES(mutex_);

  // A new reader's id; the encoder runs while there is at least one.
  int AddReader() EXCLUDES(mutex_);
  void RemoveReader(int id) EXCLUDES(mutex_);
  // The newest picture once it shows a frame after the one AFTER (a frame sequence)
  // and counts it as sent to READER; null after timeoutMs or once stopped.
  std::shared_ptr<const StreamPicture> NextPicture(int reader, uint64_t after, int timeoutMs)
      EXCLUDES(mutex_);
  std::vector<StreamReaderStats> Readers() const EXCLUDES(mutex_);
  uint64_t encodeFailures() const EXCLUDES(mutex_);

 private:
  void Encode() EXCLUDES(mutex_);

  FrameFeed* const feed_;
  const int quality_;
  std::thread encoder_;
  mutable Mutex mutex_;
  std::condition_variable changed_;  // a new picture, a reader came, or Stop
  std::shared_ptr<const StreamPicture> latest_ GUARDED_BY(mutex_);
  std::map<int, StreamReaderStats> readers_ GUARDED_BY(mutex_);
  int nextReaderId_ GUARDED_BY(mutex_) = 1;
  uint64_t encodeFailures_ GUARDED_BY(mutex_) = 0;
  bool stopped_ GUARDED_BY(mutex_) = false;
};
