// Trustee rights: inheritance down the tree, the nearest grant winning for a
// trustee, containers and [Public] as trustees, supervisors, guarded
// attributes, and every kind of write refused without its right.
#include <gtest/gtest.h>

#include "dir_fixture.h"

namespace zelm::dir {
namespace {

using namespace testing;

class RightsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeDirectory(tmp_.File("r.zdb"));
    ASSERT_TRUE(dir_);
  }
  uint32_t Rights(const std::string& who, const std::string& object, const std::string& scope) {
    uint32_t rights = 0xDEAD;
    EXPECT_EQ(dir_->EffectiveRights(Caller::As(who), "", object, scope, &rights), kOk)
        << who << " on " << object;
    return rights;
  }
  bool MayWrite(const std::string& who, const std::string& object, const std::string& attr) {
    return Rights(who, object, attr) & kRightWrite;
  }
  void Grant(const std::string& object, const std::string& trustee, const std::string& scope,
             uint32_t rights) {
    ASSERT_EQ(dir_->SetGrant(Caller::System(), object, trustee, scope, rights), kOk);
  }
  int SetPrivacy(const std::string& who, const std::string& object, const std::string& value) {
    return dir_->Modify(Caller::As(who), object,
                        {{kChangeAddAttribute, "Quorvel:Privacy", {Text(value)}}});
  }
  TempFolder tmp_;
  std::unique_ptr<Directory> dir_;
};

TEST_F(RightsTest, GrantsReachEverythingBelowTheirObject) {
  const std::string m = "Manager.Sales.Acme";
  EXPECT_TRUE(MayWrite(m, "Sales.Acme", "Description"));
  EXPECT_TRUE(MayWrite(m, "Joe.Sales.Acme", "Quorvel:Privacy"));
  EXPECT_TRUE(MayWrite(m, "Kim.East.Sales.Acme", "Quorvel:Privacy"));
  EXPECT_FALSE(MayWrite(m, "Acme", "Description"));
  EXPECT_FALSE(MayWrite(m, "FS1.Acme", "Description"));
  EXPECT_EQ(Rights(m, "Kim.East.Sales.Acme", "[Entry Rights]"),
            uint32_t(kRightBrowse | kRightCreate | kRightDelete));
  // Everyone may read through the grant to [Public] on the root, nobody else writes.
  EXPECT_EQ(Rights("Joe.Sales.Acme", "Kim.East.Sales.Acme", "Quorvel:Privacy"),
            uint32_t(kRightCompare | kRightRead));
  EXPECT_EQ(Rights("", "Acme", "[Entry Rights]"), uint32_t(kRightBrowse));
}

TEST_F(RightsTest, NearerGrantReplacesWhatATrusteeInherits) {
  const std::string m = "Manager.Sales.Acme";
  Grant("East.Sales.Acme", m, "[All Attributes Rights]", kRightRead);
  EXPECT_FALSE(MayWrite(m, "Kim.East.Sales.Acme", "Quorvel:Privacy"));
  EXPECT_TRUE(MayWrite(m, "Joe.Sales.Acme", "Quorvel:Privacy"));
  // A grant on one attribute decides for that trustee at that level too.
  Grant("Joe.Sales.Acme", m, "Quorvel:Timeout", kRightRead);
  EXPECT_FALSE(MayWrite(m, "Joe.Sales.Acme", "Quorvel:Timeout"));
  EXPECT_TRUE(MayWrite(m, "Joe.Sales.Acme", "Quorvel:Privacy"));
  // Withdrawing the nearer grant lets the inherited one through again.
  Grant("East.Sales.Acme", m, "[All Attributes Rights]", 0);
  EXPECT_TRUE(MayWrite(m, "Kim.East.Sales.Acme", "Quorvel:Privacy"));
}

TEST_F(RightsTest, ContainersPublicAndRootAsTrustees) {
  Grant("FS1.Acme", "Sales.Acme", "[All Attributes Rights]", kRightRead | kRightWrite);
  EXPECT_TRUE(MayWrite("Joe.Sales.Acme", "FS1.Acme", "Description"));
  EXPECT_TRUE(MayWrite("Kim.East.Sales.Acme", "FS1.Acme", "Description"));
  EXPECT_FALSE(MayWrite("Guest.Acme", "FS1.Acme", "Description"));

  Grant("Acme", "[Root]", "Description", kRightWrite);
  EXPECT_TRUE(MayWrite("Kim.East.Sales.Acme", "Acme", "Description"));
  EXPECT_FALSE(MayWrite("", "Acme", "Description"));  // [Root] needs an identity
  Grant("Acme", "[Public]", "Description", kRightWrite);
  EXPECT_TRUE(MayWrite("", "Acme", "Description"));
}

TEST_F(RightsTest, SupervisorsHoldEveryRight) {
  // By the directory's setting, anywhere.
  EXPECT_EQ(Rights("Admin.Acme", "Kim.East.Sales.Acme", "Password"), uint32_t(kAllAttributeRights));
  EXPECT_EQ(Rights("admin.acme", "", "[Entry Rights]"), uint32_t(kAllEntryRights));
  // By a supervisor grant, below its object, and no nearer grant takes it away.
  Grant("Sales.Acme", "Joe.Sales.Acme", "[Entry Rights]", kRightSupervisor);
  Grant("East.Sales.Acme", "Joe.Sales.Acme", "[All Attributes Rights]", kRightRead);
  EXPECT_EQ(Rights("Joe.Sales.Acme", "Kim.East.Sales.Acme", "Password"),
            uint32_t(kAllAttributeRights));
  EXPECT_FALSE(MayWrite("Joe.Sales.Acme", "FS1.Acme", "Description"));
  // An attribute supervisor right means every attribute right.
  Grant("FS1.Acme", "Kim.East.Sales.Acme", "Description", kRightAttributeSupervisor);
  EXPECT_EQ(Rights("Kim.East.Sales.Acme", "FS1.Acme", "Description"), uint32_t(kAllAttributeRights));
}

TEST_F(RightsTest, PasswordsNeedAGrantOfTheirOwn) {
  const Caller joe = Caller::As("Joe.Sales.Acme");
  std::vector<AttributeValues> read;
  ASSERT_EQ(dir_->Read(joe, "Joe.Sales.Acme", {}, &read), kOk);
  for (const AttributeValues& a : read) EXPECT_NE(a.name, "Password");
  EXPECT_EQ(dir_->Read(joe, "Joe.Sales.Acme", {"Password"}, &read), kErrNoAccess);
  // Manager's write on all attributes of Sales does not cover passwords either.
  EXPECT_FALSE(MayWrite("Manager.Sales.Acme", "Joe.Sales.Acme", "Password"));

  Grant("Joe.Sales.Acme", "Joe.Sales.Acme", "Password", kRightRead);
  ASSERT_EQ(dir_->Read(joe, "Joe.Sales.Acme", {"Password"}, &read), kOk);
  EXPECT_EQ(read[0].values, std::vector<std::string>{"Secret"});
}

TEST_F(RightsTest, EveryWriteWithoutItsRightIsRefused) {
  const Caller joe = Caller::As("Joe.Sales.Acme");
  const Caller manager = Caller::As("Manager.Sales.Acme");
  DirectoryStats before;
  ASSERT_EQ(dir_->Stats(&before), kOk);

  EXPECT_EQ(SetPrivacy("Joe.Sales.Acme", "Joe.Sales.Acme", "2"), kErrNoAccess);
  EXPECT_EQ(SetPrivacy("", "Joe.Sales.Acme", "2"), kErrNoAccess);
  // One denied change refuses the whole request.
  EXPECT_EQ(dir_->Modify(manager, "Joe.Sales.Acme",
                         {{kChangeAddValue, "Quorvel:Privacy", {Text("1")}},
                          {kChangeAddValue, "Password", {{kSyntaxCaseExactString, "x"}}}}),
            kErrNoAccess);
  EXPECT_EQ(dir_->Add(joe, "New.Sales.Acme", OfClass("User")), kErrNoAccess);
  EXPECT_EQ(dir_->Add(manager, "New.Acme", OfClass("User")), kErrNoAccess);
  EXPECT_EQ(dir_->Remove(joe, "Kim.East.Sales.Acme"), kErrNoAccess);
  EXPECT_EQ(dir_->Remove(manager, "FS1.Acme"), kErrNoAccess);
  EXPECT_EQ(dir_->SetGrant(manager, "Joe.Sales.Acme", "Joe.Sales.Acme", "[Entry Rights]",
                           kRightSupervisor),
            kErrNoAccess);
  EXPECT_EQ(dir_->SetSetting(manager, "supervisor", "Manager.Sales.Acme"), kErrNoAccess);
  // The refusal does not depend on the object's schema being satisfied first.
  EXPECT_EQ(dir_->Modify(joe, "FS1.Acme", {{kChangeAddValue, "Description", {Text("x")}}}),
            kErrNoAccess);

  DirectoryStats after;
  ASSERT_EQ(dir_->Stats(&after), kOk);
  EXPECT_EQ(after.lastChange, before.lastChange);

  // The same writes go through with the rights.
  EXPECT_EQ(SetPrivacy("Manager.Sales.Acme", "Joe.Sales.Acme", "1"), kOk);
  EXPECT_EQ(dir_->Add(manager, "New.Sales.Acme", OfClass("User")), kOk);
  EXPECT_EQ(dir_->Remove(manager, "New.Sales.Acme"), kOk);
  EXPECT_EQ(SetPrivacy("Admin.Acme", "FS1.Acme", "1"), kErrIllegalAttribute);
}

// Create and delete in a unit are not the right to choose a password: an
// add that sets a guarded attribute needs write on it at the container.
TEST_F(RightsTest, AddingWithAPasswordNeedsTheRightToWriteIt) {
  const Caller manager = Caller::As("Manager.Sales.Acme");
  const std::vector<AttributeIn> withPassword =
      OfClass("User", {{"Password", {{kSyntaxCaseExactString, "mine"}}}});
  ASSERT_EQ(dir_->Remove(manager, "Joe.Sales.Acme"), kOk);
  EXPECT_EQ(dir_->Add(manager, "Joe.Sales.Acme", withPassword), kErrNoAccess);
  ObjectInfo info;
  EXPECT_EQ(dir_->Describe(Caller::System(), "Joe.Sales.Acme", &info), kErrNoSuchEntry);
  EXPECT_EQ(dir_->Add(manager, "Joe.Sales.Acme", OfClass("User")), kOk);
  EXPECT_EQ(dir_->Modify(manager, "Joe.Sales.Acme",
                         {{kChangeAddValue, "Password", {{kSyntaxCaseExactString, "mine"}}}}),
            kErrNoAccess);

  struct Case {
    const char* who;
    const char* grantOn;  // a "Password" write grant to who on this object first
    int result;
  };
  const Case cases[] = {
      {"Manager.Sales.Acme", nullptr, kErrNoAccess},
      {"Manager.Sales.Acme", "East.Sales.Acme", kErrNoAccess},  // below the container
      {"Manager.Sales.Acme", "Sales.Acme", kOk},
      {"Manager.Sales.Acme", "Acme", kOk},                      // inherited
      {"Admin.Acme", nullptr, kOk},                             // the supervisor
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.who) + " / " + (c.grantOn ? c.grantOn : "no grant"));
    const std::string name = "New" + std::to_string(n++) + ".Sales.Acme";
    if (c.grantOn) Grant(c.grantOn, c.who, "Password", kRightWrite);
    EXPECT_EQ(dir_->Add(Caller::As(c.who), name, withPassword), c.result);
    if (c.grantOn) Grant(c.grantOn, c.who, "Password", 0);
  }
}

TEST_F(RightsTest, RightsOnOneAttributeAllowOnlyThatOne) {
  Grant("Joe.Sales.Acme", "Joe.Sales.Acme", "Quorvel:Privacy", kRightRead | kRightWrite);
  EXPECT_EQ(SetPrivacy("Joe.Sales.Acme", "Joe.Sales.Acme", "2"), kOk);
  EXPECT_EQ(dir_->Modify(Caller::As("Joe.Sales.Acme"), "Joe.Sales.Acme",
                         {{kChangeAddValue, "Quorvel:Forwarding Address", {Text("x@y")}}}),
            kErrNoAccess);
  EXPECT_FALSE(MayWrite("Kim.East.Sales.Acme", "Joe.Sales.Acme", "Quorvel:Privacy"));
}

TEST_F(RightsTest, EffectiveRightsQueriesAndTheirErrors) {
  uint32_t rights = 0;
  EXPECT_EQ(dir_->EffectiveRights(Caller::As("Joe.Sales.Acme"), "", "Nobody.Acme", "Description",
                                  &rights),
            kErrNoSuchEntry);
  EXPECT_EQ(dir_->EffectiveRights(Caller::As("Joe.Sales.Acme"), "", "Acme", "Shoe Size", &rights),
            kErrNoSuchAttribute);
  // With no trustee given, the caller's own rights.
  ASSERT_EQ(dir_->EffectiveRights(Caller::As("Manager.Sales.Acme"), "", "Joe.Sales.Acme",
                                  "Quorvel:Privacy", &rights),
            kOk);
  EXPECT_TRUE(rights & kRightWrite);
  ASSERT_EQ(dir_->EffectiveRights(Caller::As("Joe.Sales.Acme"), ".Manager.Sales.Acme",
                                  "Joe.Sales.Acme", "Quorvel:Privacy", &rights),
            kOk);
  EXPECT_TRUE(rights & kRightWrite);
  // Grants are checked before they are kept.
  EXPECT_EQ(dir_->SetGrant(Caller::System(), "Acme", "Joe..Acme", "[Entry Rights]", 1), kErrBadName);
  EXPECT_EQ(dir_->SetGrant(Caller::System(), "Acme", "Joe.Acme", "Shoe Size", 1),
            kErrNoSuchAttribute);
  EXPECT_EQ(dir_->SetGrant(Caller::System(), "Acme", "Joe.Acme", "[Entry Rights]", 0x40),
            kErrInvalidRequest);
}

}  // namespace
}  // namespace zelm::dir
