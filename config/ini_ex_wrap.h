// CIniExWrap: the settings file, read like an ini file by section and key although it
// is an XML document. The root element is CIniExWrap, each section a child element of
// the root and each key a child element of its section; the value is the key
// element's text. Files are found in the executable's directory.
//
// Ownership: the object owns its XML document. The server keeps one long-lived object,
// AppSettings (source/globals.h); the start-up validation uses a short-lived one.
//
// Threading: no lock. Reads change nothing and may run on several threads at once;
// Open and Reset replace the document and may only run while no other thread reads.
#pragma once

#include <tinyxml.h>

#include <cstdint>

class CIniExWrap {
 public:
  // Records the executable's directory; no file is open and every read answers its
  // default.
  CIniExWrap();
  // Saves when Open asked for it, then drops the document.
  virtual ~CIniExWrap();

  CIniExWrap(const CIniExWrap&) = delete;
  CIniExWrap& operator=(const CIniExWrap&) = delete;

  // Opens fileName, a name relative to the executable's directory; the whole path
  // must fit in 255 characters. A file already open is saved (without backup) and
  // closed first. With createIfMissing a file that doesn't exist (or can't be read)
  // opens as an empty skeleton and nothing is written to disk. False for a path that
  // is too long, a file that exists but doesn't load, and a document whose root isn't
  // one CIniExWrap element; the object is then closed and holds no nodes.
  bool Open(const char* fileName, bool saveOnClose, bool createIfMissing,
            bool backupOnClose);

  // The value of key in section, or defaultValue when there is none (missing, empty,
  // white space only, or not text). The text belongs to the document and stays valid
  // until the next Open or Reset or the object's end.
  const char* GetString(const char* section, const char* key,
                        const char* defaultValue) const;
  // The value (or the default written as decimal text) read as a decimal integer:
  // leading digits after optional white space and sign; no digits give 0, values
  // outside 32 bits give the nearest 32-bit value.
  int32_t GetInt(const char* section, const char* key, int32_t defaultValue) const;
  // The value (or the default written with six decimals) read as a decimal real
  // number; nothing convertible gives 0.0.
  double GetReal(const char* section, const char* key, double defaultValue) const;

  // Writes the document to the open file when it was modified; with makeBackup the
  // file is first copied to its name followed by ".001". A failed copy is ignored; a
  // failed write leaves the document marked modified. Nothing is reported.
  void Save(bool makeBackup);

  // Replaces the document by the skeleton (declaration version 1.0, empty root) and
  // closes the object.
  void Reset();

 private:
  // The key element's text as delivered by the XML library, or null.
  const char* FindValue(const char* section, const char* key) const;
  bool RootCheckPasses();

  TiXmlDocument document_;
  char directory_[255];  // without a trailing separator; fixed at construction
  bool saveOnClose_;
  char backupName_[600];
  char fileName_[600];  // empty: no file open
  bool backupOnClose_;
  bool modified_;  // no operation of the server sets it: settings are never rewritten
};
