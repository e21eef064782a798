#include "proxy_entry.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "names.h"

namespace users {

namespace {

const char kEmptyFields[] = "\r\r\r\r\r0\r0";

const char* OrEmpty(const char* s) { return s ? s : ""; }

}  // namespace

int ParseProxyEntry(const char* value, ProxyEntry* out) {
  if (!out) return 0;
  memset(out, 0, sizeof *out);
  if (!value) return 0;
  size_t n = strlen(value);
  char* copy = static_cast<char*>(malloc(n + 1));
  if (!copy) return 0;
  memcpy(copy, value, n + 1);

  char* field[6];  // label, host, user, password, state, rest
  field[0] = copy;
  for (int i = 1; i < 6; ++i) {
    char* cr = strchr(field[i - 1], '\r');
    if (!cr) {
      free(copy);
      return 0;
    }
    *cr = '\0';
    field[i] = cr + 1;
  }
  const char* rest = field[5];
  // The protocol character must be followed by the separator of the last field.
  if (rest[0] == '\0' || rest[1] != '\r') {
    free(copy);
    return 0;
  }
  out->text = copy;
  out->label = field[0];
  out->host = field[1];
  out->user = field[2];
  out->password = field[3];
  out->state = field[4];
  out->imap = rest[0] == '1';
  out->leave = rest[2] == '1';
  return 1;
}

void FreeProxyEntry(ProxyEntry* entry) {
  if (!entry) return;
  free(entry->text);
  memset(entry, 0, sizeof *entry);
}

char* FormatProxyEntry(int position, const char* host, const char* user, const char* password,
                       const char* state, int imap, int leave) {
  const char* format = "Entry %d\r%s\r%s\r%s\r%s\r%c\r%c";
  char p = imap ? '1' : '0', l = leave ? '1' : '0';
  host = OrEmpty(host);
  user = OrEmpty(user);
  password = OrEmpty(password);
  state = OrEmpty(state);
  int n = snprintf(nullptr, 0, format, position, host, user, password, state, p, l);
  if (n < 0) return nullptr;
  char* text = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
  if (!text) return nullptr;
  snprintf(text, static_cast<size_t>(n) + 1, format, position, host, user, password, state, p, l);
  return text;
}

char* EmptyProxyEntry(int position) {
  return FormatProxyEntry(position, "", "", "", "", 0, 0);
}

int IsEmptyProxyEntry(const char* text) {
  if (!text) return 1;
  const char* cr = strchr(text, '\r');
  return cr && strcmp(cr, kEmptyFields) == 0;
}

const char* KeptProxyState(const ProxyEntry* stored, const char* host, const char* user) {
  if (!stored || !stored->text) return "";
  if (SameText(stored->host, OrEmpty(host)) && SameText(stored->user, OrEmpty(user)))
    return stored->state;
  return "";
}

int ProxyAgentOf(const char* server, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!server) return 0;
  const char* format = server[0] == '.' ? ".%s%s" : ".%s.%s";
  int n = snprintf(out, capacity, format, "Proxy Agent", server);
  if (n < 0 || static_cast<size_t>(n) >= capacity) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

}  // namespace users
