#include "agents_more_values.h"

#include <stdio.h>
#include <string.h>

#include "agent_codecs.h"

namespace {

int Fits(int n, size_t capacity) { return n >= 0 && static_cast<size_t>(n) < capacity; }

// Copies what fits; the rest of a longer text is cut.
void CopyCut(char* out, size_t capacity, const char* text) {
  size_t n = strlen(text);
  if (n >= capacity) n = capacity - 1;
  memcpy(out, text, n);
  out[n] = '\0';
}

const char kBehaviourTag[] = "Behaviour:";
const char kUrlTag[] = "URL:";

}  // namespace

const char* TaggedRest(const char* value, const char* tag) {
  if (!value || !tag) return nullptr;
  size_t n = strlen(tag);
  if (_strnicmp(value, tag, n) != 0) return nullptr;
  return value + n;
}

void ParseSignupConfig(const StrList* values, SignupConfig* out) {
  memset(out, 0, sizeof *out);
  out->mode = kSignupServerMode;
  if (!values) return;
  for (int i = 0; i < values->count; ++i) {
    const char* value = values->items[i];
    if (const char* number = TaggedRest(value, kBehaviourTag)) {
      uint32_t bits = ParseBits(number);
      if (bits & kSignupBusyRedirect) out->mode = kSignupBusyRedirectMode;
      if (bits & kSignupRedirectOnly) out->mode = kSignupRedirectOnlyMode;
      out->gui = (bits & kSignupProvideGui) != 0;
      out->statistics = (bits & kSignupStatistics) != 0;
      out->welcome = (bits & kSignupWelcome) != 0;
    } else if (const char* url = TaggedRest(value, kUrlTag)) {
      CopyCut(out->url, sizeof out->url, url);
    }
  }
}

uint32_t SignupBehaviour(const SignupConfig& config) {
  uint32_t bits = 0;
  if (config.mode == kSignupRedirectOnlyMode) bits = kSignupRedirectOnly;
  if (config.mode == kSignupBusyRedirectMode) bits = kSignupBusyRedirect;
  if (config.gui) bits |= kSignupProvideGui;
  if (config.statistics) bits |= kSignupStatistics;
  if (config.welcome) bits |= kSignupWelcome;
  return bits;
}

int FormatSignupBehaviour(const SignupConfig& config, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  int n = snprintf(out, capacity, "%s%lu", kBehaviourTag,
                   static_cast<unsigned long>(SignupBehaviour(config)));
  if (Fits(n, capacity)) return 1;
  out[0] = '\0';
  return 0;
}

int FormatSignupUrl(const char* url, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  int n = snprintf(out, capacity, "%s%s", kUrlTag, url ? url : "");
  if (Fits(n, capacity)) return 1;
  out[0] = '\0';
  return 0;
}

const char* const kProxyIntervals[kProxyIntervalCount] = {"1",  "2",  "3",  "4",  "5",
                                                          "8",  "12", "24", "36", "48"};

int ProxyIntervalIndex(const char* stored) {
  if (!stored) return kProxyDefaultInterval;
  for (int i = 0; i < kProxyIntervalCount; ++i)
    if (strcmp(stored, kProxyIntervals[i]) == 0) return i;
  return -1;
}

int FormatShownPort(const char* stored, char* out, size_t capacity) {
  return FormatBits(ParseBits(stored ? stored : ""), out, capacity);
}
