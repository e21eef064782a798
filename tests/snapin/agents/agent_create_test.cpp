// Creating agents through the host: the existence test, the SMTP and store
// agents' own dialogs, the store-linked dialogs (defaults, the Create
// button, browsing, the store agent's client list, failed adds) and the
// classes created without a dialog.
#include <gtest/gtest.h>

#include "agents_fixture.h"

namespace agentstest {
namespace {

constexpr char kSMTP2[] = "SMTP Agent.MS2.Internet Services";
constexpr char kSMTP4[] = "SMTP Agent.MS4.Internet Services";
constexpr char kStore4[] = "ZELM Agent.MS4.Internet Services";

class AgentCreation : public AgentSnapin {
 protected:
  static bool Focused(HWND dialog, int id) { return GetFocus() == GetDlgItem(dialog, id); }
  Values Clients(const char* store) const { return Read(store, "Quorvel:Client"); }
};

// ---- SMTP ----------------------------------------------------------------------

TEST_F(AgentCreation, SmtpDialogOffersTheServersDomainAndStoreAgent) {
  HelpViewer help;
  std::vector<bool> enabled;
  std::string domain, queue, name, caption;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    caption = WindowText(d);
    domain = ItemText(d, IDC_CS_DOMAIN);
    queue = ItemText(d, IDC_AGC_STORE);
    name = ItemText(d, IDC_AGC_NAME);
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_CS_DOMAIN, "");
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_CS_DOMAIN, "x.example");
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_AGC_STORE, "");
    enabled.push_back(IsItemEnabled(d, IDOK));
    ClickItem(d, IDC_AGC_HELP);
    ClickItem(d, IDCANCEL);
  });
  std::string created = "untouched";
  EXPECT_EQ(Create(kSMTPClass, kMS2, &created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(caption, "Create SMTP Agent");
  EXPECT_EQ(domain, "two.example");
  EXPECT_EQ(queue, kStore2);
  EXPECT_EQ(name, "SMTP Agent");
  EXPECT_EQ(enabled, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(help.contexts, std::vector<long>{27});
  EXPECT_EQ(created, "untouched");
  EXPECT_FALSE(Exists(kSMTP2));
}

TEST_F(AgentCreation, SmtpAgentGetsItsFirstValuesAndBecomesTheQueuesClient) {
  g_snapin.autoReload = 1;
  MessageBoxInterceptor boxes;
  bool startsEnabled = true, focusOnQueue = false, stillOpen = false;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    // MS4 has no store agent of its own: nothing is offered.
    startsEnabled = IsItemEnabled(d, IDOK);
    NotifyCommand(d, IDOK, BN_CLICKED);  // as a keyboard accelerator would
    focusOnQueue = Focused(d, IDC_AGC_STORE);
    stillOpen = IsWindow(d) != FALSE;
    SetItemText(d, IDC_AGC_STORE, kStore2);
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(Create(kSMTPClass, kMS4, &created), QZX_CREATE_DONE);
  EXPECT_FALSE(startsEnabled);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Missing mandatory value");
  EXPECT_EQ(boxes.Boxes()[0].text, "At least on ZELM Agent required!");
  EXPECT_TRUE(focusOnQueue);
  EXPECT_TRUE(stillOpen);

  EXPECT_EQ(created, kSMTP4);
  EXPECT_EQ(Read(kSMTP4, "Object Class"), Values{kSMTPClass});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:Module Name"), Values{"SMTPAGNT.QMD"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:Module Version"), Values{"1"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:Domain"), Values{"four.example"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:Routing"), Values{"0"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:Message Limit"), Values{"0"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:SMTP Accept ETRN"), Values{"1"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:SMTP Send ETRN"), Values{"0"});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:ZELM Queue Server"), Values{kStore2});
  EXPECT_EQ(Read(kSMTP4, "Quorvel:ZELM Server"), Values{kStore2});
  EXPECT_EQ(Clients(kStore2), Values{kSMTP4});
  ExpectWritten({{kSMTP4, "Quorvel:Module Name", "SMTPAGNT.QMD", 1},
                 {kSMTP4, "Quorvel:Module Version", "1", 1},
                 {kSMTP4, "Quorvel:Domain", "four.example", 3},
                 {kSMTP4, "Quorvel:SMTP Accept ETRN", "1", 3},
                 {kSMTP4, "Quorvel:ZELM Queue Server", kStore2, 1},
                 {kSMTP4, "Quorvel:ZELM Server", kStore2, 1},
                 {kStore2, "Quorvel:Client", kSMTP4, 1}});
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{1});  // once: by the dialog
  EXPECT_EQ(NoticeModules(), Values{"SMTPAGNT.QMD"});
}

TEST_F(AgentCreation, SmtpNotifiesOnlyWhenTheClientReferenceWasAdded) {
  // The store agent lists the name already, so adding it again fails.
  Store(kStore2, "Quorvel:Client", {kSMTP2});
  g_snapin.autoReload = 1;
  ModalDriver driver;
  driver.Then([](HWND d) { ClickItem(d, IDOK); });
  EXPECT_EQ(Create(kSMTPClass, kMS2), QZX_CREATE_DONE);
  EXPECT_TRUE(Exists(kSMTP2));
  EXPECT_EQ(Clients(kStore2), Values{kSMTP2});
  EXPECT_TRUE(NoticeCodes().empty());
  EXPECT_TRUE(Read(kSMTP2, "Quorvel:Config Changed").empty());
}

TEST_F(AgentCreation, SmtpFailedAddKeepsTheDialogForAnotherTry) {
  As("Kim.Sales.Acme");  // may create under MS4 only
  MessageBoxInterceptor boxes;
  bool stillOpen = false;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    ClickItem(d, IDOK);
    stillOpen = IsWindow(d) != FALSE;
    ClickItem(d, IDCANCEL);
  });
  EXPECT_EQ(Create(kSMTPClass, kMS2), QZX_CREATE_CANCELLED);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_FALSE(Exists(kSMTP2));
  EXPECT_TRUE(Clients(kStore2).empty());
}

TEST_F(AgentCreation, ASecondAgentOfAClassIsRefusedBeforeAnyDialog) {
  ModalDriver driver;
  std::string text;
  driver.Then([&](HWND d) {
    text = ItemText(d, IDC_MESSAGE_TEXT);
    ClickItem(d, IDOK);
  });
  std::string created = "untouched";
  EXPECT_EQ(Create(kSMTPClass, kMS1, &created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(driver.Seen(), Values{"Object Exists"});
  EXPECT_EQ(text.find("You are trying to create an object that already exists under the "), 0u);
  EXPECT_EQ(created, "untouched");
  EXPECT_TRUE(driver.Unexpected().empty());
  EXPECT_EQ(Clients(kStore1), Values{kSMTP1});
}

TEST_F(AgentCreation, DefiningMorePropertiesOpensTheNewAgentsPages) {
  Values tabs;
  ModalDriver driver;
  driver.Then([](HWND d) {
    ClickItem(d, IDC_AGC_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then([&](HWND sheet) {
    tabs = TabsOf(sheet);
    ClickItem(sheet, IDCANCEL);
  });
  std::string created;
  EXPECT_EQ(Create(kSMTPClass, kMS2, &created), QZX_CREATE_OPEN_PAGES);
  EXPECT_EQ(created, kSMTP2);
  EXPECT_EQ(tabs, (Values{"Identification", "Options", "UBE Prevention", "Queue Server",
                          "Monitored Queues", "Status"}));
}

// ---- the store agent ----------------------------------------------------------------

TEST_F(AgentCreation, StoreAgentNeedsAPathOnItsHostAndServesTheOneContextTyped) {
  g_snapin.autoReload = 1;
  MessageBoxInterceptor boxes;
  std::vector<bool> enabled;
  std::string caption, label;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    caption = WindowText(d);
    label = ItemText(d, IDC_AGC_LABEL);
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_CZ_PATH, "FS10/SYS:mail");  // another server, same beginning
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_AGC_STORE, "Sales.Acme");
    enabled.push_back(IsItemEnabled(d, IDOK));
    ClickItem(d, IDOK);
    SetItemText(d, IDC_CZ_PATH, "fs1/SYS:mail");
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(Create(kZELMClass, kMS4, &created), QZX_CREATE_DONE);
  EXPECT_EQ(caption, "Create ZELM Agent");
  EXPECT_EQ(label, "&Context:");
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, true}));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Bad path selected");
  EXPECT_EQ(boxes.Boxes()[0].text, "You must select a path on the server you are running TARQ");

  EXPECT_EQ(created, kStore4);
  EXPECT_EQ(Read(kStore4, "Object Class"), Values{kZELMClass});
  EXPECT_EQ(Read(kStore4, "Quorvel:Module Name"), Values{"STORAGNT.QMD"});
  EXPECT_EQ(Read(kStore4, "Quorvel:Module Version"), Values{"1"});
  EXPECT_EQ(Read(kStore4, "Quorvel:Queue Timeout"), Values{"5"});
  EXPECT_EQ(Read(kStore4, "Quorvel:Queue Interval"), Values{"30"});
  EXPECT_EQ(Read(kStore4, "Quorvel:Minimum Free Space"), Values{"2048"});
  EXPECT_EQ(Read(kStore4, "Quorvel:SCMS User Threshold"), Values{"2"});
  EXPECT_EQ(Read(kStore4, "Quorvel:SCMS Size Threshold"), Values{"2"});
  EXPECT_EQ(Read(kStore4, "Quorvel:Quota Message"),
            Values{"The user to whom this message was addressed has exceeded the allowed "
                   "mailbox\nquota. Please resend the message at a later time."});
  EXPECT_EQ(Read(kStore4, "Quorvel:Message Store"), Values{"fs1/SYS:mail"});
  // Both earlier contexts are gone.
  EXPECT_EQ(Read(kMS4, "Quorvel:Context"), Values{"Sales.Acme"});
  ExpectWritten({{kStore4, "Quorvel:Module Name", "STORAGNT.QMD", 1},
                 {kStore4, "Quorvel:Message Store", "fs1/SYS:mail", 1},
                 {kStore4, "Quorvel:Queue Timeout", "5", 3},
                 {kMS4, "Quorvel:Context", "Sales.Acme", 1}});
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{1});
  EXPECT_EQ(NoticeModules(), Values{"STORAGNT.QMD"});
}

TEST_F(AgentCreation, StoreAgentWhoseContextsCannotBeWrittenIsStillHandedToTheHost) {
  As("Kim.Sales.Acme");  // may create under MS4, not change its contexts
  MessageBoxInterceptor boxes;
  bool focusOnContext = false;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    SetItemText(d, IDC_CZ_PATH, "FS1/SYS:mail");
    SetItemText(d, IDC_AGC_STORE, "Sales.Acme");
    ClickItem(d, IDOK);
    focusOnContext = Focused(d, IDC_AGC_STORE);
    ClickItem(d, IDOK);  // again: the agent is not added twice
    ClickItem(d, IDCANCEL);
  });
  std::string created;
  EXPECT_EQ(Create(kZELMClass, kMS4, &created), QZX_CREATE_DONE);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_EQ(boxes.Boxes()[1].caption, boxes.Boxes()[0].caption);
  EXPECT_TRUE(focusOnContext);
  EXPECT_EQ(created, kStore4);
  EXPECT_TRUE(Exists(kStore4));
  EXPECT_EQ(Read(kMS4, "Quorvel:Context"), (Values{"Sales.Acme", "East.Sales.Acme"}));
}

TEST_F(AgentCreation, StoreAgentWithoutAHostOnRecordTakesAnyPath) {
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_CZ_PATH, "anywhere");
    SetItemText(d, IDC_AGC_STORE, "Sales.Acme");
    ClickItem(d, IDOK);
  });
  EXPECT_EQ(Create(kZELMClass, kMS3), QZX_CREATE_DONE);
  EXPECT_EQ(Read("ZELM Agent.MS3.Internet Services", "Quorvel:Message Store"), Values{"anywhere"});
}

// ---- one road through the host ---------------------------------------------------------

TEST_F(AgentCreation, AStoreAgentThenAnSmtpAgentOnItWithEveryPageVisitedAndAccepted) {
  const std::string store = std::string("ZELM Agent.") + kMS3;
  const std::string smtp = std::string("SMTP Agent.") + kMS3;
  // Walks every page of the sheet the host opens, then OK applies them all.
  auto walk = [](Values* shown) {
    return [shown](HWND sheet) {
      for (int i = 0, n = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)); i < n; ++i) {
        PropSheet_SetCurSel(sheet, nullptr, i);
        PumpMessages();
        shown->push_back(ItemText(PropSheet_GetCurrentPageHwnd(sheet), 10));
      }
      ClickItem(sheet, IDOK);
    };
  };
  Values storePages, smtpPages;
  bool smtpCreateOffered = true;
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_CZ_PATH, "FS1/SYS:mail");
    SetItemText(d, IDC_AGC_STORE, "Sales.Acme");
    ClickItem(d, IDC_AGC_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then(walk(&storePages));
  driver.Then([&](HWND d) {
    smtpCreateOffered = IsItemEnabled(d, IDOK);  // MS3 has no official name to offer
    SetItemText(d, IDC_CS_DOMAIN, "three.example");
    ClickItem(d, IDC_AGC_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then(walk(&smtpPages));
  EXPECT_EQ(Create(kZELMClass, kMS3), QZX_CREATE_OPEN_PAGES);
  EXPECT_EQ(Create(kSMTPClass, kMS3), QZX_CREATE_OPEN_PAGES);
  EXPECT_TRUE(driver.Unexpected().empty());
  EXPECT_EQ(storePages, Values(7, store));
  EXPECT_EQ(smtpPages, Values(6, smtp));
  EXPECT_FALSE(smtpCreateOffered);
  // Accepting every page kept what creation wrote.
  EXPECT_EQ(Read(kMS3, "Quorvel:Context"), Values{"Sales.Acme"});
  EXPECT_EQ(Read(store, "Quorvel:Queue Timeout"), Values{"5"});
  EXPECT_EQ(Read(store, "Quorvel:Disabled"), Values{"0"});
  EXPECT_EQ(Clients(store.c_str()), Values{smtp});
  EXPECT_EQ(Read(smtp, "Quorvel:ZELM Queue Server"), Values{store});
  EXPECT_EQ(Read(smtp, "Quorvel:ZELM Server"), Values{store});
  EXPECT_EQ(Read(smtp, "Quorvel:Domain"), Values{"three.example"});
  EXPECT_EQ(Read(smtp, "Quorvel:Config Changed"), Values{"1"});
}

// ---- store-linked dialogs ---------------------------------------------------------------

struct LinkedCase {
  const char* className;
  const char* caption;
  const char* label;
  bool help;
};

TEST_F(AgentCreation, StoreLinkedDialogsCarryTheirCaptionsAndLabels) {
  const LinkedCase cases[] = {
      {"Quorvel:AntiSpam Agent", "Create AntiSpam Agent", "&Store to be monitored:", true},
      {"Quorvel:Alias Agent", "Create Alias Agent", "ZELM &Contexts to be serviced:", true},
      {"Quorvel:AutoReply Agent", "Create Forward/Autoreply Agent", "&Store to be monitored:", true},
      {"Quorvel:WebMail Agent", "Create WebMail Agent", "&Queue for message drop-off:", true},
      {"Quorvel:Signup Agent", "Create WebMail Agent", "&Queue for message drop-off:", false},
      {"Quorvel:Proxy Agent", "Create Mail Proxy Agent", "&Store to reference:", true},
      {"Quorvel:Addressbook Agent", "Create Address Book Agent", "ZELM &Contexts to be serviced:",
       true},
  };
  for (const LinkedCase& c : cases) {
    std::string caption, label, field = "untouched";
    bool create = true, help = false;
    ModalDriver driver;
    driver.Then([&](HWND d) {
      caption = WindowText(d);
      label = ItemText(d, IDC_AGC_LABEL);
      field = ItemText(d, IDC_AGC_STORE);
      create = IsItemEnabled(d, IDOK);
      help = IsItemEnabled(d, IDC_AGC_HELP);
      ClickItem(d, IDCANCEL);
    });
    EXPECT_EQ(Create(c.className, kMS4), QZX_CREATE_CANCELLED) << c.className;
    EXPECT_EQ(caption, c.caption) << c.className;
    EXPECT_EQ(label, c.label) << c.className;
    EXPECT_EQ(field, "") << c.className;  // MS4 has no store agent
    EXPECT_FALSE(create) << c.className;
    EXPECT_EQ(help, c.help) << c.className;
  }
}

TEST_F(AgentCreation, TwoAgentsOnOneStoreAgentAreBothItsClients) {
  g_snapin.autoReload = 1;
  const std::string first = std::string("AutoReply Agent.") + kMS1;
  const std::string second = std::string("AutoReply Agent.") + kMS2;
  std::string offered;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    offered = ItemText(d, IDC_AGC_STORE);
    ClickItem(d, IDOK);
  });
  driver.Then([](HWND d) {
    SetItemText(d, IDC_AGC_STORE, kStore1);  // not MS2's own
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(Create("Quorvel:AutoReply Agent", kMS1, &created), QZX_CREATE_DONE);
  EXPECT_EQ(offered, kStore1);
  EXPECT_EQ(created, first);
  EXPECT_EQ(Create("Quorvel:AutoReply Agent", kMS2, &created), QZX_CREATE_DONE);
  EXPECT_EQ(created, second);
  EXPECT_EQ(Clients(kStore1), (Values{kSMTP1, first, second}));
  EXPECT_TRUE(Clients(kStore2).empty());
  EXPECT_EQ(Read(second, "Quorvel:ZELM Server"), Values{kStore1});
  EXPECT_EQ(Read(second, "Quorvel:Module Name"), Values{"FWDAGENT.QMD"});
  // The one class whose module name and version are text.
  ExpectWritten({{second.c_str(), "Quorvel:Module Name", "FWDAGENT.QMD", 3},
                 {second.c_str(), "Quorvel:Module Version", "1", 3},
                 {second.c_str(), "Quorvel:ZELM Server", kStore1, 1},
                 {kStore1, "Quorvel:Client", second, 1}});
  EXPECT_EQ(NoticeCodes(), (std::vector<uint32_t>{1, 1}));
  EXPECT_EQ(NoticeModules(), (Values{"FWDAGENT.QMD", "FWDAGENT.QMD"}));
}

TEST_F(AgentCreation, TypingEnablesCreateAnAbandonedBrowseKeepsTheText) {
  std::vector<bool> enabled;
  std::string afterBrowse, browserCaption;
  Values tabs;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_AGC_STORE, kStore2);
    enabled.push_back(IsItemEnabled(d, IDOK));
    ClickItem(d, IDC_AGC_BROWSE);
    afterBrowse = ItemText(d, IDC_AGC_STORE);
    enabled.push_back(IsItemEnabled(d, IDOK));
    ClickItem(d, IDC_AGC_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then([&](HWND browser) {
    browserCaption = WindowText(browser);
    ClickItem(browser, IDCANCEL);
  });
  driver.Then([&](HWND sheet) {
    tabs = TabsOf(sheet);
    ClickItem(sheet, IDCANCEL);
  });
  std::string created;
  EXPECT_EQ(Create("Quorvel:Proxy Agent", kMS4, &created), QZX_CREATE_OPEN_PAGES);
  EXPECT_EQ(enabled, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(browserCaption, "Select ZELM Agent");
  EXPECT_EQ(afterBrowse, kStore2);
  EXPECT_EQ(tabs, (Values{"Configuration", "Monitored Servers", "Queue Server", "Status"}));
  const std::string proxy = std::string("Proxy Agent.") + kMS4;
  EXPECT_EQ(created, proxy);
  EXPECT_EQ(Read(proxy, "Quorvel:Time Interval"), Values{"3"});
  EXPECT_EQ(Read(proxy, "Quorvel:Thread Limit"), Values{"5"});
  EXPECT_EQ(Read(proxy, "Quorvel:ZELM Server"), Values{kStore2});
  EXPECT_EQ(Read(proxy, "Quorvel:ZELM Queue Server"), Values{kStore2});
  EXPECT_EQ(Clients(kStore2), Values{proxy});
}

TEST_F(AgentCreation, WebMailStartsWithItsSeveralValuedSettings) {
  ModalDriver driver;
  driver.Then([](HWND d) { ClickItem(d, IDOK); });
  EXPECT_EQ(Create("Quorvel:WebMail Agent", kMS2), QZX_CREATE_DONE);
  const std::string web = std::string("WebMail Agent.") + kMS2;
  EXPECT_EQ(Read(web, "Quorvel:Port"), Values{"80"});
  EXPECT_EQ(Read(web, "Quorvel:SSL Port"), Values{"443"});
  EXPECT_EQ(Read(web, "Quorvel:Configuration"),
            (Values{"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}));
  EXPECT_EQ(Read(web, "Quorvel:Addressbook Config"), Values{"Entries:50 Flags:3"});
  EXPECT_EQ(Read(web, "Quorvel:Advertising Config"), (Values{"URL:", "Location:0"}));
  EXPECT_EQ(Read(web, "Quorvel:ZELM Queue Server"), Values{kStore2});
  EXPECT_EQ(Read(web, "Quorvel:Message Limit"), Values{"10"});
  EXPECT_EQ(Clients(kStore2), Values{web});
}

TEST_F(AgentCreation, StoreLinkedFailedAddEndsTheDialogAndWritesNothing) {
  As("Joe.Sales.Acme");
  g_snapin.autoReload = 1;
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  driver.Then([](HWND d) { ClickItem(d, IDOK); });
  std::string created = "untouched";
  EXPECT_EQ(Create("Quorvel:Alias Agent", kMS1, &created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(created, "untouched");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_FALSE(Exists(std::string("Alias Agent.") + kMS1));
  EXPECT_EQ(Clients(kStore1), Values{kSMTP1});
  EXPECT_TRUE(NoticeCodes().empty());
}

// ---- without a dialog -------------------------------------------------------------------

TEST_F(AgentCreation, FingerImapPopAndConnectionManagerNeedNoDialog) {
  g_snapin.autoReload = 1;
  ModalDriver driver;
  struct Direct {
    const char* className;
    const char* name;
    const char* module;
  };
  const Direct cases[] = {
      {"Quorvel:Finger Agent", "Finger Agent", "FNGAGENT.QMD"},
      {"Quorvel:IMAP Agent", "IMAP Agent", "IMAPAGNT.QMD"},
      {"Quorvel:POP Agent", "POP Agent", "POPAGENT.QMD"},
      {"TARQ:ConnMgr Agent", "Connection Manager", "CONNAGNT.QMD"},
  };
  for (const Direct& c : cases) {
    std::string created;
    EXPECT_EQ(Create(c.className, kMS2, &created), QZX_CREATE_DONE) << c.className;
    const std::string full = std::string(c.name) + "." + kMS2;
    EXPECT_EQ(created, full);
    EXPECT_EQ(Read(full, "Object Class"), Values{c.className});
    EXPECT_EQ(Read(full, "Quorvel:Module Name"), Values{c.module});
    EXPECT_EQ(Read(full, "Quorvel:Module Version"), Values{"1"});
    EXPECT_EQ(Read(full, "Quorvel:Timeout"),
              std::string(c.name) == "Connection Manager" ? Values{"15"} : Values{});
    ExpectWritten({{full.c_str(), "Quorvel:Module Name", c.module, 1},
                   {full.c_str(), "Quorvel:Module Version", "1", 1}});
  }
  EXPECT_TRUE(driver.Seen().empty());
  ExpectWritten({{"Connection Manager.MS2.Internet Services", "Quorvel:Timeout", "15", 3}});
  EXPECT_EQ(NoticeCodes(), (std::vector<uint32_t>{1, 1, 1, 1}));
  EXPECT_EQ(NoticeModules(), (Values{"FNGAGENT.QMD", "IMAPAGNT.QMD", "POPAGENT.QMD", "CONNAGNT.QMD"}));
  EXPECT_TRUE(Clients(kStore2).empty());

  // A second one of a class meets the existing one.
  driver.Then([](HWND d) { ClickItem(d, IDOK); });
  EXPECT_EQ(Create("Quorvel:POP Agent", kMS2), QZX_CREATE_CANCELLED);
  EXPECT_EQ(driver.Seen(), Values{"Object Exists"});
}

TEST_F(AgentCreation, DirectCreationThatFailsIsReportedAndNotAnnounced) {
  As("Joe.Sales.Acme");
  g_snapin.autoReload = 1;
  MessageBoxInterceptor boxes;
  std::string created = "untouched";
  EXPECT_EQ(Create("Quorvel:IMAP Agent", kMS2, &created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(created, "untouched");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_FALSE(Exists(std::string("IMAP Agent.") + kMS2));
  EXPECT_TRUE(NoticeCodes().empty());
}

}  // namespace
}  // namespace agentstest
