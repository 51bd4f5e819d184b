// `ornactl record` against a real hvxserver playing a counter animation (every pixel
// of animation frame i holds i): the file it writes holds whole frames, and a second
// hvxserver playing that file delivers exactly the recorded pixels. An output name that
// holds a FIFO, a link or a folder is left as it is, and SIGHUP ends a recording with
// its frames kept, as SIGINT and SIGTERM do.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "orna/orna_client.h"
#include "source/animation_loader.h"
#include "source/byte_order.h"
#include "source/playback_order.h"
#include "tools/common/frame_header_view.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"

namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 32;
constexpr int kRecorded = 12;

bool StartServer(HvxServerRun* run, const std::string& animation) {
  run->settings() = WithValue(run->settings(), "Hardware", "LimitFramerate", "50");
  return run->WriteSettings() && run->WriteAnimation(animation) && run->Start() &&
         run->WaitServing(10000);
}

int Record(const HvxServerRun& run, const std::vector<std::string>& extra, std::string* output) {
  ChildOptions options;
  options.program = ORNACTL_PATH;
  options.args = {"record", run.Address("Output"), "Frame.Sched"};
  options.args.insert(options.args.end(), extra.begin(), extra.end());
  options.environment = run.Environment();
  return RunToEnd(options, 30000, output);
}

TEST(RecordSystem, RecordingPlaysBackWithTheSamePixels) {
  TempDir keep;
  const std::string file = keep.Join("recorded.imm");
  {
    HvxServerRun source;
    ASSERT_TRUE(StartServer(&source, CounterAnimation(kWidth, kHeight, 100))) << source.Stderr();
    std::string output;
    EXPECT_EQ(0, Record(source, {file, "--frames", std::to_string(kRecorded)}, &output))
        << output;
    source.Stop();
  }

  // What was written: whole frames of the source's geometry, one per record.
  LoadedAnimation animation;
  AnimationLayout layout;
  ASSERT_EQ(AnimationLoadStatus::kLoaded,
            LoadAnimationFile(file.c_str(), 1u << 30, &animation, &layout));
  ASSERT_EQ(static_cast<uint32_t>(kRecorded), animation.frameCount);
  EXPECT_EQ(kWidth, layout.geometry.width);
  EXPECT_EQ(kHeight, layout.geometry.height);
  EXPECT_EQ(8, layout.geometry.bitsPerPixel);
  std::vector<std::vector<uint8_t>> recorded;
  for (uint32_t i = 0; i < animation.frameCount; ++i) {
    recorded.emplace_back(animation.frames[i], animation.frames[i] + kWidth * kHeight);
    EXPECT_EQ(std::vector<uint8_t>(kWidth * kHeight, recorded.back()[0]), recorded.back())
        << "recorded frame " << i << " is not one counter frame";
  }
  FreeAnimation(&animation);

  // The recording played by another server: each delivered frame is the recorded
  // frame its pass number names.
  HvxServerRun player;
  ASSERT_TRUE(StartServer(&player, ReadWholeFile(file))) << player.Stderr();
  OrnaSubscription* subscription = nullptr;
  ASSERT_EQ(0, OrnaSubscribe(player.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                             tools_common::kWholeFrameCount, 0, 3000, &subscription));
  int checked = 0;
  for (int attempt = 0; attempt < 100 && checked < 2 * kRecorded; ++attempt) {
    OrnaReply reply;
    if (OrnaNextDelivery(subscription, &reply, 1000) != 0 || reply.result != 0) continue;
    ASSERT_EQ(kFramePrefixSize + kWidth * kHeight, reply.size);
    const uint32_t pass = LoadLe32(reply.bytes + kHeaderPassNumber);
    const std::vector<uint8_t>& expected = recorded[PlaybackFrameOfPass(pass, kRecorded)];
    EXPECT_EQ(0, std::memcmp(expected.data(), reply.bytes + kFramePrefixSize, expected.size()))
        << "pass " << pass;
    ++checked;
  }
  OrnaUnsubscribe(subscription);
  player.Stop();
  EXPECT_EQ(2 * kRecorded, checked);
}

// The kind of entry at path, not following a link; 0 when there is none.
mode_t EntryType(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & S_IFMT;
}

// Renaming the recording over these would put a plain file in the place of a FIFO or of
// a link to a device (as root, of /dev/null itself had the name been /dev/null), or lose
// every frame at a folder; and opening a FIFO at the temporary name would never return.
TEST(RecordSystem, AnOutputThatIsNotARegularFileIsLeftAsItIs) {
  HvxServerRun run;
  ASSERT_TRUE(StartServer(&run, CounterAnimation(kWidth, kHeight, 100))) << run.Stderr();
  TempDir dir;
  ASSERT_EQ(0, mkfifo(dir.Join("fifo.imm").c_str(), 0600));
  ASSERT_EQ(0, symlink("/dev/null", dir.Join("null.imm").c_str()));
  ASSERT_EQ(0, mkdir(dir.Join("folder.imm").c_str(), 0700));
  ASSERT_EQ(0, mkfifo(dir.Join("part.imm.part").c_str(), 0600));
  struct Case {
    const char* name;     // the output named
    const char* changed;  // the entry that must stay as it is
    mode_t type;
  };
  const Case cases[] = {
      {"fifo.imm", "fifo.imm", S_IFIFO},
      {"null.imm", "null.imm", S_IFLNK},
      {"folder.imm", "folder.imm", S_IFDIR},
      {"part.imm", "part.imm.part", S_IFIFO},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(1, Record(run, {dir.Join(c.name), "--frames", "2", "--timeout", "3000"}, &output))
        << c.name << ": " << output;
    EXPECT_NE(std::string::npos, output.find("not replaced")) << c.name << ": " << output;
    EXPECT_EQ(c.type, EntryType(dir.Join(c.changed))) << c.name;
  }
  EXPECT_EQ(0, EntryType(dir.Join("part.imm")));
  EXPECT_EQ(S_IFCHR, EntryType("/dev/null"));
  run.Stop();
}

TEST(RecordSystem, SighupKeepsTheFramesRecordedSoFar) {
  HvxServerRun run;
  ASSERT_TRUE(StartServer(&run, CounterAnimation(kWidth, kHeight, 100))) << run.Stderr();
  TempDir keep;
  const std::string file = keep.Join("cut.imm");
  ChildOptions options;
  options.program = ORNACTL_PATH;
  options.args = {"record", run.Address("Output"), "Frame.Sched", file, "--frames", "1000000"};
  options.environment = run.Environment();
  options.stderrPath = keep.Join("stderr.txt");
  ChildProcess record(options);
  ASSERT_TRUE(record.Start());
  // A few frames in: the temporary file holds at least three records.
  const off_t recordBytes = 8 + kWidth * kHeight + 8;
  ASSERT_TRUE(WaitUntil(20000, [&] {
    struct stat status;
    return stat((file + ".part").c_str(), &status) == 0 && status.st_size >= 3 * recordBytes;
  })) << ReadWholeFile(keep.Join("stderr.txt"));
  ASSERT_TRUE(record.Signal(SIGHUP));
  int status = 0;
  ASSERT_TRUE(record.WaitExit(10000, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1)
      << "status " << status << ": " << ReadWholeFile(keep.Join("stderr.txt"));
  run.Stop();

  LoadedAnimation animation;
  AnimationLayout layout;
  ASSERT_EQ(AnimationLoadStatus::kLoaded,
            LoadAnimationFile(file.c_str(), 1u << 30, &animation, &layout));
  EXPECT_GE(animation.frameCount, 3u);
  FreeAnimation(&animation);
  EXPECT_FALSE(FileExists(file + ".part"));
}

TEST(RecordSystem, ASilentServerEndsTheRecordingWithoutAFile) {
  HvxServerRun run;  // never started: nobody answers
  TempDir keep;
  std::string output;
  EXPECT_EQ(1, Record(run, {keep.Join("none.imm"), "--frames", "3", "--timeout", "300"},
                      &output));
  EXPECT_FALSE(FileExists(keep.Join("none.imm")));
  EXPECT_FALSE(FileExists(keep.Join("none.imm.part")));
  EXPECT_EQ(2, Record(run, {keep.Join("none.imm"), "--frames", "0"}, &output)) << output;
}

}  // namespace
