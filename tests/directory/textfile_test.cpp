// The readable directory description: parsing and its errors, escapes, dump
// and re-read, the built-in sample, and the dsadm tool over it.
#include <gtest/gtest.h>

#include <cstdio>

#include "dir_fixture.h"

namespace zelm::dir {
namespace {

using namespace testing;

TEST(TextFormat, ErrorsNameTheirLine) {
  struct Case {
    const char* label;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"attribute before any object", "\n   Description = x\n", "line 2: indented line outside"},
      {"unknown attribute", "object A : Organization\n  Shoe Size = 9\n", "line 2: unknown attribute"},
      {"object without class", "object A\n", "line 1: object without class"},
      {"root with class", "object [Root] : User\n", "line 1: [Root] has no class"},
      {"root with attribute", "object [Root]\n  Description = x\n", "line 2: [Root] holds grants only"},
      {"bad rights word", "object A : Organization\n  grant [Public] : [Entry Rights] = fly\n",
       "line 2: unknown rights"},
      {"entry word on attributes", "object A : Organization\n  grant B : Description = browse\n",
       "line 2: unknown rights"},
      {"grant without scope", "object A : Organization\n  grant B = read\n", "line 2: expected grant"},
      {"bad escape", "object A : Organization\n  Description = a\\qb\n", "line 2: bad escape"},
      {"bad name", "object A..B : Organization\n", "line 1: bad object name"},
      {"unknown keyword", "# c\nobjects A : Organization\n", "line 2: expected supervisor"},
      {"unknown syntax", "object A : Organization\n  Description (syntax 7) = x\n",
       "line 2: bad syntax mark"},
      {"syntax not a number", "object A : Organization\n  Description (syntax x) = x\n",
       "line 2: bad syntax mark"},
  };
  for (const Case& c : cases) {
    TextDirectory parsed;
    std::string error;
    EXPECT_EQ(ParseText(c.text, &parsed, &error), kErrInvalidRequest) << c.label;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.label << ": " << error;
  }
}

TEST(TextFormat, BuildingChecksEveryObjectAgainstTheSchema) {
  struct Case {
    const char* text;
    int result;
    const char* error;
  };
  const Case cases[] = {
      {"object Sales.Acme : Organizational Unit\n", kErrNoSuchEntry, "line 1: object Sales.Acme"},
      {"object A : Organization\nobject B.A : Printer\n", kErrNoSuchClass, "line 2: object B.A"},
      {"object A : Organization\n  Description = 1\n  Description = 2\n", kErrSyntaxViolation,
       "line 1: object A"},
      {"object A : Organization\n\n  grant B.A : Shoe = read\n", kErrNoSuchAttribute, "line 3: grant to B.A"},
  };
  for (const Case& c : cases) {
    TextDirectory parsed;
    Tree tree;
    std::string error;
    int r = ParseText(c.text, &parsed, &error);
    if (r == kOk) r = BuildTree(parsed, &tree, &error);
    EXPECT_EQ(r, c.result) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

TEST(TextFormat, EscapesRoundTripEveryByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string values[] = {all, " lead", "trail\t", "a\\b", "Entry 1\rhost\r\r\r\r0\r0",
                                "two\r\nlines"};
  for (const std::string& v : values) {
    std::string escaped = EscapeValue(v);
    EXPECT_EQ(escaped.find_first_of("\r\n"), std::string::npos);
    std::string back;
    ASSERT_EQ(UnescapeValue(escaped, &back), kOk) << escaped;
    EXPECT_EQ(back, v);
  }
}

TEST(TextFormat, ADumpReadsBackToTheSameDirectory) {
  TempFolder tmp;
  auto d = MakeDirectory(tmp.File("a.zdb"));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->Modify(Caller::System(), "Joe.Sales.Acme",
                      {{kChangeAddValue, "Quorvel:Reply Message", {Text(" away\r\nback \\ soon ")}},
                       {kChangeAddValue, "Quorvel:Proxy List", {Text("Entry 1\rh\ru\rp\r\r0\r1")}}}),
            kOk);
  ASSERT_EQ(d->SetGrant(Caller::System(), "Joe.Sales.Acme", "[Root]", "Quorvel:Proxy List",
                        kRightRead | kRightWrite),
            kOk);
  const std::string first = Dump(d.get());
  auto copy = MakeDirectory(tmp.File("b.zdb"), first);
  ASSERT_TRUE(copy);
  EXPECT_EQ(Dump(copy.get()), first);
  EXPECT_EQ(Values(copy.get(), "Joe.Sales.Acme", "Quorvel:Reply Message")[0],
            " away\r\nback \\ soon ");
}

TEST(TextFormat, SampleDirectoryHoldsWhatTheToolsExpect) {
  TempFolder tmp;
  auto d = MakeDirectory(tmp.File("s.zdb"), std::string(SampleDirectoryText()));
  ASSERT_TRUE(d);
  ObjectInfo info;
  const std::pair<const char*, const char*> expected[] = {
      {"Acme", "Organization"},           {"Sales.Acme", "Organizational Unit"},
      {"Support.Acme", "Organizational Unit"}, {"Joe.Sales.Acme", "User"},
      {"FS1.Acme", "HVX Server"},         {"Internet Services", "Quorvel:Services"}};
  for (const auto& e : expected) {
    ASSERT_EQ(d->Describe(Caller::System(), e.first, &info), kOk) << e.first;
    EXPECT_EQ(info.className, e.second);
  }
  EXPECT_FALSE(Values(d.get(), "FS1.Acme", "Network Address").empty());
  EXPECT_EQ(Values(d.get(), "FS1.Acme", "Volume").size(), 2u);
  std::string identity;
  ASSERT_EQ(d->GetSetting("identity", &identity), kOk);
  uint32_t rights = 0;
  ASSERT_EQ(d->EffectiveRights(Caller::As(identity), "", "Joe.Sales.Acme", "Quorvel:Privacy",
                               &rights),
            kOk);
  EXPECT_TRUE(rights & kRightWrite);
  ASSERT_EQ(d->EffectiveRights(Caller::As("Joe.Sales.Acme"), "", "Joe.Sales.Acme",
                               "Quorvel:Privacy", &rights),
            kOk);
  EXPECT_FALSE(rights & kRightWrite);
}

// An import is checked like any other write of its caller, line by line
// against the state the lines before leave, and is applied whole or not at
// all; the error names the line refused.
TEST(TextFormat, AnImportIsCheckedWithTheCallersRightsAndAllOrNothing) {
  struct Case {
    const char* who;
    const char* text;
    int result;
    const char* error;
  };
  const char kNew[] = "object New.Sales.Acme : User\n";
  const Case cases[] = {
      {"Joe.Sales.Acme", "object Evil.East.Sales.Acme : User\n", kErrNoAccess,
       "line 1: object Evil.East.Sales.Acme: No access (-672)"},
      {"Manager.Sales.Acme", "supervisor Manager.Sales.Acme\n", kErrNoAccess,
       "line 1: setting supervisor: No access"},
      {"Manager.Sales.Acme",
       "object New.Sales.Acme : User\nobject [Root]\n"
       "    grant Manager.Sales.Acme : [Entry Rights] = supervisor\n",
       kErrNoAccess, "line 3: grant to Manager.Sales.Acme: No access"},
      {"Manager.Sales.Acme", "object New.Sales.Acme : User\n    Password = mine\n", kErrNoAccess,
       "line 1: object New.Sales.Acme"},
      {"Manager.Sales.Acme", "object New.Sales.Acme : User\nobject Evil.Acme : User\n",
       kErrNoAccess, "line 2: object Evil.Acme"},
      // A later line may build on an earlier one, and a failure there undoes it.
      {"Manager.Sales.Acme",
       "object Unit.Sales.Acme : Organizational Unit\nobject X.Unit.Sales.Acme : User\n"
       "object X.Unit.Sales.Acme : User\n",
       kErrEntryExists, "line 3: object X.Unit.Sales.Acme: Entry already exists"},
      {"Manager.Sales.Acme", kNew, kOk, ""},
      {nullptr, "supervisor Joe.Sales.Acme\nobject Evil.Acme : User\n", kOk, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TempFolder tmp;
    auto d = MakeDirectory(tmp.File("i.zdb"));
    ASSERT_TRUE(d);
    const std::string before = Dump(d.get());
    TextDirectory parsed;
    std::string error;
    ASSERT_EQ(ParseText(c.text, &parsed, &error), kOk) << error;
    const Caller caller = c.who ? Caller::As(c.who) : Caller::System();
    EXPECT_EQ(ApplyText(parsed, d.get(), caller, &error), c.result);
    if (c.result != kOk) {
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
      EXPECT_EQ(Dump(d.get()), before);
    } else {
      EXPECT_NE(Dump(d.get()), before);
    }
  }
}

#ifdef DSADM_PATH
std::string RunTool(const std::string& args, int* status) {
  std::string out;
  FILE* p = popen((std::string(DSADM_PATH) + " " + args + " 2>&1").c_str(), "r");
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  *status = pclose(p);
  return out;
}

TEST(Dsadm, CreatesTheSampleAndEditsItWithRights) {
  TempFolder tmp;
  const std::string db = "'" + tmp.File("tool.zdb") + "'";
  int status = 0;
  RunTool("create " + db, &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(PathExists(tmp.File("volumes/FS1/SYS")));
  RunTool("create " + db, &status);
  EXPECT_NE(status, 0);  // never over an existing database

  std::string out = RunTool("--as Joe.Sales.Acme set " + db + " Joe.Sales.Acme 'Quorvel:Privacy' 2", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("No access (-672)"), std::string::npos) << out;
  RunTool("--as Manager.Sales.Acme set " + db + " Joe.Sales.Acme 'Quorvel:Privacy' 2", &status);
  EXPECT_EQ(status, 0);
  RunTool("grant " + db + " Joe.Sales.Acme Joe.Sales.Acme 'Quorvel:Finger Message' read write", &status);
  EXPECT_EQ(status, 0);
  out = RunTool("rights " + db + " Joe.Sales.Acme Joe.Sales.Acme 'Quorvel:Finger Message'", &status);
  EXPECT_EQ(out, "0x07 compare read write\n");  // with [Public]'s

  out = RunTool("dump " + db, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("    Quorvel:Privacy = 2\n"), std::string::npos);
  EXPECT_NE(out.find("    grant Joe.Sales.Acme : Quorvel:Finger Message = read write\n"),
            std::string::npos);
  out = RunTool("list " + db + " .Sales.Acme", &status);
  EXPECT_EQ(out, "Ann\tUser\nFS2\tHVX Server\nJoe\tUser\nManager\tUser\n");

  // An import acts with --as's rights.
  const std::string text = tmp.File("evil.txt");
  FILE* f = std::fopen(text.c_str(), "w");
  std::fputs("object Evil.Support.Acme : User\n", f);
  std::fclose(f);
  out = RunTool("--as Joe.Sales.Acme import " + db + " '" + text + "'", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("line 1: object Evil.Support.Acme: No access (-672); nothing was imported"),
            std::string::npos)
      << out;
  RunTool("show " + db + " Evil.Support.Acme", &status);
  EXPECT_NE(status, 0);
}

// Three processes counting up through set-if, each reading again when
// another got in first: no update is lost.
TEST(Dsadm, ConditionalSetsFromThreeProcessesLoseNoUpdate) {
  TempFolder tmp;
  const std::string db = "'" + tmp.File("n.zdb") + "'";
  int status = 0;
  RunTool("create " + db, &status);
  ASSERT_EQ(status, 0);
  RunTool("set " + db + " Joe.Sales.Acme Quorvel:Timeout 0", &status);
  ASSERT_EQ(status, 0);
  const std::string tool = std::string("'") + DSADM_PATH + "'";
  const std::string worker =
      "n=0; while [ $n -lt 300 ]; do v=$(" + tool + " get " + db +
      " Joe.Sales.Acme Quorvel:Timeout) || exit 1; " + tool + " set-if " + db +
      " Joe.Sales.Acme Quorvel:Timeout \"$v\" $((v+1)) 2>/dev/null; r=$?; "
      "if [ $r = 0 ]; then n=$((n+1)); elif [ $r != 3 ]; then exit 1; fi; done";
  const std::string script = tmp.File("count.sh");
  FILE* f = std::fopen(script.c_str(), "w");
  ASSERT_TRUE(f);
  std::fprintf(f, "count() { %s; }\ncount & a=$!\ncount & b=$!\ncount & c=$!\n"
               "wait $a && wait $b && wait $c\n", worker.c_str());
  std::fclose(f);
  ASSERT_EQ(std::system(("sh '" + script + "'").c_str()), 0);
  EXPECT_EQ(RunTool("get " + db + " Joe.Sales.Acme Quorvel:Timeout", &status), "900\n");
}
#endif

}  // namespace
}  // namespace zelm::dir
