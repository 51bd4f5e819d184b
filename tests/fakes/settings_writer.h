// Builds settings.xml texts for tests: a complete valid configuration, changed one key
// at a time.
//
// Threading: any thread.
#pragma once

#include <string>
#include <vector>

struct SettingsEntry {
  std::string section;
  std::string key;
  std::string value;  // raw XML: may hold entities or a CDATA section
};

// Every key the validation requires, with values inside their limits, plus the
// optional LimitFramerate and DeadManCircuitName.
std::vector<SettingsEntry> ValidSettings();

// entries with section/key set to value (added when missing).
std::vector<SettingsEntry> WithValue(std::vector<SettingsEntry> entries,
                                     const std::string& section, const std::string& key,
                                     const std::string& value);
// entries without section/key.
std::vector<SettingsEntry> Without(std::vector<SettingsEntry> entries,
                                   const std::string& section, const std::string& key);

// The document: a declaration, the root CIniExWrap, the sections in the order of
// their first entry, each key as an element holding its raw value.
std::string SettingsXml(const std::vector<SettingsEntry>& entries);
