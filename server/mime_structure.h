// The MIME structure of a message as MIME answers list it: GMime parses the
// message; each part's extent in the stored bytes is found by following the
// boundaries GMime reports, so sizes and line counts are exact.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum MimeLineKind { kMimePart = 2002, kMimeEndMultipart = 2003, kMimeEndMessage = 2004 };

struct MimeLine {
  MimeLineKind kind;
  // For kMimePart only; words as they go on the wire.
  std::string type, subtype, charset, encoding, name;
  uint64_t bodyOffset = 0;   // where the part's body starts in the message (wire bytes)
  uint64_t bytes = 0;        // the part's body, wire bytes
  uint64_t headerBytes = 0;  // the part's own header lines and empty line, wire bytes
  uint64_t lines = 0;        // lines of the part's body
};

// Once per process, before any GMime call (thread-safe).
void EnsureMimeLibrary();

// The lines of a MIME answer for one message, in order; a container part is
// followed by its children and then its closing line.
std::vector<MimeLine> DescribeMime(std::string_view message);
// The same, by the two ways DescribeMime takes: a plainly written message is
// read without GMime (false, with out empty, when only GMime can tell); any
// message by GMime.
bool DescribeMimePlainly(std::string_view message, std::vector<MimeLine>* out);
std::vector<MimeLine> DescribeMimeWithLibrary(std::string_view message);

// "2002 type subtype charset encoding name offset bytes header lines" or the
// closing lines, without the line end.
std::string FormatMimeLine(const MimeLine& line);

// A MIME answer kept in a few bytes, a fifth of its text or less: one heap
// block of new[] that its holder frees with delete[]; nullptr for an answer
// longer than kPackedMimeMax bytes packed (hostile nesting), which is not kept.
enum : size_t { kPackedMimeMax = 4096 };
char* PackMime(const std::vector<MimeLine>& lines);
// Appends the answer's lines, each ended by CR LF. It trusts packed: one
// read from a file goes through PackedMimeValid first.
void AppendPackedMime(const char* packed, std::string* out);
// The whole block of a packed answer: its length, then its lines.
std::string_view PackedMimeBlock(const char* packed);
// Whether block (from a file other programs may write) is a whole packed
// answer AppendPackedMime can write out: every length, word and number
// within it, no more than kPackedMimeMax bytes of lines, words without
// blanks or control bytes, and no more text than it makes room for.
bool PackedMimeValid(std::string_view block);

// Extents of the body parts of a multipart body: between the delimiter lines
// "--boundary", each without the line end that precedes the next delimiter.
// Offsets are relative to body.
struct Extent {
  size_t begin, end;
};
std::vector<Extent> SplitMultipart(std::string_view body, std::string_view boundary);
