// The value list, name helpers and module-wide buffers: no directory needed.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "frame.h"

namespace {

std::vector<std::string> Strings(const StrList& list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.count; ++i) out.push_back(list.items[i] ? list.items[i] : "<null>");
  return out;
}

TEST(StrListTest, AddKeepsItsOwnCopiesAndSkipsEmptyText) {
  StrList list = {};
  char text[] = "first";
  EXPECT_EQ(StrListAdd(&list, text), 1);
  text[0] = 'X';  // the list holds a copy
  EXPECT_EQ(StrListAdd(&list, ""), 0);
  EXPECT_EQ(StrListAdd(&list, nullptr), 0);
  EXPECT_EQ(StrListAdd(nullptr, "x"), 0);
  EXPECT_EQ(StrListAdd(&list, "second"), 1);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(list.capacity, 20);
  StrListFree(&list);
}

TEST(StrListTest, TheTwentyFirstStringGrowsTheArrayFrom20To40) {
  StrList list = {};
  std::vector<std::string> want;
  for (int i = 0; i < 20; ++i) {
    want.push_back("v" + std::to_string(i));
    StrListAdd(&list, want.back().c_str());
  }
  EXPECT_EQ(list.capacity, 20);
  StrListAdd(&list, "v20");
  want.push_back("v20");
  EXPECT_EQ(list.capacity, 40);
  EXPECT_EQ(list.count, 21);
  EXPECT_EQ(Strings(list), want);
  for (int i = 21; i < 40; ++i) EXPECT_EQ(list.items[i], nullptr) << i;
  StrListFree(&list);
}

TEST(StrListTest, RemoveClosesTheGapAndIgnoresIndexesOutside) {
  StrList list = {};
  for (const char* v : {"a", "b", "c", "d"}) StrListAdd(&list, v);
  StrListRemove(&list, 1);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(list.items[3], nullptr);
  StrListRemove(&list, 2);
  StrListRemove(&list, 3);
  StrListRemove(&list, -1);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"a", "c"}));
  StrListRemove(&list, 0);
  StrListRemove(&list, 0);
  EXPECT_EQ(list.count, 0);
  StrListRemove(&list, 0);
  EXPECT_EQ(StrListAdd(&list, "again"), 1);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"again"}));
  StrListFree(&list);
}

TEST(StrListTest, FreeEmptiesEvenWithNullSlotsAndKeepsTheTag) {
  StrList list = {};
  list.tag = 5;
  for (const char* v : {"a", "b", "c"}) StrListAdd(&list, v);
  free(list.items[1]);  // as DSReplaceValues leaves a matched entry
  list.items[1] = nullptr;
  StrListFree(&list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.capacity, 0);
  EXPECT_EQ(list.items, nullptr);
  EXPECT_EQ(list.tag, 5);
  StrListFree(&list);  // twice is harmless
}

std::string Take(char* heap) {
  std::string s = heap ? heap : "<null>";
  free(heap);
  return s;
}

TEST(NamesTest, ParentContextOfAName) {
  struct Row {
    const char* name;
    const char* want;
  } rows[] = {
      {"A.B", "B."},
      {"A.B.", "B."},
      {"A", "."},
      {"A.", "[Root]"},
      {"Mail.Sales.Acme", "Sales.Acme."},
      {"", "."},
      {nullptr, "."},
  };
  for (const Row& row : rows) EXPECT_EQ(Take(GetParentContext(row.name)), row.want) << row.name;
}

TEST(NamesTest, ParentContextsOfTwoNames) {
  struct Row {
    const char* first;
    const char* second;
    const char* wantFirst;
    const char* wantSecond;
  } rows[] = {
      {"Mail.Sales.Acme", "FS1.Acme", "Sales.Acme", "Acme"},
      {"Mail.", "FS1.", "[Root]", ""},
      {"Mail", "FS1", "Mail", ""},
      {"A.B.", "C.D.", "B.", "D."},
  };
  for (const Row& row : rows) {
    char *a = nullptr, *b = nullptr;
    ASSERT_EQ(GetParentContexts(row.first, row.second, &a, &b), 1);
    EXPECT_EQ(Take(a), row.wantFirst) << row.first;
    EXPECT_EQ(Take(b), row.wantSecond) << row.second;
  }
}

TEST(NamesTest, PageContainerAndTheContextAServerServes) {
  char out[64];
  struct Row {
    const char* name;
    const char* page;
    const char* served;
  } rows[] = {
      {"Mail.Sales.Acme", "Sales.Acme.", "Sales.Acme"},
      {"Mail", "Mail.", "."},
      {".Joe.Sales.Acme", "Joe.Sales.Acme.", "Sales.Acme"},
      {".Joe", "Joe.", "Joe"},
      {"Joe.", ".", ""},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(PageContainerOf(row.name, out, sizeof out), 1) << row.name;
    EXPECT_STREQ(out, row.page) << row.name;
    ASSERT_EQ(ServerContextOf(row.name, out, sizeof out), 1) << row.name;
    EXPECT_STREQ(out, row.served) << row.name;
  }
  // "Sales.Acme." needs 12 bytes with its NUL.
  EXPECT_EQ(PageContainerOf("Mail.Sales.Acme", out, 12), 1);
  EXPECT_EQ(PageContainerOf("Mail.Sales.Acme", out, 11), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(ServerContextOf(".Joe.Sales.Acme", out, 11), 1);
  EXPECT_EQ(ServerContextOf(".Joe.Sales.Acme", out, 10), 0);
  EXPECT_STREQ(out, "");
}

TEST(NamesTest, TextComparesIgnoringAsciiCaseOnly) {
  EXPECT_TRUE(SameText("Sales.Acme", "sALES.aCME"));
  EXPECT_FALSE(SameText("Sales.Acme", "Sales.Acm"));
  EXPECT_FALSE(SameText("a", "ab"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("\xe9", "\xc9"));  // only ASCII letters fold, as in the directory
  EXPECT_FALSE(SameText("@", "`"));        // neighbours of the letters stay apart
  EXPECT_FALSE(SameText("[", "{"));
  EXPECT_FALSE(SameText(nullptr, ""));
  EXPECT_TRUE(SameText(nullptr, nullptr));
}

TEST(NamesTest, CopyTextCutsAtTheCapacity) {
  char out[6];
  EXPECT_EQ(CopyText(out, sizeof out, "12345"), 1);
  EXPECT_STREQ(out, "12345");
  EXPECT_EQ(CopyText(out, sizeof out, "123456"), 0);
  EXPECT_STREQ(out, "12345");
  EXPECT_EQ(CopyText(out, sizeof out, nullptr), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(CopyText(out, 0, "x"), 0);
}

TEST(SnapinStateTest, BrowseBufferAndNamesHold515Characters) {
  const std::string fits(kBrowseChars, 'b');
  EXPECT_EQ(SetBrowseText(fits.c_str()), 1);
  EXPECT_EQ(g_snapin.browse, fits);
  EXPECT_EQ(SetBrowseText((fits + "X").c_str()), 0);
  EXPECT_EQ(g_snapin.browse, fits);

  // The longest object name, and its page container with the "." added.
  const std::string name = "Mail." + std::string(kBrowseChars - 5, 'c');
  EXPECT_EQ(SetCurrentObject(name.c_str()), 1);
  EXPECT_EQ(g_snapin.currentObject, name);
  EXPECT_EQ(g_snapin.browse, name);
  EXPECT_EQ(g_snapin.pageContainer, name.substr(5) + ".");
  const std::string undotted(kBrowseChars, 'u');
  EXPECT_EQ(SetCurrentObject(undotted.c_str()), 1);
  EXPECT_EQ(g_snapin.pageContainer, undotted + ".");
  EXPECT_EQ(SetCurrentObject((undotted + "v").c_str()), 0);
  EXPECT_EQ(g_snapin.currentObject, undotted);

  EXPECT_EQ(SetCurrentModule("SMTPAGNT.QMD"), 1);
  EXPECT_STREQ(g_snapin.currentModule, "SMTPAGNT.QMD");
  EXPECT_EQ(SetCurrentModule("SMTPAGENT.QMD"), 0);
  EXPECT_STREQ(g_snapin.currentModule, "SMTPAGENT.QM");
}

}  // namespace
