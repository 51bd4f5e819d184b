// The frame ring: frames written and read back through notices, the notices a reader
// must refuse (overtaken, of another ring, not fitting the ring), headers that are no
// ring's, and ring names a client won't open. (frame_ring_race_test.cc races a reader
// against the writer.)

#include "orna/frame_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "orna/frame_ring_client.h"

namespace {

constexpr uint32_t kSlots = 3;
constexpr uint64_t kCapacity = 100;

class FrameRingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlanFrameRing(kSlots, kCapacity, &layout_));
    memory_.assign(layout_.totalSize / 8 + 1, 0);
    InitFrameRing(Base(), layout_, 77, &writer_);
    std::string why;
    ASSERT_TRUE(OpenFrameRing(Base(), layout_.totalSize, &reader_, &why)) << why;
  }
  uint8_t* Base() { return reinterpret_cast<uint8_t*>(memory_.data()); }
  FrameRingNotice Write(uint8_t fill, size_t length) {
    std::vector<uint8_t> frame(length, fill);
    FrameRingNotice notice;
    EXPECT_TRUE(WriteFrameRing(&writer_, frame.data(), 4, frame.data() + 4, length - 4, &notice));
    return notice;
  }
  FrameRingRead Copy(const FrameRingNotice& notice, std::vector<uint8_t>* out) {
    out->assign(kCapacity, 0);
    FrameRingRead read = CopyFrameRingFrame(reader_, notice, out->data(), out->size());
    out->resize(notice.length);
    return read;
  }

  FrameRingLayout layout_;
  std::vector<uint64_t> memory_;  // 8-aligned, as a mapping is
  FrameRingWriter writer_;
  FrameRingReader reader_;
};

TEST_F(FrameRingTest, FramesComeBackUntilTheRingWrapsOverThem) {
  EXPECT_EQ(kFrameRingSlotHeaderSize + 128, layout_.slotStride);
  const FrameRingNotice first = Write(1, 10);
  EXPECT_EQ(77u, first.generation);
  EXPECT_EQ(1u, first.sequence);
  EXPECT_EQ(0u, first.slot);
  EXPECT_EQ(10u, first.length);
  std::vector<uint8_t> frame;
  ASSERT_EQ(FrameRingRead::kOk, Copy(first, &frame));
  EXPECT_EQ(std::vector<uint8_t>(10, 1), frame);

  const FrameRingNotice second = Write(2, kCapacity);  // a whole slot
  Write(3, 20);
  ASSERT_EQ(FrameRingRead::kOk, Copy(second, &frame));
  EXPECT_EQ(std::vector<uint8_t>(kCapacity, 2), frame);
  // The fourth frame takes the first one's slot: its notice is overtaken now.
  const FrameRingNotice fourth = Write(4, 30);
  EXPECT_EQ(0u, fourth.slot);
  EXPECT_EQ(FrameRingRead::kOvertaken, Copy(first, &frame));
  EXPECT_FALSE(FrameRingStillHolds(reader_, first));
  EXPECT_TRUE(FrameRingStillHolds(reader_, fourth));
  // A frame larger than a slot is refused and changes nothing.
  std::vector<uint8_t> large(kCapacity + 1, 9);
  FrameRingNotice refused;
  EXPECT_FALSE(WriteFrameRing(&writer_, large.data(), 50, large.data() + 50, 51, &refused));
  ASSERT_EQ(FrameRingRead::kOk, Copy(fourth, &frame));
  EXPECT_EQ(std::vector<uint8_t>(30, 4), frame);
  // An empty frame, copied to nowhere.
  FrameRingNotice empty;
  ASSERT_TRUE(WriteFrameRing(&writer_, nullptr, 0, nullptr, 0, &empty));
  EXPECT_EQ(FrameRingRead::kOk, CopyFrameRingFrame(reader_, empty, nullptr, 0));
}

TEST_F(FrameRingTest, NoticesThatDontFitTheRingAreRefusedBeforeTheSlotIsRead) {
  const FrameRingNotice good = Write(5, 40);
  std::vector<uint8_t> frame;
  FrameRingNotice n = good;
  n.generation = 78;
  EXPECT_EQ(FrameRingRead::kStale, Copy(n, &frame));
  n = good;
  n.slot = kSlots;
  EXPECT_EQ(FrameRingRead::kInvalid, Copy(n, &frame));
  n = good;
  n.length = kCapacity + 1;
  EXPECT_EQ(FrameRingRead::kInvalid, CopyFrameRingFrame(reader_, n, frame.data(), 0));
  n = good;
  n.length = 39;  // the slot holds 40
  EXPECT_EQ(FrameRingRead::kInvalid, Copy(n, &frame));
  n = good;
  n.sequence = 2;  // not written yet
  EXPECT_EQ(FrameRingRead::kInvalid, Copy(n, &frame));
  n = good;
  n.sequence = 0;
  EXPECT_EQ(FrameRingRead::kInvalid, Copy(n, &frame));
  // Too small a destination.
  std::vector<uint8_t> small(39);
  EXPECT_EQ(FrameRingRead::kInvalid,
            CopyFrameRingFrame(reader_, good, small.data(), small.size()));
  EXPECT_EQ(FrameRingRead::kOk, Copy(good, &frame));
}

TEST_F(FrameRingTest, HeadersThatAreNoRingsAreRefusedWithTheReason) {
  struct Case {
    size_t at;
    uint64_t value;
    size_t width;
    const char* reason;
  };
  const Case cases[] = {
      {0, 0x12345678, 4, "holds no frame ring"},
      {4, 1, 4, "version 1"},  // rings of the first layout had no doorbell
      {16, 0, 4, "geometry"},
      {16, kMaxFrameRingSlots + 1, 4, "geometry"},
      {24, kMaxFrameRingSlotCapacity + 1, 8, "geometry"},
      {32, layout_.slotStride + 64, 8, "geometry"},
      {40, layout_.totalSize - 1, 8, "geometry"},
  };
  const std::vector<uint64_t> good = memory_;
  for (const Case& c : cases) {
    memory_ = good;
    memcpy(Base() + c.at, &c.value, c.width);
    FrameRingReader reader;
    std::string why;
    EXPECT_FALSE(OpenFrameRing(Base(), layout_.totalSize, &reader, &why)) << c.reason;
    EXPECT_NE(std::string::npos, why.find(c.reason)) << why;
  }
  memory_ = good;
  FrameRingReader reader;
  std::string why;
  EXPECT_FALSE(OpenFrameRing(Base(), layout_.totalSize - 1, &reader, &why));
  EXPECT_NE(std::string::npos, why.find("larger than its shared memory")) << why;
  EXPECT_FALSE(OpenFrameRing(Base(), kFrameRingHeaderSize - 1, &reader, &why));
}

}  // namespace

namespace {

// A client opens no shared memory but a ring a server names after its port: a hostile
// server can't make it map another program's region.
// Deliveries listed for readers woken by the doorbell: each contract finds its own with
// the shared header, a frame's list takes one header only and has an end, nothing is
// seen before it is published, a wrapped slot is overtaken, a hostile count refused.
TEST_F(FrameRingTest, ListedDeliveriesAreFoundByTheirContractOnceTheyArePublished) {
  uint8_t note[kFrameRingNoteSize];
  for (size_t i = 0; i < sizeof note; ++i) note[i] = static_cast<uint8_t>(i);
  const uint32_t* doorbell = FrameRingDoorbell(reader_);
  const uint32_t rung = *doorbell;
  EXPECT_FALSE(ListFrameRingDelivery(&writer_, note, 5, 1));  // no frame yet
  const FrameRingNotice first = Write(1, 10);
  ASSERT_TRUE(ListFrameRingDelivery(&writer_, note, 5, 1));
  ASSERT_TRUE(ListFrameRingDelivery(&writer_, note, 6, 40));
  uint8_t other[kFrameRingNoteSize];
  memcpy(other, note, sizeof other);
  other[50] ^= 1;
  EXPECT_FALSE(ListFrameRingDelivery(&writer_, other, 7, 1));
  EXPECT_EQ(0u, FrameRingPublished(reader_));
  EXPECT_TRUE(PublishFrameRing(&writer_));
  EXPECT_FALSE(PublishFrameRing(&writer_));  // nothing new
  EXPECT_EQ(1u, FrameRingPublished(reader_));
  EXPECT_NE(rung, *doorbell);

  FrameRingDelivery found;
  ASSERT_EQ(FrameRingFind::kFound, FindFrameRingDelivery(reader_, 1, 6, &found));
  EXPECT_EQ(40u, found.delivery);
  EXPECT_EQ(0, memcmp(note, found.note, sizeof note));
  EXPECT_EQ(first.slot, found.frame.slot);
  EXPECT_EQ(first.length, found.frame.length);
  std::vector<uint8_t> frame;
  ASSERT_EQ(FrameRingRead::kOk, Copy(found.frame, &frame));
  EXPECT_EQ(std::vector<uint8_t>(10, 1), frame);
  EXPECT_EQ(FrameRingFind::kNotListed, FindFrameRingDelivery(reader_, 1, 7, &found));

  Write(2, 10);
  for (uint32_t contract = 0; contract < kFrameRingDeliveries; ++contract)
    ASSERT_TRUE(ListFrameRingDelivery(&writer_, note, 100 + contract, 1));
  EXPECT_FALSE(ListFrameRingDelivery(&writer_, note, 99, 1));  // the list is full
  Write(3, 10);
  Write(4, 10);  // over the first frame's slot
  PublishFrameRing(&writer_);
  EXPECT_EQ(FrameRingFind::kOvertaken, FindFrameRingDelivery(reader_, 1, 6, &found));
  EXPECT_EQ(FrameRingFind::kFound, FindFrameRingDelivery(reader_, 2, 115, &found));
  EXPECT_EQ(FrameRingFind::kNotListed, FindFrameRingDelivery(reader_, 4, 115, &found));

  // A count beyond the list's end, as a hostile ring may hold.
  uint8_t* slot = Base() + kFrameRingHeaderSize + found.frame.slot * layout_.slotStride;
  const uint32_t tooMany = kFrameRingDeliveries + 1;
  memcpy(slot + 20, &tooMany, sizeof tooMany);
  EXPECT_EQ(FrameRingFind::kInvalid, FindFrameRingDelivery(reader_, 2, 115, &found));
  LeaveFrameRing(&writer_);
  EXPECT_TRUE(FrameRingLeft(reader_));
}

TEST(FrameRingClientTest, OnlyARingNameOfAServerIsOpened) {
  for (const char* name : {"other-region", "orna-ring-", "orna-ring-123456", "orna-ring-12a"}) {
    orna_wire::RingNotice notice;
    orna_wire::CopyName(notice.ring, sizeof notice.ring, name);
    std::shared_ptr<OrnaClientRing> ring;
    std::string why;
    EXPECT_FALSE(OrnaMapFrameRing(notice, &ring, &why)) << name;
    EXPECT_NE(std::string::npos, why.find("as its frame ring")) << name << ": " << why;
  }
  // A name of the right form is looked for (and, here, not found).
  orna_wire::RingNotice notice;
  orna_wire::CopyName(notice.ring, sizeof notice.ring, "orna-ring-1");
  std::shared_ptr<OrnaClientRing> ring;
  std::string why;
  EXPECT_FALSE(OrnaMapFrameRing(notice, &ring, &why));
  EXPECT_EQ(std::string::npos, why.find("as its frame ring")) << why;
}

}  // namespace
