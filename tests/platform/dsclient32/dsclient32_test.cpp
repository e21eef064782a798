// dsclient32.dll loaded by name and called by ordinal, as the snap-ins call
// it, against a real database file in a temporary folder or, in the ".ldap"
// variant, a real slapd; and against LDAP peers that fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "client_layer.h"
#include "dir_fixture.h"
#include "registry_sandbox.h"
#include "scripted_peer.h"
#include "test_directory.h"

namespace zelm::dsctest {
namespace {

using dir::testing::MakeDirectory;
using dir::testing::TempFolder;
using testdir::OverLdap;

const char kConfigKey[] = "Software\\Zelm\\Directory";

class ClientTest : public ::testing::Test {
 protected:
  // The library keeps the database it opened last open, so the folder of
  // the suite's databases goes only after the library is unloaded.
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    module_ = LoadLibraryA("dsclient32.dll");
    ASSERT_NE(module_, nullptr);
    ASSERT_TRUE(LoadApi(module_, &api_));
  }

  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    // Test processes run side by side in one prefix: each gets registry
    // hives of its own, which the library in this process then reads.
    registry_ = std::make_unique<RegistrySandbox>("dsclient32");
    ASSERT_TRUE(registry_->Ok());
    ++serial_;
    directory_ = std::make_unique<testdir::TestDirectory>(Tmp("d.zdb"), Tree());
    if (OverLdap() && directory_->Location().empty())
      GTEST_SKIP() << directory_->error();
    ASSERT_EQ(directory_->error(), "");
    As("Admin.Acme");
  }

  void TearDown() override {
    directory_.reset();
    registry_.reset();
  }

  // The directory the fixture starts with; tests may add to it.
  virtual std::string Tree() const { return dir::testing::kSmallTree; }

  void As(const char* identity) { directory_->As(identity); }
  dir::Backend* Admin() const { return directory_->Admin(); }
  std::vector<std::string> Values(const std::string& object, const std::string& attribute,
                                  int* result = nullptr) const {
    std::vector<dir::AttributeValues> read;
    int r = Admin()->Read(object, {attribute}, &read);
    if (result) *result = r;
    return r == 0 ? read[0].values : std::vector<std::string>();
  }

  // A path of this test's own in the suite's folder.
  static std::string Tmp(const std::string& name) {
    return folder_->File(std::to_string(serial_) + "-" + name);
  }

  // Joe's "Quorvel:EMail Address" as the directory holds it.
  std::vector<std::string> Addresses() { return Values("Joe.Sales.Acme", "Quorvel:EMail Address"); }

  int AddAddresses(int n, size_t length) {
    std::vector<dir::ValueIn> values;
    for (int i = 0; i < n; ++i) {
      char head[16];
      std::snprintf(head, sizeof head, "%04d-", i);
      values.push_back({DSC_SYNTAX_CI_STRING, head + std::string(length - 5, 'x')});
    }
    return Admin()->Modify("Joe.Sales.Acme", {{DSC_CHANGE_ADD_VALUE, "Quorvel:EMail Address", values}});
  }

  static HMODULE module_;
  static Api api_;
  static TempFolder* folder_;
  static int serial_;
  std::unique_ptr<RegistrySandbox> registry_;
  std::unique_ptr<testdir::TestDirectory> directory_;
  Layer layer_{api_};
};

HMODULE ClientTest::module_ = nullptr;
Api ClientTest::api_ = {};
TempFolder* ClientTest::folder_ = nullptr;
int ClientTest::serial_ = 0;

TEST_F(ClientTest, ExportsOnlyByOrdinal) {
  EXPECT_EQ(GetProcAddress(module_, "DSCCreateContext"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(1009)), nullptr);
  EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(1165)), nullptr);
  EXPECT_NE(GetProcAddress(module_, MAKEINTRESOURCEA(1164)), nullptr);
}

TEST_F(ClientTest, ContextsKeepOptionBitsAndNameContext) {
  int32_t ctx = api_.createContext();
  ASSERT_GT(ctx, 0);
  uint32_t options = 0xFFFF;
  ASSERT_EQ(api_.getContextKey(ctx, DSC_KEY_OPTIONS, &options), 0);
  EXPECT_EQ(options, 0u);
  options = 0x47 | 0x100;
  ASSERT_EQ(api_.setContextKey(ctx, DSC_KEY_OPTIONS, &options), 0);
  options = 0;
  api_.getContextKey(ctx, DSC_KEY_OPTIONS, &options);
  EXPECT_EQ(options, 0x147u);

  char name[DSC_NAME_BYTES + 2];
  api_.getContextKey(ctx, DSC_KEY_NAME_CONTEXT, name);
  EXPECT_STREQ(name, "[Root]");
  ASSERT_EQ(api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, "Sales.Acme."), 0);
  api_.getContextKey(ctx, DSC_KEY_NAME_CONTEXT, name);
  EXPECT_STREQ(name, "Sales.Acme.");
  EXPECT_EQ(api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, "Sales..Acme"), DSC_ERR_BAD_NAME);
  EXPECT_EQ(api_.setContextKey(ctx, 2, &options), DSC_ERR_INVALID_REQUEST);

  // A name context of the longest name with a dot on both sides still fits.
  std::string p(63, 'p');
  std::string longest = "." + p + "." + p + "." + p + "." + p + "q.";
  ASSERT_EQ(longest.size(), DSC_NAME_BYTES + 1u);
  ASSERT_EQ(api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, longest.c_str()), 0);
  api_.getContextKey(ctx, DSC_KEY_NAME_CONTEXT, name);
  EXPECT_EQ(longest, name);
  EXPECT_EQ(api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, (longest + "x").c_str()), DSC_ERR_BAD_NAME);

  ASSERT_EQ(api_.freeContext(ctx), 0);
  EXPECT_EQ(api_.getContextKey(ctx, DSC_KEY_OPTIONS, &options), DSC_ERR_INVALID_REQUEST);
  EXPECT_EQ(api_.freeContext(ctx), DSC_ERR_INVALID_REQUEST);
}

TEST_F(ClientTest, ReadsManyValuesAcrossIterationsAndGrowingBuffers) {
  ASSERT_EQ(AddAddresses(500, 40), 0);
  const std::vector<std::string> want = Addresses();

  std::vector<std::string> got = layer_.ReadValues("Sales.Acme.", "Joe.Sales.Acme", "Quorvel:EMail Address");
  EXPECT_EQ(got, want);
  EXPECT_GT(layer_.rounds, 4);  // 500 values of 44 bytes do not fit 4,096
  EXPECT_EQ(layer_.grows, 0);

  // Starting from buffers too small for anything: -304 and -649 make them grow.
  layer_.rounds = 0;
  got = layer_.ReadValues("Sales.Acme.", "Joe.Sales.Acme", "Quorvel:EMail Address", 16);
  EXPECT_EQ(got, want);
  EXPECT_EQ(layer_.grows, 2);
}

TEST_F(ClientTest, ValuesAtTheLimitFitTheirBuffer) {
  const std::string longest(DSC_VALUE_BYTES - 1, 'L');
  ASSERT_EQ(layer_.ReplaceValues({}, {longest}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:Reply Message", DSC_SYNTAX_CI_STRING),
            0);
  std::vector<std::string> got =
      layer_.ReadValues("Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Reply Message", 64);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], longest);
  // One past the limit: the whole request is refused, the old value kept.
  EXPECT_EQ(layer_.ReplaceValues({longest}, {longest + "M"}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:Reply Message", DSC_SYNTAX_CI_STRING),
            DSC_ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:Reply Message"), std::vector<std::string>{longest});
}

TEST_F(ClientTest, AResultTooSmallForOneValueAnswers649AndKeepsTheIteration) {
  ASSERT_EQ(AddAddresses(6, 100), 0);
  int32_t ctx = layer_.OpenContext(nullptr);
  DSCBuffer *names, *small, *roomy;
  api_.allocBuffer(64, &names);
  api_.allocBuffer(40, &small);
  api_.allocBuffer(256, &roomy);
  api_.initBuffer(ctx, DSC_OP_READ, names);
  ASSERT_EQ(api_.putAttributeName(ctx, names, "Quorvel:EMail Address"), 0);

  int32_t iteration = DSC_NO_ITERATION;
  EXPECT_EQ(api_.read(ctx, "Joe.Sales.Acme", 1, 0, names, &iteration, small), DSC_ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(iteration, DSC_NO_ITERATION);
  ASSERT_EQ(api_.read(ctx, "Joe.Sales.Acme", 1, 0, names, &iteration, roomy), 0);
  ASSERT_NE(iteration, DSC_NO_ITERATION);
  const int32_t handle = iteration;
  uint32_t count = 0, n = 0, syntax = 0;
  char name[DSC_SCHEMA_NAME_BYTES], value[DSC_VALUE_BYTES];
  ASSERT_EQ(api_.getAttributeCount(ctx, roomy, &count), 0);
  ASSERT_EQ(count, 1u);
  ASSERT_EQ(api_.getAttributeName(ctx, roomy, name, &n, &syntax), 0);
  EXPECT_STREQ(name, "Quorvel:EMail Address");
  EXPECT_EQ(syntax, uint32_t(DSC_SYNTAX_CI_STRING));
  EXPECT_EQ(n, 2u);  // two 104-byte values and the head fit 256 bytes
  int taken = 0;
  while (api_.getValue(ctx, roomy, syntax, value) == 0) ++taken;
  EXPECT_EQ(taken, 2);
  EXPECT_EQ(api_.getAttributeName(ctx, roomy, name, &n, &syntax), DSC_ERR_NO_SUCH_ATTRIBUTE);

  EXPECT_EQ(api_.read(ctx, "Joe.Sales.Acme", 1, 0, names, &iteration, small), DSC_ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(iteration, handle);
  int rest = 0;
  while (iteration != DSC_NO_ITERATION) {
    ASSERT_EQ(api_.read(ctx, "Joe.Sales.Acme", 1, 0, names, &iteration, roomy), 0);
    api_.getAttributeName(ctx, roomy, name, &n, &syntax);
    rest += n;
  }
  EXPECT_EQ(rest, 4);
  // A finished iteration is gone.
  iteration = handle;
  EXPECT_EQ(api_.read(ctx, "Joe.Sales.Acme", 1, 0, names, &iteration, roomy), DSC_ERR_INVALID_REQUEST);
  for (DSCBuffer* b : {names, small, roomy}) api_.freeBuffer(b);
  api_.freeContext(ctx);
}

// A read hands out the syntax each value was written with, whatever the
// result buffer's size: one item per run of values of one syntax.
TEST_F(ClientTest, ReadsGiveTheSyntaxEachValueWasWrittenWith) {
  using dir::testing::Name;
  using dir::testing::Text;
  ASSERT_EQ(Admin()->Modify("MS1.Internet Services",
                            {{dir::kChangeAddValue, "Quorvel:Context",
                              {Name("A.Acme"), Text("B.Acme"), Text("C.Acme"), Name("D.Acme")}}}),
            0);
  // The order of values written with different syntaxes is the file's own;
  // an LDAP server keeps them grouped by syntax.
  const std::vector<std::pair<std::string, uint32_t>> want = {
      {"A.Acme", DSC_SYNTAX_DIST_NAME}, {"B.Acme", DSC_SYNTAX_CI_STRING},
      {"C.Acme", DSC_SYNTAX_CI_STRING}, {"D.Acme", DSC_SYNTAX_DIST_NAME}};
  for (uint32_t size : {4096u, 40u}) {
    std::vector<uint32_t> syntaxes;
    int r = -1;
    std::vector<std::string> values =
        layer_.ReadValues("[Root]", "MS1.Internet Services", "Quorvel:Context", size, &r, &syntaxes);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(values.size(), syntaxes.size());
    std::vector<std::pair<std::string, uint32_t>> got;
    for (size_t i = 0; i < values.size(); ++i) got.emplace_back(values[i], syntaxes[i]);
    if (OverLdap()) std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want) << size;
  }
  // A text value written with syntax 3 to a reference attribute comes back as 3.
  ASSERT_EQ(layer_.ReplaceValues({"FS1.Acme"}, {"FS2.Acme"}, "[Root]", "MS1.Internet Services",
                                 "Quorvel:Host", DSC_SYNTAX_CI_STRING),
            0);
  std::vector<uint32_t> host;
  layer_.ReadValues("[Root]", "MS1.Internet Services", "Quorvel:Host", 4096, nullptr, &host);
  EXPECT_EQ(host, std::vector<uint32_t>{DSC_SYNTAX_CI_STRING});
}

TEST_F(ClientTest, PutsAnswerBufferFullAndLeaveTheBufferAsItWas) {
  int32_t ctx = layer_.OpenContext(nullptr);
  DSCBuffer* b = nullptr;
  ASSERT_EQ(api_.allocBuffer(39, &b), 0);
  ASSERT_EQ(api_.initBuffer(ctx, DSC_OP_MODIFY_OBJECT, b), 0);
  EXPECT_EQ(api_.putValue(ctx, b, DSC_SYNTAX_CI_STRING, "x"), DSC_ERR_INVALID_REQUEST);  // no change yet
  ASSERT_EQ(api_.putChange(ctx, b, DSC_CHANGE_ADD_VALUE, "Quorvel:Privacy"), 0);
  EXPECT_EQ(b->length, 4u + 12u + 15u);  // count; code, length, name, value count
  const uint32_t length = b->length;
  EXPECT_EQ(api_.putValue(ctx, b, DSC_SYNTAX_CI_STRING, "2"), DSC_ERR_BUFFER_FULL);  // 9 > 8 left
  EXPECT_EQ(b->length, length);
  EXPECT_EQ(api_.putValue(ctx, b, 7, "2"), DSC_ERR_BAD_SYNTAX);
  EXPECT_EQ(api_.putChange(ctx, b, 4, "Quorvel:Privacy"), DSC_ERR_INVALID_REQUEST);
  EXPECT_EQ(api_.putAttributeName(ctx, b, "Quorvel:Privacy"), DSC_ERR_INVALID_REQUEST);

  ASSERT_TRUE(layer_.Grow(&b));
  ASSERT_EQ(api_.putValue(ctx, b, DSC_SYNTAX_CI_STRING, "2"), 0);
  ASSERT_EQ(api_.modifyObject(ctx, "Joe.Sales.Acme", nullptr, 0, b), 0);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:Privacy"), std::vector<std::string>{"2"});
  api_.freeBuffer(b);
  api_.freeContext(ctx);
}

TEST_F(ClientTest, ReplacingValuesSendsOnlyTheDifferences) {
  ASSERT_EQ(layer_.ReplaceValues({}, {"a", "B"}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING, 8),
            0);
  EXPECT_GT(layer_.grows, 0);
  // Old a and B, new b and c: a is removed, c added, B stays as it is.
  ASSERT_EQ(layer_.ReplaceValues({"a", "B"}, {"b", "c"}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING, 8),
            0);
  EXPECT_EQ(Addresses(), (std::vector<std::string>{"B", "c"}));
  // A stale old list: nothing changes, the caller hears why.
  EXPECT_EQ(layer_.ReplaceValues({"a"}, {"d"}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING),
            DSC_ERR_NO_SUCH_VALUE);
  // An empty new list removes; a request with no change at all succeeds.
  ASSERT_EQ(layer_.ReplaceValues({"B", "c"}, {}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING),
            0);
  EXPECT_TRUE(Addresses().empty());
  EXPECT_EQ(layer_.ReplaceValues({}, {""}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING),
            0);
  EXPECT_EQ(layer_.ReplaceValues({}, {"x"}, "Sales.Acme.", "Nobody.Sales.Acme",
                                 "Quorvel:EMail Address", DSC_SYNTAX_CI_STRING),
            DSC_ERR_NO_SUCH_ENTRY);
}

TEST_F(ClientTest, AddsAnObjectWithItsFirstAttributesInOneRequest) {
  const std::vector<AttributeSpec> attrs = {
      {"Quorvel:Module Name", DSC_SYNTAX_DIST_NAME, {"SMTPAGNT.QMD"}},
      {"Quorvel:Module Version", DSC_SYNTAX_DIST_NAME, {"1"}},
      {"Quorvel:Domain", DSC_SYNTAX_CI_STRING, {"acme.example"}},
      {"Quorvel:ZELM Queue Server", DSC_SYNTAX_DIST_NAME, {"ZELM Agent.MS1.Internet Services"}}};
  ASSERT_EQ(layer_.AddObject("SMTP Agent.MS1.Internet Services", "Quorvel:SMTP Agent", attrs, 8), 0);
  EXPECT_EQ(layer_.grows, 1);  // 8 bytes, then 4,104
  EXPECT_EQ(layer_.ReadValues("MS1.Internet Services.", "SMTP Agent.MS1.Internet Services",
                              "Quorvel:Domain"),
            std::vector<std::string>{"acme.example"});
  EXPECT_EQ(layer_.AddObject("SMTP Agent.MS1.Internet Services", "Quorvel:SMTP Agent", attrs),
            DSC_ERR_ENTRY_EXISTS);
  EXPECT_EQ(layer_.AddObject("X.MS1.Internet Services", "Quorvel:Fax Agent", {}), DSC_ERR_NO_SUCH_CLASS);
  EXPECT_EQ(layer_.AddObject("X.MS9.Internet Services", "Quorvel:POP Agent", {}), DSC_ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(layer_.AddObject("X.MS1.Internet Services", "Quorvel:POP Agent",
                             {{"Quorvel:Port", DSC_SYNTAX_CI_STRING, {"110"}}}),
            DSC_ERR_ILLEGAL_ATTRIBUTE);
}

TEST_F(ClientTest, WritesWithoutRightsFailWhateverTheCallerAskedBefore) {
  As("Joe.Sales.Acme");
  int32_t ctx = layer_.OpenContext("Sales.Acme.");
  uint32_t rights = 0xFF;
  ASSERT_GE(api_.getEffectiveRights(ctx, nullptr, "Joe.Sales.Acme", "Quorvel:Privacy", &rights), 0);
  EXPECT_EQ(rights & DSC_ATTR_WRITE, 0u);
  api_.freeContext(ctx);
  EXPECT_EQ(layer_.ReplaceValues({}, {"2"}, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Privacy",
                                 DSC_SYNTAX_CI_STRING),
            DSC_ERR_NO_ACCESS);
  EXPECT_EQ(layer_.AddObject("New.Sales.Acme", "User", {}), DSC_ERR_NO_ACCESS);
  ctx = layer_.OpenContext(nullptr);
  EXPECT_EQ(api_.removeObject(ctx, "Kim.East.Sales.Acme"), DSC_ERR_NO_ACCESS);
  api_.freeContext(ctx);
  int r = 0;
  Values("Joe.Sales.Acme", "Quorvel:Privacy", &r);
  EXPECT_EQ(r, DSC_ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_FALSE(directory_->Exists("New.Sales.Acme"));
  EXPECT_TRUE(directory_->Exists("Kim.East.Sales.Acme"));
}

TEST_F(ClientTest, GrantedWritesPassAndRightsOfOthersAreTold) {
  As("Joe.Sales.Acme");
  int32_t ctx = layer_.OpenContext(nullptr);
  EXPECT_EQ(api_.setRights(ctx, "Joe.Sales.Acme", "Joe.Sales.Acme", "[Entry Rights]",
                           DSC_ENTRY_SUPERVISOR),
            DSC_ERR_NO_ACCESS);
  api_.freeContext(ctx);

  As("Manager.Sales.Acme");
  uint32_t rights = 0;
  ctx = layer_.OpenContext("Sales.Acme.");
  ASSERT_GE(api_.getEffectiveRights(ctx, nullptr, "Joe.Sales.Acme", "Quorvel:Privacy", &rights), 0);
  EXPECT_NE(rights & DSC_ATTR_WRITE, 0u);
  // A server judges only the rights of the identity bound to it.
  int others = api_.getEffectiveRights(ctx, "Joe.Sales.Acme", "Joe.Sales.Acme", "Quorvel:Privacy",
                                       &rights);
  if (OverLdap()) {
    EXPECT_EQ(others, DSC_ERR_INVALID_REQUEST);
  } else {
    ASSERT_GE(others, 0);
    EXPECT_EQ(rights & DSC_ATTR_WRITE, 0u);
  }
  EXPECT_EQ(api_.getEffectiveRights(ctx, nullptr, "Joe.Sales.Acme", "Shoe Size", &rights),
            DSC_ERR_NO_SUCH_ATTRIBUTE);
  api_.freeContext(ctx);
  EXPECT_EQ(layer_.ReplaceValues({}, {"2"}, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Privacy",
                                 DSC_SYNTAX_CI_STRING),
            0);
  EXPECT_EQ(layer_.AddObject("New.Sales.Acme", "User", {}), 0);
}

// Rights to an attribute, to all attributes and to the object itself, as
// the directory (over LDAP the server) judges them for who is asking.
TEST_F(ClientTest, EffectiveRightsOfEachScope) {
  struct Case {
    const char* who;
    const char* object;
    const char* scope;
    uint32_t mask;
    uint32_t want;
  } cases[] = {
      {"Admin.Acme", "Joe.Sales.Acme", "Quorvel:Privacy", DSC_ATTR_WRITE, DSC_ATTR_WRITE},
      {"Admin.Acme", "Joe.Sales.Acme", "[All Attributes Rights]", DSC_ATTR_WRITE, DSC_ATTR_WRITE},
      {"Admin.Acme", "Sales.Acme", "[Entry Rights]", 7, 7},
      {"Admin.Acme", "[Root]", "[Entry Rights]", 7, 7},
      {"Joe.Sales.Acme", "Joe.Sales.Acme", "[All Attributes Rights]", DSC_ATTR_WRITE, 0},
      {"Joe.Sales.Acme", "Sales.Acme", "[Entry Rights]", 7, DSC_ENTRY_BROWSE},
      {"Joe.Sales.Acme", "Kim.East.Sales.Acme", "[Entry Rights]", 7, DSC_ENTRY_BROWSE},
  };
  for (const Case& c : cases) {
    As(c.who);
    int32_t ctx = layer_.OpenContext(nullptr);
    uint32_t rights = 0xFFFF;
    EXPECT_GE(api_.getEffectiveRights(ctx, nullptr, c.object, c.scope, &rights), 0);
    EXPECT_EQ(rights & c.mask, c.want) << c.who << " " << c.object << " " << c.scope;
    api_.freeContext(ctx);
  }
  EXPECT_FALSE(directory_->Exists("zelm:probe.Sales.Acme"));
}

TEST_F(ClientTest, IdentityOfObjectsAndWhoIsAsking) {
  int32_t ctx = layer_.OpenContext("Sales.Acme");
  DSCObjectInfo info;
  char dn[DSC_NAME_BYTES];
  ASSERT_EQ(api_.readObjectInfo(ctx, "joe", &info, dn), 0);
  EXPECT_STREQ(dn, "Joe.Sales.Acme");
  EXPECT_STREQ(info.className, "User");
  EXPECT_EQ(info.flags, 0u);
  ASSERT_EQ(api_.readObjectInfo(ctx, ".Internet Services", &info, nullptr), 0);
  EXPECT_EQ(info.flags, uint32_t(DSC_OBJECT_CONTAINER));
  EXPECT_EQ(info.subordinateCount, 1u);
  ASSERT_EQ(api_.readObjectInfo(ctx, "[Root]", nullptr, dn), 0);
  EXPECT_STREQ(dn, "[Root]");
  EXPECT_EQ(api_.readObjectInfo(ctx, "Nobody", &info, dn), DSC_ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(api_.readObjectInfo(ctx, "Bad..Name", &info, dn), DSC_ERR_BAD_NAME);
  ASSERT_EQ(api_.whoAmI(ctx, dn), 0);
  EXPECT_STREQ(dn, "Admin.Acme");
  api_.freeContext(ctx);
}

TEST_F(ClientTest, ServerConnectionsNeedAServerAnAddressAndAUser) {
  int32_t ctx = layer_.OpenContext(nullptr);
  uint32_t conn = 0;
  char address[64];
  ASSERT_EQ(api_.openConnection(ctx, "FS1.Acme", &conn), 0);
  EXPECT_EQ(api_.getConnectionAddress(conn, address, sizeof address), DSC_ERR_NO_ACCESS);
  ASSERT_EQ(api_.authenticateConnection(ctx, conn), 0);
  ASSERT_EQ(api_.getConnectionAddress(conn, address, sizeof address), 0);
  EXPECT_STREQ(address, "127.0.0.9");
  EXPECT_EQ(api_.getConnectionAddress(conn, address, 9), DSC_ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(api_.getConnectionAddress(conn, address, 10), 0);
  EXPECT_EQ(api_.openConnection(ctx, "Joe.Sales.Acme", &conn), DSC_ERR_INVALID_REQUEST);
  EXPECT_EQ(api_.openConnection(ctx, "FS9.Acme", &conn), DSC_ERR_NO_SUCH_ENTRY);
  ASSERT_EQ(api_.openConnection(ctx, "FS1.Acme", &conn), 0);
  api_.freeContext(ctx);
  EXPECT_EQ(api_.getConnectionAddress(conn, address, sizeof address), DSC_ERR_INVALID_REQUEST);

  ASSERT_EQ(Admin()->Add("FS2.Acme", dir::testing::OfClass("HVX Server")), 0);
  ctx = layer_.OpenContext(nullptr);
  EXPECT_EQ(api_.openConnection(ctx, "FS2.Acme", &conn), DSC_ERR_NO_SUCH_ATTRIBUTE);
  api_.freeContext(ctx);
  // An identity that is no user: over the file it reads but may not talk to
  // servers; over LDAP it cannot even log in.
  As("Nobody.Acme");
  ctx = layer_.OpenContext(nullptr);
  if (OverLdap()) {
    EXPECT_EQ(api_.openConnection(ctx, "FS1.Acme", &conn), DSC_ERR_NO_SUCH_ENTRY);
  } else {
    ASSERT_EQ(api_.openConnection(ctx, "FS1.Acme", &conn), 0);
    EXPECT_EQ(api_.authenticateConnection(ctx, conn), DSC_ERR_NO_ACCESS);
  }
  api_.freeContext(ctx);
}

// Logins over LDAP: the password given by the process (1207) or named by
// ZELM_LDAP_PASSWORD_FILE is proved by a bind; a missing, too long or wrong
// one fails each call with -672 and says why.
TEST_F(ClientTest, LoginsAreProvedByTheServer) {
  if (!OverLdap()) GTEST_SKIP() << "logins are proved on an LDAP server only";
  const std::string longest(DSC_PASSWORD_BYTES - 1, 'p');
  ASSERT_EQ(Admin()->Modify("Kim.East.Sales.Acme",
                            {{dir::kChangeAddValue, "Password", {{DSC_SYNTAX_CE_STRING, longest}}}}),
            0);
  const std::string file = Tmp("password");
  auto check = [&](const char* label, int want, const char* who, const char* reason) {
    int32_t ctx = layer_.OpenContext(nullptr);
    char identity[DSC_NAME_BYTES] = "?", text[512] = "";
    EXPECT_EQ(api_.whoAmI(ctx, identity), want) << label;
    if (want == 0) {
      EXPECT_STREQ(identity, who) << label;
    }
    api_.getErrorText(ctx, text, sizeof text);
    if (reason) {
      EXPECT_NE(std::string(text).find(reason), std::string::npos) << label << ": " << text;
    }
    api_.freeContext(ctx);
  };
  auto passwordFile = [&](const std::string& text) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
    SetEnvironmentVariableA("ZELM_LDAP_PASSWORD_FILE", file.c_str());
  };

  As("Joe.Sales.Acme");
  SetEnvironmentVariableA("ZELM_LDAP_PASSWORD_FILE", nullptr);
  check("no password", DSC_ERR_NO_ACCESS, nullptr, "no login for Joe.Sales.Acme");
  passwordFile("Secret\r\n");
  check("password file", 0, "Joe.Sales.Acme", nullptr);
  passwordFile("wrong\n");
  check("wrong password in the file", DSC_ERR_NO_ACCESS, nullptr, "wrong password");
  SetEnvironmentVariableA("ZELM_IDENTITY", "Kim.East.Sales.Acme");
  passwordFile(longest + "\n");
  check("the longest password from a file", 0, "Kim.East.Sales.Acme", nullptr);
  passwordFile(longest + "p\n");
  check("a file holding a longer line", DSC_ERR_NO_ACCESS, nullptr, "at most 255");

  // A login given by the process wins over the configuration.
  EXPECT_EQ(api_.setLogin("Bad..Name", "x"), DSC_ERR_BAD_NAME);
  EXPECT_EQ(api_.setLogin("Kim.East.Sales.Acme", (longest + "p").c_str()), DSC_ERR_INVALID_REQUEST);
  ASSERT_EQ(api_.setLogin(".Kim.East.Sales.Acme", longest.c_str()), 0);
  check("the longest password given", 0, "Kim.East.Sales.Acme", nullptr);
  ASSERT_EQ(api_.setLogin("Joe.Sales.Acme", "secret"), 0);
  check("passwords are exact", DSC_ERR_NO_ACCESS, nullptr, "wrong password for Joe.Sales.Acme");
  ASSERT_EQ(api_.setLogin("Nobody.Acme", "x"), 0);
  check("no such user", DSC_ERR_NO_SUCH_ENTRY, nullptr, "no such user: Nobody.Acme");
  passwordFile(longest);
  ASSERT_EQ(api_.setLogin(nullptr, nullptr), 0);
  check("the configuration again", 0, "Kim.East.Sales.Acme", nullptr);
  DeleteFileA(file.c_str());
}

// A directory server that is not there, says nothing, or breaks off its
// answer: each call fails with -632 and the reason, within the wait; for a
// while afterwards calls fail at once instead of waiting again.
TEST_F(ClientTest, AServerThatFailsGivesASystemFailureWithinTheWait) {
  // What a server answers to the bind (message 1, success), then the start
  // of an entry for the search (message 2) that announces 256 bytes.
  const std::string bound("\x30\x0c\x02\x01\x01\x61\x07\x0a\x01\x00\x04\x00\x04\x00", 14);
  const std::string cut("\x30\x82\x01\x00\x02\x01\x02\x64\x81\xfa\x04\x06o=Zelm", 18);
  struct Case {
    const char* label;
    std::vector<PeerStep> script;  // none: nothing listens
    const char* reason;
  } cases[] = {
      {"down", {}, "Can't contact"},
      {"silent", {Hold(8000)}, "Timed out"},
      {"closes mid-answer", {Send(bound), Delay(300), Send(cut), CloseNow()}, "search:"},
  };
  SetEnvironmentVariableA("ZELM_LDAP_TIMEOUT_MS", "2000");
  ASSERT_EQ(api_.setLogin("", "x"), 0);
  for (const Case& c : cases) {
    ScriptedPeer peer;
    std::string address = "ldap://127.0.0.1:1/o=Zelm";
    if (!c.script.empty()) {
      ASSERT_TRUE(peer.Start(c.script));
      address = std::string("ldap://") + peer.Address() + ":999/o=Zelm";
    }
    SetEnvironmentVariableA("ZELM_DIRECTORY", address.c_str());
    int32_t ctx = layer_.OpenContext(nullptr);
    ASSERT_GT(ctx, 0) << c.label;
    DWORD start = GetTickCount();
    DSCObjectInfo info;
    EXPECT_EQ(api_.readObjectInfo(ctx, "Acme", &info, nullptr), DSC_ERR_SYSTEM_FAILURE) << c.label;
    EXPECT_LT(GetTickCount() - start, 10000u) << c.label;
    char text[512] = "";
    ASSERT_EQ(api_.getErrorText(ctx, text, sizeof text), 0);
    EXPECT_NE(std::string(text).find(c.reason), std::string::npos) << c.label << ": " << text;
    EXPECT_EQ(std::string(text).rfind(address, 0), 0u) << c.label << ": " << text;
    // The text fits a buffer of its length and a NUL, not one byte less.
    const uint32_t length = static_cast<uint32_t>(strlen(text));
    EXPECT_EQ(api_.getErrorText(ctx, text, length + 1), 0);
    EXPECT_EQ(api_.getErrorText(ctx, text, length), DSC_ERR_INSUFFICIENT_BUFFER);
    start = GetTickCount();
    EXPECT_EQ(api_.readObjectInfo(ctx, "Acme", &info, nullptr), DSC_ERR_SYSTEM_FAILURE) << c.label;
    EXPECT_LT(GetTickCount() - start, 1000u) << c.label << ": waited again";
    api_.freeContext(ctx);
  }
  api_.setLogin(nullptr, nullptr);
  SetEnvironmentVariableA("ZELM_LDAP_TIMEOUT_MS", nullptr);
}

class ListTest : public ClientTest {
 protected:
  std::string Tree() const override {
    std::string text = dir::testing::kSmallTree;
    for (int i = 0; i < 300; ++i) text += "object U" + std::to_string(i) + ".East.Sales.Acme : User\n";
    return text;
  }
};

TEST_F(ListTest, ListsManyObjectsInNameOrderAcrossIterations) {
  int r = 0;
  std::vector<std::string> names = layer_.List(".East.Sales.Acme", 1024, &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(names.size(), 301u);
  EXPECT_GT(layer_.rounds, 3);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  }));
  EXPECT_EQ(names.front(), "Kim");

  layer_.List(".East.Sales.Acme", 8, &r);
  EXPECT_EQ(r, DSC_ERR_INSUFFICIENT_BUFFER);
  layer_.List(".Nowhere.Acme", 4096, &r);
  EXPECT_EQ(r, DSC_ERR_NO_SUCH_ENTRY);
}

TEST_F(ListTest, AnAbandonedListIsGone) {
  int32_t ctx = layer_.OpenContext(nullptr);
  DSCBuffer* reply = nullptr;
  api_.allocBuffer(512, &reply);
  int32_t iteration = DSC_NO_ITERATION;
  ASSERT_EQ(api_.list(ctx, ".East.Sales.Acme", &iteration, reply), 0);
  ASSERT_NE(iteration, DSC_NO_ITERATION);
  uint32_t count = 0, attrs = 0;
  ASSERT_EQ(api_.getObjectCount(ctx, reply, &count), 0);
  char name[DSC_NAME_BYTES];
  DSCObjectInfo info;
  for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(api_.getObjectName(ctx, reply, name, &attrs, &info), 0);
  EXPECT_EQ(api_.getObjectName(ctx, reply, name, &attrs, &info), DSC_ERR_NO_SUCH_ENTRY);
  EXPECT_STREQ(info.className, "User");
  EXPECT_EQ(attrs, 1u);

  EXPECT_EQ(api_.closeIteration(ctx, iteration, DSC_OP_LIST), 0);
  EXPECT_EQ(api_.list(ctx, ".East.Sales.Acme", &iteration, reply), DSC_ERR_INVALID_REQUEST);
  EXPECT_EQ(api_.closeIteration(ctx, DSC_NO_ITERATION, DSC_OP_LIST), 0);
  api_.freeBuffer(reply);
  api_.freeContext(ctx);
}

// Configuration: environment, then registry, then the profile's default.
class ConfigTest : public ClientTest {};

TEST_F(ConfigTest, WithoutConfigurationTheProfileGetsTheSampleDirectory) {
  SetEnvironmentVariableA("ZELM_DIRECTORY", nullptr);
  SetEnvironmentVariableA("ZELM_IDENTITY", nullptr);
  const std::string profile = Tmp("profile");
  SetEnvironmentVariableA("APPDATA", profile.c_str());
  int32_t ctx = api_.createContext();
  SetEnvironmentVariableA("APPDATA", nullptr);
  ASSERT_GT(ctx, 0);
  EXPECT_TRUE(dir::PathExists(profile + "\\Zelm\\directory.zdb"));
  EXPECT_TRUE(dir::PathExists(profile + "\\Zelm\\volumes\\FS1\\SYS"));
  char who[DSC_NAME_BYTES];
  ASSERT_EQ(api_.whoAmI(ctx, who), 0);
  EXPECT_STREQ(who, "Admin.Acme");
  DSCObjectInfo info;
  ASSERT_EQ(api_.readObjectInfo(ctx, ".Internet Services", &info, nullptr), 0);
  EXPECT_STREQ(info.className, "Quorvel:Services");
  api_.freeContext(ctx);
  EXPECT_EQ(layer_.ReadValues("Acme.", "FS1.Acme", "Network Address"), std::vector<std::string>{"127.0.0.1"});
}

TEST_F(ConfigTest, TheEnvironmentWinsOverTheRegistry) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kConfigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::string other = Tmp("other.zdb");
  ASSERT_TRUE(MakeDirectory(other, std::string(dir::testing::kSmallTree) + "object Only.Acme : User\n"));
  RegSetValueExA(key, "Database", 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                 static_cast<DWORD>(other.size() + 1));
  RegSetValueExA(key, "Identity", 0, REG_SZ, reinterpret_cast<const BYTE*>("Joe.Sales.Acme"), 15);
  RegCloseKey(key);

  char who[DSC_NAME_BYTES];
  int32_t ctx = api_.createContext();  // environment: the fixture's database, Admin
  api_.whoAmI(ctx, who);
  EXPECT_STREQ(who, "Admin.Acme");
  EXPECT_EQ(api_.readObjectInfo(ctx, "Only.Acme", nullptr, nullptr), DSC_ERR_NO_SUCH_ENTRY);
  api_.freeContext(ctx);

  SetEnvironmentVariableA("ZELM_DIRECTORY", nullptr);
  SetEnvironmentVariableA("ZELM_IDENTITY", nullptr);
  ctx = api_.createContext();
  api_.whoAmI(ctx, who);
  EXPECT_STREQ(who, "Joe.Sales.Acme");
  EXPECT_EQ(api_.readObjectInfo(ctx, "Only.Acme", nullptr, nullptr), 0);
  api_.freeContext(ctx);

  SetEnvironmentVariableA("ZELM_DIRECTORY", Tmp("missing.zdb").c_str());
  EXPECT_EQ(api_.createContext(), DSC_ERR_NO_CONTEXT);
  EXPECT_FALSE(dir::PathExists(Tmp("missing.zdb")));
}

TEST_F(ConfigTest, TwoProcessesWritingAtOnceLoseNoUpdate) {
  ASSERT_EQ(layer_.ReplaceValues({}, {"0"}, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Timeout",
                                 DSC_SYNTAX_CI_STRING),
            0);
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string writer = dir::FolderOf(exe) + "\\dsclient_writer.exe";
  PROCESS_INFORMATION pi[2];
  for (auto& p : pi) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = "\"" + writer + "\" 25";
    ASSERT_TRUE(CreateProcessA(writer.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &p));
  }
  for (auto& p : pi) {
    ASSERT_EQ(WaitForSingleObject(p.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(p.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
  }
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:Timeout"), std::vector<std::string>{"50"});
}

}  // namespace
}  // namespace zelm::dsctest
