#include "tools/ornactl/listing_lines.h"

#include <cstdio>

#include "tools/common/json_text.h"
#include "tools/ornactl/format_names.h"
#include "tools/ornactl/output_choice.h"

namespace ornactl {
namespace {

using tools_common::BareOrQuoted;
using tools_common::Json;
using tools_common::JsonLine;
using tools_common::JsonText;

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
  return Padded(BareOrQuoted(p.name), nameWidth) + line + tools_common::Quoted(p.description);
}

std::string PropertyJsonLine(const OrnaPropertyInfo& p) {
  Json line = Json::object();
  line["name"] = JsonText(p.name);
  line["description"] = JsonText(p.description);
  line["outSize"] = p.outSize;
  line["outFormat"] = FullFormatCode(p.outFormat);
  line["inSize"] = p.inSize;
  line["inFormat"] = FullFormatCode(p.inFormat);
  line["access"] = p.access;
  return JsonLine(line);
}

std::string DeviceLine(int number, const std::string& name) {
  return "device " + std::to_string(number) + ": " + BareOrQuoted(name);
}

std::string DeviceJsonLine(int number, const std::string& name) {
  Json line = Json::object();
  line["number"] = number;
  line["device"] = JsonText(name);
  return JsonLine(line);
}

std::string FieldLine(const std::pair<std::string, std::string>& field) {
  return BareOrQuoted(field.first) + ": " + BareOrQuoted(field.second);
}

std::string ServerJsonLine(const std::string& address, const OrnaServerDescription& description) {
  Json fields = Json::object();
  // Keys come from the wire too; a key given twice keeps its first place and last value.
  for (const auto& [key, value] : description.fields) {
    fields[JsonText(key).get<std::string>()] = JsonText(value);
  }
  Json line = Json::object();
  line["server"] = JsonText(address);
  line["fields"] = std::move(fields);
  return JsonLine(line);
}

std::string ListingFailureLine(int result, const std::string& text) {
  return "result " + std::to_string(result) + ": " + text;
}

std::string ListingFailureJsonLine(int result, const std::string& text) {
  Json line = Json::object();
  line["result"] = result;
  line["text"] = JsonText(text);
  return JsonLine(line);
}

}  // namespace ornactl
