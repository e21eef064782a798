// Schema checks and value semantics of adds, modifies, reads and lists,
// against a real database file.
#include <gtest/gtest.h>

#include "dir_fixture.h"

namespace zelm::dir {
namespace {

using namespace testing;

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeDirectory(tmp_.File("d.zdb"));
    ASSERT_TRUE(dir_);
  }
  int Add(const std::string& name, const std::vector<AttributeIn>& attrs) {
    return dir_->Add(Caller::System(), name, attrs);
  }
  int Modify(const std::string& name, const std::vector<Change>& changes) {
    return dir_->Modify(Caller::System(), name, changes);
  }
  TempFolder tmp_;
  std::unique_ptr<Directory> dir_;
};

TEST_F(SchemaTest, AddRefusesWhatTheSchemaForbids) {
  const std::string longValue(kMaxValueLength + 1, 'v');
  struct Case {
    const char* label;
    std::string name;
    std::vector<AttributeIn> attrs;
    int result;
  };
  const Case cases[] = {
      {"unknown class", "X.Sales.Acme", OfClass("Printer"), kErrNoSuchClass},
      {"abstract class", "X.MS1.Internet Services", OfClass("Quorvel:Mail Agent"), kErrNoSuchClass},
      {"no class at all", "X.Sales.Acme", {{"Description", {Text("d")}}}, kErrNoSuchClass},
      {"class with text syntax", "X.Sales.Acme", {{"Object Class", {Text("User")}}},
       kErrSyntaxViolation},
      {"two classes", "X.Sales.Acme",
       {{"Object Class", {{kSyntaxClassName, "User"}, {kSyntaxClassName, "User"}}}},
       kErrSyntaxViolation},
      {"unknown attribute", "X.Sales.Acme", OfClass("User", {{"Shoe Size", {Text("9")}}}),
       kErrNoSuchAttribute},
      {"attribute of another class", "X.Sales.Acme",
       OfClass("User", {{"Quorvel:Host", {Name("FS1.Acme")}}}), kErrIllegalAttribute},
      {"class syntax on text", "X.Sales.Acme",
       OfClass("User", {{"Description", {{kSyntaxClassName, "d"}}}}), kErrSyntaxViolation},
      {"unknown syntax", "X.Sales.Acme", OfClass("User", {{"Description", {{7, "d"}}}}),
       kErrSyntaxViolation},
      {"second value of a single-valued attribute", "X.Sales.Acme",
       OfClass("User", {{"Description", {Text("a"), Text("b")}}}), kErrSyntaxViolation},
      {"duplicate differing in case", "X.Sales.Acme",
       OfClass("User", {{"Quorvel:EMail Address", {Text("a@b"), Text("A@B")}}}),
       kErrDuplicateValue},
      {"duplicate across two items", "X.Sales.Acme",
       OfClass("User", {{"Quorvel:EMail Address", {Text("a@b")}},
                        {"quorvel:email address", {Text("a@B")}}}),
       kErrDuplicateValue},
      {"empty value", "X.Sales.Acme", OfClass("User", {{"Description", {Text("")}}}),
       kErrSyntaxViolation},
      {"value one past the limit", "X.Sales.Acme",
       OfClass("User", {{"Description", {Text(longValue)}}}), kErrSyntaxViolation},
      {"existing entry, other case", "JOE.sales.acme", OfClass("User"), kErrEntryExists},
      {"missing container", "X.Nowhere.Acme", OfClass("User"), kErrNoSuchEntry},
      {"user at the root", "X", OfClass("User"), kErrInvalidRequest},
      {"agent in a unit", "X.Sales.Acme", OfClass("Quorvel:SMTP Agent"), kErrInvalidRequest},
      {"object in a leaf", "X.Joe.Sales.Acme", OfClass("User"), kErrInvalidRequest},
      {"bad name", "X..Acme", OfClass("User"), kErrBadName},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Add(c.name, c.attrs), c.result) << c.label;
    ObjectInfo info;
    if (c.result != kErrEntryExists) {
      EXPECT_EQ(dir_->Describe(Caller::System(), c.name, &info), kErrNoSuchEntry) << c.label;
    }
  }
}

TEST_F(SchemaTest, AddKeepsValuesAndTheirOrder) {
  const std::string atLimit(kMaxValueLength, 'v');
  ASSERT_EQ(Add("SMTP Agent.MS1.Internet Services",
                OfClass("Quorvel:SMTP Agent",
                        {{"Quorvel:Module Name", {Name("SMTPAGNT.QMD")}},
                         {"Quorvel:Domain", {Text("b.example"), Text("a.example")}},
                         {"Quorvel:ZELM Server", {Text("ZELM Agent.MS1.Internet Services")}},
                         {"TARQ:RBL Host", {Text(atLimit)}}})),
            kOk);
  // References are written with either text syntax by the administration pages.
  EXPECT_EQ(Values(dir_.get(), "smtp agent.ms1.internet services", "Quorvel:Domain"),
            (std::vector<std::string>{"b.example", "a.example"}));
  std::vector<AttributeValues> read;
  ASSERT_EQ(dir_->Read(Caller::System(), "SMTP Agent.MS1.Internet Services",
                       {"quorvel:zelm server"}, &read),
            kOk);
  EXPECT_EQ(read[0].name, "Quorvel:ZELM Server");
  EXPECT_EQ(read[0].syntax, kSyntaxDistinguishedName);
  EXPECT_EQ(Values(dir_.get(), "SMTP Agent.MS1.Internet Services", "TARQ:RBL Host")[0].size(),
            kMaxValueLength);
}

TEST_F(SchemaTest, ModifyRefusesWhatTheSchemaForbids) {
  const std::string joe = "Joe.Sales.Acme";
  ASSERT_EQ(Modify(joe, {{kChangeAddValue, "Quorvel:EMail Address", {Text("joe@a")}},
                         {kChangeAddValue, "Quorvel:Privacy", {Text("1")}}}),
            kOk);
  struct Case {
    const char* label;
    std::string object;
    Change change;
    int result;
  };
  const Case cases[] = {
      {"missing entry", "Nobody.Sales.Acme", {kChangeAddValue, "Description", {Text("x")}},
       kErrNoSuchEntry},
      {"unknown attribute", joe, {kChangeAddValue, "Shoe Size", {Text("9")}}, kErrNoSuchAttribute},
      {"attribute of another class", joe, {kChangeAddValue, "Quorvel:Host", {Name("FS1.Acme")}},
       kErrIllegalAttribute},
      {"class is fixed", joe, {kChangeAddValue, "Object Class", {{kSyntaxClassName, "User"}}},
       kErrIllegalAttribute},
      {"duplicate in other case", joe, {kChangeAddValue, "Quorvel:EMail Address", {Text("JOE@A")}},
       kErrDuplicateValue},
      {"second value of a single-valued attribute", joe,
       {kChangeAddValue, "Quorvel:Privacy", {Text("2")}}, kErrSyntaxViolation},
      {"class syntax on text", joe, {kChangeAddValue, "Description", {{kSyntaxClassName, "x"}}},
       kErrSyntaxViolation},
      {"remove a value not there", joe, {kChangeRemoveValue, "Quorvel:Privacy", {Text("2")}},
       kErrNoSuchValue},
      {"remove from an absent attribute", joe, {kChangeRemoveValue, "Description", {Text("x")}},
       kErrNoSuchValue},
      {"remove an absent attribute", joe, {kChangeRemoveAttribute, "Description", {}},
       kErrNoSuchAttribute},
      {"unknown change code", joe, {9, "Description", {Text("x")}}, kErrInvalidRequest},
  };
  for (const Case& c : cases) EXPECT_EQ(Modify(c.object, {c.change}), c.result) << c.label;
  EXPECT_EQ(Values(dir_.get(), joe, "Quorvel:Privacy"), std::vector<std::string>{"1"});
}

TEST_F(SchemaTest, ModifyAppliesAllChangesOrNone) {
  const std::string joe = "Joe.Sales.Acme";
  ASSERT_EQ(Modify(joe, {{kChangeAddValue, "Quorvel:EMail Address", {Text("a"), Text("B")}}}), kOk);
  DirectoryStats before;
  ASSERT_EQ(dir_->Stats(&before), kOk);
  // The third change fails: the first two must not stay.
  EXPECT_EQ(Modify(joe, {{kChangeRemoveValue, "Quorvel:EMail Address", {Text("a")}},
                         {kChangeAddValue, "Quorvel:EMail Address", {Text("c")}},
                         {kChangeAddValue, "Quorvel:EMail Address", {Text("b")}}}),
            kErrDuplicateValue);
  EXPECT_EQ(Values(dir_.get(), joe, "Quorvel:EMail Address"),
            (std::vector<std::string>{"a", "B"}));
  DirectoryStats after;
  ASSERT_EQ(dir_->Stats(&after), kOk);
  EXPECT_EQ(after.lastChange, before.lastChange);
  EXPECT_EQ(after.fileSize, before.fileSize);
}

TEST_F(SchemaTest, ReplacingValuesKeepsThoseEqualButForCase) {
  const std::string joe = "Joe.Sales.Acme";
  ASSERT_EQ(Modify(joe, {{kChangeAddValue, "Quorvel:EMail Address", {Text("a"), Text("B")}}}), kOk);
  // Old values a and B, new values b and c: remove a, add c; B stays.
  ASSERT_EQ(Modify(joe, {{kChangeRemoveValue, "Quorvel:EMail Address", {Text("a")}},
                         {kChangeAddValue, "Quorvel:EMail Address", {Text("c")}}}),
            kOk);
  EXPECT_EQ(Values(dir_.get(), joe, "Quorvel:EMail Address"),
            (std::vector<std::string>{"B", "c"}));
  // Removal finds a value whatever its case.
  ASSERT_EQ(Modify(joe, {{kChangeRemoveValue, "Quorvel:EMail Address", {Text("b")}}}), kOk);
  EXPECT_EQ(Values(dir_.get(), joe, "Quorvel:EMail Address"), std::vector<std::string>{"c"});

  // A single value is replaced by removing the old and adding the new at once.
  ASSERT_EQ(Modify(joe, {{kChangeAddValue, "Quorvel:Timeout", {Text("5")}}}), kOk);
  ASSERT_EQ(Modify(joe, {{kChangeRemoveValue, "Quorvel:Timeout", {Text("5")}},
                         {kChangeAddValue, "Quorvel:Timeout", {Text("15")}}}),
            kOk);
  EXPECT_EQ(Values(dir_.get(), joe, "Quorvel:Timeout"), std::vector<std::string>{"15"});

  // Removing the last value removes the attribute.
  ASSERT_EQ(Modify(joe, {{kChangeRemoveValue, "Quorvel:Timeout", {Text("15")}}}), kOk);
  int r = 0;
  Values(dir_.get(), joe, "Quorvel:Timeout", &r);
  EXPECT_EQ(r, kErrNoSuchAttribute);
}

TEST_F(SchemaTest, PasswordsCompareExactly) {
  const std::string joe = "Joe.Sales.Acme";
  EXPECT_EQ(Modify(joe, {{kChangeRemoveValue, "Password", {Text("secret")}}}), kErrNoSuchValue);
  EXPECT_EQ(Modify(joe, {{kChangeRemoveValue, "Password", {Text("Secret")}},
                         {kChangeAddValue, "Password", {{kSyntaxCaseExactString, "n3w"}}}}),
            kOk);
  EXPECT_EQ(Values(dir_.get(), joe, "Password"), std::vector<std::string>{"n3w"});
}

TEST_F(SchemaTest, ReadGivesWhatIsThere) {
  std::vector<AttributeValues> read;
  EXPECT_EQ(dir_->Read(Caller::System(), "Nobody.Acme", {"Description"}, &read), kErrNoSuchEntry);
  EXPECT_EQ(dir_->Read(Caller::System(), "FS1.Acme", {"Description"}, &read), kErrNoSuchAttribute);
  EXPECT_EQ(dir_->Read(Caller::System(), "FS1.Acme", {"No Such Thing"}, &read), kErrNoSuchAttribute);
  ASSERT_EQ(dir_->Read(Caller::System(), "FS1.Acme", {"Description", "network address"}, &read), kOk);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].values, std::vector<std::string>{"127.0.0.9"});

  ASSERT_EQ(dir_->Read(Caller::System(), "FS1.Acme", {}, &read), kOk);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, "Object Class");
  EXPECT_EQ(read[0].syntax, kSyntaxClassName);
  EXPECT_EQ(read[0].values, std::vector<std::string>{"HVX Server"});
}

TEST_F(SchemaTest, ListPagesThroughAContainerInNameOrder) {
  for (int i = 0; i < 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d.East.Sales.Acme", i % 2 ? "u" : "U", i);
    ASSERT_EQ(Add(name, OfClass("User")), kOk);
  }
  std::vector<std::string> seen;
  std::string after;
  bool more = true;
  int pages = 0;
  while (more) {
    std::vector<ObjectInfo> page;
    ASSERT_EQ(dir_->List(Caller::System(), "East.Sales.Acme", after, 64, &page, &more), kOk);
    ASSERT_LE(page.size(), 64u);
    for (const ObjectInfo& o : page) {
      seen.push_back(Fold(LeafName(o.full)));
      after = seen.back();
    }
    ++pages;
  }
  EXPECT_EQ(pages, 5);
  ASSERT_EQ(seen.size(), 301u);  // Kim too
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), "u299");

  std::vector<ObjectInfo> page;
  EXPECT_EQ(dir_->List(Caller::System(), "Nowhere.Acme", "", 10, &page, &more), kErrNoSuchEntry);
  ObjectInfo info;
  ASSERT_EQ(dir_->Describe(Caller::System(), "East.Sales.Acme", &info), kOk);
  EXPECT_EQ(info.subordinates, 301u);
  EXPECT_TRUE(info.container);
}

TEST_F(SchemaTest, RemoveTakesOnlyLeavesAndEmptyContainers) {
  EXPECT_EQ(dir_->Remove(Caller::System(), "East.Sales.Acme"), kErrInvalidRequest);
  EXPECT_EQ(dir_->Remove(Caller::System(), ""), kErrInvalidRequest);
  EXPECT_EQ(dir_->Remove(Caller::System(), "Nobody.Acme"), kErrNoSuchEntry);
  ASSERT_EQ(dir_->Remove(Caller::System(), "Kim.East.Sales.Acme"), kOk);
  ASSERT_EQ(dir_->Remove(Caller::System(), "East.Sales.Acme"), kOk);
  ObjectInfo info;
  EXPECT_EQ(dir_->Describe(Caller::System(), "East.Sales.Acme", &info), kErrNoSuchEntry);
  // The name is free again.
  EXPECT_EQ(Add("East.Sales.Acme", OfClass("Organizational Unit")), kOk);
}

}  // namespace
}  // namespace zelm::dir
