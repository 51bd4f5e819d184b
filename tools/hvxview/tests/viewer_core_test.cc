// The viewer's pieces without a server: what the feed counts, how stream readers
// skip frames without holding each other up, the 16-bit grey mapping, the --http
// value, which requests the request gate lets through and which values the fault
// controls write.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tools/hvxview/fault_controls.h"
#include "tools/hvxview/frame_feed.h"
#include "tools/hvxview/grey_jpeg.h"
#include "tools/hvxview/listen_address.h"
#include "tools/hvxview/request_gate.h"
#include "tools/hvxview/stream_hub.h"

namespace {

// A 2x1 frame of 8-bit pixels with the given frame number, received at AT seconds.
ViewFrame Frame(uint32_t frameNumber, double at) {
  static const uint8_t kPixels[2] = {10, 20};
  ViewFrame frame;
  frame.header.width = 2;
  frame.header.height = 1;
  frame.header.bytesPerPixel = 1;
  frame.header.frameNumber = frameNumber;
  frame.header.timeSeconds = static_cast<uint32_t>(at);
  frame.header.timeMicroseconds = static_cast<uint32_t>((at - frame.header.timeSeconds) * 1e6 + 0.5);
  frame.pixels = kPixels;
  frame.pixelBytes = 2;
  frame.receivedAt = at + 0.004;
  return frame;
}

TEST(FrameFeed, GapsInFrameNumbersCountAsMissedAndAServerRestartDoesNot) {
  FrameFeed feed;
  feed.Publish(Frame(5, 1000.0));
  feed.Publish(Frame(6, 1000.1));
  feed.Publish(Frame(9, 1000.2));  // 7 and 8 never came
  feed.Publish(Frame(1, 1000.3));  // the server began again
  feed.Publish(Frame(2, 1000.4));
  const FeedStats stats = feed.Stats(1000.5);
  EXPECT_EQ(5u, stats.received);
  EXPECT_EQ(2u, stats.missed);
  EXPECT_NEAR(4.0, stats.lastLatencyMs, 0.01);
  EXPECT_EQ(5u, feed.Latest()->sequence);
}

TEST(FrameFeed, RateIsTheLastWholeSecondAndHistoryKeepsAMinute) {
  FrameFeed feed;
  uint32_t number = 0;
  for (int second = 0; second < 70; ++second) {
    for (int i = 0; i < 25; ++i) feed.Publish(Frame(++number, 2000 + second + i / 25.0));
  }
  const FeedStats stats = feed.Stats(2070.2);
  EXPECT_EQ(25.0, stats.frameRate);
  ASSERT_EQ(static_cast<size_t>(FrameFeed::kHistorySeconds), stats.history.size());
  EXPECT_EQ(2069, stats.history.back().second);
  EXPECT_EQ(2010, stats.history.front().second);
  // Nothing for two seconds: no rate, however many came before.
  EXPECT_EQ(0.0, feed.Stats(2072.0).frameRate);
}

TEST(FrameFeed, WaitNewerTimesOutAndEndsAtStop) {
  FrameFeed feed;
  feed.Publish(Frame(1, 1.0));
  EXPECT_EQ(nullptr, feed.WaitNewer(1, 50));
  EXPECT_NE(nullptr, feed.WaitNewer(0, 50));
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    feed.Stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(nullptr, feed.WaitNewer(1, 10000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  stopper.join();
}

// A reader that is busy misses pictures (counted), while a reader that keeps up gets
// every one; neither waits for the other.
TEST(StreamHub, ABusyReaderSkipsWhileAnotherGetsEveryPictureAndALateOneSkipsNothing) {
  FrameFeed feed;
  StreamHub hub(&feed, 80);
  const int quick = hub.AddReader();
  const int busy = hub.AddReader();
  hub.Start();
  uint64_t quickLast = 0, busyLast = 0;
  int quickGot = 0;
  for (uint32_t n = 1; n <= 10; ++n) {
    feed.Publish(Frame(n, 1.0 + n));
    auto picture = hub.NextPicture(quick, quickLast, 5000);
    ASSERT_NE(nullptr, picture) << "frame " << n;
    EXPECT_EQ(n, picture->frameNumber);
    EXPECT_EQ(0xFF, static_cast<uint8_t>(picture->jpeg[0]));  // a JPEG starts FF D8
    quickLast = picture->frameSequence;
    ++quickGot;
    if (n == 1 || n == 10) {
      auto late = hub.NextPicture(busy, busyLast, 5000);
      ASSERT_NE(nullptr, late);
      busyLast = late->frameSequence;
    }
  }
  // A reader that joins after ten pictures skipped none of them: its first is where it
  // starts.
  const int joiner = hub.AddReader();
  ASSERT_NE(nullptr, hub.NextPicture(joiner, 0, 5000));
  hub.Stop();
  EXPECT_EQ(nullptr, hub.NextPicture(quick, quickLast, 10000));  // stopped: no wait
  EXPECT_EQ(10, quickGot);
  for (const StreamReaderStats& r : hub.Readers()) {
    if (r.id == quick) {
      EXPECT_EQ(0u, r.skipped);
    }
    if (r.id == busy) {
      EXPECT_EQ(2u, r.sent);
      EXPECT_EQ(8u, r.skipped);
    }
    if (r.id == joiner) {
      EXPECT_EQ(1u, r.sent);
      EXPECT_EQ(0u, r.skipped);
    }
  }
}

TEST(Grey8, SixteenBitPixelsKeepTheTopEightOfTheirEffectiveBits) {
  const uint8_t pixels[6] = {0xFF, 0x0F, 0x00, 0x08, 0xFF, 0xFF};  // 4095, 2048, 65535
  ViewFrame frame;
  frame.header.width = 3;
  frame.header.height = 1;
  frame.header.bytesPerPixel = 2;
  frame.header.effectiveBitsPerPixel = 12;
  frame.pixels = pixels;
  frame.pixelBytes = 6;
  std::vector<uint8_t> grey;
  std::string error;
  ASSERT_TRUE(FrameToGrey8(frame, &grey, &error));
  EXPECT_EQ((std::vector<uint8_t>{255, 128, 255}), grey);  // above 12 bits: clipped
  frame.header.bytesPerPixel = 3;
  EXPECT_FALSE(FrameToGrey8(frame, &grey, &error));
  EXPECT_NE(std::string::npos, error.find("3 bytes per pixel"));
}

TEST(ListenAddress, HostAndPortOrAReason) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"127.0.0.1:8080", true, "127.0.0.1", 8080}, {"[::1]:0", true, "::1", 0},
      {"0.0.0.0:65535", true, "0.0.0.0", 65535},   {"127.0.0.1:65536", false, "", 0},
      {"127.0.0.1", false, "", 0},                 {":8080", false, "", 0},
      {"::1:8080", false, "", 0},                  {"localhost:80x", false, "", 0},
      {"localhost:", false, "", 0},
  };
  for (const Case& c : cases) {
    std::string host, error;
    int port = -1;
    EXPECT_EQ(c.ok, ParseListenAddress(c.text, &host, &port, &error)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.host, host) << c.text;
      EXPECT_EQ(c.port, port) << c.text;
    } else {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
}

// Which host names and origins count as the viewer's own, and which requests pass.
TEST(RequestGate, OwnHostsOriginsAndControlHeaderOnly) {
  struct Case {
    const char* place;  // listened host
    const char* method;
    const char* host;    // nullptr: no Host header
    const char* origin;  // nullptr: no Origin header
    const char* control; // nullptr: no X-HVX-Control header
    const char* length;  // nullptr: no Content-Length header
    int status;
  };
  const Case cases[] = {
      {"127.0.0.1", "GET", "127.0.0.1:8080", nullptr, nullptr, nullptr, 0},
      {"127.0.0.1", "GET", "LocalHost:8080", nullptr, nullptr, nullptr, 0},
      {"127.0.0.1", "GET", "127.0.0.1", nullptr, nullptr, nullptr, 0},  // a tool's
      {"127.0.0.1", "GET", nullptr, nullptr, nullptr, nullptr, 0},
      {"127.0.0.1", "GET", "evil.example:8080", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "GET", "127.0.0.1:8081", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "GET", "127.0.0.1:8080x", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "GET", "", nullptr, nullptr, nullptr, 403},
      {"192.168.1.5", "GET", "localhost:8080", nullptr, nullptr, nullptr, 403},
      {"::1", "GET", "[::1]:8080", nullptr, nullptr, nullptr, 0},
      {"::1", "GET", "[::1", nullptr, nullptr, nullptr, 403},
      // Listening on every address: the address the connection reached (10.0.0.2).
      {"0.0.0.0", "GET", "10.0.0.2:8080", nullptr, nullptr, nullptr, 0},
      {"0.0.0.0", "GET", "myhost:8080", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "http://127.0.0.1:8080", "1", "0", 0},
      {"127.0.0.1", "POST", "localhost:8080", "http://localhost:8080", "1", nullptr, 0},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, "1", nullptr, 0},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, "true", nullptr, 403},
      {"127.0.0.1", "POST", nullptr, nullptr, "1", nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "http://evil.example", "1", nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "null", "1", nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "http://127.0.0.1", "1", nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "https://127.0.0.1:8080", "1", nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", "http://127.0.0.1:8080/", "1", nullptr, 403},
      {"127.0.0.1", "DELETE", "127.0.0.1:8080", nullptr, nullptr, nullptr, 403},
      {"127.0.0.1", "OPTIONS", "127.0.0.1:8080", "http://evil.example", nullptr, nullptr, 403},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, "1", "4096", 0},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, "1", "4097", 413},
      {"127.0.0.1", "POST", "127.0.0.1:8080", nullptr, "1", "-1", 413},
  };
  for (const Case& c : cases) {
    httplib::Request req;
    req.method = c.method;
    req.local_addr = c.place == std::string("0.0.0.0") ? "10.0.0.2" : c.place;
    if (c.host != nullptr) req.headers.emplace("Host", c.host);
    if (c.origin != nullptr) req.headers.emplace("Origin", c.origin);
    if (c.control != nullptr) req.headers.emplace(kControlHeader, c.control);
    if (c.length != nullptr) req.headers.emplace("Content-Length", c.length);
    std::string why;
    const int status = RefusalOf(req, ListenPlace{c.place, 8080}, &why);
    const std::string shown = std::string(c.method) + " Host " + (c.host ? c.host : "-") +
                              " Origin " + (c.origin ? c.origin : "-") + " on " + c.place;
    EXPECT_EQ(c.status, status) << shown;
    EXPECT_EQ(c.status != 0, !why.empty()) << shown;
  }
  httplib::Request chunked;
  chunked.method = "POST";
  chunked.headers.emplace("Host", "127.0.0.1:8080");
  chunked.headers.emplace("Transfer-Encoding", "chunked");
  std::string why;
  EXPECT_EQ(411, RefusalOf(chunked, ListenPlace{"127.0.0.1", 8080}, &why));
}

// A control's value is a plain decimal int32 the property accepts; anything else is
// refused with a reason naming the property, before the server is asked.
TEST(FaultControls, ValuesAreWholeNumbersThePropertyAccepts) {
  const auto control = [](const char* path) -> const FaultControl& {
    for (size_t i = 0; i < kFaultControlCount; ++i)
      if (std::string(kFaultControls[i].path) == path) return kFaultControls[i];
    ADD_FAILURE() << "no control " << path;
    return kFaultControls[0];
  };
  struct Case {
    const char* path;
    const char* text;  // nullptr: no parameter
    bool accepted;
    int32_t value;     // when accepted
  };
  const Case cases[] = {
      {"/fault/disconnect", "2000", true, 2000},
      {"/fault/disconnect", "0", true, 0},
      {"/fault/disconnect", "2147483647", true, 2147483647},
      {"/fault/disconnect", "2147483648", false, 0},
      {"/fault/disconnect", "-1", false, 0},
      {"/fault/disconnect", "", false, 0},
      {"/fault/disconnect", nullptr, false, 0},
      {"/fault/disconnect", "20s", false, 0},
      {"/fault/disconnect", " 20", false, 0},
      {"/fault/disconnect", "+20", false, 0},
      {"/fault/disconnect", "0x10", false, 0},
      {"/fault/stall", "500", true, 500},
      {"/fault/stall", "1e3", false, 0},
      {"/fault/drop", "0", true, 0},
      {"/fault/drop", "1", false, 0},
      {"/fault/drop", "2", true, 2},
      {"/fault/drop", "-3", false, 0},
      {"/fault/reset", nullptr, true, 1},
  };
  for (const Case& c : cases) {
    int32_t value = -12345;
    std::string why;
    const bool accepted = FaultControlValue(control(c.path), c.text != nullptr,
                                            c.text != nullptr ? c.text : "", &value, &why);
    const std::string shown = std::string(c.path) + " " + (c.text ? c.text : "(none)");
    EXPECT_EQ(c.accepted, accepted) << shown << ": " << why;
    if (c.accepted) {
      EXPECT_EQ(c.value, value) << shown;
    } else {
      EXPECT_EQ(-12345, value) << shown;
      EXPECT_NE(std::string::npos,
                why.find(FaultPropertyName(control(c.path).property)))
          << shown << ": " << why;
    }
  }
}

}  // namespace
