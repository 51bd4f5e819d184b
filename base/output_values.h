// Filling a property call's output object with a text, a 32-bit integer or a 32-bit
// float, in the formats the client may ask for, and reading a 32-bit integer or float
// from its input. The equipment module and the frame source's own device both answer
// through these. Each Put answers 0, ORNA_ILLEGAL_FORMAT (2: no object, or a format the value
// can't be given in) or ORNA_DIMENSION_ERROR (23: count 0).
//
// An output object whose data address is null is refused with ORNA_ILLEGAL_FORMAT.
//
// Threading: any thread; touches only the objects passed.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"

// Format 516: the text with its terminating zero, cut to the count (then without the
// zero); the count stays. Format 531: one 48-character field, zero-filled when the text
// is shorter, the first 48 characters without a terminating zero when it is longer.
// Stamp from makeDataTimeStamp.
int PutTextOutput(DataObject* dout, const char* text);

// Format 515 only: count 1, stamp from makeDataTimeStamp, the value.
int PutLongOutput(DataObject* dout, int32_t value);

// Format 517 as a 32-bit float, 512 widened to 64 bits: count 1, stamp from
// makeDataTimeStamp, the value.
int PutFloatOutput(DataObject* dout, float value);

// One 32-bit integer from the input through getValuesAsLong; 0 when a value was read.
// No input object gives ORNA_ILLEGAL_FORMAT.
int GetInputLong(const DataObject* din, int32_t* value);

// One 32-bit float from the input: format 517 as it is, 512 when it fits a float (a
// finite double beyond the float's range is refused with ORNA_ILLEGAL_FORMAT), every
// other format through getValuesAsLong. 0 when a value was read.
int GetInputFloat(const DataObject* din, float* value);
