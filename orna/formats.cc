// Element sizes of the data formats and the numeric conversion of inputs.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "orna/orna_api.h"
#include "orna/orna_client.h"

int OrnaElementSize(short format) {
  switch (format) {
    case ORNA_FMT_DOUBLE: return 8;
    case ORNA_FMT_BYTE: return 1;
    case ORNA_FMT_INT32: return 4;
    case ORNA_FMT_TEXT: return 1;
    case ORNA_FMT_FLOAT: return 4;
    case ORNA_FMT_NAME48: return 48;
    case ORNA_FMT_IMAGE: return 1;
    case ORNA_FMT_NULL: return 0;
    default: return -1;
  }
}

namespace {

bool FromDouble(double v, int32_t* out) {
  if (!std::isfinite(v) || v < -2147483648.0 || v > 2147483647.0) return false;
  *out = (int32_t)v;
  return true;
}

// A decimal integer in a text field of at most SIZE bytes, blanks around it allowed.
bool FromText(const char* text, size_t size, int32_t* out) {
  char buffer[64];
  size_t n = strnlen(text, size);
  if (n >= sizeof buffer) return false;
  memcpy(buffer, text, n);
  buffer[n] = '\0';
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(buffer, &end, 10);
  if (end == buffer || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
  if (*end != '\0') return false;
  *out = (int32_t)v;
  return true;
}

}  // namespace

int getValuesAsLong(const DataObject* din, int32_t* values, int n) {
  if (din == nullptr || values == nullptr || n <= 0) return ORNA_INVALID_ARGUMENT;
  if (din->data == nullptr || din->count <= 0) return ORNA_DIMENSION_ERROR;
  const uint8_t* data = static_cast<const uint8_t*>(din->data);
  if (din->format == ORNA_FMT_TEXT) {
    // One number in the whole text.
    if (n != 1) return ORNA_DIMENSION_ERROR;
    return FromText((const char*)data, (size_t)din->count, values) ? ORNA_OK : ORNA_ILLEGAL_FORMAT;
  }
  if (din->count < n) return ORNA_DIMENSION_ERROR;
  for (int i = 0; i < n; ++i) {
    switch (din->format) {
      case ORNA_FMT_INT32: memcpy(&values[i], data + 4 * i, 4); break;
      case ORNA_FMT_BYTE: values[i] = data[i]; break;
      case ORNA_FMT_DOUBLE: {
        double v;
        memcpy(&v, data + 8 * i, 8);
        if (!FromDouble(v, &values[i])) return ORNA_ILLEGAL_FORMAT;
        break;
      }
      case ORNA_FMT_FLOAT: {
        float v;
        memcpy(&v, data + 4 * i, 4);
        if (!FromDouble(v, &values[i])) return ORNA_ILLEGAL_FORMAT;
        break;
      }
      case ORNA_FMT_NAME48:
        if (!FromText((const char*)data + 48 * i, 48, &values[i])) return ORNA_ILLEGAL_FORMAT;
        break;
      default: return ORNA_ILLEGAL_FORMAT;
    }
  }
  return ORNA_OK;
}
