// One remote mailbox of a user's "Quorvel:Proxy List": seven fields joined by
// carriage returns, "Entry %d\r%s\r%s\r%s\r%s\r%c\r%c" (label, host, user
// name, password, state, protocol '0' POP3 / '1' IMAP4, leave mail '0'/'1').
// The state field belongs to the proxy agent. Pure text; no window, no
// directory.
#pragma once

#include <stddef.h>

// The users area shares tarq.dll with the others: its helpers keep to
// a namespace of their own.
namespace users {

enum {
  kProxyShownEntries = 3,  // positions the page offers
  kProxyFieldChars = 127,  // host, user name and password as typed
};

// A parsed value. The fields point into text, the entry's own heap copy of
// the value split at its first five separators.
struct ProxyEntry {
  char* text;  // owned: freed by FreeProxyEntry
  const char* label;
  int imap;   // 1 = IMAP4, 0 = POP3
  int leave;  // 1 = leave mail on the server
  const char* host;
  const char* user;
  const char* password;
  const char* state;
};

// Splits value at its first five carriage returns. Well formed only when
// the protocol character after the fifth is followed by a carriage return;
// then 1 and *out owns a copy (free it with FreeProxyEntry), else 0 and *out
// is empty. Anything after the leave-mail character is not kept.
int ParseProxyEntry(const char* value, ProxyEntry* out);
void FreeProxyEntry(ProxyEntry* entry);

// A new heap string (free() it; null only when memory runs out) holding the
// entry at `position` (1 to 3): "Entry <position>" and the fields. Null
// texts count as empty; the text is as long as its fields need.
char* FormatProxyEntry(int position, const char* host, const char* user, const char* password,
                       const char* state, int imap, int leave);
// The empty entry at `position`: no host, user, password or state, POP3,
// mail not left.
char* EmptyProxyEntry(int position);

// 1 when what follows the label is exactly "\r\r\r\r\r0\r0": an entry never
// stored.
int IsEmptyProxyEntry(const char* text);

// The state an edited entry keeps: the stored entry's while host and user
// name are the same ignoring letter case, else "".
const char* KeptProxyState(const ProxyEntry* stored, const char* host, const char* user);

// The full name of the proxy agent under a messaging server named as the
// services listing names it (".MS1.Internet Services"), into out (capacity
// bytes). 1, or 0 (out "") when it does not fit.
int ProxyAgentOf(const char* server, char* out, size_t capacity);

}  // namespace users
