// The plain MIME reading against GMime's on messages made to sit on either
// side of what it takes, and packed answers written out again.
#include <gtest/gtest.h>

#include <memory>

#include "mime_structure.h"

namespace {

std::string Text(const std::vector<MimeLine>& lines) {
  std::string s;
  for (const MimeLine& l : lines) s += FormatMimeLine(l) + "\r\n";
  return s;
}

std::string Crlf(const std::string& lf) {
  std::string out;
  for (char c : lf) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Multipart(const std::string& typeField, const std::string& body) {
  return "Subject: x\n" + typeField + "\n\n" + body;
}

class PlainMime : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureMimeLibrary(); }
};

TEST_F(PlainMime, ReadsWhatItTakesAsGMimeDoesAndLeavesTheRest) {
  const std::string two = "--b\nContent-Type: text/plain\n\none\n--b\n\ntwo\n--b--\n";
  struct Row {
    const char* label;
    std::string msg;
    bool plain;
  } rows[] = {
      {"no MIME fields", "Subject: hi\nFrom: a@b\n\nbody\n", true},
      {"folded parameters, odd letter case",
       "CONTENT-type: Text/HTML;\n\tcharset=\"UTF-8\";\n name=page.htm\n\n<p>\n", true},
      {"encoding with a trailing word", "Content-Transfer-Encoding:  Base64 ;x\n\nAA==\n", true},
      {"closing semicolon", "Content-Type: text/plain; charset=us-ascii;\n\nx\n", true},
      {"filename before the type's name",
       "Content-Type: application/pdf; name=a.pdf\nContent-Disposition: attachment;"
       " filename=\"b c.pdf\"\n\n%PDF\n", true},
      {"multipart", Multipart("Content-Type: multipart/mixed; boundary=b", two), true},
      {"boundary quoted with a comment sign",
       Multipart("Content-Type: multipart/mixed; boundary=\"(b)\"",
                 "--(b)\n\nx\n--(b)--\n"), true},
      {"padding after delimiters",
       Multipart("Content-Type: multipart/mixed; boundary=b", "--b  \n\none\n--b-- \t\n"), true},
      {"no closing delimiter",
       Multipart("Content-Type: multipart/mixed; boundary=b", "--b\n\none\n--b\n\ntwo\n"), true},
      {"digest parts are messages",
       Multipart("Content-Type: multipart/digest; boundary=d",
                 "--d\n\nSubject: in\n\nhi\n--d--\n"), true},
      {"nested message and report",
       Multipart("Content-Type: multipart/report; boundary=r",
                 "--r\nContent-Type: message/delivery-status\n\nStatus: 5.0.0\n"
                 "--r\nContent-Type: message/rfc822\n\nSubject: orig\n\ntext\n--r--\n"), true},
      {"encoded word", "Content-Type: text/plain; name=\"=?utf-8?q?a=C3=A9?=\"\n\nx\n", false},
      {"continued parameter", "Content-Type: text/plain; name*0=a; name*1=b\n\nx\n", false},
      {"comment", "Content-Type: text/plain (note); charset=x\n\nx\n", false},
      {"quoted pair", "Content-Type: text/plain; name=\"a\\\"b\"\n\nx\n", false},
      {"8-bit parameter", "Content-Type: text/plain; name=\"\xe9t\xe9\"\n\nx\n", false},
      {"empty parameter", "Content-Type: text/plain; charset=\"\"\n\nx\n", false},
      {"field twice", "Content-Type: text/plain\nContent-Type: text/html\n\nx\n", false},
      {"parameter twice", "Content-Type: text/plain; charset=a; charset=b\n\nx\n", false},
      {"no type pair", "Content-Type: text; charset=us-ascii\n\nx\n", false},
      {"line that is no field", "Subject: a\nnot a field\n\nx\n", false},
      {"no empty line", "Subject: a\nContent-Type: text/plain\n", false},
      {"no field at all", "\nbody\n", false},
      {"empty part",
       Multipart("Content-Type: multipart/mixed; boundary=b", "--b\n--b\n\nx\n--b--\n"), false},
      {"delimiter with more after it",
       Multipart("Content-Type: multipart/mixed; boundary=b", "--b\n\nx\n--bb\n--b--\n"), false},
      {"no delimiter", Multipart("Content-Type: multipart/mixed; boundary=b", "x\n"), false},
      {"encoded message part",
       "Content-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\nU3ViamVjdA==\n", false},
      {"partial message", "Content-Type: message/partial; id=x; number=1\n\nx\n", false},
  };
  for (const Row& r : rows) {
    for (const std::string& m : {r.msg, Crlf(r.msg)}) {
      std::vector<MimeLine> plain;
      ASSERT_EQ(r.plain, DescribeMimePlainly(m, &plain)) << r.label;
      if (r.plain) EXPECT_EQ(Text(DescribeMimeWithLibrary(m)), Text(plain)) << r.label;
      EXPECT_EQ(Text(DescribeMimeWithLibrary(m)), Text(DescribeMime(m))) << r.label;
    }
  }
}

TEST_F(PlainMime, PackedAnswersWriteOutAsFormatted) {
  MimeLine big{kMimePart, "application", "x-\xe9trange", "-", "base64",
               std::string(200, 'n'), 1ull << 40, 4294967296ull, 127, 128};
  MimeLine small{kMimePart, "text", "plain", "us-ascii", "7bit", "-", 0, 0, 0, 0};
  MimeLine endPart{kMimeEndMultipart}, endMessage{kMimeEndMessage};
  std::vector<std::vector<MimeLine>> answers = {
      {small},
      {big, small, endMessage, endPart},
      DescribeMime(Multipart("Content-Type: multipart/mixed; boundary=b",
                             "--b\nContent-Type: image/png; name=\"a b.png\"\n\nx\n--b--\n")),
  };
  for (const std::vector<MimeLine>& lines : answers) {
    std::unique_ptr<char[]> packed(PackMime(lines));
    ASSERT_TRUE(packed);
    std::string out = "before\r\n";
    AppendPackedMime(packed.get(), &out);
    EXPECT_EQ("before\r\n" + Text(lines), out);
  }
  // Packed sizes at the limit and one past it: a part of common words and
  // one-byte numbers packs in 10 bytes, a closing line in 1.
  std::vector<MimeLine> limit(409, small);
  limit.insert(limit.end(), 6, endPart);
  std::unique_ptr<char[]> atLimit(PackMime(limit));
  EXPECT_TRUE(atLimit);
  limit.push_back(endPart);
  EXPECT_EQ(nullptr, std::unique_ptr<char[]>(PackMime(limit)));
}

// A packed block with the length it starts with made to fit lines.
std::string Block(const std::string& lines) {
  std::string b;
  for (uint64_t v = lines.size(); ; v >>= 7) {
    b += static_cast<char>((v >= 0x80 ? 0x80 : 0) | (v & 0x7F));
    if (v < 0x80) break;
  }
  return b + lines;
}

TEST_F(PlainMime, PackedAnswersFromFilesAreCheckedToTheirLastByte) {
  auto packed = [](const std::vector<MimeLine>& lines) {
    std::unique_ptr<char[]> p(PackMime(lines));
    return std::string(PackedMimeBlock(p.get()));
  };
  MimeLine small{kMimePart, "text", "plain", "us-ascii", "7bit", "-", 0, 0, 0, 0};
  MimeLine endPart{kMimeEndMultipart};
  const std::string real = packed(DescribeMime(Multipart(
      "Content-Type: multipart/mixed; boundary=b",
      "--b\nContent-Type: image/png; name=\"a b.png\"\n\nx\n--b\n"
      "Content-Type: message/rfc822\n\nSubject: in\n\nhi\n--b--\n")));
  const std::string plain = packed(DescribeMime("Subject: a\n\nbody\n"));
  std::vector<MimeLine> limit(409, small);
  limit.insert(limit.end(), 6, endPart);
  const std::string atLimit = packed(limit);
  // A part: kind, five words (common word 1 = "text"), four one-byte numbers.
  const std::string part = std::string("\0\1\2\0\0\0", 6) + "\5\5\5\5";
  const std::string word200 = std::string("\0\xFF\xC8\x01", 4) + std::string(200, 'w') +
                              std::string("\0\0\0\0", 4) + "\1\1\1\1";
  struct Row {
    const char* label;
    std::string block;
    bool valid;
  } rows[] = {
      {"multipart with a nested message", real, true},
      {"one plain part", plain, true},
      {"built here", Block(part + "\1"), true},
      {"at kPackedMimeMax", atLimit, true},
      {"one past kPackedMimeMax", Block(atLimit.substr(2) + "\1"), false},
      {"written word of kWordMax bytes", Block(word200), true},
      {"written word one past kWordMax",
       Block(std::string("\0\xFF\xC9\x01", 4) + std::string(201, 'w') +
             std::string("\0\0\0\0", 4) + "\1\1\1\1"),
       false},
      {"empty", "", false},
      {"no lines", Block(""), false},
      {"length past the end", real.substr(0, real.size() - 1), false},
      {"length short of the end", real + "\1", false},
      {"length that never ends", "\x80\x80", false},
      {"cut inside a part's words", Block(part.substr(0, 4)), false},
      {"cut inside a number", Block(part.substr(0, 9) + "\x80"), false},
      {"written word past the end",
       Block(std::string("\0\xFF\x05", 3) + "abc"), false},
      {"written word's length past the end", Block(std::string("\0\xFF\x85", 3)), false},
      {"written word with a line end",
       Block(std::string("\0\xFF\x03", 3) + "a\r\n" + part.substr(2)), false},
      {"empty written word", Block(std::string("\0\xFF\0", 3) + part.substr(2)), false},
      {"last common word", Block(std::string("\0\x2A", 2) + part.substr(2)), true},
      {"word past the common words", Block(std::string("\0\x2B", 2) + part.substr(2)), false},
      {"line of no kind", Block("\3"), false},
      {"number past 64 bits",
       Block(part.substr(0, 6) + std::string(9, '\xFF') + "\x02" + "\5\5\5"), false},
      {"number of eleven bytes",
       Block(part.substr(0, 6) + std::string(10, '\x80') + std::string("\0", 1) + "\5\5\5"),
       false},
      {"largest number", Block(part.substr(0, 6) + std::string(9, '\xFF') + "\x01" + "\5\5\5"),
       true},
  };
  for (const Row& r : rows) {
    ASSERT_EQ(r.valid, PackedMimeValid(r.block)) << r.label;
    if (!r.valid) continue;
    // What passes is written out whole, each line a part or a closing line.
    std::string out;
    AppendPackedMime(r.block.data(), &out);
    EXPECT_EQ(0u, out.find("200")) << r.label;
    EXPECT_EQ("\r\n", out.substr(out.size() - 2)) << r.label;
  }
  // Every block cut short is refused.
  for (size_t k = 0; k < real.size(); ++k)
    EXPECT_FALSE(PackedMimeValid(real.substr(0, k))) << k;
}

}  // namespace
