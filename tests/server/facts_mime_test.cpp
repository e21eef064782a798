// Message facts, MIME extents and the index file, on messages made here byte
// by byte so every count is known.
#include <gtest/gtest.h>

#include "mailbox_index.h"
#include "message_facts.h"
#include "mime_structure.h"

namespace {

class Facts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureMimeLibrary(); }
};

TEST_F(Facts, SizesCountLinesAsCrLfWhateverTheFileUses) {
  struct Row {
    const char* label;
    std::string msg;
    uint64_t header, body;
  } rows[] = {
      {"LF file", "Subject: a\n\nline one\nline two\n", 14, 20},
      {"CRLF file", "Subject: a\r\n\r\nline one\r\nline two\r\n", 14, 20},
      {"unterminated last line", "Subject: a\n\nlast", 14, 6},
      {"empty body", "Subject: a\n\n", 14, 0},
      {"no empty line at all", "Subject: a\nTo: b\n", 19, 0},
      {"header only, unterminated", "Subject: a", 12, 0},
      {"starts with empty line", "\nbody\n", 2, 6},
  };
  for (const Row& r : rows) {
    MessageFacts f = ComputeFacts(r.msg, "");
    EXPECT_EQ(r.header, f.headerBytes) << r.label;
    EXPECT_EQ(r.body, f.bodyBytes) << r.label;
  }
}

TEST_F(Facts, LeadingDotAndPriorityComeFromTheMessage) {
  EXPECT_TRUE(ComputeFacts("S: x\n\n.starts\n", "").contentFlags & kMsgLeadingDot);
  EXPECT_TRUE(ComputeFacts("S: x\n\nfirst\n.second\n", "").contentFlags & kMsgLeadingDot);
  EXPECT_FALSE(ComputeFacts(".Odd-header: x\n\na.b\n", "").contentFlags & kMsgLeadingDot);
  struct Row {
    const char* header;
    uint32_t flags;
  } rows[] = {
      {"X-Priority: 1 (Highest)", kMsgHighPriority},
      {"X-Priority: 2", kMsgHighPriority},
      {"X-Priority: 3 (Normal)", 0},
      {"X-Priority: 5", kMsgLowPriority},
      {"Priority: urgent", kMsgHighPriority},
      {"Priority: non-urgent", kMsgLowPriority},
      {"Importance: High", kMsgHighPriority},
      {"X-MSMail-Priority: Low", kMsgLowPriority},
      {"X-Priority: 5\nImportance: high", kMsgLowPriority},  // the first field decides
      {"Importance: whatever", 0},
  };
  for (const Row& r : rows) {
    std::string m = std::string(r.header) + "\n\nbody\n";
    EXPECT_EQ(r.flags, ComputeFacts(m, "").contentFlags) << r.header;
  }
}

TEST_F(Facts, SenderSubjectDateAndHash) {
  std::string m =
      "From: \"Bob Smith\" <bob@example.org>\n"
      "Subject: =?ISO-8859-1?Q?Gr=FC=DFe_aus?= Berlin\n"
      "Date: Fri, 20 Apr 2001 20:18:00 -0400\n\nhi\n";
  MessageFacts f = ComputeFacts(m, "");
  EXPECT_EQ("-bob@example.org", f.sender);  // no authentication result: not verified
  EXPECT_EQ("Gr\xfc\xdf" "e_aus_Berlin", f.subject);
  EXPECT_EQ(987812280, f.date);
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", ContentHash("abc"));
  MessageFacts none = ComputeFacts("X: y\n\nz\n", "");
  EXPECT_EQ("-", none.sender);
  EXPECT_EQ("-", none.subject);
  EXPECT_EQ(0, none.date);
  // Group syntax and a fallback to Sender.
  EXPECT_EQ("-carol@example.net",
            ComputeFacts("From: team: carol@example.net, dan@example.net;\n\nx\n", "").sender);
  EXPECT_EQ("-list@example.com", ComputeFacts("Sender: list@example.com\n\nx\n", "").sender);
}

TEST_F(Facts, SenderVerifiedOnlyByTheTrustedAuthenticationResult) {
  struct Row {
    const char* label;
    std::string from;
    std::vector<std::string> results;
    std::string authserv;
    bool verified;
  } rows[] = {
      {"dkim aligned", "bob@example.org", {" mx.local; dkim=pass header.d=example.org"}, "", true},
      {"dkim parent domain", "bob@mail.example.org", {"mx.local; dkim=pass header.d=example.org"}, "", true},
      {"dkim other domain", "bob@example.org", {"mx.local; dkim=pass header.d=evil.example"}, "", false},
      {"suffix is not a parent", "bob@badexample.org", {"mx.local; dkim=pass header.d=example.org"}, "", false},
      {"spf aligned", "bob@example.org", {"mx.local; spf=pass smtp.mailfrom=bounce@example.org"}, "", true},
      {"dmarc", "bob@example.org", {"mx.local; dmarc=pass (p=none) header.from=example.org"}, "", true},
      {"dkim fail", "bob@example.org", {"mx.local; dkim=fail header.d=example.org"}, "", false},
      {"comment hides nothing", "bob@example.org", {"mx.local; dkim=fail (dkim=pass header.d=example.org) header.d=example.org"}, "", false},
      {"second field not trusted", "bob@example.org",
       {"mx.local; dkim=none", "forged; dkim=pass header.d=example.org"}, "", false},
      {"configured service", "bob@example.org",
       {"forged; dkim=pass header.d=example.org", "mx.local; spf=fail smtp.mailfrom=example.org"},
       "mx.local", false},
      {"configured service passes", "bob@example.org",
       {"other; dkim=fail", "MX.local; dkim=pass header.d=example.org"}, "mx.local", true},
      {"no address", "", {"mx.local; dkim=pass header.d=example.org"}, "", false},
  };
  for (const Row& r : rows) EXPECT_EQ(r.verified, SenderVerified(r.from, r.results, r.authserv)) << r.label;
  MessageFacts f = ComputeFacts(
      "Authentication-Results: mx.local;\n dkim=pass header.d=example.org\n"
      "From: -odd@example.org\n\nx\n", "");
  EXPECT_EQ("_odd@example.org", f.sender);  // verified, and never mistaken for unverified
}

TEST(MaildirNames, FlagsFromInfoLettersAndFolder) {
  EXPECT_EQ(uint32_t(kMsgRecent), MaildirFlags("123.M1P2.host", true));
  EXPECT_EQ(0u, MaildirFlags("123.M1P2.host:2,", false));
  EXPECT_EQ(uint32_t(kMsgRead | kMsgAnswered | kMsgDraft | kMsgFlagged | kMsgDeleted),
            MaildirFlags("123.M1P2.host,S=100:2,DFRST", false));
  EXPECT_EQ(uint32_t(kMsgRead), MaildirFlags("123.host:2,Sx", false));
  EXPECT_EQ("123.host,S=5", MaildirBaseName("123.host,S=5:2,S"));
  EXPECT_EQ("123.host", MaildirBaseName("123.host"));
}

TEST_F(Facts, MultipartExtentsAreExact) {
  // Body offsets below are counted by hand on the CRLF form.
  std::string m =
      "Content-Type: multipart/mixed; boundary=\"XX\"\n"  // 44 bytes and LF
      "\n"
      "preamble\n"
      "--XX\n"
      "Content-Type: text/plain; charset=ISO-8859-1\n"
      "\n"
      "hello\n"
      "world\n"
      "--XX\n"
      "Content-Type: image/gif; name=\"a b.gif\"\n"
      "Content-Transfer-Encoding: BASE64\n"
      "\n"
      "R0lGOD\n"
      "--XX--\n"
      "epilogue\n";
  std::vector<MimeLine> l = DescribeMime(m);
  ASSERT_EQ(4u, l.size());
  EXPECT_EQ("multipart", l[0].type);
  EXPECT_EQ("mixed", l[0].subtype);
  EXPECT_EQ(48u, l[0].headerBytes);  // 44 + CR LF + CR LF
  EXPECT_EQ(48u, l[0].bodyOffset);
  std::string body = m.substr(46);
  EXPECT_EQ(WireBytes(body), l[0].bytes);
  EXPECT_EQ(13u, l[0].lines);

  EXPECT_EQ("text", l[1].type);
  EXPECT_EQ("iso-8859-1", l[1].charset);
  EXPECT_EQ("7bit", l[1].encoding);
  EXPECT_EQ("-", l[1].name);
  EXPECT_EQ(12u, l[1].bytes);  // "hello\r\nworld": the line end before "--XX" is the delimiter's
  EXPECT_EQ(2u, l[1].lines);

  EXPECT_EQ("image", l[2].type);
  EXPECT_EQ("gif", l[2].subtype);
  EXPECT_EQ("-", l[2].charset);
  EXPECT_EQ("base64", l[2].encoding);
  EXPECT_EQ("a_b.gif", l[2].name);
  EXPECT_EQ(6u, l[2].bytes);
  EXPECT_EQ(1u, l[2].lines);
  EXPECT_EQ(kMimeEndMultipart, l[3].kind);

  // Where the gif's body starts, in wire bytes: find it in the CRLF form.
  std::string crlf;
  for (char c : m) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(crlf.find("R0lGOD"), l[2].bodyOffset);
  EXPECT_EQ(crlf.find("hello"), l[1].bodyOffset);
}

TEST_F(Facts, NestedMessageAndSimilarBoundaries) {
  std::string m =
      "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
      "--b\r\n"
      "Content-Type: message/rfc822\r\n\r\n"
      "Subject: inner\r\n"
      "Content-Type: multipart/alternative; boundary=\"bb\"\r\n\r\n"
      "--bb\r\n\r\nplain\r\n"
      "--bb\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n"
      "--bb--\r\n"
      "--b--\r\n";
  std::vector<MimeLine> l = DescribeMime(m);
  std::vector<std::string> shape;
  for (const MimeLine& x : l)
    shape.push_back(x.kind == kMimePart ? x.type + "/" + x.subtype : std::to_string(x.kind));
  EXPECT_EQ(std::vector<std::string>({"multipart/mixed", "message/rfc822",
                                      "multipart/alternative", "text/plain", "text/html", "2003",
                                      "2004", "2003"}),
            shape);
  EXPECT_EQ(5u, l[3].bytes);  // "plain": "--b" does not end a part bounded by "--bb"
  EXPECT_EQ(8u, l[4].bytes);
  // The message part's body is the whole inner message.
  size_t inner = m.find("Subject: inner");
  size_t close = m.find("\r\n--b--");
  EXPECT_EQ(close - inner, l[1].bytes);
}

TEST_F(Facts, MissingClosingDelimiterAndEmptyParts) {
  std::vector<Extent> e = SplitMultipart("--q\n\n--q\nA: b\n\ntext\n--q  \nlast", "q");
  ASSERT_EQ(3u, e.size());
  EXPECT_EQ(e[0].begin, e[0].end);  // empty part: nothing between the delimiters
  EXPECT_EQ(std::string("A: b\n\ntext"), std::string("--q\n\n--q\nA: b\n\ntext\n--q  \nlast").substr(e[1].begin, e[1].end - e[1].begin));
  EXPECT_EQ(std::string("last").size(), e[2].end - e[2].begin);
  EXPECT_TRUE(SplitMultipart("no delimiters here\n", "q").empty());
  // "--qq" is not a delimiter of boundary "q"; "--q--x" is not a closing one.
  EXPECT_EQ(1u, SplitMultipart("--q\n--qq\n--q--x\n", "q").size());
}

TEST_F(Facts, HostileInputStaysBounded) {
  // Deep nesting: the description stops deepening but answers.
  std::string m;
  for (int i = 0; i < 300; ++i)
    m += "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(i) + "\"\n\n--b" +
         std::to_string(i) + "\n";
  m += "\nend\n";
  std::vector<MimeLine> l = DescribeMime(m);
  EXPECT_FALSE(l.empty());
  EXPECT_LE(l.size(), 202u);
  // Binary junk.
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
  EXPECT_FALSE(DescribeMime(junk).empty());
  EXPECT_FALSE(DescribeMime("").empty());
}

TEST(IndexFile, RoundTripAndDamageIsRefused) {
  auto r = std::make_shared<MessageRecord>();
  r->SetTexts("1700000000.M1P2.host name", "-bob@example.org", "Hello_there");
  r->uid = 7;
  r->rawSize = 1234;
  r->mtime = 1700000001;
  r->headerBytes = 300;
  r->bodyBytes = 960;
  r->contentFlags = kMsgLeadingDot;
  r->date = -5;
  MailboxIndex::Snapshot s;
  s.nextUid = 8;
  s.cur = {1700000100, 123456789};
  s.fresh = {1700000200, 5};
  s.scannedAt = 1700000300;
  ListedMessage m;
  m.suffix = ":2,RS";  // file names may hold spaces: the name ends the line
  m.record = r;
  s.listing.push_back(m);
  // A second message with its MIME answer kept.
  auto withMime = std::make_shared<MessageRecord>();
  withMime->SetTexts("1700000002.M2P2.host", "-", "-");
  withMime->uid = 9;
  const std::string multipart =
      "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/html\n\n"
      "<p>\n--b\nContent-Type: application/pdf; name=\"\xe9t\xe9 a.pdf\"\n\n%PDF\n--b--\n";
  withMime->KeepMime(PackMime(DescribeMime(multipart)));
  std::string answer;
  AppendPackedMime(withMime->mime.load(), &answer);
  ListedMessage second;
  second.inNew = true;
  second.record = withMime;
  s.listing.push_back(second);
  s.nextUid = 10;
  std::string text = MailboxIndex::Serialize(s, s.listing);
  MailboxIndex::Snapshot back;
  ASSERT_TRUE(MailboxIndex::Parse(text, &back)) << text;
  EXPECT_EQ(10u, back.nextUid);
  EXPECT_TRUE(back.cur == s.cur);
  EXPECT_TRUE(back.fresh == s.fresh);
  EXPECT_EQ(s.scannedAt, back.scannedAt);
  ASSERT_EQ(2u, back.listing.size());
  const ListedMessage& b = back.listing[0];
  EXPECT_EQ("1700000000.M1P2.host name:2,RS", b.File());
  EXPECT_FALSE(b.inNew);
  EXPECT_EQ("1700000000.M1P2.host name", b.record->Base());
  EXPECT_EQ(7u, b.record->uid);
  EXPECT_EQ(-5, b.record->date);
  EXPECT_EQ("-bob@example.org", b.record->Sender());
  EXPECT_EQ("Hello_there", b.record->Subject());
  EXPECT_EQ(uint32_t(kMsgLeadingDot | kMsgRead | kMsgAnswered), b.flags);
  EXPECT_EQ(nullptr, b.record->mime.load());
  const MessageRecord& b2 = *back.listing[1].record;
  ASSERT_NE(nullptr, b2.mime.load());
  std::string answerBack;
  AppendPackedMime(b2.mime.load(), &answerBack);
  EXPECT_EQ(answer, answerBack);
  EXPECT_EQ(0u, b2.checkedAt.load());  // the file is looked at before the answer goes out
  EXPECT_EQ(text, MailboxIndex::Serialize(back, back.listing));

  // An answer that does not check out loads as none; the entry stays.
  std::string head = text.substr(0, text.find('\n') + 1);
  std::string line = text.substr(head.size(), text.find('\n', head.size()) + 1 - head.size());
  std::string line2 = text.substr(head.size() + line.size());
  size_t field = line2.find(" - - ") + 5;
  std::string encoded = line2.substr(field, line2.find(' ', field) - field);
  for (std::string bad : {std::string("AAAA"), encoded.substr(0, encoded.size() - 2),
                          encoded + "AA", "*" + encoded.substr(1), std::string(6000, 'A')}) {
    std::string hostile =
        head + line + line2.substr(0, field) + bad + line2.substr(field + encoded.size());
    ASSERT_TRUE(MailboxIndex::Parse(hostile, &back)) << bad;
    ASSERT_EQ(2u, back.listing.size());
    EXPECT_EQ(9u, back.listing[1].record->uid);
    EXPECT_EQ(nullptr, back.listing[1].record->mime.load()) << bad;
  }
  // An index of the version before answers were kept reads with its IDs.
  std::string v3 = "zelm-index 3" + head.substr(12) +
                   line.substr(0, line.find(" - ")) + line.substr(line.find(" - ") + 2) +
                   line2.substr(0, field) + line2.substr(field + encoded.size() + 1);
  ASSERT_TRUE(MailboxIndex::Parse(v3, &back)) << v3;
  ASSERT_EQ(2u, back.listing.size());
  EXPECT_EQ(7u, back.listing[0].record->uid);
  EXPECT_EQ("1700000000.M1P2.host name:2,RS", back.listing[0].File());
  EXPECT_EQ(9u, back.listing[1].record->uid);
  EXPECT_EQ("1700000002.M2P2.host", back.listing[1].File());
  EXPECT_EQ(nullptr, back.listing[1].record->mime.load());

  std::string damaged[] = {
      "",
      "zelm-index 2 8 1 2 3 4 5\n",
      "zelm-index 4 0 1 2 3 4 5\n",
      "zelm-index 4 10 1 2 3 4\n",
      "zelm-index 5 10 1 2 3 4 5\n",
      text.substr(0, text.find("Hello_there")),  // cut inside a line
      text.substr(0, text.size() - 1),           // last line without its end
      "zelm-index 4 7 1 2 3 4 5\n" + line,      // ID not below the next one
      head + line + line,                         // IDs not ascending
      head + "7 x" + line.substr(3),              // neither new/ nor cur/
      head + line.substr(0, line.find("-bob")) + "a\x01b Hello_there - x\n",
      head + line.substr(0, line.find("1700000000.M1")) + "../escape\n",
  };
  for (const std::string& d : damaged) EXPECT_FALSE(MailboxIndex::Parse(d, &back)) << d;
}

}  // namespace
