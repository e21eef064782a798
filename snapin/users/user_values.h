// How the user pages read and write the messaging attributes of a user:
// flags, the privacy index, the forwarding mode, the timeout rule and the
// three-state merging of the multi-user page. Pure; no window, no directory.
#pragma once

#include "strlist.h"

// The users area shares tarq.dll with the others: its helpers keep to
// a namespace of their own.
namespace users {

// Attribute names of a user's messaging settings.
extern const char kAttrPrivacy[];
extern const char kAttrTimeout[];
extern const char kAttrEMail[];
extern const char kAttrDisabled[];
extern const char kAttrForwarding[];
extern const char kAttrForwardAddress[];
extern const char kAttrVacation[];
extern const char kAttrReplyMessage[];
extern const char kAttrUseQuota[];
extern const char kAttrQuotaValue[];
extern const char kAttrProxyList[];
extern const char kAttrFingerMessage[];

enum {
  kUserTextChars = 1024,  // what may be typed into a text field of the messaging page
  kDefaultTimeout = 6,    // written in place of a timeout that reads as 0
};

// The first value of a list, "" when it has none.
const char* FirstValue(const StrList* values);

// Set when the first character of the first value is '1'.
int FlagOf(const StrList* values);
// "Quorvel:Privacy": '2' gives 2, '1' gives 1, anything else 0.
int PrivacyIndexOf(const StrList* values);
// "Quorvel:Forwarding Enabled": 0 neither box, 1 "Forward mail to:", 2 both.
int ForwardingModeOf(const StrList* values);
// What is written for the two forwarding boxes: "2", "1" or "0" ("Keep local
// copy" alone is "0").
const char* ForwardingValue(int forward, int keepCopy);

// The text as a C-style decimal: leading blanks, an optional sign, digits;
// no digits read as 0. Values beyond the 32-bit range stop at its ends.
int NumberOf(const char* text);
// The timeout written for the typed text: the text itself, or "6" when it
// reads as 0.
const char* TimeoutToWrite(const char* typed);

// Three-state boxes of the multi-user page.
enum { kStateClear = 0, kStateSet = 1, kStateMixed = 2 };
// Folds one more user's flag into a state: a set flag turns clear into
// mixed, a clear one turns set into mixed; no value changes nothing.
int MergeFlagState(int state, const StrList* values);

}  // namespace users
