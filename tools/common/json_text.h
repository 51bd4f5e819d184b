// JSON as the tools write it (`ornactl --json`, `ornactl` listings, hvxview's
// /status.json and frame descriptions): documents are nlohmann-json's ordered objects
// (members stay in the order they were added) written on one line.
//
// Texts from the wire are arbitrary bytes. JsonText keeps valid UTF-8 as it is and
// turns each byte that is not part of a valid UTF-8 sequence into the character of the
// same number (U+0080 to U+00FF), so every document is valid JSON and valid UTF-8 and
// a reader still sees each stray byte as one character.
//
// Threading: pure functions; any thread.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace tools_common {

using Json = nlohmann::ordered_json;

// BYTES as a JSON string value.
Json JsonText(std::string_view bytes);

// NUMBER as a JSON number; null for NaN and infinities, which JSON can't express.
Json JsonNumber(double number);
// A float written as its own shortest decimal ("0.1", not the double
// 0.10000000149011612); null for NaN and infinities.
Json JsonNumber(float number);

// The document on one line.
std::string JsonLine(const Json& document);

// TEXT as it is when JSON would write it unchanged (the normal case for names and
// completion texts), else as a quoted JSON string, so that control characters and stray
// bytes can't garble a terminal.
std::string BareOrQuoted(std::string_view text);

// TEXT always as a quoted JSON string.
std::string Quoted(std::string_view text);

}  // namespace tools_common
