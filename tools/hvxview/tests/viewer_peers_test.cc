// hvxview against peers that mean harm, on loopback: requests a foreign web page can
// make a browser send (cross-site forms and "simple" requests, a rebound host name),
// hundreds of connections that sit idle or send their head a line at a time, and
// request bodies of hundreds of megabytes. The viewer must refuse what isn't its own
// page's, keep answering its status meanwhile, and stay small.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sanitizer_report.h"
#include "tests/support/temp_dir.h"
#include "tests/system/hvx_server_run.h"
#include "tools/hvxview/tests/viewer_run.h"

namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A connected loopback TCP socket, or -1.
int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Sends REQUEST on a new connection and reads the answer until the viewer closes or
// 10 s pass; the answer so far.
std::string Exchange(int port, const std::string& request) {
  const int fd = Connect(port);
  if (fd < 0) return "";
  std::string answer;
  if (SendAll(fd, request)) {
    const Clock::time_point start = Clock::now();
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (ElapsedMs(start) < 10000 && poll(&p, 1, 200) >= 0) {
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
      // One answer is enough: its head and as much body as it announced.
      const size_t headEnd = answer.find("\r\n\r\n");
      const size_t length = answer.find("Content-Length: ");
      if (headEnd != std::string::npos && length != std::string::npos &&
          answer.size() >= headEnd + 4 + std::stoul(answer.substr(length + 16))) {
        break;
      }
    }
  }
  close(fd);
  return answer;
}

// The status code of an answer, 0 when there is none.
int StatusOf(const std::string& answer) {
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return 0;
  return std::atoi(answer.c_str() + 9);
}

// How long GET /status.json took to answer 200 (ms), or -1 when it didn't within 15 s.
// The viewer answers within milliseconds; the bounds below allow for the sanitizers on
// a loaded machine, where starting a few hundred threads takes seconds.
int StatusAnswerMs(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(15, 0);
  client.set_read_timeout(15, 0);
  const Clock::time_point start = Clock::now();
  auto answer = client.Get("/status.json");
  if (!answer || answer->status != 200) return -1;
  return ElapsedMs(start);
}

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"), -1 when unreadable.
long ProcStatusKb(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// Whether the viewer has ended connection FD (it answered or closed); reads what came.
bool EndedByViewer(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
  }
}

// Sends a request with HEAD and then BODY_BYTES more bytes (zeros; in chunks of a
// megabyte when CHUNKED) as fast as the viewer takes them, stopping when it answers or
// closes. The answer, if any.
std::string SendHugeRequest(int port, const std::string& head, size_t bodyBytes,
                            bool chunked) {
  const int fd = Connect(port);
  if (fd < 0) return "";
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  constexpr size_t kPiece = 1 << 20;
  std::string piece(kPiece, '\0');
  if (chunked) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", kPiece);
    piece = size + piece + "\r\n";
  }
  std::string pending = head;
  size_t left = bodyBytes;
  std::string answer;
  const Clock::time_point start = Clock::now();
  while (ElapsedMs(start) < 60000) {
    if (pending.empty() && left > 0) {
      const size_t n = std::min(left, kPiece);
      pending = chunked ? piece : piece.substr(0, n);
      left -= n;
      if (chunked && left == 0) pending += "0\r\n\r\n";
    }
    pollfd p{fd, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    if (poll(&p, 1, 10000) <= 0) break;  // nothing sent or answered for 10 s
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[4096];
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
      if (answer.find("\r\n\r\n") != std::string::npos) break;
      continue;
    }
    const ssize_t n = send(fd, pending.data(), pending.size(), MSG_NOSIGNAL);
    if (n <= 0) break;
    pending.erase(0, static_cast<size_t>(n));
  }
  close(fd);
  return answer;
}

class ViewerPeersTest : public ::testing::Test {
 protected:
  void StartBoth(const std::vector<std::string>& viewerArgs = {}) {
    server_.settings() = WithValue(server_.settings(), "Hardware", "LimitFramerate", "25");
    ASSERT_TRUE(server_.WriteSettings());
    ASSERT_TRUE(server_.WriteAnimation(CounterAnimation(160, 120, 50)));
    ASSERT_TRUE(server_.Start());
    ASSERT_TRUE(server_.WaitServing(10000)) << server_.Stderr();
    ASSERT_TRUE(viewer_.Start(viewerArgs)) << viewer_.Output();
    port_ = viewer_.port();
  }
  void TearDown() override {
    for (int fd : peers_) close(fd);
    int status = 0;
    if (viewer_.port() > 0) {
      EXPECT_TRUE(viewer_.Stop(&status)) << viewer_.Output();
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << viewer_.Output();
      EXPECT_EQ("", SanitizerReportIn(viewer_.Output()));
    }
    server_.Stop();
  }
  std::string Own() const { return "127.0.0.1:" + std::to_string(port_); }

  HvxServerRun server_;
  ViewerRun viewer_{server_};
  int port_ = 0;
  std::vector<int> peers_;  // connections the test holds open, closed at its end
};

TEST_F(ViewerPeersTest, ControlRequestsAForeignPageCouldSendAreRefused) {
  ASSERT_NO_FATAL_FAILURE(StartBoth({"--allow-control"}));
  const std::string restart = "POST /restart HTTP/1.1\r\n";
  const std::string body = "Content-Length: 3\r\n\r\nx=1";
  struct Case {
    const char* what;
    std::string request;
  };
  const Case refused[] = {
      {"cross-site simple request",
       restart + "Host: " + Own() +
           "\r\nOrigin: http://evil.example\r\nContent-Type: text/plain\r\n" + body},
      {"cross-site form",
       restart + "Host: " + Own() +
           "\r\nOrigin: http://evil.example\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n" + body},
      // A page whose name was rebound to 127.0.0.1 is of the same origin for the
      // browser, so it may send the header; its Host gives it away.
      {"rebound host name",
       restart + "Host: evil.example:" + std::to_string(port_) +
           "\r\nOrigin: http://evil.example:" + std::to_string(port_) +
           "\r\nX-HVX-Control: 1\r\nContent-Length: 0\r\n\r\n"},
      {"foreign origin with the header",
       restart + "Host: " + Own() +
           "\r\nOrigin: http://evil.example\r\nX-HVX-Control: 1\r\nContent-Length: 0\r\n\r\n"},
      {"no header", restart + "Host: " + Own() + "\r\nContent-Length: 0\r\n\r\n"},
      {"no host", restart + "X-HVX-Control: 1\r\nContent-Length: 0\r\n\r\n"},
      {"rebound host name reading the status",
       "GET /status.json HTTP/1.1\r\nHost: evil.example:" + std::to_string(port_) + "\r\n\r\n"},
  };
  for (const Case& c : refused) {
    const std::string answer = Exchange(port_, c.request);
    EXPECT_EQ(403, StatusOf(answer)) << c.what << ":\n" << answer;
  }

  const std::string status =
      Exchange(port_, "GET /status.json HTTP/1.1\r\nHost: localhost:" + std::to_string(port_) +
                          "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(200, StatusOf(status)) << status;
  // What the page itself sends.
  const std::string own =
      Exchange(port_, restart + "Host: " + Own() + "\r\nOrigin: http://" + Own() +
                          "\r\nX-HVX-Control: 1\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(200, StatusOf(own)) << own;
  EXPECT_NE(std::string::npos, own.find("Server restarting.")) << own;
}

// 300 connections that never send a byte: the status still answers at once, and the
// viewer closes them itself within a few seconds.
TEST_F(ViewerPeersTest, IdleConnectionsDoNotShutOutTheStatus) {
  ASSERT_NO_FATAL_FAILURE(StartBoth());
  for (int i = 0; i < 300; ++i) {
    const int fd = Connect(port_);
    ASSERT_GE(fd, 0) << "connection " << i;
    peers_.push_back(fd);
  }
  const Clock::time_point start = Clock::now();
  const int ms = StatusAnswerMs(port_);
  std::printf("status beside 300 idle connections: %d ms\n", ms);
  EXPECT_GE(ms, 0) << "no status within 15 s";
  EXPECT_LT(ms, 10000);
  int ended = 0;
  while (ElapsedMs(start) < 20000) {
    ended = static_cast<int>(std::count_if(peers_.begin(), peers_.end(), EndedByViewer));
    if (ended == 300) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  std::printf("idle connections closed by the viewer after %d ms: %d\n", ElapsedMs(start),
              ended);
  EXPECT_EQ(300, ended) << "idle connections still held after 20 s";
}

// 250 connections sending a header line every 2 s, and one sending a line every
// 300 ms (each read comes quickly, the head never ends): the status answers meanwhile,
// and every one of them is closed within the time a request may take.
TEST_F(ViewerPeersTest, TricklingConnectionsDoNotShutOutTheStatus) {
  ASSERT_NO_FATAL_FAILURE(StartBoth());
  constexpr int kSlow = 250;
  const std::string requestLine = "GET /status.json HTTP/1.1\r\nHost: " + Own() + "\r\n";
  for (int i = 0; i < kSlow + 1; ++i) {
    const int fd = Connect(port_);
    ASSERT_GE(fd, 0) << "connection " << i;
    ASSERT_TRUE(SendAll(fd, requestLine));
    peers_.push_back(fd);
  }
  const int fast = peers_.back();
  std::vector<int> probes;
  std::thread prober([&] {
    for (int i = 0; i < 3; ++i) {
      probes.push_back(StatusAnswerMs(port_));
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
  });
  const Clock::time_point start = Clock::now();
  std::vector<int> endedAt(peers_.size(), -1);
  int line = 0;
  Clock::time_point lastSlow = start, lastFast = start;
  while (ElapsedMs(start) < 25000 &&
         std::count(endedAt.begin(), endedAt.end(), -1) > 0) {
    const bool slowTurn = Clock::now() - lastSlow >= std::chrono::seconds(2);
    const bool fastTurn = Clock::now() - lastFast >= std::chrono::milliseconds(300);
    for (size_t i = 0; i < peers_.size(); ++i) {
      if (endedAt[i] != -1) continue;
      if (EndedByViewer(peers_[i])) {
        endedAt[i] = ElapsedMs(start);
        continue;
      }
      if (peers_[i] == fast ? fastTurn : slowTurn) {
        const std::string header = "X-Line-" + std::to_string(line) + ": x\r\n";
        send(peers_[i], header.data(), header.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      }
    }
    if (slowTurn) lastSlow = Clock::now();
    if (fastTurn) lastFast = Clock::now();
    ++line;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  prober.join();
  for (int ms : probes) {
    std::printf("status beside %d trickling connections: %d ms\n", kSlow + 1, ms);
    EXPECT_GE(ms, 0) << "no status within 15 s";
    EXPECT_LT(ms, 10000);
  }
  const int slowestEnd = *std::max_element(endedAt.begin(), endedAt.end() - 1);
  std::printf("connections closed after at most %d ms (a line every 2 s), %d ms (every 300 ms)\n",
              slowestEnd, endedAt.back());
  EXPECT_EQ(0, std::count(endedAt.begin(), endedAt.end(), -1)) << "still held after 25 s";
  // A request may take a few seconds; its last read may wait one more.
  EXPECT_LT(endedAt.back(), 15000);
}

// Bodies of hundreds of megabytes, one after another and eight at once, a chunked one
// and a request line without end: each is refused (or cut) after a few kilobytes, and
// the viewer's peak memory hardly moves.
TEST_F(ViewerPeersTest, HugeRequestsAreRefusedAndLeaveTheViewerSmall) {
  ASSERT_NO_FATAL_FAILURE(StartBoth());
  ASSERT_GE(StatusAnswerMs(port_), 0);
  const pid_t pid = viewer_.pid();
  const long hwmBefore = ProcStatusKb(pid, "VmHWM");
  const long rssBefore = ProcStatusKb(pid, "VmRSS");
  ASSERT_GT(hwmBefore, 0);
  constexpr size_t kMB = 1 << 20;
  const auto head = [&](size_t bytes) {
    return "POST /restart HTTP/1.1\r\nHost: " + Own() +
           "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(bytes) + "\r\n\r\n";
  };

  const std::string one = SendHugeRequest(port_, head(200 * kMB), 200 * kMB, false);
  EXPECT_EQ(413, StatusOf(one)) << one;
  const long hwmOne = ProcStatusKb(pid, "VmHWM");

  std::vector<std::string> answers(8);
  std::vector<std::thread> senders;
  for (std::string& answer : answers) {
    senders.emplace_back(
        [&] { answer = SendHugeRequest(port_, head(100 * kMB), 100 * kMB, false); });
  }
  for (std::thread& sender : senders) sender.join();
  for (const std::string& answer : answers) EXPECT_EQ(413, StatusOf(answer)) << answer;
  const long hwmEight = ProcStatusKb(pid, "VmHWM");

  const std::string chunked = SendHugeRequest(
      port_,
      "POST /restart HTTP/1.1\r\nHost: " + Own() + "\r\nTransfer-Encoding: chunked\r\n\r\n",
      200 * kMB, true);
  EXPECT_EQ(411, StatusOf(chunked)) << chunked;
  SendHugeRequest(port_, "GET /", 200 * kMB, false);  // one line that never ends
  const long hwmAfter = ProcStatusKb(pid, "VmHWM");
  const long rssAfter = ProcStatusKb(pid, "VmRSS");
  std::printf("viewer memory (kB): VmHWM %ld before, %ld after 200 MB, %ld after 8 x 100 MB, "
              "%ld after a chunked 200 MB and a 200 MB line; VmRSS %ld before, %ld after\n",
              hwmBefore, hwmOne, hwmEight, hwmAfter, rssBefore, rssAfter);
  // Each connection may cost a thread's stack and a few buffers of some kilobytes;
  // 32 MB leaves room for the sanitizers' bookkeeping, not for any one body.
  EXPECT_LT(hwmAfter - hwmBefore, 32 * 1024) << "peak grew by " << hwmAfter - hwmBefore << " kB";
  EXPECT_GE(StatusAnswerMs(port_), 0) << "the viewer no longer answers";
}

}  // namespace
