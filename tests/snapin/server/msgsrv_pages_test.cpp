// The messaging server's security, statistics, SNMP and status pages in the
// host's sheet on a real directory; statistics and module loads go to the
// suite's request service over TCP.
#include <gtest/gtest.h>

#include <string.h>

#include "server_fixture.h"

namespace msgsrvtest {
namespace {

constexpr char kMessagingServerClass[] = "Quorvel:Messaging Server";
enum { kSecurityPage = 1, kStatisticsPage = 2, kSNMPPage = 3, kStatusPage = 4 };

class ServerPages : public ServerSnapin {
 protected:
  HWND Open(int index, const char* name = kMS1) {
    sheet_ = OpenSheet(name, kMessagingServerClass, index);
    page_ = sheet_ ? CurrentPage(sheet_) : nullptr;
    return page_;
  }
  void Reopen(int index, const char* name = kMS1) {
    if (sheet_) Close(sheet_);
    sheet_ = nullptr;
    Open(index, name);
  }
  void TearDown() override {
    if (sheet_) Close(sheet_);
    ServerSnapin::TearDown();
  }
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

// ---- security ------------------------------------------------------------------

TEST_F(ServerPages, SecurityBoxesFollowTheStoredBits) {
  struct Row {
    const char* stored;
    bool v2, v3, certificates;
  } rows[] = {
      {"5", false, true, true}, {"2", true, false, false}, {"7", true, true, true},
      {"1", false, false, true}, {"0", false, false, false}, {"rubbish", false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    Store(kMS1, "Quorvel:SSL Options", {row.stored});
    Reopen(kSecurityPage);
    ASSERT_NE(page_, nullptr);
    EXPECT_EQ(IsItemChecked(page_, IDC_MSS_SSLV2), row.v2);
    EXPECT_EQ(IsItemChecked(page_, IDC_MSS_SSLV3), row.v3);
    EXPECT_EQ(IsItemChecked(page_, IDC_MSS_CLIENT_CERTS), row.certificates);
    // Client certificates are offered only with SSLv3.
    EXPECT_EQ(IsItemEnabled(page_, IDC_MSS_CLIENT_CERTS), row.v3);
  }
}

TEST_F(ServerPages, SecurityStoresTheTickedBitsAlsoOfAGreyedBox) {
  ASSERT_NE(Open(kSecurityPage), nullptr);  // 5: SSLv3 and client certificates
  ClickItem(page_, IDC_MSS_SSLV3);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_MSS_CLIENT_CERTS));
  EXPECT_TRUE(IsItemChecked(page_, IDC_MSS_CLIENT_CERTS));
  EXPECT_TRUE(ApplyEnabled(sheet_));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:SSL Options"), Values{"1"});

  ClickItem(page_, IDC_MSS_SSLV3);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_MSS_CLIENT_CERTS));
  ClickItem(page_, IDC_MSS_CLIENT_CERTS);
  ClickItem(page_, IDC_MSS_SSLV2);
  EXPECT_TRUE(Apply(sheet_));  // again on the open sheet
  EXPECT_EQ(Read(kMS1, "Quorvel:SSL Options"), Values{"6"});
  ClickItem(page_, IDC_MSS_SSLV3);
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:SSL Options"), Values{"2"});  // only SSLv2
  EXPECT_TRUE(service_.Requests().empty());                  // no notice
}

TEST_F(ServerPages, SecurityWithoutTheRightShowsAndWritesNothing) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kSecurityPage), nullptr);
  for (int id : {IDC_MSS_SSLV2, IDC_MSS_SSLV3, IDC_MSS_CLIENT_CERTS, IDC_MSS_CERT_EDIT,
                 IDC_MSS_CERT_SPIN, IDC_MSS_CERT_LIST})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_TRUE(IsItemChecked(page_, IDC_MSS_SSLV3));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:SSL Options"), Values{"5"});
}

// ---- SNMP ------------------------------------------------------------------------

TEST_F(ServerPages, SNMPLocationShowsItsLinesAndKeepsTheirLineBreaks) {
  const struct {
    const char *stored, *shown, *typed, *written;
  } rows[] = {
      {"Basement\nRoom 2", "Basement\r\nRoom 2", "Basement\r\nRoom 3", "Basement\nRoom 3"},
      {"Basement\r\nRoom 2", "Basement\r\nRoom 2", "Floor 1\r\nRoom 3", "Floor 1\r\nRoom 3"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    Store(kMS1, "Quorvel:SNMP Location", {r.stored});
    Reopen(kSNMPPage);
    ASSERT_NE(page_, nullptr);
    EXPECT_EQ(ItemText(page_, IDC_MSN_LOCATION), r.shown);
    SetItemText(page_, IDC_MSN_NAME, "mail-one");  // something else changed
    EXPECT_TRUE(Apply(sheet_));
    EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Location"), Values{r.stored});
    SetItemText(page_, IDC_MSN_LOCATION, r.typed);
    EXPECT_TRUE(Apply(sheet_));
    EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Location"), Values{r.written});
  }
}

TEST_F(ServerPages, SNMPWritesItsFourFieldsInOrderAndStopsAtAnError) {
  ASSERT_NE(Open(kSNMPPage), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_MSN_ORGANIZATION), "Acme");
  EXPECT_EQ(ItemText(page_, IDC_MSN_LOCATION), "Basement");
  EXPECT_EQ(ItemText(page_, IDC_MSN_CONTACT), "Admin");
  EXPECT_EQ(ItemText(page_, IDC_MSN_NAME), "mail1");
  EXPECT_FALSE(ApplyEnabled(sheet_));
  SetItemText(page_, IDC_MSN_ORGANIZATION, "Acme Mail");
  EXPECT_TRUE(ApplyEnabled(sheet_));
  SetItemText(page_, IDC_MSN_LOCATION, "Floor 2\r\nRoom 9");
  SetItemText(page_, IDC_MSN_CONTACT, "");
  SetItemText(page_, IDC_MSN_NAME, "mail-one");
  Store(kMS1, "Quorvel:SNMP Contact", {"Someone else"});  // meanwhile
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_TRUE(HasFocus(page_, IDC_MSN_CONTACT));
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Organization"), Values{"Acme Mail"});
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Location"), Values{"Floor 2\r\nRoom 9"});
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Contact"), Values{"Someone else"});
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Name"), Values{"mail1"});
  Reopen(kSNMPPage);
  SetItemText(page_, IDC_MSN_CONTACT, "");
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(Read(kMS1, "Quorvel:SNMP Contact").empty());  // an empty field removes it
  EXPECT_TRUE(service_.Requests().empty());
}

TEST_F(ServerPages, SNMPTypingStopsAt254AndLongerStoredTextSurvivesAnApply) {
  std::string stored(600, 's');
  Store(kMS1, "Quorvel:SNMP Name", {stored});
  ASSERT_NE(Open(kSNMPPage), nullptr);
  HWND edit = GetDlgItem(page_, IDC_MSN_CONTACT);
  SetWindowTextA(edit, "");
  for (int i = 0; i < 255; ++i) SendMessageA(edit, WM_CHAR, 'c', 1);
  EXPECT_EQ(ItemText(page_, IDC_MSN_CONTACT), std::string(254, 'c'));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Contact"), Values{std::string(254, 'c')});
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Name"), Values{stored});
}

TEST_F(ServerPages, SNMPWithoutTheOrganizationsRightIsReadOnly) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kSNMPPage), nullptr);
  for (int id : {IDC_MSN_ORGANIZATION, IDC_MSN_LOCATION, IDC_MSN_CONTACT, IDC_MSN_NAME,
                 IDC_MSN_ORGANIZATION_LABEL, IDC_MSN_LOCATION_LABEL, IDC_MSN_CONTACT_LABEL,
                 IDC_MSN_NAME_LABEL})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:SNMP Organization"), Values{"Acme"});
}

// ---- status ----------------------------------------------------------------------

TEST_F(ServerPages, StatusShowsWhatTheServerReportsOrUnknown) {
  ASSERT_NE(Open(kStatusPage), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_MSU_ADDRESS), "10.1.2.3");
  EXPECT_EQ(ItemText(page_, IDC_MSU_STATE), "Up");
  EXPECT_FALSE(IsItemChecked(page_, IDC_MSU_DISABLE));
  Reopen(kStatusPage, "MS2.Internet Services");
  EXPECT_EQ(ItemText(page_, IDC_MSU_ADDRESS), "Unknown");
  EXPECT_EQ(ItemText(page_, IDC_MSU_STATE), "Unknown");
}

TEST_F(ServerPages, StatusDisablingUnloadsTheModuleAndEveryApplyTellsTheHost) {
  ASSERT_NE(Open(kStatusPage), nullptr);
  ClickItem(page_, IDC_MSU_DISABLE);
  EXPECT_TRUE(ApplyEnabled(sheet_));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Disabled"), Values{"1"});
  EXPECT_EQ(ModuleRequests(), std::vector<std::string>{"unload MSGSRV"});
  ClickItem(page_, IDC_MSU_DISABLE);
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Disabled"), Values{"0"});
  EXPECT_TRUE(Apply(sheet_));  // unchanged: the host hears it all the same
  EXPECT_EQ(ModuleRequests(),
            (std::vector<std::string>{"unload MSGSRV", "load MSGSRV", "load MSGSRV"}));

  g_snapin.autoReload = 0;
  ClickItem(page_, IDC_MSU_DISABLE);
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Disabled"), Values{"1"});
  EXPECT_EQ(ModuleRequests().size(), 3u);
}

TEST_F(ServerPages, StatusWithoutTheRightChangesNothingAndContactsNobody) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kStatusPage), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_MSU_DISABLE));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Disabled"), Values{"0"});
  EXPECT_EQ(service_.Connections(), 0);
}

TEST_F(ServerPages, StatusErrorKeepsTheSheetOpenOnTheBox) {
  ASSERT_NE(Open(kStatusPage), nullptr);
  ClickItem(page_, IDC_MSU_DISABLE);
  Store(kMS1, "Quorvel:Disabled", {});  // removed meanwhile
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_TRUE(HasFocus(page_, IDC_MSU_DISABLE));
  EXPECT_TRUE(ModuleRequests().empty());
}

// ---- statistics ------------------------------------------------------------------

std::string Reply(std::initializer_list<std::pair<int, uint32_t>> fields) {
  std::string r(140, '\0');
  for (const auto& f : fields)
    for (int i = 0; i < 4; ++i) r[f.first + i] = static_cast<char>(f.second >> (8 * i));
  return r;
}

TEST_F(ServerPages, StatisticsShowTheServersCountersAndFollowThemEveryTick) {
  service_.SetSendReply(Reply({{8, 90061}, {76, 999}, {80, 1}, {36, 2}, {44, 3}}));
  ASSERT_NE(Open(kStatisticsPage), nullptr);
  EXPECT_EQ(ItemText(page_, 10), kMS1);
  EXPECT_EQ(ItemText(page_, IDC_MST_UPTIME), "  1d 01h 01m 01s");
  EXPECT_EQ(ItemText(page_, IDC_MST_RECEIVED_LOCAL), "999");
  EXPECT_EQ(ItemText(page_, IDC_MST_RECEIVED_REMOTE), "  1");
  EXPECT_EQ(ItemText(page_, IDC_MST_CLIENTS), "  5");
  // The request is the 140-byte statistics query: code 4, nothing else.
  std::vector<ServiceRequest> requests = service_.Requests();
  ASSERT_FALSE(requests.empty());
  const ServiceRequest& query = requests.back();
  EXPECT_EQ(query.type, NCW_SEND);
  EXPECT_EQ(query.data, Reply({{0, 4}}));

  service_.SetSendReply(Reply({{8, 2}, {76, 1000}, {80, 2}}));
  EXPECT_TRUE(PumpUntil([&] { return ItemText(page_, IDC_MST_RECEIVED_LOCAL) == "  1,000"; }));
  EXPECT_EQ(ItemText(page_, IDC_MST_RECEIVED_RATE), "501.00");

  // Applied: the page stops asking.
  EXPECT_TRUE(Apply(sheet_));
  size_t asked = service_.Requests().size();
  service_.SetSendReply(Reply({{8, 3}}));
  DWORD until = GetTickCount() + 2000;  // longer than a tick
  PumpUntil([&] { return static_cast<int32_t>(GetTickCount() - until) > 0; }, 3000);
  EXPECT_EQ(service_.Requests().size(), asked);
  EXPECT_EQ(ItemText(page_, IDC_MST_UPTIME), "  0d 00h 00m 02s");
}

TEST_F(ServerPages, StatisticsShowNotAvailableWhileTheServerCannotAnswer) {
  ASSERT_NE(Open(kStatisticsPage, "MS2.Internet Services"), nullptr);  // nobody listens
  for (int id : {IDC_MST_UPTIME, IDC_MST_QUEUED_LOCAL, IDC_MST_KB_DELIVERED_RATE, IDC_MST_SERVERS})
    EXPECT_EQ(ItemText(page_, id), "n/a") << id;
  Close(sheet_);

  // A server without the request service, which comes up later.
  RequestService late;
  ASSERT_TRUE(late.Start());
  late.SetSendReply(Reply({{8, 61}}));
  Store("FS2.Acme", "Network Address", {late.Address()});
  sheet_ = OpenSheet("MS2.Internet Services", kMessagingServerClass, kStatisticsPage);
  page_ = CurrentPage(sheet_);
  EXPECT_EQ(ItemText(page_, IDC_MST_UPTIME), "n/a");
  late.AddService(kRequestService, 5);
  EXPECT_TRUE(PumpUntil([&] { return ItemText(page_, IDC_MST_UPTIME) == "  0d 00h 01m 01s"; }));
  Close(sheet_);
  sheet_ = nullptr;
  late.Stop();
}

TEST_F(ServerPages, StatisticsOfAServerThatComesUpWhileThePageIsOpenAreShown) {
  // MAIL1 has no address yet: no connection can be opened when the page opens.
  Store("MS3.Internet Services", "Quorvel:Host", {"MAIL1.Sales.Acme"});
  ASSERT_NE(Open(kStatisticsPage, "MS3.Internet Services"), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_MST_UPTIME), "n/a");
  RequestService late;  // started after the page opened
  ASSERT_TRUE(late.Start());
  late.AddService(kRequestService, 5);
  late.SetSendReply(Reply({{8, 61}, {92, 7}}));
  Store("MAIL1.Sales.Acme", "Network Address", {late.Address()});
  EXPECT_TRUE(PumpUntil([&] { return ItemText(page_, IDC_MST_UPTIME) == "  0d 00h 01m 01s"; }));
  EXPECT_EQ(ItemText(page_, IDC_MST_QUEUED_LOCAL), "  7");
  ASSERT_FALSE(late.Requests().empty());
  EXPECT_EQ(late.Requests().back().data, Reply({{0, 4}}));
  Close(sheet_);
  sheet_ = nullptr;
  late.Stop();
}

TEST_F(ServerPages, StatisticsOfAServerWithoutHostKeepTheirZeros) {
  ASSERT_NE(Open(kStatisticsPage, "MS3.Internet Services"), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_MST_UPTIME), "0");
  EXPECT_EQ(ItemText(page_, IDC_MST_CLIENTS), "0");
  EXPECT_EQ(service_.Connections(), 0);
}

}  // namespace
}  // namespace msgsrvtest
