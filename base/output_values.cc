#include "base/output_values.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kName48Width = 48;

}  // namespace

int PutTextOutput(DataObject* dout, const char* text) {
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (text == nullptr) text = "";
  size_t n = strlen(text) + 1;  // with the terminating zero
  char* data = static_cast<char*>(dout->data);
  if (dout->format == ORNA_FMT_TEXT) {
    if (dout->count <= 0) return ORNA_DIMENSION_ERROR;
    if (data == nullptr) return ORNA_ILLEGAL_FORMAT;
    size_t room = static_cast<size_t>(dout->count);
    memcpy(data, text, n <= room ? n : room);
  } else if (dout->format == ORNA_FMT_NAME48) {
    if (dout->count <= 0) return ORNA_DIMENSION_ERROR;
    if (data == nullptr) return ORNA_ILLEGAL_FORMAT;
    if (n <= kName48Width) {
      memset(data, 0, kName48Width);
      memcpy(data, text, n);
    } else {
      memcpy(data, text, kName48Width);
    }
  } else {
    return ORNA_ILLEGAL_FORMAT;
  }
  dout->stamp = makeDataTimeStamp();
  return ORNA_OK;
}

int PutLongOutput(DataObject* dout, int32_t value) {
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->count <= 0) return ORNA_DIMENSION_ERROR;
  if (dout->format != ORNA_FMT_INT32 || dout->data == nullptr) return ORNA_ILLEGAL_FORMAT;
  dout->count = 1;
  dout->stamp = makeDataTimeStamp();
  memcpy(dout->data, &value, sizeof value);
  return ORNA_OK;
}

int PutFloatOutput(DataObject* dout, float value) {
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->count <= 0) return ORNA_DIMENSION_ERROR;
  if (dout->data == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->format == ORNA_FMT_FLOAT) {
    dout->count = 1;
    dout->stamp = makeDataTimeStamp();
    memcpy(dout->data, &value, sizeof value);
    return ORNA_OK;
  }
  if (dout->format == ORNA_FMT_DOUBLE) {
    double wide = value;
    dout->count = 1;
    dout->stamp = makeDataTimeStamp();
    memcpy(dout->data, &wide, sizeof wide);
    return ORNA_OK;
  }
  return ORNA_ILLEGAL_FORMAT;
}

int GetInputLong(const DataObject* din, int32_t* value) {
  if (din == nullptr) return ORNA_ILLEGAL_FORMAT;
  return getValuesAsLong(din, value, 1);
}

int GetInputFloat(const DataObject* din, float* value) {
  if (din == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (din->format == ORNA_FMT_FLOAT || din->format == ORNA_FMT_DOUBLE) {
    if (din->data == nullptr || din->count <= 0) return ORNA_DIMENSION_ERROR;
    if (din->format == ORNA_FMT_FLOAT) {
      memcpy(value, din->data, sizeof *value);
      return ORNA_OK;
    }
    double wide = 0.0;
    memcpy(&wide, din->data, sizeof wide);
    if (std::isfinite(wide) && std::fabs(wide) > std::numeric_limits<float>::max())
      return ORNA_ILLEGAL_FORMAT;
    *value = static_cast<float>(wide);
    return ORNA_OK;
  }
  int32_t whole = 0;
  const int result = getValuesAsLong(din, &whole, 1);
  if (result == ORNA_OK) *value = static_cast<float>(whole);
  return result;
}
