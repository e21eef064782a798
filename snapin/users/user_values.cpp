#include "user_values.h"

#include <limits.h>

namespace users {

const char kAttrPrivacy[] = "Quorvel:Privacy";
const char kAttrTimeout[] = "Quorvel:Timeout";
const char kAttrEMail[] = "Quorvel:EMail Address";
const char kAttrDisabled[] = "Quorvel:Messaging Disabled";
const char kAttrForwarding[] = "Quorvel:Forwarding Enabled";
const char kAttrForwardAddress[] = "Quorvel:Forwarding Address";
const char kAttrVacation[] = "Quorvel:Vacation Message Enabled";
const char kAttrReplyMessage[] = "Quorvel:Reply Message";
const char kAttrUseQuota[] = "Quorvel:Use Quota";
const char kAttrQuotaValue[] = "Quorvel:Quota Value";
const char kAttrProxyList[] = "Quorvel:Proxy List";
const char kAttrFingerMessage[] = "Quorvel:Finger Message";

const char* FirstValue(const StrList* values) {
  if (!values || values->count <= 0 || !values->items || !values->items[0]) return "";
  return values->items[0];
}

int FlagOf(const StrList* values) { return FirstValue(values)[0] == '1'; }

int PrivacyIndexOf(const StrList* values) {
  switch (FirstValue(values)[0]) {
    case '2': return 2;
    case '1': return 1;
    default: return 0;
  }
}

int ForwardingModeOf(const StrList* values) { return PrivacyIndexOf(values); }

const char* ForwardingValue(int forward, int keepCopy) {
  if (!forward) return "0";
  return keepCopy ? "2" : "1";
}

int NumberOf(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  int negative = 0;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long n = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    n = n * 10 + (*text - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

const char* TimeoutToWrite(const char* typed) {
  return NumberOf(typed) == 0 ? "6" : typed;
}

int MergeFlagState(int state, const StrList* values) {
  if (!values || values->count <= 0) return state;
  int set = FlagOf(values);
  if (set && state == kStateClear) return kStateMixed;
  if (!set && state == kStateSet) return kStateMixed;
  return state;
}

}  // namespace users
