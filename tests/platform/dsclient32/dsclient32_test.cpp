// dsclient32.dll loaded by name and called by ordinal, as the snap-ins call
// it, against real database files in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "client_layer.h"
#include "dir_fixture.h"
#include "registry_sandbox.h"

namespace zelm::dsctest {
namespace {

using dir::testing::MakeDirectory;
using dir::testing::TempFolder;
using dir::testing::Values;

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
    path_ = Tmp("d.zdb");
    engine_ = MakeDirectory(path_, Tree());
    ASSERT_TRUE(engine_);
    SetEnvironmentVariableA("ZELM_DIRECTORY", path_.c_str());
    As("Admin.Acme");
  }

  void TearDown() override {
    SetEnvironmentVariableA("ZELM_DIRECTORY", nullptr);
    SetEnvironmentVariableA("ZELM_IDENTITY", nullptr);
    registry_.reset();
  }

  // The directory the fixture starts with; tests may add to it.
  virtual std::string Tree() const { return dir::testing::kSmallTree; }

  static void As(const char* identity) { SetEnvironmentVariableA("ZELM_IDENTITY", identity); }

  // A path of this test's own in the suite's folder.
  static std::string Tmp(const std::string& name) {
    return folder_->File(std::to_string(serial_) + "-" + name);
  }

  // Joe's "Quorvel:EMail Address" as the engine sees it.
  std::vector<std::string> Addresses() {
    return Values(engine_.get(), "Joe.Sales.Acme", "Quorvel:EMail Address");
  }

  int AddAddresses(int n, size_t length) {
    std::vector<dir::ValueIn> values;
    for (int i = 0; i < n; ++i) {
      char head[16];
      std::snprintf(head, sizeof head, "%04d-", i);
      values.push_back({DSC_SYNTAX_CI_STRING, head + std::string(length - 5, 'x')});
    }
    return engine_->Modify(dir::Caller::System(), "Joe.Sales.Acme",
                           {{DSC_CHANGE_ADD_VALUE, "Quorvel:EMail Address", values}});
  }

  static HMODULE module_;
  static Api api_;
  static TempFolder* folder_;
  static int serial_;
  std::unique_ptr<RegistrySandbox> registry_;
  std::string path_;
  std::unique_ptr<dir::Directory> engine_;
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
  EXPECT_EQ(layer_.ReplaceValues({longest}, {longest + "M"}, "Sales.Acme.", "Joe.Sales.Acme",
                                 "Quorvel:Reply Message", DSC_SYNTAX_CI_STRING),
            DSC_ERR_SYNTAX_VIOLATION);
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
  ASSERT_EQ(engine_->Modify(dir::Caller::System(), "MS1.Internet Services",
                            {{dir::kChangeAddValue, "Quorvel:Context",
                              {Name("A.Acme"), Text("B.Acme"), Text("C.Acme"), Name("D.Acme")}}}),
            0);
  const std::vector<std::string> values = {"A.Acme", "B.Acme", "C.Acme", "D.Acme"};
  const std::vector<uint32_t> want = {DSC_SYNTAX_DIST_NAME, DSC_SYNTAX_CI_STRING,
                                      DSC_SYNTAX_CI_STRING, DSC_SYNTAX_DIST_NAME};
  for (uint32_t size : {4096u, 40u}) {
    std::vector<uint32_t> syntaxes;
    int r = -1;
    EXPECT_EQ(layer_.ReadValues("[Root]", "MS1.Internet Services", "Quorvel:Context", size, &r,
                                &syntaxes),
              values);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(syntaxes, want) << size;
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
  EXPECT_EQ(Values(engine_.get(), "Joe.Sales.Acme", "Quorvel:Privacy"), std::vector<std::string>{"2"});
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
  EXPECT_EQ(api_.setRights(ctx, "Joe.Sales.Acme", "Joe.Sales.Acme", "[Entry Rights]",
                           DSC_ENTRY_SUPERVISOR),
            DSC_ERR_NO_ACCESS);
  api_.freeContext(ctx);
  int r = 0;
  Values(engine_.get(), "Joe.Sales.Acme", "Quorvel:Privacy", &r);
  EXPECT_EQ(r, DSC_ERR_NO_SUCH_ATTRIBUTE);

  As("Manager.Sales.Acme");
  ctx = layer_.OpenContext("Sales.Acme.");
  ASSERT_GE(api_.getEffectiveRights(ctx, nullptr, "Joe.Sales.Acme", "Quorvel:Privacy", &rights), 0);
  EXPECT_NE(rights & DSC_ATTR_WRITE, 0u);
  ASSERT_GE(api_.getEffectiveRights(ctx, "Joe.Sales.Acme", "Joe.Sales.Acme", "Quorvel:Privacy", &rights), 0);
  EXPECT_EQ(rights & DSC_ATTR_WRITE, 0u);
  EXPECT_EQ(api_.getEffectiveRights(ctx, nullptr, "Joe.Sales.Acme", "Shoe Size", &rights),
            DSC_ERR_NO_SUCH_ATTRIBUTE);
  api_.freeContext(ctx);
  EXPECT_EQ(layer_.ReplaceValues({}, {"2"}, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Privacy",
                                 DSC_SYNTAX_CI_STRING),
            0);
  EXPECT_EQ(layer_.AddObject("New.Sales.Acme", "User", {}), 0);
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

  ASSERT_EQ(engine_->Add(dir::Caller::System(), "FS2.Acme", dir::testing::OfClass("HVX Server")), 0);
  As("Nobody.Acme");
  ctx = layer_.OpenContext(nullptr);
  EXPECT_EQ(api_.openConnection(ctx, "FS2.Acme", &conn), DSC_ERR_NO_SUCH_ATTRIBUTE);
  ASSERT_EQ(api_.openConnection(ctx, "FS1.Acme", &conn), 0);
  EXPECT_EQ(api_.authenticateConnection(ctx, conn), DSC_ERR_NO_ACCESS);
  api_.freeContext(ctx);
}

class ListTest : public ClientTest {
 protected:
  std::string Tree() const override {
    std::string text = dir::testing::kSmallTree;
    for (int i = 0; i < 1000; ++i) text += "object U" + std::to_string(i) + ".East.Sales.Acme : User\n";
    return text;
  }
};

TEST_F(ListTest, ListsManyObjectsInNameOrderAcrossIterations) {
  int r = 0;
  std::vector<std::string> names = layer_.List(".East.Sales.Acme", 4096, &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(names.size(), 1001u);
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
  EXPECT_EQ(Values(engine_.get(), "Joe.Sales.Acme", "Quorvel:Timeout"), std::vector<std::string>{"50"});
}

}  // namespace
}  // namespace zelm::dsctest
