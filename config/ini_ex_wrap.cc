#include "config/ini_ex_wrap.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/xml_file_text.h"
#include "platform/executable_path.h"
#include "platform/sys.h"

namespace {

constexpr const char* kRootName = "CIniExWrap";
constexpr size_t kPathLimit = 255;  // characters of the path of an opened file

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal integer: optional white space and sign, then digits up to the first
// non-digit. No digits give 0; a value beyond 32 bits gives the nearest one.
int32_t ReadDecimalInt(const char* text) {
  long long value = strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Decimal real: optional white space and sign, digits with an optional decimal point,
// an optional exponent. Only this form is taken: strtod alone would also read
// hexadecimal numbers, "inf" and "nan".
double ReadDecimalReal(const char* text) {
  const char* p = text;
  while (isspace(static_cast<unsigned char>(*p))) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (IsDigit(*p)) ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* exponent = p + 1;
    if (*exponent == '+' || *exponent == '-') ++exponent;
    if (IsDigit(*exponent)) {
      while (IsDigit(*exponent)) ++exponent;
      p = exponent;
    }
  }
  std::string number(start, p);
  return strtod(number.c_str(), nullptr);
}

}  // namespace

CIniExWrap::CIniExWrap()
    : saveOnClose_(false), backupOnClose_(false), modified_(false) {
  backupName_[0] = '\0';
  fileName_[0] = '\0';
  GetExecutableDirectory(directory_, sizeof directory_, sizeof directory_ - 1);
}

CIniExWrap::~CIniExWrap() {
  if (saveOnClose_) Save(backupOnClose_);
  Reset();
}

bool CIniExWrap::Open(const char* fileName, bool saveOnClose, bool createIfMissing,
                      bool backupOnClose) {
  char path[kPathLimit + 1];
  bool pathFits = fileName != nullptr && JoinPath(directory_, fileName, path, sizeof path);

  if (fileName_[0] != '\0') {
    Save(false);
    Reset();
  }
  saveOnClose_ = saveOnClose;
  backupOnClose_ = backupOnClose;

  // The file is read here rather than by the library, whose own loading lets a cut
  // UTF-8 sequence at the end of the text carry the parser past its buffer.
  std::string text;
  bool loaded = false;
  if (pathFits && ReadXmlFileText(path, &text)) {
    document_.Clear();
    document_.Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    loaded = !document_.Error();
  }
  if (pathFits && !loaded && createIfMissing) {
    // Only a file that isn't there (or can't be read) becomes a fresh skeleton; one
    // that exists but doesn't load is refused, so that a damaged file is never
    // mistaken for an empty one.
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
      Reset();
      snprintf(fileName_, sizeof fileName_, "%s", path);
      return true;
    }
    fclose(file);
  }
  // A document that failed to load may still hold what was parsed before the error;
  // it is never used.
  if (!loaded || !RootCheckPasses()) {
    document_.Clear();
    fileName_[0] = '\0';
    return false;
  }
  snprintf(fileName_, sizeof fileName_, "%s", path);
  return true;
}

bool CIniExWrap::RootCheckPasses() {
  // Nodes are matched by their value, so a comment whose text is the root's name
  // counts as a node of that name too.
  TiXmlHandle handle(&document_);
  return handle.Child(kRootName, 0).ToElement() != nullptr &&
         handle.Child(kRootName, 1).ToElement() == nullptr;
}

const char* CIniExWrap::FindValue(const char* section, const char* key) const {
  if (section == nullptr || key == nullptr) return nullptr;
  // At each level the first node of the name is taken; later ones are never seen.
  const TiXmlNode* root = document_.FirstChild(kRootName);
  const TiXmlNode* sectionNode = root != nullptr ? root->FirstChild(section) : nullptr;
  const TiXmlNode* keyNode = sectionNode != nullptr ? sectionNode->FirstChild(key) : nullptr;
  const TiXmlElement* keyElement = keyNode != nullptr ? keyNode->ToElement() : nullptr;
  // GetText answers the first child's text (CDATA included) and null when the element
  // is empty or starts with a comment or an element.
  return keyElement != nullptr ? keyElement->GetText() : nullptr;
}

const char* CIniExWrap::GetString(const char* section, const char* key,
                                  const char* defaultValue) const {
  const char* value = FindValue(section, key);
  return value != nullptr ? value : defaultValue;
}

int32_t CIniExWrap::GetInt(const char* section, const char* key,
                           int32_t defaultValue) const {
  const char* value = FindValue(section, key);
  if (value != nullptr) return ReadDecimalInt(value);
  char defaultText[16];
  snprintf(defaultText, sizeof defaultText, "%d", defaultValue);
  return ReadDecimalInt(defaultText);
}

double CIniExWrap::GetReal(const char* section, const char* key, double defaultValue) const {
  const char* value = FindValue(section, key);
  if (value != nullptr) return ReadDecimalReal(value);
  // "%f" of the largest double has 316 characters.
  char defaultText[400];
  snprintf(defaultText, sizeof defaultText, "%f", defaultValue);
  return ReadDecimalReal(defaultText);
}

void CIniExWrap::Save(bool makeBackup) {
  if (!modified_ || fileName_[0] == '\0') return;
  if (makeBackup) {
    if (backupName_[0] == '\0') {
      // fileName_ holds at most 255 characters, so the precision never cuts it.
      snprintf(backupName_, sizeof backupName_, "%.590s.%.3d", fileName_, 1);
    }
    SysCopyFile(fileName_, backupName_, false);  // a failed copy doesn't stop the save
  }
  if (document_.SaveFile(fileName_)) modified_ = false;
}

void CIniExWrap::Reset() {
  document_.Clear();
  document_.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  document_.LinkEndChild(new TiXmlElement(kRootName));
  fileName_[0] = '\0';
  modified_ = false;
}
