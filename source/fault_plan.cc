#include "source/fault_plan.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/log.h"
#include "config/settings_keys.h"
#include "config/settings_validation.h"
#include "platform/regular_file.h"

namespace {

constexpr char kRepeatWord[] = "repeat";
constexpr int kMaxTokens = 3;
// Digits beyond these can't be a value the properties accept.
constexpr size_t kMaxIntegerDigits = 10;

struct Line {
  char text[kMaxFaultPlanLineBytes + 1];
  char* tokens[kMaxTokens + 1];
  int tokenCount;
};

bool Fail(FaultPlanError* error, int line, const char* reason) {
  error->line = line;
  snprintf(error->reason, sizeof error->reason, "%s", reason);
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits line->text at blanks up to a '#'; at most kMaxTokens + 1 tokens are kept, so
// that a line with too many is still told apart.
void Tokenize(Line* line) {
  line->tokenCount = 0;
  char* p = line->text;
  while (*p != '\0' && *p != '#' && line->tokenCount <= kMaxTokens) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0' || *p == '#') break;
    line->tokens[line->tokenCount++] = p;
    while (*p != '\0' && *p != '#' && !IsBlank(*p)) ++p;
    if (*p == '#') {
      *p = '\0';
      break;
    }
    if (*p != '\0') *p++ = '\0';
  }
}

// Digits with an optional fraction ("2", "0.25", "3.", ".5"), nothing else.
bool IsPlainDecimal(const char* token) {
  size_t digits = 0;
  const char* p = token;
  while (IsDigit(*p)) ++p, ++digits;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p, ++digits;
  }
  return *p == '\0' && digits > 0;
}

bool ParseSeconds(const char* token, int64_t* ms) {
  if (!IsPlainDecimal(token)) return false;
  const double seconds = strtod(token, nullptr);
  if (!(seconds <= kMaxFaultPlanSeconds)) return false;
  *ms = llround(seconds * 1000.0);
  return true;
}

bool ParseInteger(const char* token, int32_t* value) {
  const char* digits = (*token == '-' || *token == '+') ? token + 1 : token;
  const size_t count = strlen(digits);
  if (count == 0 || count > kMaxIntegerDigits) return false;
  for (size_t i = 0; i < count; ++i) {
    if (!IsDigit(digits[i])) return false;
  }
  const long long n = strtoll(token, nullptr, 10);
  if (n < INT32_MIN || n > INT32_MAX) return false;
  *value = static_cast<int32_t>(n);
  return true;
}

bool ParseReal(const char* token, float* value) {
  const char* digits = (*token == '-' || *token == '+') ? token + 1 : token;
  if (!IsPlainDecimal(digits)) return false;
  const double n = strtod(token, nullptr);
  if (!(std::fabs(n) <= FLT_MAX)) return false;
  *value = static_cast<float>(n);
  return true;
}

bool ParseStep(const Line& line, int number, FaultStep* step, FaultPlanError* error) {
  if (!ParseSeconds(line.tokens[0], &step->atMs)) {
    char reason[sizeof error->reason];
    snprintf(reason, sizeof reason, "the time must be seconds from 0 to %.0f, e.g. 1.5",
             kMaxFaultPlanSeconds);
    return Fail(error, number, reason);
  }
  if (!FaultPropertyFromName(line.tokens[1], &step->property)) {
    char reason[sizeof error->reason];
    snprintf(reason, sizeof reason, "\"%.40s\" is not a fault property", line.tokens[1]);
    return Fail(error, number, reason);
  }
  const bool read = FaultPropertyIsReal(step->property)
                        ? ParseReal(line.tokens[2], &step->value.real)
                        : ParseInteger(line.tokens[2], &step->value.integer);
  const char* why = "";
  if (read && FaultValueAllowed(step->property, step->value, &why)) return true;
  char reason[sizeof error->reason];
  snprintf(reason, sizeof reason, "%s %s", FaultPropertyName(step->property),
           read ? why : (FaultPropertyIsReal(step->property) ? "must be a number"
                                                             : "must be a whole number"));
  return Fail(error, number, reason);
}

// Orders the steps by time, keeping the file's order among equal times.
void SortSteps(FaultPlan* plan) {
  for (int i = 1; i < plan->stepCount; ++i) {
    const FaultStep step = plan->steps[i];
    int j = i;
    for (; j > 0 && plan->steps[j - 1].atMs > step.atMs; --j) plan->steps[j] = plan->steps[j - 1];
    plan->steps[j] = step;
  }
}

// Reads one line (number 1-based) into *line; false for an unreadable one.
bool TakeLine(const char* text, size_t length, int number, Line* line, FaultPlanError* error) {
  if (length > kMaxFaultPlanLineBytes) return Fail(error, number, "the line is too long");
  if (memchr(text, '\0', length) != nullptr) return Fail(error, number, "the line holds a NUL byte");
  memcpy(line->text, text, length);
  line->text[length] = '\0';
  Tokenize(line);
  return true;
}

}  // namespace

bool ParseFaultPlan(const char* text, size_t length, FaultPlan* plan, FaultPlanError* error) {
  plan->stepCount = 0;
  plan->repeats = false;
  plan->lengthMs = 0;
  if (length > kMaxFaultPlanBytes) return Fail(error, 0, "the file is too large");
  Line line;
  int number = 0;
  int repeatLine = 0;
  size_t start = 0;
  while (start < length) {
    const char* end = static_cast<const char*>(memchr(text + start, '\n', length - start));
    const size_t lineLength = end != nullptr ? static_cast<size_t>(end - (text + start))
                                             : length - start;
    ++number;
    if (!TakeLine(text + start, lineLength, number, &line, error)) return false;
    start += lineLength + 1;
    if (line.tokenCount == 0) continue;
    if (plan->repeats) return Fail(error, number, "nothing may follow \"repeat\"");
    if (line.tokenCount == 1 && strcmp(line.tokens[0], kRepeatWord) == 0) {
      plan->repeats = true;
      repeatLine = number;
      continue;
    }
    if (line.tokenCount != 3) {
      return Fail(error, number, "expected SECONDS PROPERTY VALUE or \"repeat\"");
    }
    if (plan->stepCount == kMaxFaultPlanSteps) return Fail(error, number, "too many steps");
    if (!ParseStep(line, number, &plan->steps[plan->stepCount], error)) return false;
    ++plan->stepCount;
  }
  SortSteps(plan);
  if (plan->stepCount > 0) plan->lengthMs = plan->steps[plan->stepCount - 1].atMs;
  if (plan->repeats && plan->lengthMs <= 0) {
    return Fail(error, repeatLine, "a plan that repeats needs a step after 0 s");
  }
  return true;
}

bool ReadFaultPlanFile(const char* fileName, FaultPlan* plan, FaultPlanError* error) {
  FILE* file = OpenRegularFileForReading(PathBesideExecutable(fileName));
  if (file == nullptr) return Fail(error, 0, "not a file that can be read");
  uint64_t size = 0;
  if (!RegularFileSize(file, &size) || size > kMaxFaultPlanBytes) {
    fclose(file);
    return Fail(error, 0, "the file is too large");
  }
  std::unique_ptr<char[]> text(new (std::nothrow) char[kMaxFaultPlanBytes + 1]);
  if (text == nullptr) {
    fclose(file);
    return Fail(error, 0, "no memory to read it");
  }
  // One byte more than allowed, so that a file that grew since its size was taken is
  // still refused.
  const size_t length = fread(text.get(), 1, kMaxFaultPlanBytes + 1, file);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return Fail(error, 0, "not a file that can be read");
  return ParseFaultPlan(text.get(), length, plan, error);
}

bool CheckFaultPlanFile(const char* fileName, SettingsProblem* problem) {
  std::unique_ptr<FaultPlan> plan(new (std::nothrow) FaultPlan);
  FaultPlanError error;
  bool ok = false;
  if (plan == nullptr) {
    Fail(&error, 0, "no memory to read it");
  } else {
    ok = ReadFaultPlanFile(fileName, plan.get(), &error);
  }
  if (ok) return true;
  if (error.line > 0) {
    snprintf(problem->text, sizeof problem->text, "%s/%s \"%.40s\" line %d: %s.", kSectionHardware,
             kKeyFaultPlan, fileName, error.line, error.reason);
  } else {
    snprintf(problem->text, sizeof problem->text, "%s/%s \"%.40s\": %s.", kSectionHardware,
             kKeyFaultPlan, fileName, error.reason);
  }
  return false;
}
