// The details pane rendered from a real TCP peer: the lines laid out for each
// selection kind (style, text, position), the exact commands sent, and the
// pane's painting and scrolling.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "details_pane.h"
#include "scripted_peer.h"

namespace {

const COLORREF kWindowText = RGB(10, 20, 30);
const COLORREF kWindow = RGB(250, 250, 240);
const COLORREF kHighlightText = RGB(255, 255, 254);
const COLORREF kHighlight = RGB(0, 0, 160);
const COLORREF kHighlightPen = RGB(255, 0, 255);
const COLORREF kShadowPen = RGB(0, 128, 0);

struct Shown {
  int style;  // DetailStyle, or -1 for a combination no style has
  std::string text;
  bool operator==(const Shown& o) const { return style == o.style && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
  static const char* names[] = {"heading", "detail", "flag",       "plain", "text",
                                "notice",  "error",  "text error", "blank"};
  return os << (s.style >= 0 ? names[s.style] : "???") << " \"" << s.text << "\"";
}

Shown H(const char* t) { return {kStyleHeading, t}; }
Shown D(const char* t) { return {kStyleDetail, t}; }
Shown F(const char* t) { return {kStyleFlag, t}; }
Shown P(const char* t) { return {kStylePlain, t}; }
Shown T(const char* t) { return {kStyleText, t}; }
Shown N(const char* t) { return {kStyleNotice, t}; }
Shown E(const char* t) { return {kStyleError, t}; }
Shown TE(const char* t) { return {kStyleTextError, t}; }

class DetailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StoreSocketsStartup());
    static ATOM registered = RegisterDetailsPaneClass(GetModuleHandleA(nullptr));
    ASSERT_NE(0, registered);
    inputs.interfaceFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    inputs.fixedFont = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    inputs.windowText = kWindowText;
    inputs.window = kWindow;
    inputs.highlightText = kHighlightText;
    inputs.highlight = kHighlight;
    inputs.highlightPen = CreatePen(PS_SOLID, 1, kHighlightPen);
    inputs.shadowPen = CreatePen(PS_SOLID, 1, kShadowPen);
    inputs.maxBodySize = 4096;
    inputs.messageNumber = 1;
    frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600,
                            500, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, frame);
    pane = CreateDetailsPane(frame, &inputs, true);
    ASSERT_NE(nullptr, pane);
    MoveWindow(pane, 0, 0, 400, 300, TRUE);
  }
  void TearDown() override {
    if (frame) DestroyWindow(frame);
    DeleteObject(inputs.highlightPen);
    DeleteObject(inputs.shadowPen);
    if (conn) FreeStoreRecord(conn);
    peer.Stop();
    StoreSocketsCleanup();
  }

  void Connect(std::vector<PeerStep> script) {
    ASSERT_TRUE(peer.Start(std::move(script)));
    conn = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    conn->nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&conn->socket, peer.Address(), kStorePort));
    inputs.connection = conn;
  }

  void Render(int kind, unsigned long viewFlags = 0) {
    inputs.selectionKind = kind;
    inputs.viewFlags = viewFlags;
    RenderDetails(pane);
  }

  DetailsPane* Pane() { return GetDetailsPane(pane); }

  int StyleOf(const DetailLine& l) {
    bool fixed = l.font == inputs.fixedFont;
    bool plainColours = l.textColour == kWindowText && l.backColour == kWindow;
    bool highlighted = l.textColour == kHighlightText && l.backColour == kHighlight;
    if (!plainColours && !highlighted) return -1;
    if (!fixed && l.font != inputs.interfaceFont) return -1;
    int indent = l.left - kMarginX;
    if (l.kind == kLineHeading) return !fixed && plainColours && indent == 0 ? kStyleHeading : -1;
    if (plainColours && !fixed) {
      if (indent == 0) return kStylePlain;
      if (indent == 30) return kStyleDetail;
      if (indent == 45) return kStyleFlag;
    }
    if (plainColours && fixed && indent == 30) return kStyleText;
    if (highlighted && !fixed && indent == 30) return kStyleNotice;
    if (highlighted && !fixed && indent == 45) return kStyleError;
    if (highlighted && fixed && indent == 45) return kStyleTextError;
    return -1;
  }

  std::vector<Shown> Lines() {
    std::vector<Shown> out;
    DetailsPane* p = Pane();
    for (int i = 0; i < p->count; ++i) out.push_back({StyleOf(p->lines[i]), p->lines[i].text});
    return out;
  }

  DetailsInputs inputs = {};
  HWND frame = nullptr;
  HWND pane = nullptr;
  ScriptedPeer peer;
  StoreConnection* conn = nullptr;
};

// --- Selection kinds -----------------------------------------------------

TEST_F(DetailsTest, ServerShowsCapabilitiesThenConfigurationWithTheFirstColonAsTab) {
  Connect({Expect("CAPA\r\n"),
           Send("2001 IMAP4rev1\r\n2099 not a capability\r\n2001 QUOTA\r\n1000 done\r\n"),
           Expect("CONF\r\n"),
           Send("2001 Max Users:100\r\n2001 Greeting:Hello: there\r\n2001 NoColon\r\n1000 ok\r\n")});
  Render(kSelectServer);
  EXPECT_EQ((std::vector<Shown>{H("Server Capabilities"), D("IMAP4rev1"), D("QUOTA"),
                                H("Server Configuration"), D("Max Users\t100"),
                                D("Greeting\tHello: there"), D("NoColon")}),
            Lines());
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("CAPA\r\nCONF\r\n", peer.Received());
}

TEST_F(DetailsTest, UserSpaceWithAndWithoutALimit) {
  Connect({Expect("SPACE\r\n"), Send("1000 512 0\r\n"),
           Expect("SPACE\r\n"), Send("1000 50000000 60000000\r\n"),
           Expect("SPACE\r\n"), Send("4000 no user selected\r\n")});
  Render(kSelectUser);
  EXPECT_EQ((std::vector<Shown>{H("User message-store information"), D("Disk-space used:\t512 KB"),
                                D("No space restrictions apply")}),
            Lines());
  // 50,000,000 x 100 does not fit 32 bits; the percentage must still be right.
  Render(kSelectUser);
  EXPECT_EQ((std::vector<Shown>{H("User message-store information"),
                                D("Disk-space used:\t50000000 KB (83 %)"),
                                D("Maximum allowed:\t60000000")}),
            Lines());
  Render(kSelectUser);
  EXPECT_EQ((std::vector<Shown>{H("User message-store information")}), Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, MailboxStatisticsWithAndWithoutNewMessages) {
  Connect({Expect("STAT\r\n"), Send("1000 INBOX 3 5000 0 0\r\n"),
           Expect("STAT\r\n"), Send("1000 INBOX 10 100000000 2 50000000\r\n"),
           Expect("STAT\r\n"), Send("1000 INBOX 0 0 1 0\r\n"),
           Expect("STAT\r\n"), Send("4000 no mailbox\r\n")});
  Render(kSelectMailbox);
  EXPECT_EQ((std::vector<Shown>{H("Mailbox information"), D("Number of messages:\t3"),
                                D("Total size of mailbox:\t4 KB")}),
            Lines());
  Render(kSelectMailbox);
  EXPECT_EQ((std::vector<Shown>{H("Mailbox information"), D("Number of messages:\t10"),
                                D("Total size of mailbox:\t97656 KB"),
                                D("Number of new messages:\t2"), D("Size of new messages:\t48828 KB"),
                                D("New messages use 50 % of the mailbox size")}),
            Lines());
  // An empty mailbox that still reports a new message divides by nothing.
  Render(kSelectMailbox);
  EXPECT_EQ((std::vector<Shown>{H("Mailbox information"), D("Number of messages:\t0"),
                                D("Total size of mailbox:\t0 KB"), D("Number of new messages:\t1"),
                                D("Size of new messages:\t0 KB"),
                                D("New messages use 0 % of the mailbox size")}),
            Lines());
  Render(kSelectMailbox);
  EXPECT_EQ((std::vector<Shown>{H("Mailbox information")}), Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, MessageWithEverySectionInOrder) {
  inputs.messageNumber = 7;
  Connect({Expect("AINFO 7\r\n"), Send("2001 7 1200 400 800 68 a1b2c3 4711 0 -bob@example.net\r\n"),
           Expect("MIME 7\r\n"),
           Send("2002 multipart mixed - - - 0 1100 0 40\r\n"
                "2002 text plain us-ascii 7bit - 0 300 0 10\r\n"
                "2002 image gif - base64 pic.gif 0 700 0 9\r\n"
                "2003 end of multipart\r\n"
                "1000 done\r\n"),
           Expect("HEAD 7\r\n"),
           Send("2020 header follows\r\nFrom: alice@example.net\r\nSubject:\tHello\r\n"
                "2099 skipped reply\r\n1000 done\r\n"),
           Expect("BODY 7\r\n"), Send("2021 13\r\nhello\r\nbye!\r\n1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewHeader | kViewBody);
  EXPECT_EQ((std::vector<Shown>{
                H("Message 7 details"), D("Sender not verified"), D("Size:\t1200 bytes"),
                D("Header:\t400 bytes"), D("Body:\t800 bytes"), D("Message state"),
                F("No flags set"),  // 0x044: neither bit means anything
                D("Message hash:a1b2c3 bytes"), D("Unique ID:\t4711 bytes"),
                H("MIME structure of message:"), D("multipart/mixed 1100 bytes"),
                D("   text/plain 300 bytes, 10 lines, Charset:us-ascii, Encoding:7bit"),
                D("   image/gif 700 bytes, Name: pic.gif"), H("Message header:"),
                T("From: alice@example.net"), T("Subject:\tHello"), H("Message body:"), T("hello"),
                T("bye!")}),
            Lines());
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("AINFO 7\r\nMIME 7\r\nHEAD 7\r\nBODY 7\r\n", peer.Received());
}

TEST_F(DetailsTest, VerifiedSenderAndEveryFlag) {
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10 4 6 955 h 1 0 carol@example.net\r\n"),
           Expect("MIME 1\r\n"), Send("1000 none\r\n")});
  Render(kSelectMessage, kViewDetails);
  std::vector<Shown> lines = Lines();
  ASSERT_GE(lines.size(), 15u);
  EXPECT_EQ(D("Sender carol@example.net authenticated and verified"), lines[1]);
  EXPECT_EQ((std::vector<Shown>{F("* Read"), F("* Deleted"), F("* Contains leading dot"),
                                F("* High Priority"), F("* Low Priority"), F("* Recent (New)"),
                                F("* Answered"), F("* Draft")}),
            std::vector<Shown>(lines.begin() + 6, lines.begin() + 14));
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, NestedMultipartAndMessagePartsIndentByLevel) {
  Connect({Expect("AINFO 1\r\n"), Send("4001 no such message\r\n"), Expect("MIME 1\r\n"),
           Send("2002 MULTIPART mixed - - - 0 900 0 30\r\n"
                "2002 text plain utf-8 8bit - 0 100 0 3\r\n"
                "2002 Message rfc822 - - - 0 700 0 20\r\n"
                "2002 multipart alternative - - - 0 600 0 18\r\n"
                "2002 text plain utf-8 qp - 0 200 0 6\r\n"
                "2002 text html utf-8 qp - 0 400 0 12\r\n"
                "2004 end of alternative\r\n"
                "2003 end of message\r\n"
                "2002 application pdf - base64 a.pdf 0 90 0 2\r\n"
                "2003 end of mixed\r\n"
                "2003 one too many\r\n"
                "2002 text plain - - - 0 1 0 1\r\n"
                "1000 done\r\n")});
  Render(kSelectMessage, kViewDetails);
  EXPECT_EQ((std::vector<Shown>{
                P("Message details command failed!"), H("MIME structure of message:"),
                D("MULTIPART/mixed 900 bytes"),
                D("   text/plain 100 bytes, 3 lines, Charset:utf-8, Encoding:8bit"),
                D("   Message/rfc822 700 bytes"), D("      multipart/alternative 600 bytes"),
                D("         text/plain 200 bytes, 6 lines, Charset:utf-8, Encoding:qp"),
                D("         text/html 400 bytes, 12 lines, Charset:utf-8, Encoding:qp"),
                D("   application/pdf 90 bytes, Name: a.pdf"),
                D("text/plain 1 bytes, 1 lines, Charset:-, Encoding:-")}),
            Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, MimeNestedBeyondThePrefixStopsIndentingAtItsLimit) {
  std::string answer;
  for (int i = 0; i < 90; ++i) answer += "2002 multipart mixed - - - 0 1 0 1\r\n";
  answer += "2002 text plain - - - 0 1 0 1\r\n1000 done\r\n";
  Connect({Expect("AINFO 1\r\n"), Send("4001 no\r\n"), Expect("MIME 1\r\n"), Send(answer)});
  Render(kSelectMessage, kViewDetails);
  std::vector<Shown> lines = Lines();
  ASSERT_EQ(2u + 91u, lines.size());
  auto indent = [](const std::string& s) { return s.find_first_not_of(' '); };
  EXPECT_EQ(84u * 3, indent(lines[2 + 84].text));
  EXPECT_EQ(255u, indent(lines[2 + 85].text));
  EXPECT_EQ(255u, indent(lines[2 + 86].text));
  EXPECT_EQ(255u, indent(lines.back().text));
  EXPECT_EQ(std::string(255, ' ') + "text/plain 1 bytes, 1 lines, Charset:-, Encoding:-",
            lines.back().text);
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, ABodyAboveTheMaximumIsFetchedInPartWithANotice) {
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10400 400 10000 0 h 1 0 a@b\r\n"),
           Expect("MIME 1\r\n"), Send("1000 none\r\n"), Expect("BRAW 1 0 4096\r\n"),
           Send("2025 6\r\nfirst\r\n1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewBody);
  std::vector<Shown> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ((std::vector<Shown>{H("Message body:"),
                                N("Message too large, only displaying the first 4096 bytes!"),
                                T("first")}),
            std::vector<Shown>(lines.end() - 3, lines.end()));
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("AINFO 1\r\nMIME 1\r\nBRAW 1 0 4096\r\n", peer.Received());
}

TEST_F(DetailsTest, ABodyOfExactlyTheMaximumIsFetchedWhole) {
  inputs.maxBodySize = 10000;
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10400 400 10000 0 h 1 0 a@b\r\n"),
           Expect("MIME 1\r\n"), Send("1000 none\r\n"), Expect("BODY 1\r\n"),
           Send("2021 0\r\n1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewBody);
  EXPECT_EQ(H("Message body:"), Lines().back());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, WithoutAKnownSizeTheBodyIsAskedForUpToTheMaximum) {
  inputs.messageNumber = 5;
  inputs.maxBodySize = 300;
  Connect({Expect("BRAW 5 0 300\r\n"), Send("2025 4\r\nab\r\n1000 ok\r\n"),
           Expect("AINFO 5\r\n"), Send("4001 gone\r\n"), Expect("MIME 5\r\n"),
           Send("1000 none\r\n"), Expect("BRAW 5 0 300\r\n"), Send("2025 0\r\n1000 ok\r\n")});
  Render(kSelectMessage, kViewBody);
  EXPECT_EQ((std::vector<Shown>{H("Message body:"), T("ab")}), Lines());
  // AINFO refused: no size either.
  Render(kSelectMessage, kViewDetails | kViewBody);
  EXPECT_EQ((std::vector<Shown>{P("Message details command failed!"),
                                H("MIME structure of message:"), H("Message body:")}),
            Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, AMaximumOfZeroAsksForNoBytes) {
  inputs.maxBodySize = 0;
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10 4 6 0 h 1 0 a@b\r\n"), Expect("MIME 1\r\n"),
           Send("1000 none\r\n"), Expect("CAPA\r\n"), Send("1000 ok\r\n"), Expect("CONF\r\n"),
           Send("1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewBody);
  EXPECT_EQ(N("Message too large, only displaying the first 0 bytes!"), Lines().back());
  // The next command the store sees is the next rendering's.
  Render(kSelectServer);
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("AINFO 1\r\nMIME 1\r\nCAPA\r\nCONF\r\n", peer.Received());
}

TEST_F(DetailsTest, BodyRefusedOrBadlyEndedShowsTheFailure) {
  Connect({Expect("HEAD 1\r\n"), Send("4000 no header\r\n"),
           Expect("BRAW 1 0 4096\r\n"), Send("4002 message is gone\r\n"),
           Expect("BRAW 1 0 4096\r\n"), Send("2021 7\r\nhello\r\n4000 cut short\r\n")});
  Render(kSelectMessage, kViewHeader | kViewBody);
  EXPECT_EQ((std::vector<Shown>{H("Message header:"), H("Message body:"), E("message is gone")}),
            Lines());
  Render(kSelectMessage, kViewBody);
  EXPECT_EQ((std::vector<Shown>{H("Message body:"), T("hello"), TE("OOPS")}), Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, AllViewFlagsOffEmptiesThePaneAndSendsNothing) {
  Connect({Expect("CAPA\r\n"), Send("2001 X\r\n1000 ok\r\n"), Expect("CONF\r\n"),
           Send("1000 ok\r\n")});
  Render(kSelectMessage, 0);
  EXPECT_EQ(0, Pane()->count);
  // The peer's first expectation proves nothing went out before.
  Render(kSelectServer);
  EXPECT_EQ(3, Pane()->count);
  Render(kSelectMessage, 0);
  EXPECT_EQ(0, Pane()->count);
  Render(kSelectNothing, kViewDetails);
  EXPECT_EQ(0, Pane()->count);
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("CAPA\r\nCONF\r\n", peer.Received());
}

TEST_F(DetailsTest, ALostConnectionKeepsWhatWasRead) {
  Connect({Expect("CAPA\r\n"), Send("2001 ONE\r\n2001 TWO\r\n"), CloseNow()});
  Render(kSelectServer);
  EXPECT_EQ((std::vector<Shown>{H("Server Capabilities"), D("ONE"), D("TWO"),
                                H("Server Configuration")}),
            Lines());
  EXPECT_TRUE(IsConnectionClosed(conn));
}

// --- What the store did not say is not shown ------------------------------

TEST_F(DetailsTest, AnAinfoAnswerThatDoesNotScanFailsAndKeepsTheBodyLimit) {
  // Half an answer: no sender, no body size. The body is asked for up to the
  // maximum, as when AINFO is refused.
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10950\r\n"), Expect("MIME 1\r\n"),
           Send("1000 none\r\n"), Expect("BRAW 1 0 4096\r\n"), Send("2025 4\r\nab\r\n1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewBody);
  EXPECT_EQ((std::vector<Shown>{P("Message details command failed!"),
                                H("MIME structure of message:"), H("Message body:"), T("ab")}),
            Lines());
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, ABodyLongerThanAinfoSaidStopsAtTheMaximum) {
  // AINFO says 100 bytes; BODY then brings 10,950 (109 lines of 100 bytes
  // with their CR LF and one of 50): 4,096 are shown, the rest is read and
  // dropped.
  std::string body;
  for (int i = 0; i < 109; ++i) body += std::string(98, 'x') + "\r\n";
  body += std::string(48, 'y') + "\r\n";
  ASSERT_EQ(10950u, body.size());
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 200 100 100 0 h 1 0 a@b\r\n"),
           Expect("MIME 1\r\n"), Send("1000 none\r\n"), Expect("BODY 1\r\n"),
           Send("2021 10950\r\n" + body + "1000 ok\r\n"), Expect("CAPA\r\n"),
           Send("1000 ok\r\n"), Expect("CONF\r\n"), Send("1000 ok\r\n")});
  Render(kSelectMessage, kViewDetails | kViewBody);
  std::vector<Shown> lines = Lines();
  size_t at = 0;
  while (at < lines.size() && !(lines[at] == H("Message body:"))) ++at;
  ASSERT_LT(at + 1, lines.size());
  EXPECT_EQ(N("Message too large, only displaying the first 4096 bytes!"), lines[at + 1]);
  size_t shown = 0;
  for (size_t i = at + 2; i < lines.size(); ++i) {
    EXPECT_EQ(kStyleText, lines[i].style);
    shown += lines[i].text.size();
  }
  EXPECT_LE(shown, 4096u);
  EXPECT_GT(shown, 3900u);
  // The connection is still in step: the next rendering gets its answers.
  Render(kSelectServer);
  EXPECT_EQ((std::vector<Shown>{H("Server Capabilities"), H("Server Configuration")}), Lines());
  EXPECT_FALSE(IsConnectionClosed(conn));
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(DetailsTest, AnEndlessAnswerStopsAtItsBoundAndSaysSo) {
  Connect({Expect("CAPA\r\n"), Endless("2001 capability without end\r\n")});
  DWORD start = GetTickCount();
  Render(kSelectServer);
  EXPECT_LT(GetTickCount() - start, 30000u);
  std::vector<Shown> lines = Lines();
  ASSERT_EQ(kAnswerBounds.detailLines + 3, lines.size());
  EXPECT_EQ(D("capability without end"), lines[kAnswerBounds.detailLines]);
  EXPECT_EQ(E("The server's answer went on past 20000 lines; the connection to the server was "
              "closed."),
            lines[kAnswerBounds.detailLines + 1]);
  EXPECT_EQ(H("Server Configuration"), lines.back());
  EXPECT_TRUE(IsConnectionClosed(conn));
}

TEST_F(DetailsTest, ASelectionTheStoreCannotBeAskedAboutShowsWhyAndSendsNothing) {
  Connect({Expect("CAPA\r\n"), Send("1000 ok\r\n"), Expect("CONF\r\n"), Send("1000 ok\r\n")});
  inputs.unavailable = "The user name is too long to send to the server.";
  Render(kSelectUser);
  EXPECT_EQ((std::vector<Shown>{H("User message-store information"),
                                E("The user name is too long to send to the server.")}),
            Lines());
  Render(kSelectMessage, kViewDetails | kViewBody);
  EXPECT_EQ((std::vector<Shown>{E("The user name is too long to send to the server.")}), Lines());
  inputs.unavailable = nullptr;
  Render(kSelectServer);  // the first command the store sees
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("CAPA\r\nCONF\r\n", peer.Received());
}

// --- Layout, scrolling, painting ------------------------------------------

TEST_F(DetailsTest, LinesStackFromTheMarginAndSizeTheContent) {
  Connect({Expect("CAPA\r\n"), Send("2001 A\r\n2001 " + std::string(150, 'W') + "\r\n1000 ok\r\n"),
           Expect("CONF\r\n"), Send("2001 k:v\r\n1000 ok\r\n")});
  Render(kSelectServer);
  DetailsPane* p = Pane();
  ASSERT_EQ(5, p->count);
  HDC dc = GetDC(pane);
  HGDIOBJ old = SelectObject(dc, inputs.interfaceFont);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  // Tabs are measured as the system draws them.
  DWORD tabbed = GetTabbedTextExtentA(dc, "k\tv", 3, 0, nullptr);
  SelectObject(dc, old);
  ReleaseDC(pane, dc);

  const DetailLine* l = p->lines;
  EXPECT_EQ(15, l[0].left);
  EXPECT_EQ(10, l[0].top);
  EXPECT_EQ(45, l[1].left);
  for (int i = 0; i < p->count; ++i) {
    EXPECT_EQ(tm.tmHeight, l[i].bottom - l[i].top) << i;
    EXPECT_GT(l[i].right, l[i].left) << i;
  }
  EXPECT_EQ(static_cast<int>(LOWORD(tabbed)), l[4].right - l[4].left);
  EXPECT_EQ(l[0].bottom, l[1].top);
  EXPECT_EQ(l[1].bottom, l[2].top);
  EXPECT_EQ(l[2].bottom + 15, l[3].top);  // the blank row
  EXPECT_EQ(l[3].bottom, l[4].top);
  EXPECT_EQ(l[2].right + 15, p->contentWidth);
  EXPECT_EQ(l[4].bottom + 10, p->contentHeight);

  // The long line needs the horizontal bar; the short content does not need
  // the vertical one, which shows disabled.
  RECT client;
  GetClientRect(pane, &client);
  SCROLLINFO si = {sizeof si, SIF_ALL};
  GetScrollInfo(pane, SB_HORZ, &si);
  EXPECT_EQ(p->contentWidth - 1, si.nMax);
  EXPECT_EQ(static_cast<UINT>(client.right), si.nPage);
  EXPECT_EQ(0, si.nPos);
  SCROLLBARINFO sbi = {sizeof sbi};
  GetScrollBarInfo(pane, OBJID_VSCROLL, &sbi);
  EXPECT_TRUE(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
}

TEST_F(DetailsTest, ScrollRequestsMoveThePaneAndItsBar) {
  std::string caps;
  for (int i = 0; i < 60; ++i) caps += "2001 capability " + std::to_string(i) + "\r\n";
  Connect({Expect("CAPA\r\n"), Send(caps + "1000 ok\r\n"), Expect("CONF\r\n"),
           Send("1000 ok\r\n")});
  Render(kSelectServer);
  DetailsPane* p = Pane();
  RECT client;
  GetClientRect(pane, &client);
  int page = client.bottom;
  ASSERT_GT(p->contentHeight, page);
  auto scroll = [&](int request) {
    SendMessageA(pane, WM_VSCROLL, MAKEWPARAM(request, 0), 0);
    EXPECT_EQ(p->scrollY, GetScrollPos(pane, SB_VERT));
    return p->scrollY;
  };
  EXPECT_EQ(20, scroll(SB_LINEDOWN));
  EXPECT_EQ(20 + page / 2, scroll(SB_PAGEDOWN));
  EXPECT_EQ(p->contentHeight - page, scroll(SB_BOTTOM));
  EXPECT_EQ(p->contentHeight - page, scroll(SB_LINEDOWN));
  EXPECT_EQ(p->contentHeight - page - page / 2, scroll(SB_PAGEUP));
  EXPECT_EQ(0, scroll(SB_TOP));
  EXPECT_EQ(0, scroll(SB_LINEUP));
  // Keys scroll as the bar would.
  SendMessageA(pane, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(p->contentHeight - page, p->scrollY);

  // Growing the pane beyond the content takes the position back to 0.
  MoveWindow(pane, 0, 0, 400, p->contentHeight + 100, TRUE);
  EXPECT_EQ(0, p->scrollY);
  EXPECT_EQ(0, GetScrollPos(pane, SB_VERT));
}

// Paints the pane's client area into a 32-bit bitmap and reads pixels back.
class Snapshot {
 public:
  explicit Snapshot(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    width = r.right;
    height = r.bottom;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bmp_);
    RECT all = {0, 0, width, height};
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dc_, &all, white);
    SendMessageA(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    GdiFlush();
  }
  ~Snapshot() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  COLORREF At(int x, int y) const {
    DWORD v = bits_[y * width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  int Count(COLORREF c, int x0, int y0, int x1, int y1) const {
    int n = 0;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > width) x1 = width;
    if (y1 > height) y1 = height;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == c;
    return n;
  }
  int width = 0, height = 0;

 private:
  HDC dc_;
  HBITMAP bmp_;
  HGDIOBJ old_;
  DWORD* bits_ = nullptr;
};

TEST_F(DetailsTest, PaintsEtchedHeadingsHighlightedNoticesAndTheSunkenFrame) {
  std::string caps;
  for (int i = 0; i < 60; ++i) caps += "2001 c" + std::to_string(i) + "\r\n";
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 10400 400 10000 0 h 1 0 a@b\r\n"),
           Expect("MIME 1\r\n"), Send("1000 none\r\n"), Expect("BRAW 1 0 4096\r\n"),
           Send("2025 0\r\n1000 ok\r\n"), Expect("CAPA\r\n"), Send(caps + "1000 ok\r\n"),
           Expect("CONF\r\n"), Send("1000 ok\r\n")});
  MoveWindow(pane, 0, 0, 400, 450, TRUE);
  Render(kSelectMessage, kViewDetails | kViewBody);
  DetailsPane* p = Pane();
  const DetailLine& heading = p->lines[0];
  const DetailLine& notice = p->lines[p->count - 1];
  {
    Snapshot s(pane);
    ASSERT_LT(notice.bottom, s.height);
    int y = (heading.top + heading.bottom) / 2;
    EXPECT_EQ(kHighlightPen, s.At(5, y));
    EXPECT_EQ(kShadowPen, s.At(5, y + 1));
    EXPECT_EQ(kHighlightPen, s.At(heading.right + 5, y));  // the line runs on past the text
    EXPECT_NE(kHighlightPen, s.At((heading.left + heading.right) / 2, y));  // under opaque text
    // The notice is painted on the highlight colour.
    int box = (notice.right - notice.left) * (notice.bottom - notice.top);
    EXPECT_GT(s.Count(kHighlight, notice.left, notice.top, notice.right, notice.bottom), box / 2);
    // Sunken frame: shadow top and left, highlight bottom and right.
    EXPECT_EQ(kShadowPen, s.At(10, 0));
    EXPECT_EQ(kShadowPen, s.At(0, 10));
    EXPECT_EQ(kHighlightPen, s.At(10, s.height - 1));
    EXPECT_EQ(kHighlightPen, s.At(s.width - 1, 10));
  }
  // Scrolled content moves up inside the frame, which stays.
  Render(kSelectServer);
  ASSERT_GT(p->contentHeight, 450);
  int y = (p->lines[0].top + p->lines[0].bottom) / 2;
  const DetailLine& line = p->lines[5];
  int box = (line.right - line.left) * (line.bottom - line.top);
  SendMessageA(pane, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  ASSERT_EQ(20, p->scrollY);
  Snapshot s(pane);
  EXPECT_EQ(RGB(255, 255, 255), s.At(5, y));  // the heading's etched line has moved away
  EXPECT_GT(s.Count(kWindow, line.left, line.top - 20, line.right, line.bottom - 20), box / 2);
  EXPECT_EQ(kShadowPen, s.At(10, 0));
  EXPECT_EQ(kHighlightPen, s.At(10, s.height - 1));
}

// --- Pure rules ------------------------------------------------------------

TEST(DetailRules, FlagLinesInDisplayOrder) {
  struct Row {
    unsigned long flags;
    std::vector<std::string> texts;
  };
  const Row rows[] = {
      {0x000, {"No flags set"}},
      {0x044, {"No flags set"}},
      {0x400, {"No flags set"}},
      {0x001, {"* Read"}},
      {0x0C0, {"* Recent (New)"}},
      {0x3BB,
       {"* Read", "* Deleted", "* Contains leading dot", "* High Priority", "* Low Priority",
        "* Recent (New)", "* Answered", "* Draft"}},
      {0x300, {"* Answered", "* Draft"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.flags);
    const char* out[kMaxFlagLines];
    int n = FlagLineTexts(r.flags, out);
    EXPECT_EQ(r.texts, std::vector<std::string>(out, out + n));
  }
}

TEST(DetailRules, PercentagesNeverOverflowOrDivideByZero) {
  EXPECT_EQ(0ull, PercentOf(5, 0));
  EXPECT_EQ(50ull, PercentOf(1, 2));
  EXPECT_EQ(33ull, PercentOf(1, 3));
  EXPECT_EQ(100ull, PercentOf(0xFFFFFFFFul, 0xFFFFFFFFul));
  EXPECT_EQ(42949672950ull, PercentOf(0xFFFFFFFFul, 10));
}

TEST(DetailRules, MimePrefixAtAndPastItsCapacity) {
  char prefix[kMimePrefixSize + 8];
  memset(prefix, '#', sizeof prefix);
  for (int level : {0, 1, 84, 85, 86, 1000}) {
    SCOPED_TRACE(level);
    MimePrefix(level, prefix);
    size_t expected = static_cast<size_t>(level < 85 ? level * 3 : 255);
    EXPECT_EQ(expected, strlen(prefix));
    EXPECT_EQ(std::string(8, '#'), std::string(prefix + kMimePrefixSize, 8));
  }
  MimePrefix(-3, prefix);
  EXPECT_STREQ("", prefix);
}

TEST(DetailRules, VisibleRangeCoversOneLineBeyondEachEdge) {
  std::vector<DetailLine> lines(10);
  for (int i = 0; i < 10; ++i) {
    lines[i].top = 10 + i * 15;
    lines[i].bottom = lines[i].top + 15;
  }
  struct Row {
    const char* name;
    int top, bottom;
    bool any;
    int first, last;
  };
  const Row rows[] = {
      {"whole", 0, 1000, true, 0, 9},
      {"middle", 40, 70, true, 1, 5},  // lines 2..4 overlap
      {"one row", 56, 57, true, 2, 4},
      {"above all", 0, 5, true, 0, 0},
      {"below all", 400, 500, true, 9, 9},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    int first = -1, last = -1;
    EXPECT_EQ(r.any, VisibleLineRange(lines.data(), 10, r.top, r.bottom, &first, &last));
    EXPECT_EQ(r.first, first);
    EXPECT_EQ(r.last, last);
  }
  int first, last;
  EXPECT_FALSE(VisibleLineRange(nullptr, 0, 0, 100, &first, &last));
}

TEST(DetailRules, ScrollTargets) {
  struct Row {
    const char* name;
    int request, position, page, range, track, expected;
  };
  const Row rows[] = {
      {"line back", SB_LINEUP, 50, 100, 500, 0, 30},
      {"line back near start", SB_LINEUP, 20, 100, 500, 0, 0},
      {"line back past 20", SB_LINEUP, 21, 100, 500, 0, 1},
      {"line forward", SB_LINEDOWN, 0, 100, 500, 0, 20},
      {"line forward to end", SB_LINEDOWN, 390, 100, 500, 0, 400},
      {"line forward exact", SB_LINEDOWN, 380, 100, 500, 0, 400},
      {"line forward content fits", SB_LINEDOWN, 0, 300, 200, 0, 0},
      {"page back", SB_PAGEUP, 120, 100, 500, 0, 70},
      {"page back floor", SB_PAGEUP, 30, 100, 500, 0, 0},
      {"page forward", SB_PAGEDOWN, 0, 100, 500, 0, 50},
      {"page forward to end", SB_PAGEDOWN, 360, 100, 500, 0, 400},
      {"thumb", SB_THUMBTRACK, 0, 100, 500, 0, 0},
      {"thumb moved", SB_THUMBTRACK, 0, 100, 500, 123, 123},
      {"start", SB_TOP, 250, 100, 500, 0, 0},
      {"end", SB_BOTTOM, 0, 100, 500, 0, 400},
      {"end content fits", SB_BOTTOM, 0, 300, 200, 0, 0},
      {"end content equal", SB_BOTTOM, 0, 200, 200, 0, 0},
      {"end of scroll", SB_ENDSCROLL, 77, 100, 500, 0, 77},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.expected, ScrollTarget(r.request, r.position, r.page, r.range, r.track));
  }
}

}  // namespace
