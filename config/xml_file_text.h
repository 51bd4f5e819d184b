// The text of an XML file as the settings class hands it to the XML library: the
// file's bytes up to the first zero byte, line ends made "\n", followed by a few zero
// bytes. The parser steps over a whole UTF-8 sequence at once, as its lead byte
// announces it; a sequence cut short by the end of the text would otherwise step it
// past the terminating zero and on through memory after the text. The zero bytes after
// the end hold the longest such step, so the parser stops at the end of the text.
//
// Threading: any thread; works on the caller's objects.
#pragma once

#include <string>

// Reads the file at path into text. False when it can't be read or holds no byte
// (the library refuses an empty file alike); text is then empty. The text's c_str()
// is what to parse.
bool ReadXmlFileText(const char* path, std::string* text);
