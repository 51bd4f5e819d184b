// Writes the binary seeds of the fuzz targets with the project's own encoders: requests
// and answers of the library's protocol (in the form of message_parts.h) and animation
// files. The settings seeds are plain XML, kept by hand in corpus/settings/.
//
//   make_seeds CORPUS_DIR     (writes CORPUS_DIR/{request,answer,animation}/*)
//
// Run again only when the protocol or the file layout changes; the files are kept in
// the repository.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/message_parts.h"
#include "orna/frame_ring.h"
#include "orna/orna_api.h"
#include "orna/wire.h"
#include "source/animation_file.h"
#include "source/byte_order.h"
#include "source/frame_header.h"
#include "tests/orna/raw_dealer.h"

namespace {

std::string gDir;
int gFailures = 0;

void Save(const std::string& kind, const std::string& name, const std::string& bytes) {
  std::filesystem::create_directories(gDir + "/" + kind);
  std::string path = gDir + "/" + kind + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) ++gFailures;
  if (file != nullptr) fclose(file);
}

std::string Request(uint8_t kind, const char* device, const char* property, short outFormat,
                    int32_t outCount, uint16_t access = ORNA_ACCESS_READ, int32_t intervalMs = 0) {
  orna_wire::RequestHeader h = MakeRequest(kind, device, property, outFormat, outCount, 1);
  h.access = access;
  h.intervalMs = intervalMs;
  return EncodedRequest(h);
}

// A write of one int32.
std::string WriteRequest(const char* device, const char* property, std::string* input) {
  std::string header = Request(orna_wire::kCall, device, property, ORNA_FMT_NULL, 0,
                               ORNA_ACCESS_WRITE);
  header[14] = static_cast<char>(ORNA_FMT_INT32 & 0xff);  // in format, little-endian
  header[15] = static_cast<char>(ORNA_FMT_INT32 >> 8);
  header[20] = 1;  // in count
  *input = std::string("\x01\x00\x00\x00", 4);
  return header;
}

std::string Messages(std::initializer_list<FuzzMessage> messages) {
  std::string out;
  for (const FuzzMessage& m : messages) AppendFuzzMessage(m, &out);
  return out;
}

void RequestSeeds() {
  using orna_wire::kCall;
  const std::string k = "request";
  Save(k, "read-status-text", Messages({{Request(kCall, "Server", "Status", ORNA_FMT_TEXT, 48)}}));
  Save(k, "read-status-int", Messages({{Request(kCall, "Server", "Status", ORNA_FMT_INT32, 1)}}));
  Save(k, "read-source", Messages({{Request(kCall, "Source", "Name", ORNA_FMT_NAME48, 1)},
                                   {Request(kCall, "Source", "FrameRate", ORNA_FMT_FLOAT, 1)}}));
  Save(k, "read-frame", Messages({{Request(kCall, "Output", "Frame", ORNA_FMT_IMAGE, 512)}}));
  Save(k, "read-header", Messages({{Request(kCall, "Output", "Header", ORNA_FMT_BYTE, kFrameHeaderSize)}}));
  Save(k, "subscribe-frames",
       Messages({{Request(orna_wire::kSubscribe, "Output", "Frame.Sched", ORNA_FMT_IMAGE, 512)},
                 {Request(orna_wire::kSubscribe, "Output", "Header.Sched", ORNA_FMT_BYTE, kFrameHeaderSize)},
                 {Request(orna_wire::kUnsubscribe, "Output", "Header.Sched", ORNA_FMT_BYTE, kFrameHeaderSize)}}));
  Save(k, "subscribe-interval",
       Messages({{Request(orna_wire::kSubscribe, "Server", "Status", ORNA_FMT_INT32, 1,
                          ORNA_ACCESS_READ, 50)}}));
  Save(k, "list-and-describe",
       Messages({{Request(orna_wire::kListProperties, "Output", "", ORNA_FMT_NULL, 0)},
                 {Request(orna_wire::kDescribe, "", "", ORNA_FMT_NULL, 0)}}));
  std::string input;
  std::string restart = WriteRequest("Server", "DoRestart", &input);
  Save(k, "write-restart", Messages({{restart, input}}));
  std::string exit = WriteRequest("Server", "SRVEXIT", &input);
  Save(k, "write-exit", Messages({{exit, input}}));
  // Near misses: a cut header, a wrong magic, an input that its count doesn't match,
  // one part too many, an unknown kind.
  std::string status = Request(kCall, "Server", "Status", ORNA_FMT_TEXT, 48);
  Save(k, "cut-header", Messages({{status.substr(0, 100)}}));
  std::string wrongMagic = status;
  wrongMagic[0] = 'X';
  Save(k, "wrong-magic", Messages({{wrongMagic}}));
  Save(k, "input-too-long", Messages({{restart, input + input}}));
  Save(k, "extra-part", Messages({{status, input, input}}));
  Save(k, "unknown-kind", Messages({{Request(9, "Server", "Status", ORNA_FMT_TEXT, 48)}}));
}

std::string Reply(uint8_t kind, int32_t result, short format, int32_t count,
                  const char* text = "") {
  orna_wire::ReplyHeader h;
  h.kind = kind;
  h.id = 1;
  h.result = result;
  h.format = format;
  h.count = count;
  h.aux = 3;
  h.stamp = 1700000000.25;
  orna_wire::CopyName(h.text, sizeof h.text, text);
  uint8_t bytes[orna_wire::kReplyHeaderSize];
  orna_wire::EncodeReply(h, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

// A frame header of a 4 x 2 frame of 1 byte per pixel; only the fields a client reads.
std::string FrameHeaderBytes() {
  std::string header(kFrameHeaderSize, '\0');
  memcpy(header.data() + kHeaderMagic, "QDR3", 4);
  auto put = [&](size_t at, uint32_t v) { StoreLe32(reinterpret_cast<uint8_t*>(header.data()) + at, v); };
  put(kHeaderSourceId, 3);
  put(kHeaderTotalLength, kFrameHeaderSize + 8);
  memcpy(header.data() + kHeaderSourceName, "seed", 4);
  put(kHeaderWidth, 4);
  put(kHeaderHeight, 2);
  put(kHeaderBytesPerPixel, 1);
  put(kHeaderEffectiveBitsPerPixel, 8);
  put(kHeaderFrameNumber, 17);
  put(kHeaderFrameLength, 8);
  return header;
}

void AnswerSeeds() {
  using orna_wire::kCall;
  const std::string k = "answer";
  Save(k, "int32", Messages({{Reply(kCall, 0, ORNA_FMT_INT32, 1), std::string("\x2a\0\0\0", 4)}}));
  Save(k, "text", Messages({{Reply(kCall, 0, ORNA_FMT_TEXT, 48), "Everything is fine."}}));
  Save(k, "double", Messages({{Reply(kCall, 0, ORNA_FMT_DOUBLE, 2), std::string(16, '\x40')}}));
  Save(k, "name48", Messages({{Reply(kCall, 0, ORNA_FMT_NAME48, 2), std::string(96, 'a')}}));
  Save(k, "error", Messages({{Reply(kCall, 36, ORNA_FMT_NULL, 0)}}));
  Save(k, "completion", Messages({{Reply(kCall, 517, ORNA_FMT_NULL, 0, "No frame taken yet.")}}));
  std::string header = FrameHeaderBytes();
  Save(k, "header", Messages({{Reply(kCall, 0, ORNA_FMT_BYTE, kFrameHeaderSize), header}}));
  std::string prefix = header + std::string("\x08\0\0\0\0\0\0\0", 8);
  Save(k, "frame-delivery",
       Messages({{Reply(orna_wire::kDelivery, 0, ORNA_FMT_IMAGE, 8), prefix + "pixels!!"}}));
  Save(k, "frame-short", Messages({{Reply(kCall, 0, ORNA_FMT_IMAGE, 8), prefix + "pix"}}));
  Save(k, "count-beyond-data", Messages({{Reply(kCall, 0, ORNA_FMT_INT32, 1000), "abcd"}}));
}

std::string Animation(uint16_t width, uint16_t height, uint8_t bits, int frames, size_t extra) {
  AnimationGeometry geometry;
  geometry.width = width;
  geometry.height = height;
  geometry.bitsPerPixel = bits;
  geometry.effectiveBitsPerPixel = 0;
  AnimationLayout layout = ComputeAnimationLayout(geometry, 0);
  std::string file;
  for (int i = 0; i < frames; ++i) {
    uint8_t lead[kRecordLeadSize];
    EncodeRecordLead(geometry, lead);
    file.append(reinterpret_cast<char*>(lead), sizeof lead);
    file.append(layout.pixelBytes, static_cast<char>(i + 1));
    file.append(kRecordTrailSize, '\0');
  }
  file.append(extra, '\x7f');
  return file;
}

void AnimationSeeds() {
  const std::string k = "animation";
  Save(k, "two-frames-and-rest", Animation(4, 2, 0, 2, 2));
  Save(k, "twelve-bits", Animation(4, 2, 12, 3, 0));
  Save(k, "sixteen-bits", Animation(8, 4, 16, 2, 0));
  Save(k, "one-frame", Animation(16, 16, 8, 1, 0));
  Save(k, "seven-bytes", Animation(4, 2, 8, 1, 0).substr(0, 7));
  Save(k, "less-than-a-record", Animation(4, 2, 8, 1, 0).substr(0, 20));
  Save(k, "empty-frames", Animation(0, 0, 8, 5, 0));
}

// A notice (as frame_ring_fuzzer reads it) and a ring of two slots of 64 bytes
// holding two frames; the notice names the second one.
std::string RingSeed(uint32_t slot, uint32_t length, bool ownGeneration, size_t cut) {
  FrameRingLayout layout;
  PlanFrameRing(2, 64, &layout);
  std::vector<uint64_t> memory(layout.totalSize / 8, 0);
  uint8_t* base = reinterpret_cast<uint8_t*>(memory.data());
  FrameRingWriter writer;
  InitFrameRing(base, layout, 0x1234, &writer);
  const std::string frame(64, 'f');
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(frame.data());
  FrameRingNotice notice;
  WriteFrameRing(&writer, bytes, 10, bytes, 20, &notice);
  WriteFrameRing(&writer, bytes, 4, bytes, 60, &notice);
  // The second frame listed for the contract the fuzz target looks up (the notice's
  // slot), and published, as for a subscriber woken by the doorbell.
  const uint8_t note[kFrameRingNoteSize] = {};
  ListFrameRingDelivery(&writer, note, slot, 7);
  PublishFrameRing(&writer);
  std::string seed(25, '\0');
  memcpy(&seed[0], &notice.generation, 8);
  memcpy(&seed[8], &notice.sequence, 8);
  memcpy(&seed[16], &slot, 4);
  memcpy(&seed[20], &length, 4);
  seed[24] = ownGeneration ? 1 : 0;
  seed.append(reinterpret_cast<const char*>(base), layout.totalSize - cut);
  return seed;
}

void FrameRingSeeds() {
  const std::string k = "frame_ring";
  Save(k, "second-frame", RingSeed(1, 64, true, 0));
  Save(k, "other-generation", RingSeed(1, 64, false, 0));
  Save(k, "overtaken-slot", RingSeed(0, 30, true, 0));
  Save(k, "ring-cut-short", RingSeed(1, 64, true, 32));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds CORPUS_DIR\n");
    return 2;
  }
  gDir = argv[1];
  RequestSeeds();
  AnswerSeeds();
  AnimationSeeds();
  FrameRingSeeds();
  if (gFailures > 0) fprintf(stderr, "make_seeds: %d files could not be written\n", gFailures);
  return gFailures > 0 ? 1 : 0;
}
