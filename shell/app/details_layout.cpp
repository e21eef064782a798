#include "details_layout.h"

#include <cstdio>
#include <cstring>

namespace {

const DetailStyleRule kStyles[] = {
    /* heading    */ {false, false, kLineIsHeading},
    /* detail     */ {false, false, kIndent30 | kBreakAfter},
    /* flag       */ {false, false, kIndent45 | kBreakAfter},
    /* plain      */ {false, false, kBreakAfter},
    /* text       */ {true, false, kIndent30 | kBreakAfter},
    /* notice     */ {false, true, kIndent30 | kBreakAfter},
    /* error      */ {false, true, kIndent45 | kBreakAfter},
    /* text error */ {true, true, kIndent45 | kBreakAfter},
    /* blank      */ {false, false, kLineBreakOnly},
};

struct FlagText {
  unsigned long bit;
  const char* text;
};
const FlagText kFlagTexts[] = {
    {kFlagRead, "* Read"},
    {kFlagDeleted, "* Deleted"},
    {kFlagLeadingDot, "* Contains leading dot"},
    {kFlagHighPriority, "* High Priority"},
    {kFlagLowPriority, "* Low Priority"},
    {kFlagRecent, "* Recent (New)"},
    {kFlagAnswered, "* Answered"},
    {kFlagDraft, "* Draft"},
};

}  // namespace

const DetailStyleRule& StyleRule(DetailStyle style) { return kStyles[style]; }

unsigned long long PercentOf(unsigned long part, unsigned long whole) {
  if (whole == 0) return 0;
  return static_cast<unsigned long long>(part) * 100ULL / whole;
}

void MimePrefix(int level, char* out) {
  if (level < 0) level = 0;
  if (level > kMimeMaxLevel) level = kMimeMaxLevel;
  int n = level * kMimeIndent;
  memset(out, ' ', static_cast<size_t>(n));
  out[n] = '\0';
}

void FormatMimeLine(const MimePart& part, char* out, size_t capacity) {
  char prefix[kMimePrefixSize];
  MimePrefix(part.level, prefix);
  if (part.container) {
    snprintf(out, capacity, "%s%s/%s %lu bytes", prefix, part.type, part.subtype, part.bytes);
  } else if (!part.named) {
    snprintf(out, capacity, "%s%s/%s %lu bytes, %lu lines, Charset:%s, Encoding:%s", prefix,
             part.type, part.subtype, part.bytes, part.lines, part.charset, part.encoding);
  } else {
    snprintf(out, capacity, "%s%s/%s %lu bytes, Name: %s", prefix, part.type, part.subtype,
             part.bytes, part.name);
  }
}

int FlagLineTexts(unsigned long flags, const char* out[kMaxFlagLines]) {
  if ((flags & kFlagsInterpreted) == 0) {
    out[0] = "No flags set";
    return 1;
  }
  int n = 0;
  for (const FlagText& f : kFlagTexts)
    if (flags & f.bit) out[n++] = f.text;
  return n;
}

void FormatConfigEntry(const char* entry, char* out, size_t capacity) {
  snprintf(out, capacity, "%s", entry);
  if (char* colon = strchr(out, ':')) *colon = '\t';
}

bool VisibleLineRange(const DetailLine* lines, int count, int top, int bottom, int* first,
                      int* last) {
  int i = 0;
  while (i < count && lines[i].bottom <= top) ++i;
  int j = i;
  while (j < count && lines[j].top <= bottom) ++j;
  *first = i > 0 ? i - 1 : 0;
  *last = j < count ? j : count - 1;
  return count > 0 && *first <= *last;
}

int ScrollTarget(int request, int position, int page, int range, int track) {
  int target = position;
  switch (request) {
    case SB_LINEUP:
      target = position > kScrollLine ? position - kScrollLine : 0;
      break;
    case SB_LINEDOWN:
      target = range < position + page + kScrollLine ? range - page : position + kScrollLine;
      break;
    case SB_PAGEUP:
      target = position - page / 2;
      break;
    case SB_PAGEDOWN:
      target = range < position + page + page / 2 ? range - page : position + page / 2;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      target = track;
      break;
    case SB_TOP:
      target = 0;
      break;
    case SB_BOTTOM:
      if (page < range) target = range - page;
      break;
    default:
      break;
  }
  // Content smaller than the pane would otherwise push the position below 0.
  return target < 0 ? 0 : target;
}
