// Rights on a real slapd, whose access rules ldaprules generates from the
// grants: every caller may do there exactly what the engine lets it do, a
// write without the right fails with -672 on the server, a grant changed
// while running is enforced, and two administrators editing one messaging
// server at once keep their own rights and lose none of each other's values.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "ldap_backend.h"
#include "ldap_map.h"
#include "slapd_fixture.h"

namespace zelm::dir::testing {
namespace {

// Grants of every kind: a container as trustee, [Root] and [Public], a grant
// further down replacing an inherited one (for one kind only), supervisors
// by setting and by entry right, and Password outside
// [All Attributes Rights]. Each user's password is its name in lower case.
const char kTree[] = R"(
supervisor Boss.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Root] : [All Attributes Rights] = compare read
object Acme : Organization
    Quorvel:Domain = acme.example
    grant Admins.Acme : [Entry Rights] = supervisor
object Boss.Acme : User
    Password = boss
object Admins.Acme : Organizational Unit
object Ada.Admins.Acme : User
    Password = ada
object Sales.Acme : Organizational Unit
    Quorvel:Domain = sales.example
    grant Manager.Sales.Acme : [Entry Rights] = browse create delete
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write
    grant Sales.Acme : Quorvel:Domain = read write
    grant Joe.Sales.Acme : Password = write
object Manager.Sales.Acme : User
    Password = manager
object Joe.Sales.Acme : User
    Password = joe
object East.Sales.Acme : Organizational Unit
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read
    grant Joe.Sales.Acme : [Entry Rights] = browse create
object Kim.East.Sales.Acme : User
    Password = kim
object Support.Acme : Organizational Unit
object Sam.Support.Acme : User
    Password = sam
object Internet Services : Quorvel:Services
    grant Sam.Support.Acme : Quorvel:Config Changed = read write
    grant [Root] : [All Attributes Rights] = compare
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Config Changed = 0
    Quorvel:Disabled = 0
    grant Sam.Support.Acme : [All Attributes Rights] = read
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Config Changed = 0
object MS3.Internet Services : Quorvel:Messaging Server
    grant Manager.Sales.Acme : Quorvel:Resolver = read write
    grant Manager.Sales.Acme : Quorvel:Official Name = read write
    grant Sam.Support.Acme : Quorvel:Resolver = read write
    grant Sam.Support.Acme : Quorvel:SNMP Name = read write
)";

std::string PasswordOf(const std::string& user) { return Fold(LeafName(user)); }

// The same tree in the engine's file and on a slapd, and a session per user
// on each.
class LdapRights : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = MakeDirectory(tmp_.File("d.zdb"), kTree);
    ASSERT_TRUE(engine_);
    std::string ldif;
    engine_->Inspect(Caller::System(), [&](const Tree& t) { ldif = TreeToLdif(t, "o=Zelm"); });
    std::ofstream(tmp_.File("d.ldif")) << ldif;
    ZELM_START_SLAPD(slapd_, tmp_.File("d.ldif"));
  }
  LdapDirectory* As(const std::string& user) {
    auto& d = sessions_[user];
    std::string error;
    if (!d) {
      EXPECT_EQ(LdapDirectory::Open(slapd_.url(), user, PasswordOf(user), &d, &error), kOk)
          << user << ": " << error;
    }
    return d.get();
  }
  LdapDirectory* Admin() {
    if (!admin_) {
      std::string error;
      EXPECT_EQ(LdapDirectory::Open(slapd_.url(), "", ReadFileText(slapd_.adminPasswordFile()),
                                    &admin_, &error), kOk) << error;
    }
    return admin_.get();
  }

  TempFolder tmp_;
  std::unique_ptr<Directory> engine_;
  Slapd slapd_;
  std::map<std::string, std::unique_ptr<LdapDirectory>> sessions_;
  std::unique_ptr<LdapDirectory> admin_;
};

enum Op { kRead, kList, kAddValue, kFlip, kAdd, kAddWithPassword, kRemove, kGrant };

struct Row {
  const char* who;
  Op op;
  const char* object;
  const char* attribute;  // kAdd*: the class; kGrant: "TRUSTEE|SCOPE"
  const char* value;      // kGrant: the rights words
  bool allowed;
};

const Row kRows[] = {
    {"Joe.Sales.Acme", kRead, "Acme", "Quorvel:Domain", nullptr, true},
    {"Joe.Sales.Acme", kRead, "Sales.Acme", "Quorvel:Domain", nullptr, true},
    {"Joe.Sales.Acme", kRead, "Joe.Sales.Acme", "Password", nullptr, false},  // write only
    {"Manager.Sales.Acme", kRead, "Kim.East.Sales.Acme", "Password", nullptr, false},
    {"Ada.Admins.Acme", kRead, "Kim.East.Sales.Acme", "Password", nullptr, true},
    {"Joe.Sales.Acme", kRead, "MS1.Internet Services", "Quorvel:Disabled", nullptr, false},
    {"Sam.Support.Acme", kRead, "MS1.Internet Services", "Quorvel:Disabled", nullptr, true},
    {"Kim.East.Sales.Acme", kList, "Support.Acme", nullptr, nullptr, true},
    // A unit as trustee: everybody below it.
    {"Joe.Sales.Acme", kAddValue, "East.Sales.Acme", "Quorvel:Domain", "joe.example", true},
    {"Kim.East.Sales.Acme", kAddValue, "East.Sales.Acme", "Quorvel:Domain", "kim.example", true},
    {"Sam.Support.Acme", kAddValue, "East.Sales.Acme", "Quorvel:Domain", "sam.example", false},
    // Manager's write stops at East, where a grant of the same kind replaces it.
    {"Manager.Sales.Acme", kAddValue, "Joe.Sales.Acme", "Quorvel:EMail Address", "j@x", true},
    {"Manager.Sales.Acme", kAddValue, "Kim.East.Sales.Acme", "Quorvel:EMail Address", "k@x", false},
    // Sam's grant on Config Changed reaches MS2 but not MS1, where an
    // [All Attributes Rights] grant of Sam's decides.
    {"Sam.Support.Acme", kFlip, "MS2.Internet Services", "Quorvel:Config Changed", nullptr, true},
    {"Sam.Support.Acme", kFlip, "MS1.Internet Services", "Quorvel:Config Changed", nullptr, false},
    {"Boss.Acme", kFlip, "MS1.Internet Services", "Quorvel:Disabled", nullptr, true},
    {"Ada.Admins.Acme", kFlip, "MS1.Internet Services", "Quorvel:Disabled", nullptr, false},
    // Creating needs create on the container; a password also needs write
    // on Password there.
    {"Manager.Sales.Acme", kAdd, "Pat.Sales.Acme", "User", nullptr, true},
    {"Manager.Sales.Acme", kAddWithPassword, "Lee.Sales.Acme", "User", nullptr, false},
    {"Joe.Sales.Acme", kAddWithPassword, "Lee.East.Sales.Acme", "User", nullptr, true},
    {"Joe.Sales.Acme", kAdd, "Max.Sales.Acme", "User", nullptr, false},
    {"Sam.Support.Acme", kAdd, "Bob.Support.Acme", "User", nullptr, false},
    {"Joe.Sales.Acme", kRemove, "Lee.East.Sales.Acme", nullptr, nullptr, false},
    {"Manager.Sales.Acme", kRemove, "Lee.East.Sales.Acme", nullptr, nullptr, true},
    {"Ada.Admins.Acme", kRemove, "Pat.Sales.Acme", nullptr, nullptr, true},
    // Grants need supervisor rights, and are enforced once set.
    {"Manager.Sales.Acme", kGrant, "Support.Acme", "Sam.Support.Acme|[Entry Rights]", "create", false},
    {"Ada.Admins.Acme", kGrant, "Support.Acme", "[Public]|[Entry Rights]", "create", true},
    {"Sam.Support.Acme", kAdd, "Bob.Support.Acme", "User", nullptr, true},
    {"Kim.East.Sales.Acme", kList, "Support.Acme", nullptr, nullptr, false},  // browse replaced
    {"Kim.East.Sales.Acme", kList, "Sales.Acme", nullptr, nullptr, true},
    {"Boss.Acme", kGrant, "Internet Services", "Joe.Sales.Acme|Quorvel:Disabled", "read write", true},
    {"Joe.Sales.Acme", kFlip, "MS1.Internet Services", "Quorvel:Disabled", nullptr, true},
    {"Boss.Acme", kGrant, "Internet Services", "Joe.Sales.Acme|Quorvel:Disabled", "", true},
    {"Joe.Sales.Acme", kFlip, "MS1.Internet Services", "Quorvel:Disabled", nullptr, false},
};

// One row against one backend; the read values in *read.
template <class Run>
int Apply(const Row& row, Run&& run, std::vector<std::string>* read) {
  read->clear();
  switch (row.op) {
    case kRead: {
      std::vector<AttributeValues> v;
      int r = run.Read(row.object, {row.attribute}, &v);
      if (r == kOk) *read = v[0].values;
      return r;
    }
    case kList: {
      std::vector<ObjectInfo> v;
      int r = run.List(row.object, &v);
      for (const ObjectInfo& o : v) read->push_back(o.full);
      return r;
    }
    case kAddValue:
      return run.Modify(row.object, {{kChangeAddValue, row.attribute, {Text(row.value)}}});
    case kFlip: {
      std::vector<AttributeValues> v;
      std::string now = "0";
      if (run.Read(row.object, {row.attribute}, &v) == kOk) now = v[0].values[0];
      const std::string next = now == "0" ? "1" : "0";
      return run.Modify(row.object, {{kChangeRemoveValue, row.attribute, {Text(now)}},
                                     {kChangeAddValue, row.attribute, {Text(next)}}});
    }
    case kAdd:
    case kAddWithPassword: {
      std::vector<AttributeIn> attrs = OfClass(row.attribute);
      if (row.op == kAddWithPassword) attrs.push_back({"Password", {Text("chosen")}});
      return run.Add(row.object, attrs);
    }
    case kRemove:
      return run.Remove(row.object);
    case kGrant: {
      std::string ts = row.attribute;
      std::string trustee = ts.substr(0, ts.find('|')), scope = ts.substr(ts.find('|') + 1);
      uint32_t rights = 0;
      EXPECT_EQ(ParseRights(SameText(scope, kEntryRights), row.value, &rights), kOk);
      return run.SetGrant(row.object, trustee, scope, rights);
    }
  }
  return kErrInvalidRequest;
}

struct EngineRun {
  Directory* d;
  Caller caller;
  int Read(const std::string& o, const std::vector<std::string>& a, std::vector<AttributeValues>* v) {
    return d->Read(caller, o, a, v);
  }
  int List(const std::string& c, std::vector<ObjectInfo>* v) {
    bool more = false;
    return d->List(caller, c, "", 1000, v, &more);
  }
  int Modify(const std::string& o, const std::vector<Change>& c) { return d->Modify(caller, o, c); }
  int Add(const std::string& o, const std::vector<AttributeIn>& a) { return d->Add(caller, o, a); }
  int Remove(const std::string& o) { return d->Remove(caller, o); }
  int SetGrant(const std::string& o, const std::string& t, const std::string& s, uint32_t r) {
    return d->SetGrant(caller, o, t, s, r);
  }
};

struct LdapRun {
  LdapDirectory* d;
  int Read(const std::string& o, const std::vector<std::string>& a, std::vector<AttributeValues>* v) {
    return d->Read(o, a, v);
  }
  int List(const std::string& c, std::vector<ObjectInfo>* v) { return d->List(c, v); }
  int Modify(const std::string& o, const std::vector<Change>& c) { return d->Modify(o, c); }
  int Add(const std::string& o, const std::vector<AttributeIn>& a) { return d->Add(o, a); }
  int Remove(const std::string& o) { return d->Remove(o); }
  int SetGrant(const std::string& o, const std::string& t, const std::string& s, uint32_t r) {
    int g = d->SetGrant(o, t, s, r);
    return g ? g : d->WaitForGrants(o, 10000);
  }
};

TEST_F(LdapRights, TheServerAllowsWhatTheEngineAllows) {
  for (const Row& row : kRows) {
    const std::string label = std::string(row.who) + " " + std::to_string(row.op) + " " +
                              row.object + " " + (row.attribute ? row.attribute : "");
    std::vector<std::string> engineRead, ldapRead;
    int e = Apply(row, EngineRun{engine_.get(), Caller::As(row.who)}, &engineRead);
    int l = Apply(row, LdapRun{As(row.who)}, &ldapRead);
    EXPECT_EQ(e == kOk, row.allowed) << label << ": engine " << e;
    EXPECT_EQ(l == kOk, row.allowed) << label << ": server " << l << " " << As(row.who)->lastError();
    // A refused write is refused by the server itself, as no access.
    if (!row.allowed && row.op != kRead && row.op != kList) {
      EXPECT_EQ(l, kErrNoAccess) << label;
    }
    EXPECT_EQ(ldapRead, engineRead) << label;
  }
  // Both hold the same directory afterwards.
  std::string error;
  TextDirectory text;
  ASSERT_EQ(Admin()->Export(&text), kOk);
  Tree tree;
  ASSERT_EQ(BuildTree(text, &tree, &error), kOk) << error;
  EXPECT_EQ(DumpText(tree), Dump(engine_.get()));
}

// What the server answers a caller asking its own rights matches what the
// engine computes, for the bits the server is asked: browse, create and
// delete on the object, write on an attribute or on all of them.
TEST_F(LdapRights, TheServerTellsEachCallerTheRightsTheEngineComputes) {
  const struct {
    const char* who;
    const char* object;
    const char* scope;
  } rows[] = {
      {"Kim.East.Sales.Acme", "Manager.Sales.Acme", "[Entry Rights]"},  // browse only
      {"Manager.Sales.Acme", "Joe.Sales.Acme", "[Entry Rights]"},
      {"Manager.Sales.Acme", "Kim.East.Sales.Acme", "[Entry Rights]"},
      {"Joe.Sales.Acme", "East.Sales.Acme", "[Entry Rights]"},
      {"Joe.Sales.Acme", "Sales.Acme", "[Entry Rights]"},
      {"Ada.Admins.Acme", "Sales.Acme", "[Entry Rights]"},  // supervisor, not a leaf
      {"Manager.Sales.Acme", "Joe.Sales.Acme", "[All Attributes Rights]"},
      {"Manager.Sales.Acme", "Kim.East.Sales.Acme", "[All Attributes Rights]"},
      {"Joe.Sales.Acme", "East.Sales.Acme", "Quorvel:Domain"},
      {"Sam.Support.Acme", "MS2.Internet Services", "Quorvel:Config Changed"},
      {"Sam.Support.Acme", "MS1.Internet Services", "Quorvel:Config Changed"},
      {"Joe.Sales.Acme", "Joe.Sales.Acme", "Password"},
  };
  for (const auto& row : rows) {
    const bool entry = SameText(row.scope, kEntryRights);
    const uint32_t asked = entry ? kRightBrowse | kRightCreate | kRightDelete : kRightWrite;
    uint32_t engine = 0, server = 0;
    ASSERT_EQ(engine_->EffectiveRights(Caller::As(row.who), "", row.object, row.scope, &engine), kOk);
    ASSERT_EQ(As(row.who)->Rights(row.object, row.scope, &server), kOk)
        << row.who << " " << row.object << ": " << As(row.who)->lastError();
    EXPECT_EQ(server & asked, engine & asked)
        << row.who << " on " << row.object << " " << row.scope << ": engine " << engine;
  }
}

// Two administrators at once, each in its own process with its own login,
// on one messaging server: each may add resolvers, and only its own name
// attribute; none of the other's additions is lost.
TEST_F(LdapRights, TwoAdministratorsAtOnceKeepTheirRightsAndEachOthersValues) {
  const std::string ms = "MS3.Internet Services";
  const char* admins[] = {"Manager.Sales.Acme", "Sam.Support.Acme"};
  const char* own[] = {"Quorvel:Official Name", "Quorvel:SNMP Name"};
  constexpr int kValues = 40;
  pid_t children[2];
  for (int i = 0; i < 2; ++i) {
    children[i] = fork();
    ASSERT_GE(children[i], 0);
    if (children[i] != 0) continue;
    std::unique_ptr<LdapDirectory> d;
    std::string error;
    if (LdapDirectory::Open(slapd_.url(), admins[i], PasswordOf(admins[i]), &d, &error)) _exit(10);
    int failures = 0;
    for (int v = 0; v < kValues; ++v) {
      std::string value = "10." + std::to_string(i) + "." + std::to_string(v) + ".1";
      if (d->Modify(ms, {{kChangeAddValue, "Quorvel:Resolver", {Text(value)}}}) != kOk) ++failures;
    }
    if (d->Modify(ms, {{kChangeAddValue, own[i], {Text(admins[i])}}}) != kOk) ++failures;
    if (d->Modify(ms, {{kChangeAddValue, own[1 - i], {Text(admins[i])}}}) != kErrNoAccess) ++failures;
    _exit(failures);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  std::vector<AttributeValues> read;
  ASSERT_EQ(Admin()->Read(ms, {"Quorvel:Resolver", "Quorvel:Official Name", "Quorvel:SNMP Name"},
                          &read), kOk);
  ASSERT_EQ(read.size(), 3u);
  std::map<std::string, std::vector<std::string>> by;
  for (const AttributeValues& a : read) by[a.name] = a.values;
  EXPECT_EQ(by["Quorvel:Resolver"].size(), 2u * kValues);
  EXPECT_EQ(by["Quorvel:Official Name"], std::vector<std::string>{admins[0]});
  EXPECT_EQ(by["Quorvel:SNMP Name"], std::vector<std::string>{admins[1]});
}

}  // namespace
}  // namespace zelm::dir::testing
