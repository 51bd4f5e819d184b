#include "tests/fakes/settings_writer.h"

#include <algorithm>

std::vector<SettingsEntry> ValidSettings() {
  return {
      {"Hardware", "Type", "AnimationPlayback"},
      {"Hardware", "EffectiveBitsPerPixel", "8"},
      {"Hardware", "AnimationFile", "test.imm"},
      {"Hardware", "LimitFramerate", "25"},
      {"ImageSource", "Name", "Test camera"},
      {"ImageSource", "ID", "3"},
      {"OrnaServerSettings", "Context", "TEST"},
      {"OrnaServerSettings", "ServerName", "HVX.TEST"},
      {"OrnaServerSettings", "PortOffset", "4"},
      {"OrnaServerSettings", "EquipmentModuleName", "HVXEQM"},
      {"OrnaServerSettings", "FecName", "HVXFEC"},
      {"OrnaServerSettings", "FecDescription", "frame server under test"},
      {"OrnaServerSettings", "FecLocation", "lab"},
      {"OrnaServerSettings", "FecHardware", "pc"},
      {"OrnaServerSettings", "FecResponsible", "tester"},
      {"OrnaServerSettings", "Subsystem", "VIDEO"},
      {"OrnaServerSettings", "ID", "17"},
      {"OrnaServerSettings", "Name", "hvx-test"},
      {"OrnaServerSettings", "DeadManCircuitName", "HVX_ALIVE"},
      {"OrnaVideoService", "Context", "TEST"},
      {"OrnaVideoService", "ServerName", "VIDEOSRV"},
  };
}

std::vector<SettingsEntry> WithValue(std::vector<SettingsEntry> entries,
                                     const std::string& section, const std::string& key,
                                     const std::string& value) {
  for (SettingsEntry& entry : entries) {
    if (entry.section == section && entry.key == key) {
      entry.value = value;
      return entries;
    }
  }
  entries.push_back({section, key, value});
  return entries;
}

std::vector<SettingsEntry> Without(std::vector<SettingsEntry> entries,
                                   const std::string& section, const std::string& key) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const SettingsEntry& entry) {
                                 return entry.section == section && entry.key == key;
                               }),
                entries.end());
  return entries;
}

std::string SettingsXml(const std::vector<SettingsEntry>& entries) {
  std::vector<std::string> sections;
  for (const SettingsEntry& entry : entries) {
    if (std::find(sections.begin(), sections.end(), entry.section) == sections.end()) {
      sections.push_back(entry.section);
    }
  }
  std::string xml = "<?xml version=\"1.0\" ?>\n<CIniExWrap>\n";
  for (const std::string& section : sections) {
    xml += "  <" + section + ">\n";
    for (const SettingsEntry& entry : entries) {
      if (entry.section != section) continue;
      xml += "    <" + entry.key + ">" + entry.value + "</" + entry.key + ">\n";
    }
    xml += "  </" + section + ">\n";
  }
  return xml + "</CIniExWrap>\n";
}
