#include "tools/hvxview/stream_hub.h"

#include <chrono>

#include "tools/hvxview/grey_jpeg.h"

namespace {
// Longest single wait of the encoder, so that Stop is noticed soon.
constexpr int kEncoderWaitMs = 250;
}  // namespace

StreamHub::StreamHub(FrameFeed* feed, int quality) : feed_(feed), quality_(quality) {}

StreamHub::~StreamHub() { Stop(); }

void StreamHub::Start() { encoder_ = std::thread([this] { Encode(); }); }

void StreamHub::Stop() {
  {
    MutexLock lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }
  if (encoder_.joinable()) encoder_.join();
}

int StreamHub::AddReader() {
  MutexLock lock(mutex_);
  const int id = nextReaderId_++;
  readers_[id].id = id;
  changed_.notify_all();
  return id;
}

void StreamHub::RemoveReader(int id) {
  MutexLock lock(mutex_);
  readers_.erase(id);
}

std::shared_ptr<const StreamPicture> StreamHub::NextPicture(int reader, uint64_t after,
                                                            int timeoutMs) {
  MutexLock lock(mutex_);
  lock.WaitFor(changed_, std::chrono::milliseconds(timeoutMs), [&]() REQUIRES(mutex_) {
    return stopped_ || (latest_ != nullptr && latest_->frameSequence > after);
  });
  if (stopped_ || latest_ == nullptr || latest_->frameSequence <= after) return nullptr;
  auto found = readers_.find(reader);
  if (found != readers_.end()) {
    found->second.sent += 1;
    // The first picture of a reader skips nothing: it joined then.
    if (after != 0) found->second.skipped += latest_->frameSequence - after - 1;
  }
  return latest_;
}

std::vector<StreamReaderStats> StreamHub::Readers() const {
  MutexLock lock(mutex_);
  std::vector<StreamReaderStats> readers;
  for (const auto& [id, stats] : readers_) readers.push_back(stats);
  return readers;
}

uint64_t StreamHub::encodeFailures() const {
  MutexLock lock(mutex_);
  return encodeFailures_;
}

void StreamHub::Encode() {
  uint64_t encoded = 0;
  for (;;) {
    {
      MutexLock lock(mutex_);
      lock.WaitFor(changed_, std::chrono::milliseconds(kEncoderWaitMs),
                   [&]() REQUIRES(mutex_) { return stopped_ || !readers_.empty(); });
      if (stopped_) return;
      if (readers_.empty()) continue;
    }
    std::shared_ptr<const ViewFrame> frame = feed_->WaitNewer(encoded, kEncoderWaitMs);
    if (frame == nullptr) continue;
    encoded = frame->sequence;
    auto picture = std::make_shared<StreamPicture>();
    picture->frameSequence = frame->sequence;
    picture->frameNumber = frame->header.frameNumber;
    std::string error;
    const bool ok = EncodeGreyJpeg(*frame, quality_, &picture->jpeg, &error);
    MutexLock lock(mutex_);
    if (!ok) {
      ++encodeFailures_;
      continue;
    }
    latest_ = std::move(picture);
    changed_.notify_all();
  }
}
