#include "orna/property_read.h"

#include <cstring>

#include "orna/frame_buffers.h"
#include "orna/orna_client.h"
#include "orna/server_state.h"
#include "orna/tuning.h"

namespace {

void SetText(orna_wire::ReplyHeader* header, const char* text) {
  orna_wire::CopyName(header->text, sizeof header->text, text);
}

void Fail(orna_wire::ReplyHeader* header, int code, const char* text) {
  header->result = code;
  header->count = 0;
  SetText(header, text != nullptr ? text : OrnaErrorText(code));
}

// Where the pixels of a frame answer are: the pointer the module set, or in a 32-bit
// build the address word of the prefix.
const uint8_t* PixelAddress(const DataObject& dout, const uint8_t* prefix) {
  if (dout.pixels != nullptr) return static_cast<const uint8_t*>(dout.pixels);
  if constexpr (sizeof(void*) == 4) {
    uint32_t word;
    memcpy(&word, prefix + ORNA_FRAME_PIXEL_ADDRESS_OFFSET, 4);
    return reinterpret_cast<const uint8_t*>((uintptr_t)word);
  }
  return nullptr;
}

// The answer of a call the module has served: result and text, count and stamp, and
// the data, checked against what the module was given.
void ReadIntoAnswer(int result, const DataObject& dout, const char* device,
                    const char* property, short outFormat, int32_t outCount, short access,
                    orna_wire::ReplyHeader* header, OrnaAnswerData* data) {
  OrnaServer& s = Server();
  const bool wantsOutput = outFormat != ORNA_FMT_NULL;
  const int element = OrnaElementSize(outFormat);

  header->result = result;
  if (result > 512) SetText(header, s.completion.c_str());
  else if (result != ORNA_OK) SetText(header, OrnaErrorText(result));
  if (ornaDebug > 0)
    feclog("%s/%s access=%d format=%d count=%d -> %d", device, property, access, outFormat,
           outCount, result);
  if (!wantsOutput || (result != ORNA_OK && result <= 512)) return;

  // The module may lower the count, never raise it past the buffer it was given.
  int32_t delivered = dout.count;
  if (delivered < 0 || delivered > outCount)
    return Fail(header, ORNA_OPERATION_FAILED, "module answered a bad count");
  header->count = delivered;
  header->stamp = dout.stamp != 0.0 ? dout.stamp : makeDataTimeStamp();
  const uint8_t* area = reinterpret_cast<const uint8_t*>(s.workArea.data());
  if (outFormat == ORNA_FMT_IMAGE) {
    const uint8_t* pixels = PixelAddress(dout, area);
    if (delivered > 0 && pixels == nullptr) {
      // A completion code without a frame ("already sent", ORNA_SCHEDULED_ALREADY_SENT;
      // "no frame yet") keeps its code and sends no pixels; only a frame claimed with 0
      // lacks them.
      if (result != ORNA_OK) {
        header->count = 0;
        return;
      }
      return Fail(header, ORNA_OPERATION_FAILED, "frame without pixel address");
    }
    memcpy(data->prefix, area, ORNA_FRAME_PREFIX_SIZE);
    data->pixels = pixels;
    data->pixelCount = delivered;
  } else {
    if (!data->message.Assign(area, (size_t)element * (size_t)delivered))
      return Fail(header, ORNA_OUT_OF_MEMORY, nullptr);
    data->made = true;
  }
  data->present = true;
}

}  // namespace

void OrnaReadProperty(const char* device, const char* property, short outFormat,
                      int32_t outCount, DataObject* din, short access,
                      orna_wire::ReplyHeader* header, OrnaAnswerData* data) {
  OrnaServer& s = Server();
  OrnaReleaseAnswerPixels(data);
  data->present = data->made = false;
  data->pixels = nullptr;
  data->pixelCount = 0;
  header->format = outFormat;
  header->count = 0;
  header->stamp = 0.0;
  header->result = ORNA_OK;
  SetText(header, "");

  const bool wantsOutput = outFormat != ORNA_FMT_NULL;
  const int element = OrnaElementSize(outFormat);
  if (element < 0) return Fail(header, ORNA_ILLEGAL_FORMAT, nullptr);
  if (outCount < 0) return Fail(header, ORNA_DIMENSION_ERROR, nullptr);
  // Bytes of the output buffer the module writes into.
  const size_t capacity = outFormat == ORNA_FMT_IMAGE ? (size_t)ORNA_FRAME_PREFIX_SIZE
                                                      : (size_t)element * (size_t)outCount;
  const size_t produced = outFormat == ORNA_FMT_IMAGE
                              ? (size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)outCount
                              : capacity;
  if (produced > (size_t)Tuning().workAreaSize) return Fail(header, ORNA_WORK_AREA_TOO_SMALL, nullptr);

  DataObject dout{};
  if (wantsOutput) {
    size_t words = capacity / 8 + 1;
    if (s.workArea.size() < words) s.workArea.resize(words);
    memset(s.workArea.data(), 0, capacity);
    dout.count = outCount;
    dout.format = outFormat;
    dout.data = s.workArea.data();
  }

  s.inCall = true;
  s.completion.clear();
  int result = s.equipmentFunction(device, property, wantsOutput ? &dout : nullptr, din, access);
  s.inCall = false;
  // From here on every way out either keeps the pixels in DATA or releases them.
  data->releasePixels = dout.releasePixels;
  data->releaseContext = dout.releaseContext;
  ReadIntoAnswer(result, dout, device, property, outFormat, outCount, access, header, data);
  if (data->pixels == nullptr) OrnaReleaseAnswerPixels(data);
}

bool OrnaMakeAnswerData(OrnaAnswerData* data) {
  if (!data->present || data->made) return true;
  size_t pixels = (size_t)data->pixelCount;
  if (!OrnaAllocateFrameMessage(&data->message, (size_t)ORNA_FRAME_PREFIX_SIZE + pixels)) {
    OrnaReleaseAnswerPixels(data);
    return false;
  }
  memcpy(data->message.data(), data->prefix, ORNA_FRAME_PREFIX_SIZE);
  if (pixels > 0) memcpy(data->message.data() + ORNA_FRAME_PREFIX_SIZE, data->pixels, pixels);
  data->made = true;
  ++Server().counters.pixelCopies;
  OrnaReleaseAnswerPixels(data);
  return true;
}

void OrnaReleaseAnswerPixels(OrnaAnswerData* data) {
  data->pixels = nullptr;  // not to be touched once released or after the module's next call
  if (data->releasePixels == nullptr) return;
  void (*release)(void*) = data->releasePixels;
  data->releasePixels = nullptr;
  release(data->releaseContext);
}

OrnaAnswerData::~OrnaAnswerData() { OrnaReleaseAnswerPixels(this); }
