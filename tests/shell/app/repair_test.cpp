// Repair: the type dialog, and the progress dialog running the store's
// repair command against scripted stores: fields filled line by line, Cancel
// stopping the store's work with the connection kept in step, older servers
// that do not know the command, and the list asked anew afterwards.
#include <string>
#include <vector>

#include "modal_action.h"
#include "store_scripts.h"
#include "zelmsh_ids.h"

using Lines = std::vector<std::string>;

namespace {

const char kProgressTitle[] = "Repair in progress...";
const char kTypeTitle[] = "Select Repair Type...";

// Watches the progress dialog from inside this thread: records every text
// its four fields and its button get, presses Cancel when the Action field
// shows a given text, and closes the dialog once the repair is over.
class ProgressWatcher {
 public:
  ProgressWatcher() {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, Proc, nullptr, GetCurrentThreadId());
  }
  ~ProgressWatcher() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  ProgressWatcher(const ProgressWatcher&) = delete;
  ProgressWatcher& operator=(const ProgressWatcher&) = delete;

  Lines Field(int id) const { return fields_[id - IDC_PROGRESS_MAILBOX]; }
  std::string Last(int id) const {
    const Lines& l = fields_[id - IDC_PROGRESS_MAILBOX];
    return l.empty() ? std::string() : l.back();
  }
  Lines button;
  std::string cancelOn;  // Action text that makes the watcher press Cancel
  bool seen = false;
  bool hiddenProgress = false;  // a progress line came while the dialog was hidden

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wp, LPARAM lp) {
    auto* c = reinterpret_cast<const CWPSTRUCT*>(lp);
    ProgressWatcher* w = current_;
    if (code == HC_ACTION && w && c->message == WM_SETTEXT && c->lParam) {
      HWND dialog = GetParent(c->hwnd);
      char title[64] = {};
      GetWindowTextA(dialog, title, sizeof title);
      if (strcmp(title, kProgressTitle) == 0) {
        w->seen = true;
        std::string text = reinterpret_cast<const char*>(c->lParam);
        int id = GetDlgCtrlID(c->hwnd);
        if (id >= IDC_PROGRESS_MAILBOX && id <= IDC_PROGRESS_ERRORS)
          w->fields_[id - IDC_PROGRESS_MAILBOX].push_back(text);
        if (id == IDC_PROGRESS_ERRORS && !IsWindowVisible(dialog)) w->hiddenProgress = true;
        if (id == IDC_PROGRESS_ACTION && !w->cancelOn.empty() && text == w->cancelOn)
          PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        if (id == IDCANCEL) {
          w->button.push_back(text);
          if (text == "Close") PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }

  static ProgressWatcher* current_;
  HHOOK hook_;
  Lines fields_[4];
};
ProgressWatcher* ProgressWatcher::current_ = nullptr;

const char kMailboxRepair[] = "USER alice\r\nREPAIR MBOX INBOX\r\n";
const char kStarted[] = "1000 user selected\r\n2002 1 mailboxes\r\n";

// The list of INBOX asked for again after a repair.
std::vector<PeerStep> ListedAgain() {
  return {Expect(InfoCommand("alice", "INBOX")), Send(InboxAnswer()), Expect("STAT\r\n"),
          Send(InboxStat())};
}

class RepairTest : public InboxTest {
 protected:
  // Chooses `button` in the type dialog; false when no dialog came.
  bool ChooseType(int button, bool* mailboxEnabled = nullptr, bool* mailboxChecked = nullptr) {
    ModalAction act(kTypeTitle, [&](HWND d) {
      if (mailboxEnabled) *mailboxEnabled = IsItemEnabled(d, IDC_REPAIR_MAILBOX);
      if (mailboxChecked) *mailboxChecked = IsItemChecked(d, IDC_REPAIR_MAILBOX);
      if (button == IDC_REPAIR_SYSTEM) CheckRadioButton(d, IDC_REPAIR_MAILBOX, IDC_REPAIR_SYSTEM, button);
      ClickItem(d, button == IDCANCEL ? IDCANCEL : IDOK);
    });
    Command(IDM_REPAIR);
    return act.Ran();
  }
  std::string StoredPosition(const char* name) {
    return GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions", name);
  }
};

TEST_F(RepairTest, TheTypeDialogOffersTheSelectedMailboxOnlyWhenOneIsSelected) {
  ScriptedPeer* p = OpenInbox({Expect("SPACE\r\n"), Send("1000 120 0\r\n")});
  bool enabled = false, checked = false;
  // A mailbox, and a message of it, offer it, checked.
  ASSERT_TRUE(ChooseType(IDCANCEL, &enabled, &checked));
  EXPECT_TRUE(enabled && checked);
  SelectRows({1});
  ASSERT_TRUE(ChooseType(IDCANCEL, &enabled, &checked));
  EXPECT_TRUE(enabled && checked);
  // A user offers only the system-wide repair.
  Click(alice);
  ASSERT_TRUE(ChooseType(IDCANCEL, &enabled, &checked));
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(checked);
  // Cancel ran no repair but stored where the dialog was.
  EXPECT_FALSE(StoredPosition("Repair Type Dialog").empty());
  EXPECT_TRUE(StoredPosition("Repair Progress Dialog").empty());
  EXPECT_EQ("SPACE\r\n", Sent(p));
  // The root: the command is grey and its key does nothing.
  Click(TvRootItem(m->treeControl));
  EXPECT_FALSE(RepairEnabled());
  EXPECT_FALSE(ChooseType(IDCANCEL));
}

TEST_F(RepairTest, AMailboxRepairFillsTheFieldsLineByLineAndTheListIsAskedAnew) {
  std::vector<PeerStep> script = {
      Expect(kMailboxRepair), Send(kStarted),
      Send("2030 0\talice\tINBOX\tchecking the index\r\n"),
      SendSplit("2030 1\talice\tINBOX\tan index entry without its file dropped\r\n", 7),
      Send("2030 2\talice\tINBOX\tflags of 1 message put in order\r\n"),
      Send("1000 done 1 2 2\r\n")};
  Then(&script, ListedAgain());
  ScriptedPeer* p = OpenInbox(script);
  ProgressWatcher w;
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  ASSERT_TRUE(w.seen);
  EXPECT_EQ((Lines{"Asking the server to start...", "Repair started.", "checking the index",
                   "an index entry without its file dropped", "flags of 1 message put in order",
                   "Repair finished: 1 mailbox checked, 2 errors found, 2 repaired."}),
            w.Field(IDC_PROGRESS_ACTION));
  EXPECT_EQ((Lines{"0", "1", "2"}), w.Field(IDC_PROGRESS_ERRORS));
  // The dialog shows while the store works, not only once it is done.
  EXPECT_FALSE(w.hiddenProgress);
  EXPECT_EQ("INBOX", w.Last(IDC_PROGRESS_MAILBOX));
  EXPECT_EQ("alice", w.Last(IDC_PROGRESS_USER));
  EXPECT_EQ(Lines{"Close"}, w.button);
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ("Repair finished: 1 mailbox checked, 2 errors found, 2 repaired.", StatusText());
  EXPECT_FALSE(StoredPosition("Repair Progress Dialog").empty());
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Re:_Lunch"}), List());
  std::string sent = Sent(p);
  EXPECT_EQ(0u, sent.find(kMailboxRepair)) << sent;
}

TEST_F(RepairTest, CancelStopsTheStoresWorkAndClosesOnceItConfirmed) {
  std::vector<PeerStep> script = {
      Expect(kMailboxRepair), Send(kStarted),
      Send("2030 0\talice\tINBOX\tchecking the index\r\n"),
      Expect("STOP\r\n"),
      Send("2030 0\talice\tINBOX\tstopped here\r\n1000 stopped 1 0 0\r\n")};
  Then(&script, ListedAgain());
  ScriptedPeer* p = OpenInbox(script);
  ProgressWatcher w;
  w.cancelOn = "checking the index";
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  EXPECT_TRUE(p->ScriptOk());
  Lines action = w.Field(IDC_PROGRESS_ACTION);
  ASSERT_GE(action.size(), 2u);
  EXPECT_EQ("Stopping...", action[action.size() - 2]);
  EXPECT_EQ("Repair stopped: 1 mailbox checked, 0 errors found, 0 repaired.", action.back());
  EXPECT_EQ("Repair stopped: 1 mailbox checked, 0 errors found, 0 repaired.", StatusText());
  // The connection is in step: the list came back from the store.
  EXPECT_EQ(3u, List().size());
}

TEST_F(RepairTest, AStopThatCameTooLateIsAnsweredOnItsOwn) {
  std::vector<PeerStep> script = {
      Expect(kMailboxRepair), Send(kStarted),
      Send("2030 0\talice\tINBOX\tchecking the index\r\n"),
      Expect("STOP\r\n"),
      Send("1000 done 1 0 0\r\n1000 no repair running\r\n")};
  Then(&script, ListedAgain());
  ScriptedPeer* p = OpenInbox(script);
  ProgressWatcher w;
  w.cancelOn = "checking the index";
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ("Repair finished: 1 mailbox checked, 0 errors found, 0 repaired.", StatusText());
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Re:_Lunch"}), List());
}

TEST_F(RepairTest, AServerWithoutTheCommandGetsAClearMessageAndNothingElseChanges) {
  ScriptedPeer* p = OpenInbox({Expect(kMailboxRepair), Send("1000 user selected\r\n4000 unknown command\r\n"),
                               Expect("SPACE\r\n"), Send("1000 120 0\r\n")});
  SelectRows({2});
  ProgressWatcher w;
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  const char kSaid[] = "This server cannot repair its store: it does not know the repair command.";
  EXPECT_EQ(kSaid, w.Last(IDC_PROGRESS_ACTION));
  EXPECT_TRUE(w.Field(IDC_PROGRESS_ERRORS).empty());
  EXPECT_EQ(kSaid, ErrorText());
  // Nothing was asked anew: the list and its selection stay.
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Re:_Lunch *"}), List());
  EXPECT_EQ(kMailboxRepair, Sent(p));
  // The connection still answers, for the user the repair named.
  Click(alice);
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ("Disk-space used:\t120 KB", Details().size() > 1 ? Details()[1] : "");
}

TEST_F(RepairTest, ReadOnlyRunsASystemWideCheckThatChangesNothing) {
  PutText(HKEY_CURRENT_USER, "1.0", "Readonly", "On");
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  Start();
  std::vector<PeerStep> s = Hello("2001 alice\r\n2001 bob\r\n");
  Then(&s, {Expect(AliceShowCommand()), Send(AliceShowAnswer()), Expect("SPACE\r\n"),
            Send("1000 120 0\r\n"), Expect("REPAIR CHECK STORE\r\n"),
            Send("2002 4 mailboxes\r\n2030 0\talice\tINBOX\tchecking\r\n"
                 "2030 0\talice\tSent\tchecking\r\n2030 1\tbob\tINBOX\t1 message without flags\r\n"
                 "1000 done 3 1 0\r\n"),
            // The user is named again before her space is asked for.
            Expect("RSET\r\nUSER alice\r\n"), Send("1000 a\r\n1000 b\r\n"), Expect("SPACE\r\n"),
            Send("1000 120 0\r\n")});
  ScriptedPeer* p = Serve(s);
  StoreConnection* c = ConnectTo(p);
  ASSERT_NE(nullptr, c);
  Click(Child(c->treeItem, "alice"));
  ProgressWatcher w;
  ASSERT_TRUE(ChooseType(IDOK));
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ((Lines{"(every mailbox)", "INBOX", "Sent", "INBOX"}), w.Field(IDC_PROGRESS_MAILBOX));
  EXPECT_EQ((Lines{"(every user)", "alice", "alice", "bob"}), w.Field(IDC_PROGRESS_USER));
  EXPECT_EQ("1", w.Last(IDC_PROGRESS_ERRORS));
  const char kSaid[] = "Check finished: 3 mailboxes checked, 1 error found (read-only: nothing repaired).";
  EXPECT_EQ(kSaid, w.Last(IDC_PROGRESS_ACTION));
  EXPECT_EQ(kSaid, StatusText());
}

TEST_F(RepairTest, ALostConnectionEndsTheRepairWithItsReason) {
  ScriptedPeer* p = OpenInbox({Expect(kMailboxRepair), Send(kStarted),
                               Send("2030 0\talice\tINBOX\tchecking the index\r\n"), CloseNow()});
  ProgressWatcher w;
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ("The connection to the server was lost during the repair.", w.Last(IDC_PROGRESS_ACTION));
  EXPECT_EQ("The connection to the server was lost during the repair.", ErrorText());
  EXPECT_TRUE(IsConnectionClosed(server));
}

// A store that drips a progress line byte by byte: the dialog keeps taking
// its messages (Cancel sends STOP at once) and the read still ends when its
// waits are spent. Three waits stand for the program's sixty.
TEST_F(RepairTest, WhileAStoreDripsTheDialogTakesCancelAndTheReadKeepsItsBound) {
  int former = SetWaitsPerRead(3);
  ScriptedPeer* p = OpenInbox({Expect(kMailboxRepair), Send(kStarted),
                               Send("2030 0\talice\tINBOX\tchecking the index\r\n"),
                               Send("2030 1\talice\tINBOX\t"), Drip(std::string(4000, 'd'), 20)});
  ProgressWatcher w;
  w.cancelOn = "checking the index";
  DWORD start = GetTickCount();
  ASSERT_TRUE(ChooseType(IDC_REPAIR_MAILBOX));
  DWORD took = GetTickCount() - start;
  SetWaitsPerRead(former);
  EXPECT_LT(took, 8000u);
  EXPECT_EQ((Lines{"Asking the server to start...", "Repair started.", "checking the index",
                   "Stopping...", "The connection to the server was lost during the repair."}),
            w.Field(IDC_PROGRESS_ACTION));
  EXPECT_NE(std::string::npos, p->Received().find("STOP\r\n"));
  EXPECT_TRUE(IsConnectionClosed(server));
}

}  // namespace
