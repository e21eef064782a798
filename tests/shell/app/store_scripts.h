// Store answers the suites of the shell's own commands share: alice with
// her mailboxes, and her INBOX of three messages.
#pragma once

#include <string>
#include <vector>

#include "main_window_fixture.h"

inline const char* AliceShowCommand() { return "RSET\r\nUSER alice\r\nSHOW\r\n"; }
inline const char* AliceShowAnswer() {
  return "1000 selection cleared\r\n1000 user selected\r\n2002 3 mailboxes\r\n"
         "2001 INBOX\r\n2001 Sent\r\n2001 Trash\r\n1000 end\r\n";
}
inline std::string InfoCommand(const char* user, const char* mailbox) {
  return std::string("RSET MBOX\r\nUSER ") + user + "\r\nMBOX " + mailbox +
         "\r\nFLAG 2147483648\r\nINFO\r\n";
}
inline std::string InboxAnswer() {
  return "1000 a\r\n1000 b\r\n1000 c\r\n1000 d\r\n"
         "2002 3 messages\r\n"
         "1 912 0 7 1700000000 bob@example.org Quarterly_report 310\r\n"
         "2 1204 1 8 1700000100 carol@example.org Lunch 402\r\n"
         "3 880 0 9 1700000200 -dave@example.net Re:_Lunch 330\r\n"
         "1000 end of messages\r\n";
}
inline const char* InboxStat() { return "1000 INBOX 3 2996 1 880\r\n"; }

// Alice selected (her space asked for), then her INBOX (its statistics too).
inline std::vector<PeerStep> AliceInboxScript() {
  std::vector<PeerStep> s = Hello("2001 alice\r\n2001 bob\r\n");
  Then(&s, {Expect(AliceShowCommand()), Send(AliceShowAnswer()), Expect("SPACE\r\n"),
            Send("1000 120 0\r\n"), Expect(InfoCommand("alice", "INBOX")), Send(InboxAnswer()),
            Expect("STAT\r\n"), Send(InboxStat())});
  return s;
}

// A fixture that opens alice's INBOX on a scripted store.
class InboxTest : public MainWindowTest {
 protected:
  // viewFlags as stored: "0" (the default here) asks nothing of the store
  // when a message is selected.
  ScriptedPeer* OpenInbox(std::vector<PeerStep> more, const char* viewFlags = "0") {
    PutText(HKEY_CURRENT_USER, "1.0", "View Flags", viewFlags);
    Start();
    std::vector<PeerStep> s = AliceInboxScript();
    Then(&s, std::move(more));
    ScriptedPeer* p = Serve(std::move(s));
    server = ConnectTo(p);
    if (!server) return p;
    serverItem = server->treeItem;
    alice = Child(serverItem, "alice");
    Click(alice);
    inbox = Child(alice, "INBOX");
    Click(inbox);
    Sent(p);
    return p;
  }

  StoreConnection* server = nullptr;
  TreeItem* serverItem = nullptr;
  TreeItem* alice = nullptr;
  TreeItem* inbox = nullptr;
};
