// Browsing with the real main window against scripted stores: what each
// selection sends and adds, the message list and its progress bar, the
// delete-mailbox flow, and that details always describe what is selected.
#include <windows.h>

#include <commctrl.h>

#include "main_window_fixture.h"
#include "modal_action.h"
#include "zelmsh_ids.h"

namespace {

const char kAliceMailboxes[] =
    "RSET\r\nUSER alice\r\nSHOW\r\n";
const char kAliceShow[] =
    "1000 selection cleared\r\n1000 user selected\r\n2002 4 mailboxes\r\n"
    "2001 INBOX\r\n2001 Projects/\r\n2001 Projects/2024\r\n2001 Sent\r\n1000 end\r\n";

std::string InfoBatch(const char* user, const char* mailbox) {
  return std::string("RSET MBOX\r\nUSER ") + user + "\r\nMBOX " + mailbox +
         "\r\nFLAG 2147483648\r\nINFO\r\n";
}
const char kFourOk[] = "1000 a\r\n1000 b\r\n1000 c\r\n1000 d\r\n";
const char kInboxInfo[] =
    "2002 3 messages\r\n"
    "1 912 0 7 1700000000 bob@example.org Hello 310\r\n"
    "2 1204 1 8 1700000100 carol@example.org Agenda 402\r\n"
    "3 880 0 9 1700000200 -dave@example.net Re:_Agenda 330\r\n"
    "1000 end of messages\r\n";
const char kInboxStat[] = "1000 INBOX 3 2996 1 880\r\n";

const std::vector<std::string> kInboxDetails = {
    "Mailbox information", "Number of messages:\t3", "Total size of mailbox:\t2 KB",
    "Number of new messages:\t1", "Size of new messages:\t0 KB",
    "New messages use 29 % of the mailbox size"};

// Alice listed, then her INBOX with three messages.
std::vector<PeerStep> AliceInbox() {
  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 120 0\r\n"),
            Expect(InfoBatch("alice", "INBOX")), Send(std::string(kFourOk) + kInboxInfo),
            Expect("STAT\r\n"), Send(kInboxStat)});
  return s;
}

class BrowseTest : public MainWindowTest {
 protected:
  // Connected to `script`'s store, with alice selected and her INBOX open.
  ScriptedPeer* OpenAliceInbox(std::vector<PeerStep> more = {}) {
    std::vector<PeerStep> s = AliceInbox();
    Then(&s, std::move(more));
    ScriptedPeer* p = Serve(std::move(s));
    server = ConnectTo(p);
    alice = Child(serverItem(), "alice");
    Click(alice);
    Click(Child(alice, "INBOX"));
    Sent(p);
    return p;
  }
  TreeItem* serverItem() { return server ? server->treeItem : nullptr; }

  StoreConnection* server = nullptr;
  TreeItem* alice = nullptr;
};

TEST_F(BrowseTest, ConnectingAddsTheServerWithOneItemPerListedUser) {
  Start();
  ScriptedPeer* p = Serve(Hello("2001 alice\r\n2099 not a user\r\n2001 bob\r\n"));
  ConnectTo(p);
  std::string host = p->Address();
  EXPECT_EQ((std::vector<std::string>{"Network", "  " + host, "    alice", "    bob"}), Tree());
  EXPECT_EQ("Connected to server.", StatusText());
  EXPECT_EQ("", ErrorText());
  TreeItem* item = Child(nullptr, host.c_str());
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(kImageServer, item->image);
  EXPECT_EQ(kImageUser, item->firstChild->image);
  EXPECT_FALSE(RepairEnabled());
}

TEST_F(BrowseTest, AFailedConnectionShowsTheErrorUntilALaterOneSucceeds) {
  Start();
  ShowStatus(m, "something earlier");
  strcpy(g_shellPrefs.lastConnected, "127.254.77.3");  // nothing listens there
  Command(IDM_RECENT_SERVER);
  EXPECT_EQ((std::vector<std::string>{"Network"}), Tree());
  EXPECT_EQ("", StatusText());
  EXPECT_EQ("Could not connect to server.", ErrorText());
  ConnectTo(Serve(Hello("")));
  EXPECT_EQ("Connected to server.", StatusText());
  EXPECT_EQ("", ErrorText());
}

TEST_F(BrowseTest, AUserIsListedOnceAndLaterSelectionsOnlyRenderItsDetailsAgain) {
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 120 0\r\n"),
            Expect("CAPA\r\n"), Send("2001 MIME\r\n1000 end\r\n"), Expect("CONF\r\n"),
            Send("2001 Port:999\r\n1000 end\r\n"), Expect("SPACE\r\n"),
            Send("1000 130 1000\r\n")});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  TreeItem* user = Child(c->treeItem, "alice");

  Click(user);
  EXPECT_EQ(std::string(kAliceMailboxes) + "SPACE\r\n", Sent(p));
  std::string host = p->Address();
  // The hierarchy node "Projects/" gets no item.
  EXPECT_EQ((std::vector<std::string>{"Network", "  " + host, "    alice *", "      INBOX",
                                      "      Projects/2024", "      Sent"}),
            Tree());
  EXPECT_EQ(kImageMailbox, Child(user, "INBOX")->image);
  EXPECT_EQ((std::vector<std::string>{"User message-store information", "Disk-space used:\t120 KB",
                                      "No space restrictions apply"}),
            Details());
  EXPECT_TRUE(RepairEnabled());

  Click(user);  // the same user again: nothing changed
  EXPECT_EQ("", Sent(p));

  Click(c->treeItem);
  EXPECT_EQ("CAPA\r\nCONF\r\n", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"Server Capabilities", "MIME", "Server Configuration",
                                      "Port\t999"}),
            Details());

  Click(user);  // listed already: only its details again
  EXPECT_EQ("SPACE\r\n", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"User message-store information",
                                      "Disk-space used:\t130 KB (13 %)", "Maximum allowed:\t1000"}),
            Details());
  EXPECT_EQ(6u, Tree().size());  // no second set of mailboxes

  Click(TvRootItem(m->treeControl));  // the root: repair greys, nothing else changes
  EXPECT_EQ("", Sent(p));
  EXPECT_FALSE(RepairEnabled());
  EXPECT_EQ("Maximum allowed:\t1000", Details().back());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, AMailboxFillsTheListWithTheProgressBarSteppingToTheEnd) {
  Start();
  ScriptedPeer* p = Serve(AliceInbox());
  StoreConnection* c = ConnectTo(p);
  TreeItem* user = Child(c->treeItem, "alice");
  Click(user);
  Sent(p);
  Click(Child(user, "INBOX"));
  EXPECT_EQ(InfoBatch("alice", "INBOX") + "STAT\r\n", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"1 Hello", "2 Agenda", "3 Re:_Agenda"}), List());
  EXPECT_EQ(kImageMessage, TvFirstEntry(m->treeControl)->image);
  PBRANGE range = {};
  SendMessageA(m->progressBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(0, range.iLow);
  EXPECT_EQ(3, range.iHigh);
  EXPECT_EQ(3, SendMessageA(m->progressBar, PBM_GETPOS, 0, 0));
  EXPECT_EQ(kInboxDetails, Details());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, AListingCutShortKeepsWhatCameAndTheBarWhereItEnded) {
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 1 0\r\n"),
            Expect(InfoBatch("alice", "INBOX")),
            Send(std::string(kFourOk) + "2002 5 messages\r\n"
                                        "1 912 0 7 1700000000 bob@example.org Hello 310\r\n"
                                        "2 1204 1 8 1700000100 carol@example.org Agenda 402\r\n"),
            CloseNow()});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  TreeItem* user = Child(c->treeItem, "alice");
  Click(user);
  Click(Child(user, "INBOX"));
  EXPECT_EQ((std::vector<std::string>{"1 Hello", "2 Agenda"}), List());
  PBRANGE range = {};
  SendMessageA(m->progressBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(5, range.iHigh);
  EXPECT_EQ(2, SendMessageA(m->progressBar, PBM_GETPOS, 0, 0));
  // The lost connection leaves the mailbox's details with their heading only.
  EXPECT_EQ((std::vector<std::string>{"Mailbox information"}), Details());
}

TEST_F(BrowseTest, TheSameMailboxTwiceInARowRefillsNothingAndSendsNothing) {
  Start();
  std::vector<PeerStep> more = {
      Expect(InfoBatch("alice", "Sent")),
      Send(std::string(kFourOk) + "2002 0 messages\r\n1000 end of messages\r\n"),
      Expect("STAT\r\n"), Send("1000 Sent 0 0 0 0\r\n")};
  ScriptedPeer* p = OpenAliceInbox(more);
  TreeItem* inbox = Child(alice, "INBOX");
  Click(inbox);
  EXPECT_EQ("", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"1 Hello", "2 Agenda", "3 Re:_Agenda"}), List());
  EXPECT_EQ(kInboxDetails, Details());

  // Another mailbox empties the list first; an empty one leaves it empty.
  Click(Child(alice, "Sent"));
  EXPECT_EQ(InfoBatch("alice", "Sent") + "STAT\r\n", Sent(p));
  EXPECT_TRUE(List().empty());
  EXPECT_EQ((std::vector<std::string>{"Mailbox information", "Number of messages:\t0",
                                      "Total size of mailbox:\t0 KB"}),
            Details());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, AMessageIsRenderedOnceForTheFirstSelectedEntry) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  Start();
  ScriptedPeer* p = OpenAliceInbox(
      {Expect("AINFO 2\r\n"), Send("2001 2 1204 402 802 1 9f8e 8 0 carol@example.org\r\n"),
       Expect("MIME 2\r\n"), Send("2002 text plain us-ascii 7bit - 0 802 0 20\r\n1000 end\r\n"),
       Expect("AINFO 1\r\n"), Send("4014 no such message\r\n"), Expect("MIME 1\r\n"),
       Send("1000 end\r\n")});
  SelectRows({1, 2});
  EXPECT_EQ("AINFO 2\r\nMIME 2\r\n", Sent(p));
  std::vector<std::string> d = Details();
  ASSERT_FALSE(d.empty());
  EXPECT_EQ("Message 2 details", d[0]);
  EXPECT_EQ("text/plain 802 bytes, 20 lines, Charset:us-ascii, Encoding:7bit", d.back());

  SelectRows({1});  // the first selected entry is still message 2
  EXPECT_EQ("", Sent(p));

  SelectRows({0});
  EXPECT_EQ("AINFO 1\r\nMIME 1\r\n", Sent(p));
  EXPECT_EQ("Message details command failed!", Details()[0]);
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, DeletingTheFirstMailboxSelectsTheUserAndRendersTheUsersDetails) {
  Start();
  ScriptedPeer* p = OpenAliceInbox({Expect("RSET MBOX\r\nRMOV INBOX\r\n"),
                                    Send("1000 mailbox selection cleared\r\n1000 mailbox removed\r\n"),
                                    Expect("SPACE\r\n"), Send("1000 80 0\r\n")});
  std::string question;
  {
    ModalAction yes("Confirm", [&](HWND d) {
      question = ItemText(d, IDC_YESNO_TEXT);
      ClickItem(d, IDYES);
    });
    TreeKey(VK_DELETE);
    EXPECT_TRUE(yes.Ran());
  }
  EXPECT_EQ("Are you sure you want to delete the mailbox 'INBOX' of user alice?", question);
  EXPECT_EQ("RSET MBOX\r\nRMOV INBOX\r\nSPACE\r\n", Sent(p));
  std::string host = p->Address();
  EXPECT_EQ((std::vector<std::string>{"Network", "  " + host, "    alice *", "      Projects/2024",
                                      "      Sent"}),
            Tree());
  // The list showed the removed mailbox's messages.
  EXPECT_TRUE(List().empty());
  EXPECT_EQ("Disk-space used:\t80 KB", Details()[1]);
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, DeletingALaterMailboxSelectsThePreviousOneAndListsIt) {
  Start();
  ScriptedPeer* p = OpenAliceInbox(
      {Expect(InfoBatch("alice", "Sent")),
       Send(std::string(kFourOk) + "2002 1 messages\r\n1 500 1 3 1700000000 a@b Sent_note 100\r\n"
                                   "1000 end\r\n"),
       Expect("STAT\r\n"), Send("1000 Sent 1 500 0 0\r\n"), Expect("RSET MBOX\r\nRMOV Sent\r\n"),
       Send("1000 cleared\r\n1000 removed\r\n"), Expect(InfoBatch("alice", "Projects/2024")),
       Send(std::string(kFourOk) + "2002 0 messages\r\n1000 end\r\n"), Expect("STAT\r\n"),
       Send("1000 Projects/2024 0 0 0 0\r\n")});
  Click(Child(alice, "Sent"));
  Sent(p);
  {
    ModalAction yes("Confirm", [](HWND d) { ClickItem(d, IDYES); });
    TreeKey(VK_DELETE);
    EXPECT_TRUE(yes.Ran());
  }
  EXPECT_EQ("RSET MBOX\r\nRMOV Sent\r\n" + InfoBatch("alice", "Projects/2024") + "STAT\r\n",
            Sent(p));
  std::vector<std::string> tree = Tree();
  EXPECT_EQ("      Projects/2024 *", tree.back());
  EXPECT_EQ(nullptr, Child(alice, "Sent"));
  EXPECT_TRUE(List().empty());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, NoOrARefusingStoreLeavesEverythingAsItWas) {
  Start();
  ScriptedPeer* p = OpenAliceInbox(
      {Expect("RSET MBOX\r\nRMOV INBOX\r\n"), Send("1000 cleared\r\n4017 INBOX cannot be removed\r\n")});
  std::vector<std::string> tree = Tree(), list = List(), details = Details();
  {
    ModalAction no("Confirm", [](HWND d) { ClickItem(d, IDNO); });
    TreeKey(VK_DELETE);
    EXPECT_TRUE(no.Ran());
  }
  EXPECT_EQ("", Sent(p));
  {
    ModalAction escape("Confirm", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); });
    TreeKey(VK_DELETE);
    EXPECT_TRUE(escape.Ran());
  }
  EXPECT_EQ("", Sent(p));
  {
    ModalAction yes("Confirm", [](HWND d) { ClickItem(d, IDYES); });
    TreeKey(VK_DELETE);
  }
  EXPECT_EQ("RSET MBOX\r\nRMOV INBOX\r\n", Sent(p));
  EXPECT_EQ(tree, Tree());
  EXPECT_EQ(list, List());
  EXPECT_EQ(details, Details());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, DeleteDoesNothingInReadOnlyModeOrOnItemsThatAreNoMailbox) {
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Readonly", "ON");
  Start();
  ScriptedPeer* p = OpenAliceInbox({Expect("SPACE\r\n"), Send("1000 120 0\r\n")});
  std::vector<std::string> tree = Tree();
  {
    ModalAction watch("Confirm", [](HWND d) { ClickItem(d, IDYES); });
    TreeKey(VK_DELETE);
    EXPECT_FALSE(watch.Ran());
  }
  g_shellPrefs.readonly = false;
  Click(alice);
  Sent(p);
  {
    ModalAction watch("Confirm", [](HWND d) { ClickItem(d, IDYES); });
    TreeKey(VK_DELETE);  // a user
    Click(TvRootItem(m->treeControl));
    TreeKey(VK_DELETE);  // the root
    EXPECT_FALSE(watch.Ran());
  }
  EXPECT_EQ("", Sent(p));
  EXPECT_EQ(tree.size(), Tree().size());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, ASecondUsersDetailsAreAskedForThatUserAfterAnotherUsersMailbox) {
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n2001 bob\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 120 0\r\n"),
            Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
            Send("1000 a\r\n1000 b\r\n2002 1 mailboxes\r\n2001 INBOX\r\n1000 end\r\n"),
            Expect("SPACE\r\n"), Send("1000 7 0\r\n"), Expect(InfoBatch("bob", "INBOX")),
            Send(std::string(kFourOk) + "2002 0 messages\r\n1000 end\r\n"), Expect("STAT\r\n"),
            Send("1000 INBOX 0 0 0 0\r\n"), Expect("RSET\r\nUSER alice\r\n"),
            Send("1000 a\r\n1000 b\r\n"), Expect("SPACE\r\n"), Send("1000 120 0\r\n")});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  TreeItem* a = Child(c->treeItem, "alice");
  TreeItem* b = Child(c->treeItem, "bob");
  Click(a);
  Click(b);
  Click(Child(b, "INBOX"));
  Sent(p);
  // The store has bob selected: alice is named again before her space is asked.
  Click(a);
  EXPECT_EQ("RSET\r\nUSER alice\r\nSPACE\r\n", Sent(p));
  EXPECT_EQ("Disk-space used:\t120 KB", Details()[1]);
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, AListedMessageIsAskedOfItsMailboxAfterAnotherUsersFirstListing) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  std::vector<PeerStep> more = {
      Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
      Send("1000 a\r\n1000 b\r\n2002 0 mailboxes\r\n1000 end\r\n"), Expect("SPACE\r\n"),
      Send("1000 7 0\r\n"),
      // The listing again, quietly: the list stays as it is.
      Expect(InfoBatch("alice", "INBOX")), Send(std::string(kFourOk) + kInboxInfo),
      Expect("AINFO 3\r\n"), Send("2001 3 880 330 550 128 77aa 9 0 -dave@example.net\r\n"),
      Expect("MIME 3\r\n"), Send("1000 end\r\n")};
  Start();
  std::vector<PeerStep> s = AliceInbox();
  // bob is listed by the greeting too
  s[2] = Send("2001 alice\r\n2001 bob\r\n1000 done\r\n");
  Then(&s, std::move(more));
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  TreeItem* a = Child(c->treeItem, "alice");
  Click(a);
  Click(Child(a, "INBOX"));
  Click(Child(c->treeItem, "bob"));
  Sent(p);
  SelectRows({2});
  EXPECT_EQ(InfoBatch("alice", "INBOX") + "AINFO 3\r\nMIME 3\r\n", Sent(p));
  EXPECT_EQ("Message 3 details", Details()[0]);
  EXPECT_EQ("Sender not verified", Details()[1]);
  EXPECT_EQ((std::vector<std::string>{"1 Hello", "2 Agenda", "3 Re:_Agenda *"}), List());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, MessageDetailsGoToTheServerOfTheListedMailbox) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  Start();
  ScriptedPeer* first = OpenAliceInbox(
      {Expect("AINFO 1\r\n"), Send("2001 1 912 310 602 0 aa 7 0 bob@example.org\r\n"),
       Expect("MIME 1\r\n"), Send("1000 end\r\n")});
  std::vector<PeerStep> s = Hello("2001 zoe\r\n");
  Then(&s, {Expect("RSET\r\nUSER zoe\r\nSHOW\r\n"),
            Send("1000 a\r\n1000 b\r\n2002 0 mailboxes\r\n1000 end\r\n"), Expect("SPACE\r\n"),
            Send("1000 1 0\r\n")});
  ScriptedPeer* second = Serve(std::move(s));
  StoreConnection* other = ConnectTo(second);
  ASSERT_NE(nullptr, other);
  Click(Child(other->treeItem, "zoe"));
  Sent(second);
  SelectRows({0});
  EXPECT_EQ("AINFO 1\r\nMIME 1\r\n", Sent(first));
  EXPECT_EQ("", Sent(second));
  EXPECT_EQ("Message 1 details", Details()[0]);
}

// --- A store that breaks its answers ---------------------------------------------

const char kUserTooLong[] = "The user name is too long to send to the server.";
const char kMailboxTooLong[] = "The mailbox name is too long to send to the server.";

TEST_F(BrowseTest, AUserWhoseNameCannotBeSentSelectsNobodyAndShowsWhy) {
  Start();
  // Fits a reply line, neither "RSET\r\nUSER %s\r\nSHOW\r\n" nor
  // "RSET\r\nUSER %s\r\n" in 1,024 bytes.
  std::string longName(1015, 'L');
  std::vector<PeerStep> s = Hello("2001 alice\r\n2001 " + longName + "\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 120 0\r\n"),
            Expect("SPACE\r\n"), Send("1000 120 0\r\n")});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  Click(Child(c->treeItem, "alice"));
  Sent(p);
  Click(Child(c->treeItem, longName.c_str()));
  // Neither its USER went, nor a SPACE that alice's store selection would answer.
  EXPECT_EQ("", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"User message-store information", kUserTooLong}), Details());
  EXPECT_EQ(kUserTooLong, ErrorText());
  // The store still has alice selected: her space is asked without naming her.
  Click(Child(c->treeItem, "alice"));
  EXPECT_EQ("SPACE\r\n", Sent(p));
  EXPECT_TRUE(p->ScriptOk());
}

// alice and bob each own a mailbox of the same long name. Its listing cannot
// be sent (the store keeps bob selected), but its removal can: USER alice
// must go first, or bob's mailbox would be the one removed.
TEST_F(BrowseTest, DeletingAMailboxNamesItsOwnerWhenAnotherUserOfTheSameMailboxIsSelected) {
  Start();
  std::string box(980, 'N');  // RMOV fits, the INFO batch does not
  std::string show = "1000 a\r\n1000 b\r\n2002 2 mailboxes\r\n2001 INBOX\r\n2001 " + box +
                     "\r\n1000 end\r\n";
  std::vector<PeerStep> s = Hello("2001 alice\r\n2001 bob\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(show), Expect("SPACE\r\n"), Send("1000 1 0\r\n"),
            Expect("RSET\r\nUSER bob\r\nSHOW\r\n"), Send(show), Expect("SPACE\r\n"),
            Send("1000 2 0\r\n"), Expect("RSET\r\nUSER alice\r\n"),
            Send("1000 cleared\r\n1000 user selected\r\n"),
            Expect("RSET MBOX\r\nRMOV " + box + "\r\n"), Send("1000 cleared\r\n1000 removed\r\n"),
            Expect(InfoBatch("alice", "INBOX")),
            Send(std::string(kFourOk) + "2002 0 messages\r\n1000 end\r\n"), Expect("STAT\r\n"),
            Send("1000 INBOX 0 0 0 0\r\n")});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  TreeItem* a = Child(c->treeItem, "alice");
  TreeItem* b = Child(c->treeItem, "bob");
  Click(a);
  Click(b);
  Sent(p);
  Click(Child(a, box.c_str()));
  EXPECT_EQ("", Sent(p));
  EXPECT_EQ((std::vector<std::string>{"Mailbox information", kMailboxTooLong}), Details());
  EXPECT_EQ(kMailboxTooLong, ErrorText());
  {
    ModalAction yes("Confirm", [](HWND d) { ClickItem(d, IDYES); });
    TreeKey(VK_DELETE);
    EXPECT_TRUE(yes.Ran());
  }
  EXPECT_EQ("RSET\r\nUSER alice\r\nRSET MBOX\r\nRMOV " + box + "\r\n" + InfoBatch("alice", "INBOX") +
                "STAT\r\n",
            Sent(p));
  EXPECT_EQ(nullptr, Child(a, box.c_str()));
  EXPECT_NE(nullptr, Child(b, box.c_str()));
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(BrowseTest, AMessageCountAbove32BitsIsRefusedWithAMessage) {
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send(kAliceShow), Expect("SPACE\r\n"), Send("1000 120 0\r\n"),
            Expect(InfoBatch("alice", "INBOX")),
            Send(std::string(kFourOk) + "2002 4294967297 messages\r\n"
                                        "1 912 0 7 1700000000 bob@example.org Hello 310\r\n"),
            Hold(5000)});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  alice = Child(c->treeItem, "alice");
  Click(alice);
  Click(Child(alice, "INBOX"));
  EXPECT_TRUE(List().empty());  // not the one message 4294967297 wraps to
  EXPECT_EQ("The server announced more messages than the shell lists (at most 2097152); the "
            "connection to the server was closed.",
            ErrorText());
  EXPECT_TRUE(IsConnectionClosed(c));
}

TEST_F(BrowseTest, EndlessListsStopAtTheirBoundWithAMessage) {
  // A lower bound than the program's, for time; the rule is the same.
  AnswerBounds b = kAnswerBounds;
  b.treeEntries = 2000;
  AnswerBounds former = SetAnswerBounds(b);
  Start();
  ScriptedPeer* p = Serve({Send("1000 ready\r\n"), Expect("ULIST\r\n"), Endless("2001 u\r\n")});
  StoreConnection* c = ConnectTo(p);
  ASSERT_NE(nullptr, c);
  int users = 0;
  for (TreeItem* u = c->treeItem->firstChild; u; u = u->nextSibling) ++users;
  EXPECT_EQ(2000, users);
  EXPECT_EQ("The server's user list went on past what the shell holds (2000 entries or 256 MB "
            "of names); the connection to the server was closed.",
            ErrorText());
  EXPECT_TRUE(IsConnectionClosed(c));

  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send("1000 a\r\n1000 b\r\n2002 many\r\n"),
            Endless("2001 box\r\n")});
  ScriptedPeer* q = Serve(std::move(s));
  c = ConnectTo(q);
  alice = Child(c->treeItem, "alice");
  Click(alice);
  int boxes = 0;
  for (TreeItem* x = alice->firstChild; x; x = x->nextSibling) ++boxes;
  EXPECT_EQ(2000, boxes);
  EXPECT_EQ("The server's list of mailboxes went on past what the shell holds (2000 entries or "
            "256 MB of names); the connection to the server was closed.",
            ErrorText());
  EXPECT_TRUE(IsConnectionClosed(c));
  SetAnswerBounds(former);
}

// A hook procedure needs the system's calling convention, which a lambda
// lacks on 32-bit Windows.
int g_paints;
LRESULT CALLBACK CountPaints(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && reinterpret_cast<const MSG*>(lp)->message == WM_PAINT) ++g_paints;
  return CallNextHookEx(nullptr, code, wp, lp);
}

// While a store drips a line, the window paints what needs painting (a
// window moved away from it, say) and the read still ends when its waits are
// spent. Three waits stand for the program's sixty.
TEST_F(BrowseTest, TheWindowRepaintsWhileADrippingStoreIsWaitedFor) {
  int former = SetWaitsPerRead(3);
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n");
  Then(&s, {Expect(kAliceMailboxes), Send("1000 a\r\n1000 b\r\n2002 x\r\n2001 "),
            Drip(std::string(4435, 'd'), 20)});
  ScriptedPeer* p = Serve(std::move(s));
  StoreConnection* c = ConnectTo(p);
  ASSERT_NE(nullptr, c);
  ShowWindow(window, SW_SHOWNA);
  UpdateWindow(window);
  PumpMessages();
  g_paints = 0;
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CountPaints, nullptr, GetCurrentThreadId());
  // Something to paint meanwhile.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  TreeItem* a = Child(c->treeItem, "alice");
  DWORD start = GetTickCount();
  // The selection as the tree control reports it, without pumping after it.
  SendMessageA(window, kTvSelected, reinterpret_cast<WPARAM>(a), a->data);
  DWORD took = GetTickCount() - start;
  UnhookWindowsHookEx(hook);
  SetWaitsPerRead(former);
  EXPECT_GE(took, 2900u);
  EXPECT_LT(took, 6000u);
  EXPECT_GT(g_paints, 0);
  EXPECT_TRUE(IsConnectionClosed(c));
}

}  // namespace
