#include "repair_protocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

const char kRepairStopLine[] = "STOP\r\n";

namespace {

// A decimal number that must fill the field; false for anything else.
bool ParseCount(const char* s, size_t n, unsigned long* out) {
  if (n == 0 || n > 10) return false;
  unsigned long long v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + static_cast<unsigned>(s[i] - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  *out = static_cast<unsigned long>(v);
  return true;
}

// Copies the field [s, s + n) cut to the record's capacity.
void CopyField(char* to, const char* s, size_t n) {
  if (n >= kReplyCapacity) n = kReplyCapacity - 1;
  memcpy(to, s, n);
  to[n] = '\0';
}

const char* Plural(unsigned long n, const char* one, const char* many) { return n == 1 ? one : many; }

}  // namespace

bool FormatRepairCommand(int type, bool checkOnly, const char* mailbox, char* out) {
  const char* check = checkOnly ? "CHECK " : "";
  if (type == kRepairMailbox) return mailbox && FormatCommand(out, "REPAIR %sMBOX %s\r\n", check, mailbox);
  if (type == kRepairSystem) return FormatCommand(out, "REPAIR %sSTORE\r\n", check);
  return false;
}

bool ParseRepairProgress(const char* text, RepairProgressLine* out) {
  memset(out, 0, sizeof *out);
  const char* fields[4];
  size_t lengths[4];
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    const char* tab = i < 3 ? strchr(p, '\t') : nullptr;
    fields[i] = p;
    lengths[i] = tab ? static_cast<size_t>(tab - p) : strlen(p);
    if (i < 3 && !tab) return false;
    p = tab ? tab + 1 : p + lengths[i];
  }
  if (!ParseCount(fields[0], lengths[0], &out->errors)) return false;
  CopyField(out->user, fields[1], lengths[1]);
  CopyField(out->mailbox, fields[2], lengths[2]);
  CopyField(out->action, fields[3], lengths[3]);
  return true;
}

bool ParseRepairResult(const char* text, RepairResult* out) {
  memset(out, 0, sizeof *out);
  char word[16];
  const char* p = text;
  size_t n = strcspn(p, " ");
  if (n == 0 || n >= sizeof word) return false;
  memcpy(word, p, n);
  word[n] = '\0';
  if (strcasecmp(word, "stopped") == 0) out->stopped = true;
  else if (strcasecmp(word, "done") != 0) return false;
  p += n;
  unsigned long* counts[3] = {&out->mailboxes, &out->errors, &out->repaired};
  for (unsigned long* c : counts) {
    if (*p != ' ') return false;
    ++p;
    n = strcspn(p, " ");
    if (!ParseCount(p, n, c)) return false;
    p += n;
  }
  return true;  // anything after the counts is for people
}

void FormatRepairSummary(const RepairResult& r, bool checkOnly, char* out, size_t capacity) {
  const char* what = checkOnly ? "Check" : "Repair";
  const char* how = r.stopped ? "stopped" : "finished";
  if (checkOnly) {
    snprintf(out, capacity, "%s %s: %lu %s checked, %lu %s found (read-only: nothing repaired).",
             what, how, r.mailboxes, Plural(r.mailboxes, "mailbox", "mailboxes"), r.errors,
             Plural(r.errors, "error", "errors"));
  } else {
    snprintf(out, capacity, "%s %s: %lu %s checked, %lu %s found, %lu repaired.", what, how,
             r.mailboxes, Plural(r.mailboxes, "mailbox", "mailboxes"), r.errors,
             Plural(r.errors, "error", "errors"), r.repaired);
  }
}

void FormatRepairRefusal(int code, const char* text, char* out, size_t capacity) {
  if (code == kCodeUnknownCommand)
    snprintf(out, capacity, "This server cannot repair its store: it does not know the repair command.");
  else
    snprintf(out, capacity, "The server refused the repair: %s", text && *text ? text : "no reason given");
}
