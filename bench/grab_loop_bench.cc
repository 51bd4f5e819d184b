#include "bench/grab_loop_bench.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/frames_bench_support.h"
#include "config/ini_ex_wrap.h"
#include "source/animation_loader.h"
#include "source/animation_player.h"
#include "source/frame_slot.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"
#include "tools/immtool/make_plan.h"

namespace {

constexpr uint32_t kFrames = 3;

std::atomic<uint64_t> gDelivered{0};  // written by the grab thread, read by main

void CountFrame(int32_t, uint32_t, double) { gDelivered.fetch_add(1, std::memory_order_relaxed); }

struct Rate {
  double framesPerSecond = 0;
  double gigabytesPerSecond = 0;
};

Rate RateOf(uint64_t frames, double seconds, uint64_t frameLength) {
  Rate rate;
  rate.framesPerSecond = frames / seconds;
  rate.gigabytesPerSecond = rate.framesPerSecond * frameLength / 1e9;
  return rate;
}

// The player from settings, unlimited, for about seconds.
bool MeasurePlayer(CIniExWrap& settings, uint8_t* slots, double seconds, uint64_t frameLength,
                   Rate* rate) {
  AnimationPlayer player;
  gDelivered.store(0);
  if (!player.Initialize(settings, CountFrame, slots, 2)) {
    std::printf("  player would not start: %s\n", player.GetErrorText());
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  uint64_t first = gDelivered.load();
  double start = NowSeconds();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  uint64_t last = gDelivered.load();
  double end = NowSeconds();
  player.Deinitialize();
  *rate = RateOf(last - first, end - start, frameLength);
  return true;
}

// memcpy of frameLength bytes from the frames of the same animation, loaded the same
// way as the player loads it, into the two slots' pixel areas, alternately, for about
// seconds.
Rate MeasureMemcpy(const std::string& file, uint8_t* slots, uint64_t frameLength,
                   double seconds) {
  LoadedAnimation animation;
  if (LoadAnimationFile(file.c_str(), kSlotPixelCapacity, &animation, nullptr) !=
      AnimationLoadStatus::kLoaded) {
    return Rate();
  }
  uint64_t copies = 0;
  uint32_t slot = 0;
  double start = NowSeconds();
  double end = start;
  while (end - start < seconds) {
    for (int i = 0; i < 16; ++i) {
      uint8_t* pixels = FrameSlotAt(slots, slot) + kFramePrefixSize;
      std::memcpy(pixels, animation.frames[copies % animation.frameCount], frameLength);
      KeepMemory(pixels);
      slot ^= 1;
      ++copies;
    }
    end = NowSeconds();
  }
  FreeAnimation(&animation);
  return RateOf(copies, end - start, frameLength);
}

Rate Median(std::vector<Rate> rates) {
  std::sort(rates.begin(), rates.end(),
            [](const Rate& a, const Rate& b) { return a.framesPerSecond < b.framesPerSecond; });
  return rates[rates.size() / 2];
}

}  // namespace

bool RunGrabLoopBench(uint16_t width, uint16_t height, uint8_t bits, double seconds,
                      int rounds) {
  FakeExecutableDir dir;
  MakeOptions options;
  options.width = width;
  options.height = height;
  options.frames = kFrames;
  options.bits = bits;
  options.effectiveBits = 8;
  options.pattern = "noise";
  MakePlan plan;
  std::string error;
  if (!PlanMake(options, &plan, &error) ||
      !WriteMadeAnimation(plan, dir.File("bench.imm"), &error)) {
    std::printf("  animation not made: %s\n", error.c_str());
    return false;
  }
  const uint64_t frameLength = static_cast<uint64_t>(width) * height * (bits / 8);
  std::vector<SettingsEntry> entries = WithValue(ValidSettings(), "Hardware", "AnimationFile", "bench.imm");
  entries = WithValue(entries, "Hardware", "LimitFramerate", "0");
  CIniExWrap settings;
  // The same with fault control on and no fault active: what the control costs.
  CIniExWrap faultSettings;
  if (!dir.Write("settings.xml", SettingsXml(entries)) ||
      !settings.Open("settings.xml", false, false, false) ||
      !dir.Write("faults.xml", SettingsXml(WithValue(entries, "Hardware", "FaultControl", "1"))) ||
      !faultSettings.Open("faults.xml", false, false, false)) {
    std::printf("  settings not written\n");
    return false;
  }
  std::vector<uint8_t> slots(2 * static_cast<size_t>(kFrameSlotStride), 0);

  // Short rounds taken alternately, so that a change in the machine's load falls on
  // both; the medians are compared.
  std::vector<Rate> players;
  std::vector<Rate> faultPlayers;
  std::vector<Rate> copies;
  for (int round = 0; round < rounds; ++round) {
    Rate rate;
    if (!MeasurePlayer(settings, slots.data(), seconds, frameLength, &rate)) return false;
    players.push_back(rate);
    if (!MeasurePlayer(faultSettings, slots.data(), seconds, frameLength, &rate)) return false;
    faultPlayers.push_back(rate);
    copies.push_back(MeasureMemcpy(dir.File("bench.imm"), slots.data(), frameLength, seconds));
  }
  Rate player = Median(players);
  Rate faultPlayer = Median(faultPlayers);
  Rate copy = Median(copies);
  std::printf("  %ux%u, %u bits: frame %llu bytes (medians of %d rounds of %.1f s)\n", width,
              height, bits, static_cast<unsigned long long>(frameLength), rounds, seconds);
  std::printf("    grab loop: %10.1f frames/s  %6.2f GB/s\n", player.framesPerSecond,
              player.gigabytesPerSecond);
  std::printf("    memcpy:    %10.1f frames/s  %6.2f GB/s\n", copy.framesPerSecond,
              copy.gigabytesPerSecond);
  std::printf("    grab loop / memcpy: %.1f %%\n",
              100.0 * player.framesPerSecond / copy.framesPerSecond);
  const double faultShare = 100.0 * faultPlayer.framesPerSecond / player.framesPerSecond;
  std::printf("    grab loop with fault control on, no fault: %10.1f frames/s, %.1f %% of off "
              "(target >= 98 %%) %s\n",
              faultPlayer.framesPerSecond, faultShare, faultShare >= 98.0 ? "PASS" : "FAIL");
  return true;
}
