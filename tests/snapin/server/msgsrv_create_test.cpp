// The messaging server's object procedure in the host: its pages, creation
// through "CreateMessagingServer" (the Create button, occupied and stale
// hosts, the add and what follows it, every end of the dialog) and deletion.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace msgsrvtest {
namespace {

constexpr char kMessagingServerClass[] = "Quorvel:Messaging Server";

class MessagingServerObject : public ServerSnapin {
 protected:
  // Runs the host's creation in the services container with the driver's
  // queued actions; the host's answer.
  int Create(std::string* created = nullptr) {
    return zelm::host::CreateObject(owner_, "Internet Services", ProcOf(kMessagingServerClass),
                                    created);
  }
  static void Fill(HWND d, const char* name, const char* host, const char* postmaster,
                   const char* official) {
    SetItemText(d, IDC_CMS_NAME, name);
    SetItemText(d, IDC_CMS_HOST, host);
    SetItemText(d, IDC_CMS_POSTMASTER, postmaster);
    SetItemText(d, IDC_CMS_OFFICIAL, official);
  }
};

TEST_F(MessagingServerObject, OffersFivePagesWithTheirTemplatesAndTitles) {
  HWND sheet = OpenSheet(kMS1, kMessagingServerClass);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), (std::vector<std::string>{"Identification", "Security", "Statistics",
                                                   "SNMP Configuration", "Status"}));
  EXPECT_STREQ(g_snapin.currentObject, kMS1);
  EXPECT_STREQ(g_snapin.pageContainer, "Internet Services.");
  const char* templates[] = {"MsgSrvIdentification", "MsgSrvSecurity", "MsgSrvStatistics",
                             "MsgSrvSNMP", "MsgSrvStatus"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(PageTableEntry(i)->templateName, templates[i]);
    EXPECT_EQ(PageTableEntry(i)->instance, g_snapin.resources);
    PropSheet_SetCurSel(sheet, nullptr, i);
    EXPECT_EQ(ItemText(CurrentPage(sheet), 10), kMS1) << templates[i];
  }
  const zelm::host::ClassProc proc = ProcOf(kMessagingServerClass);
  EXPECT_EQ(proc.flags, 0x6CDu);
  EXPECT_EQ(proc.kind, 1);
  EXPECT_EQ(zelm::host::ClassDescription(kMessagingServerClass), "Halcyn Tarqsuite");
}

TEST_F(MessagingServerObject, CreateIsOfferedOnlyWhileAllFourFieldsHoldText) {
  std::vector<bool> enabled;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    enabled.push_back(IsItemEnabled(d, IDOK));
    Fill(d, "Mail", "FS3.Acme", "Postie.Acme", "");
    enabled.push_back(IsItemEnabled(d, IDOK));
    SetItemText(d, IDC_CMS_OFFICIAL, "m");
    enabled.push_back(IsItemEnabled(d, IDOK));
    for (int id : {IDC_CMS_NAME, IDC_CMS_HOST, IDC_CMS_POSTMASTER, IDC_CMS_OFFICIAL}) {
      std::string was = ItemText(d, id);
      SetItemText(d, id, "");
      enabled.push_back(IsItemEnabled(d, IDOK));
      SetItemText(d, id, was.c_str());
      enabled.push_back(IsItemEnabled(d, IDOK));
    }
    // The two ways of ending exclude each other.
    ClickItem(d, IDC_CMS_MORE_PAGES);
    enabled.push_back(IsItemEnabled(d, IDC_CMS_ANOTHER));
    ClickItem(d, IDC_CMS_MORE_PAGES);
    ClickItem(d, IDC_CMS_ANOTHER);
    enabled.push_back(IsItemEnabled(d, IDC_CMS_ANOTHER));
    enabled.push_back(IsItemEnabled(d, IDC_CMS_MORE_PAGES));
    ClickItem(d, IDCANCEL);
  });
  std::string created = "untouched";
  EXPECT_EQ(Create(&created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(created, "untouched");
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, true, false, true, false, true, false, true,
                                        false, true, false, true, false}));
  EXPECT_FALSE(directory_->Exists("Mail.Internet Services"));
  EXPECT_TRUE(ModuleRequests().empty());
}

TEST_F(MessagingServerObject, CreatesTheServerGivesTheHostItsReferenceAndLoadsTheModule) {
  ModalDriver driver;
  driver.Then([](HWND d) {
    Fill(d, "Mail", "FS3.Acme", "Postie.Acme", "mail.example");
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(Create(&created), QZX_CREATE_DONE);
  EXPECT_EQ(created, "Mail.Internet Services");
  const std::string mail = "Mail.Internet Services";
  EXPECT_EQ(Read(mail, "Object Class"), Values{"Quorvel:Messaging Server"});
  EXPECT_EQ(Read(mail, "Quorvel:Host"), Values{"FS3.Acme"});
  EXPECT_EQ(Read(mail, "Quorvel:Postmaster"), Values{"Postie.Acme"});
  EXPECT_EQ(Read(mail, "Quorvel:Official Name"), Values{"mail.example"});
  EXPECT_EQ(Read(mail, "Quorvel:Context"), Values{".Internet Services"});
  EXPECT_EQ(Read(mail, "Quorvel:SNMP Description"), Values{"Quorvel Pelmark Messaging Server"});
  EXPECT_EQ(Read(mail, "Quorvel:SNMP Version"), Values{"Version 3"});
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{mail});
  // The dialog writes host and postmaster as text, unlike the identification page.
  ExpectWritten({{mail.c_str(), "Quorvel:Host", "FS3.Acme", 3},
                 {mail.c_str(), "Quorvel:Postmaster", "Postie.Acme", 3},
                 {mail.c_str(), "Quorvel:Official Name", "mail.example", 3},
                 {mail.c_str(), "Quorvel:Context", ".Internet Services", 1},
                 {mail.c_str(), "Quorvel:SNMP Version", "Version 3", 3},
                 {"FS3.Acme", "Quorvel:Messaging Server", mail, 1}});
  EXPECT_EQ(ModuleRequests(), std::vector<std::string>{"load MSGSRV"});
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(MessagingServerObject, AnOccupiedHostKeepsTheDialogOpenAStaleOneIsFree) {
  Store("FS3.Acme", "Quorvel:Messaging Server", {"Deleted Long Ago.Internet Services"});
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  driver.Then([](HWND d) {
    Fill(d, "Mail", "FS1.Acme", "Postie.Acme", "mail.example");  // runs MS1
    ClickItem(d, IDOK);  // "ServerExists" comes up, is answered, and the dialog stays
    SetItemText(d, IDC_CMS_HOST, "FS3.Acme");  // names a server that is gone
    ClickItem(d, IDOK);
  });
  driver.Then([](HWND box) { ClickItem(box, IDOK); });
  EXPECT_EQ(Create(), QZX_CREATE_DONE);
  ASSERT_EQ(driver.Seen().size(), 2u);
  EXPECT_EQ(driver.Seen()[1], "Server already configured");
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(directory_->Exists("Mail.Internet Services"));
  EXPECT_EQ(Read("Mail.Internet Services", "Quorvel:Host"), Values{"FS3.Acme"});
  EXPECT_EQ(Read("FS1.Acme", "Quorvel:Messaging Server"), Values{kMS1});
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{"Mail.Internet Services"});
}

TEST_F(MessagingServerObject, AFailedAddShowsTheErrorAndWritesNothingElse) {
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  driver.Then([](HWND d) {
    Fill(d, "MS2", "FS3.Acme", "Postie.Acme", "mail.example");  // the name is taken
    ClickItem(d, IDOK);
  });
  std::string created = "untouched";
  EXPECT_EQ(Create(&created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(created, "untouched");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-606] Directory Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "Entry already exists");
  EXPECT_TRUE(Read("FS3.Acme", "Quorvel:Messaging Server").empty());
  EXPECT_EQ(Read("MS2.Internet Services", "Quorvel:Host"), Values{"FS2.Acme"});
  EXPECT_TRUE(ModuleRequests().empty());
}

TEST_F(MessagingServerObject, ANameBeyondTheBrowseBufferIsRefusedNotCut) {
  const std::string container = "Internet Services";  // 17 characters and the "."
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  for (size_t length : {515 - container.size() - 1, 516 - container.size() - 1}) {
    driver.Then([length](HWND d) {
      Fill(d, std::string(length, 'n').c_str(), "FS3.Acme", "Postie.Acme", "mail.example");
      ClickItem(d, IDOK);
    });
  }
  EXPECT_EQ(Create(), QZX_CREATE_CANCELLED);  // 515: the directory refuses the long name
  EXPECT_EQ(Create(), QZX_CREATE_CANCELLED);  // 516: never sent
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  for (const auto& box : boxes.Boxes()) EXPECT_EQ(box.caption, "[-623] Directory Error");
  std::vector<zelm::host::DirEntry> children;
  zelm::host::ListChildren("Internet Services", &children);
  EXPECT_EQ(children.size(), 3u);  // MS1, MS2, MS3 only
  EXPECT_TRUE(ModuleRequests().empty());
}

TEST_F(MessagingServerObject, MorePropertiesOpensTheNewServersPagesAnotherAsksAgain) {
  std::vector<std::string> tabs;
  ModalDriver driver;
  driver.Then([](HWND d) {
    Fill(d, "First", "FS3.Acme", "Postie.Acme", "first.example");
    ClickItem(d, IDC_CMS_ANOTHER);
    ClickItem(d, IDOK);
  });
  driver.Then([](HWND d) {
    // The host asks again; this one is on a host without a server of its own.
    Fill(d, "Second", "MAIL1.Sales.Acme", "Postie.Acme", "second.example");
    ClickItem(d, IDC_CMS_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then([&](HWND sheet) {
    tabs = Tabs(sheet);
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
  std::string created;
  EXPECT_EQ(Create(&created), QZX_CREATE_OPEN_PAGES);
  EXPECT_EQ(created, "Second.Internet Services");
  EXPECT_EQ(tabs, (std::vector<std::string>{"Identification", "Security", "Statistics",
                                            "SNMP Configuration", "Status"}));
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{"First.Internet Services"});
  EXPECT_EQ(Read("MAIL1.Sales.Acme", "Quorvel:Messaging Server"),
            Values{"Second.Internet Services"});
  // Only FS3 answers requests; MAIL1 has no address to be reached at.
  EXPECT_EQ(ModuleRequests(), std::vector<std::string>{"load MSGSRV"});
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(MessagingServerObject, DeletionUnloadsTheModuleOnlyWithAutomaticReload) {
  ModalDriver driver;
  for (const char* name : {"Mail", "Mail2"}) {
    driver.Then([name](HWND d) {
      Fill(d, name, "FS3.Acme", "Postie.Acme", "mail.example");
      ClickItem(d, IDOK);
    });
  }
  auto remove = [&](const char* full) {
    zelm::host::DirEntry entry;
    EXPECT_EQ(zelm::host::ReadEntry(full, &entry), 0);
    EXPECT_EQ(zelm::host::DeleteObjects(owner_, {entry}, false), 1);
    EXPECT_FALSE(directory_->Exists(full));
  };
  ASSERT_EQ(Create(), QZX_CREATE_DONE);
  remove("Mail.Internet Services");
  EXPECT_EQ(ModuleRequests(), (std::vector<std::string>{"load MSGSRV", "unload MSGSRV"}));

  // FS3 still names the deleted server; a new one may run there all the same.
  g_snapin.autoReload = 0;
  ASSERT_EQ(Create(), QZX_CREATE_DONE);
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{"Mail2.Internet Services"});
  remove("Mail2.Internet Services");
  EXPECT_EQ(ModuleRequests().size(), 2u);
  EXPECT_TRUE(driver.Unexpected().empty());
}

}  // namespace
}  // namespace msgsrvtest
