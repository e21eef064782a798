// The agent classes' object procedures as the host reaches them: class data,
// flags, the page each index hands out (template, title, resource module)
// with the shared pages' help ids, the messages every class answers alike,
// and the certificate database's differences.
#include <gtest/gtest.h>

#include "agents_fixture.h"
#include "server_procs.h"

namespace agentstest {
namespace {

using ObjProc = int32_t(QZXAPI*)(const char*, uint32_t, intptr_t, intptr_t);

struct ClassCase {
  const char* className;
  ObjProc proc;
  const char* description;
  const char* defaultName;
  const char* module;
  std::vector<std::string> templates;
  std::vector<std::string> titles;
  int storeHelp;  // 0: left as it was
  int queueHelp;
  int kind;       // answer to 0x105
};

std::vector<ClassCase> Classes() {
  return {
      {"Quorvel:ZELM Agent", ZELMObjProc, "ZELM Message Store", "ZELM Agent", "STORAGNT.QMD",
       {"ZELMQueue", "ZELMContext", "ZELMQuota", "ZELMSCMS", "Status", "ZELMTrustedHosts",
        "ZELMClients"},
       {"Parameters", "Context", "Mailbox Quota", "Single Copy Message Store", "Status",
        "Trusted Hosts", "Clients"},
       0, 0, 1},
      {"Quorvel:SMTP Agent", SMTPObjProc, "SMTP Protocol", "SMTP Agent", "SMTPAGNT.QMD",
       {"SMTPIdentification", "SMTPOptions", "SMTPUBEConfiguration", "ZELMQueueServer",
        "ZELMToService", "Status"},
       {"Identification", "Options", "UBE Prevention", "Queue Server", "Monitored Queues",
        "Status"},
       45, 37, 1},
      {"Quorvel:AntiSpam Agent", AntiSpamObjProc, "AntiSpam Agent", "AntiSpam Agent",
       "SPAMAGNT.QMD", {"AntiSpamConfig", "ZELMToService", "Status"},
       {"Configuration", "Monitored Queues", "Status"}, 45, 0, 1},
      {"Quorvel:Alias Agent", AliasObjProc, "Alias Agent", "Alias Agent", "ALIASAGT.QMD",
       {"AliasConfig", "AliasLocalAlias", "AliasLocalAlias", "ZELMToService", "Status"},
       {"Configuration", "Local Aliases", "Global Aliases", "Monitored Servers", "Status"}, 36, 37,
       1},
      {"Quorvel:AutoReply Agent", AutoReplyObjProc, "Forward/AutoReply Agent", "AutoReply Agent",
       "FWDAGENT.QMD", {"ZELMToService", "Status"}, {"Monitored Queues", "Status"}, 45, 0, 1},
      {"Quorvel:WebMail Agent", WebMailObjProc, "WebMail Interface", "WebMail Agent",
       "WEBAGENT.QMD",
       {"WebMailIdent", "WebMailConfig", "WebMailAppearance", "WebMailAddrBook", "ZELMQueueServer",
        "Status"},
       {"Configuration", "Interface", "Appearance", "Addressbook", "Queue Server", "Status"}, 45, 37,
       1},
      {"Quorvel:Signup Agent", SignupObjProc, "Signup Agent", "Signup Agent", "SIGNUAGT.QMD",
       {"SignupConfig", "ZELMQueueServer", "Status"}, {"Configuration", "Queue Server", "Status"},
       45, 37, 1},
      {"Quorvel:Proxy Agent", ProxyObjProc, "Mail Proxy Agent", "Proxy Agent", "PROXYAGT.QMD",
       {"ProxyConfig", "ZELMToService", "ZELMQueueServer", "Status"},
       {"Configuration", "Monitored Servers", "Queue Server", "Status"}, 36, 37, 0},
      {"Quorvel:Addressbook Agent", AddressBookObjProc, "Address Book Agent",
       "Address Book Agent", "ABOOKAGT.QMD", {"LDAPConfig", "ZELMToService", "Status"},
       {"Configuration", "Monitored Servers", "Status"}, 36, 37, 1},
      {"Quorvel:Finger Agent", FingerObjProc, "Finger User Lookup Protocol", "Finger Agent",
       "FNGAGENT.QMD", {"Status"}, {"Status"}, 0, 0, 1},
      {"TARQ:ConnMgr Agent", ConnMgrObjProc, "Connection Manager", "Connection Manager",
       "CONNAGNT.QMD", {"ConnManagerConfig", "Status"}, {"Configuration", "Status"}, 0, 0, 1},
      {"Quorvel:IMAP Agent", IMAPObjProc, "IMAP Client Protocol", "IMAP Agent", "IMAPAGNT.QMD",
       {"Status"}, {"Status"}, 0, 0, 1},
      {"Quorvel:POP Agent", POPObjProc, "POP3 Client Protocol", "POP Agent", "POPAGENT.QMD",
       {"Status"}, {"Status"}, 0, 0, 1},
  };
}

using AgentObjects = AgentSnapin;

TEST_F(AgentObjects, EachClassIsRegisteredOnceWithItsClassDataAndFlags) {
  for (const ClassCase& c : Classes()) {
    std::vector<zelm::host::ClassProc> procs = zelm::host::ProcsFor(c.className, QZX_SELECT_SINGLE);
    ASSERT_EQ(procs.size(), 1u) << c.className;
    EXPECT_EQ(procs[0].reg.procedure, c.proc) << c.className;
    EXPECT_EQ(procs[0].flags, 668u) << c.className;
    EXPECT_EQ(procs[0].kind, c.kind) << c.className;
    EXPECT_EQ(zelm::host::ClassDescription(c.className), c.description) << c.className;
    // Codes inside the range the class does not use, and any outside it.
    for (uint32_t code : {0x106u, 0x10Fu, 0x111u, 0x99u})
      EXPECT_EQ(c.proc("x", code, 0, 0), 0) << c.className << " " << code;
  }
  // The certificate database answers for its class but is not registered.
  EXPECT_TRUE(zelm::host::ProcsFor("Quorvel:Certificate Database", QZX_SELECT_SINGLE).empty());
}

TEST_F(AgentObjects, OpeningHandsOutEachPageWithItsTitleAndTheClassesHelp) {
  for (const ClassCase& c : Classes()) {
    const std::string name = std::string(c.defaultName) + "." + kMS1;
    SetStoreServerHelpId(999);
    SetQueueServerHelpId(998);
    ASSERT_EQ(c.proc(name.c_str(), QZX_MSG_OPEN, 0, 0), static_cast<int32_t>(c.templates.size()))
        << c.className;
    EXPECT_STREQ(g_snapin.currentObject, name.c_str());
    EXPECT_STREQ(g_snapin.currentModule, c.module);
    for (size_t i = 0; i < c.templates.size(); ++i) {
      QZXPageRecord record = {};
      record.reserved = 7;
      ASSERT_EQ(c.proc(name.c_str(), QZX_MSG_PAGE, static_cast<intptr_t>(i),
                       reinterpret_cast<intptr_t>(&record)),
                0)
          << c.className << " page " << i;
      ASSERT_NE(record.procedure, nullptr);
      EXPECT_STREQ(record.templateName, c.templates[i].c_str()) << c.className << " " << i;
      EXPECT_STREQ(record.title, c.titles[i].c_str()) << c.className << " " << i;
      EXPECT_EQ(record.instance, g_snapin.resources);
      EXPECT_EQ(record.reserved, 0);
      DLGPROC shared = c.templates[i] == "Status"            ? StatusDlgProc
                       : c.templates[i] == "ZELMToService"   ? ZELMToServiceDlgProc
                       : c.templates[i] == "ZELMQueueServer" ? ZELMQueueServerDlgProc
                                                             : record.procedure;
      EXPECT_EQ(record.procedure, shared) << c.className << " " << i;
    }
    EXPECT_EQ(StoreServerHelpId(), c.storeHelp ? c.storeHelp : 999) << c.className;
    EXPECT_EQ(QueueServerHelpId(), c.queueHelp ? c.queueHelp : 998) << c.className;
    // One past the table is no page.
    QZXPageRecord past = {};
    EXPECT_NE(c.proc(name.c_str(), QZX_MSG_PAGE, static_cast<intptr_t>(c.templates.size()),
                     reinterpret_cast<intptr_t>(&past)),
              0)
        << c.className;
    EXPECT_EQ(past.procedure, nullptr);
  }
}

TEST_F(AgentObjects, TheHostShowsTheStoreAndSmtpAgentsPagesInOrder) {
  ASSERT_NE(OpenSheet(kStore1, kZELMClass), nullptr);
  EXPECT_EQ(Tabs(), (Values{"Parameters", "Context", "Mailbox Quota", "Single Copy Message Store",
                            "Status", "Trusted Hosts", "Clients"}));
  for (int i = 0; i < 7; ++i) {
    PropSheet_SetCurSel(sheet_, nullptr, i);
    EXPECT_EQ(ItemText(PropSheet_GetCurrentPageHwnd(sheet_), 10), kStore1) << i;
  }
  ASSERT_NE(OpenSheet(kSMTP1, kSMTPClass), nullptr);
  EXPECT_EQ(Tabs(), (Values{"Identification", "Options", "UBE Prevention", "Queue Server",
                            "Monitored Queues", "Status"}));
  for (int i = 0; i < 6; ++i) {
    PropSheet_SetCurSel(sheet_, nullptr, i);
    EXPECT_EQ(ItemText(PropSheet_GetCurrentPageHwnd(sheet_), 10), kSMTP1) << i;
  }
}

TEST_F(AgentObjects, DeletingAnAgentTellsTheServerAndLetsTheHostGoOn) {
  g_snapin.autoReload = 1;
  for (const ClassCase& c : Classes()) {
    if (std::string(c.className) == kZELMClass) continue;
    std::string name = std::string(c.defaultName) + "." + kMS1;
    EXPECT_EQ(c.proc(name.c_str(), QZX_MSG_DELETE, 0, 0), 0) << c.className;
  }
  std::vector<uint32_t> codes = NoticeCodes();
  EXPECT_EQ(codes, std::vector<uint32_t>(12, 2u));  // deleted
  Values modules;
  for (const std::string& m : NoticeModules()) modules.push_back(m);
  EXPECT_EQ(modules.front(), "SMTPAGNT.QMD");
  EXPECT_EQ(modules.back(), "POPAGENT.QMD");
}

TEST_F(AgentObjects, AStoreAgentWithClientsStaysAndNamesThem) {
  MessageBoxInterceptor boxes;  // the host's report of what it kept
  ModalDriver driver;
  Values listed;
  std::string text;
  driver.Then([&](HWND d) {
    listed = ListItems(d, IDC_ZL_LIST);
    text = ItemText(d, IDC_ZF_TEXT);
    ClickItem(d, IDOK);
  });
  zelm::host::DirEntry entry;
  ASSERT_EQ(zelm::host::ReadEntry(kStore1, &entry), 0);
  EXPECT_EQ(zelm::host::DeleteObjects(owner_, {entry}, false), 0);
  ASSERT_EQ(driver.Seen(), Values{"ZELM Clients Found"});
  EXPECT_EQ(listed, Values{kSMTP1});
  EXPECT_EQ(text,
            "Please remove the following clients depending on this ZELM agent before removing the "
            "agent itself.");
  EXPECT_TRUE(Exists(kStore1));
  EXPECT_TRUE(Read(kStore1, "Quorvel:Config Changed").empty());  // no notice
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].text.find("was kept"), std::string::npos);

  // Without clients it goes, and the server hears of it.
  g_snapin.autoReload = 1;
  ASSERT_EQ(zelm::host::ReadEntry(kStore2, &entry), 0);
  EXPECT_EQ(zelm::host::DeleteObjects(owner_, {entry}, false), 1);
  EXPECT_FALSE(Exists(kStore2));
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{2});
  EXPECT_EQ(NoticeModules(), Values{"STORAGNT.QMD"});
}

TEST_F(AgentObjects, TheCertificateDatabaseIsShownNeverCreated) {
  const char name[] = "CertDB.MS1.Internet Services";
  std::string out = "untouched";
  char buffer[600] = "untouched";
  EXPECT_EQ(CertDBObjProc(kMS1, QZX_MSG_CREATE, reinterpret_cast<intptr_t>(buffer), 0), -1);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(CertDBObjProc(name, QZX_MSG_OPEN, 0, 0), 1);
  QZXPageRecord record = {};
  ASSERT_EQ(CertDBObjProc(name, QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&record)), 0);
  EXPECT_STREQ(record.templateName, "CertDBInfo");
  EXPECT_STREQ(record.title, "Information");
  EXPECT_EQ(record.instance, g_snapin.instance);  // the snap-in's own template
  EXPECT_EQ(record.procedure, ServicesInfoDlgProc);
  g_snapin.autoReload = 1;
  EXPECT_EQ(CertDBObjProc(name, QZX_MSG_DELETE, 0, 0), 0);
  EXPECT_EQ(CertDBObjProc("x", QZX_MSG_CLASS_FLAGS, 0, 0), 8);
  EXPECT_TRUE(NoticeCodes().empty());
}

}  // namespace
}  // namespace agentstest
