// What the store tells about one message, computed from its bytes. Sizes are
// counted as the message travels in replies: every line ends in CR LF (a bare
// LF counts two bytes, an unterminated last body line gains its CR LF).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum : uint32_t {
  kMsgRead = 0x001,
  kMsgDeleted = 0x002,
  kMsgFlagged = 0x004,  // not shown by the shell
  kMsgLeadingDot = 0x008,
  kMsgHighPriority = 0x010,
  kMsgLowPriority = 0x020,
  kMsgRecent = 0x080,
  kMsgAnswered = 0x100,
  kMsgDraft = 0x200,
};

struct HeaderField {
  std::string name;   // as written
  std::string value;  // unfolded: line breaks of continuation lines removed
};

// Offset of the body: just after the first empty line, or the text's length
// when there is none.
size_t FindBodyStart(std::string_view message);
std::vector<HeaderField> ParseHeaderFields(std::string_view headerBlock);
// First field of that name (case-insensitive) or nullptr.
const HeaderField* FindField(const std::vector<HeaderField>& fields, const char* name);

// Bytes with every bare LF counted as CR LF.
uint64_t WireBytes(std::string_view text);
// Lines: line ends, plus one for an unterminated last line.
uint64_t LineCount(std::string_view text);

struct MessageFacts {
  uint64_t headerBytes = 0;  // header lines and the empty line after them
  uint64_t bodyBytes = 0;    // exactly what BODY announces
  uint32_t contentFlags = 0; // leading dot, priority
  int64_t date = 0;          // from Date:, 0 when absent or unreadable
  std::string sender;        // one word; "-" prefix when not verified
  std::string subject;       // one word
};

MessageFacts ComputeFacts(std::string_view message, const std::string& authservId);

// MD5 of the stored bytes, hex. Computed when asked for, not kept.
std::string ContentHash(std::string_view message);

// True when the trusted Authentication-Results field (the first one whose
// authentication service is authservId, or the topmost when that is empty)
// reports a passing DKIM, SPF or DMARC result for the From address's domain or
// a parent domain of it.
bool SenderVerified(const std::string& fromAddress, const std::vector<std::string>& authResults,
                    const std::string& authservId);

// Priority bits from the usual priority fields; 0 when none says anything.
uint32_t PriorityFlags(const std::vector<HeaderField>& fields);

// Flags a Maildir file name carries: ":2," letters and whether it lies in new/.
uint32_t MaildirFlags(std::string_view fileName, bool inNew);
// The part of a Maildir file name before the ':' of its flags.
std::string_view MaildirBaseName(std::string_view fileName);
