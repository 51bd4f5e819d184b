// Writing of the one-line JSON objects that `ornactl --json` prints, for scripts.
// Texts from the wire are arbitrary bytes: valid UTF-8 passes through, control
// characters, quotes and backslashes are escaped, and each byte that is not part of a
// valid UTF-8 sequence becomes \u00XX, so the output is always valid JSON (and valid
// UTF-8). Not thread-safe; one writer per line being built.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornactl {

// Appends BYTES to *out as a quoted, escaped JSON string.
void AppendJsonString(std::string_view bytes, std::string* out);

// TEXT as it is when JSON would not escape any of it (the normal case for names and
// completion texts), else quoted and escaped as a JSON string, so that control
// characters and stray bytes can't garble a terminal.
std::string BareOrQuoted(std::string_view text);

// The shortest decimal text that reads back as NUMBER ("0.1", "1e+300"); "null" for
// NaN and infinities, which JSON can't express.
std::string JsonNumber(double number);
// The same for a float, shortest as a float ("0.1", not the double 0.10000000149011612).
std::string JsonNumber(float number);

// Builds one JSON value by calls in document order; inserts the commas and colons.
// The caller keeps the calls balanced (every Begin has its End, every Key in an object
// is followed by one value).
class JsonWriter final {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view key);
  void String(std::string_view bytes);
  void Int(int64_t number);
  void UInt(uint64_t number);
  void Double(double number);
  void Float(float number);
  void Bool(bool value);
  void Null();

  const std::string& text() const { return out_; }

 private:
  void BeforeValue();

  std::string out_;
  std::vector<bool> empty_;  // per open object or array: nothing written in it yet
  bool afterKey_ = false;    // a key was written; its value follows without a comma
};

}  // namespace ornactl
