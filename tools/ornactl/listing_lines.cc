#include "tools/ornactl/listing_lines.h"

#include <cstdio>

#include "tools/ornactl/format_names.h"
#include "tools/ornactl/json_writer.h"
#include "tools/ornactl/output_choice.h"

namespace ornactl {
namespace {

std::string AccessText(int access) {
  switch (access) {
    case ORNA_ACCESS_READ: return "r";
    case ORNA_ACCESS_WRITE: return "w";
    case ORNA_ACCESS_READ | ORNA_ACCESS_WRITE: return "rw";
    default: return std::to_string(access);
  }
}

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string PropertyTitleLine(size_t nameWidth) {
  char line[128];
  std::snprintf(line, sizeof line, "  %-8s %8s  %-8s %8s  %-6s %s", "out", "size", "in",
                "size", "access", "description");
  return Padded("property", nameWidth) + line;
}

std::string PropertyLine(const OrnaPropertyInfo& p, size_t nameWidth) {
  char line[128];
  std::snprintf(line, sizeof line, "  %-8s %8d  %-8s %8d  %-6s ",
                FormatName(FullFormatCode(p.outFormat)).c_str(), p.outSize,
                FormatName(FullFormatCode(p.inFormat)).c_str(), p.inSize,
                AccessText(p.access).c_str());
  std::string quoted;
  AppendJsonString(p.description, &quoted);
  return Padded(BareOrQuoted(p.name), nameWidth) + line + quoted;
}

std::string PropertyJsonLine(const OrnaPropertyInfo& p) {
  JsonWriter w;
  w.BeginObject();
  w.Key("name"); w.String(p.name);
  w.Key("description"); w.String(p.description);
  w.Key("outSize"); w.Int(p.outSize);
  w.Key("outFormat"); w.Int(FullFormatCode(p.outFormat));
  w.Key("inSize"); w.Int(p.inSize);
  w.Key("inFormat"); w.Int(FullFormatCode(p.inFormat));
  w.Key("access"); w.Int(p.access);
  w.EndObject();
  return w.text();
}

std::string DeviceLine(int number, const std::string& name) {
  return "device " + std::to_string(number) + ": " + BareOrQuoted(name);
}

std::string DeviceJsonLine(int number, const std::string& name) {
  JsonWriter w;
  w.BeginObject();
  w.Key("number"); w.Int(number);
  w.Key("device"); w.String(name);
  w.EndObject();
  return w.text();
}

std::string FieldLine(const std::pair<std::string, std::string>& field) {
  return BareOrQuoted(field.first) + ": " + BareOrQuoted(field.second);
}

std::string ServerJsonLine(const std::string& address, const OrnaServerDescription& description) {
  JsonWriter w;
  w.BeginObject();
  w.Key("server"); w.String(address);
  w.Key("fields");
  w.BeginObject();
  for (const auto& [key, value] : description.fields) {
    w.Key(key);
    w.String(value);
  }
  w.EndObject();
  w.EndObject();
  return w.text();
}

std::string ListingFailureLine(int result, const std::string& text) {
  return "result " + std::to_string(result) + ": " + text;
}

std::string ListingFailureJsonLine(int result, const std::string& text) {
  JsonWriter w;
  w.BeginObject();
  w.Key("result"); w.Int(result);
  w.Key("text"); w.String(text);
  w.EndObject();
  return w.text();
}

}  // namespace ornactl
