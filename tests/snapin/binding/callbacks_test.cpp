// DSLaunchProc and MvedProc as the host calls them: class filters by browse
// type and control kind (type 7 and unknown kinds leave the host's value
// alone), the picked name and the handed-out values bounded by their
// buffers, and each kind's values read from a real directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "binding_fixture.h"
#include "frame.h"

namespace {

int32_t CountFor(int32_t type, int32_t preset) {
  int32_t count = preset;
  DSLaunchProc(type, QZX_BROWSE_FILTER_COUNT, reinterpret_cast<intptr_t>(&count), 0);
  return count;
}

std::string FilterFor(int32_t type, intptr_t index) {
  QZXObjectRecord record;
  memset(&record, 0, sizeof record);
  strcpy(record.className, "unchanged");
  DSLaunchProc(type, QZX_BROWSE_FILTER, index, reinterpret_cast<intptr_t>(&record));
  return record.className;
}

TEST(DSLaunchProcTest, CountsClassFiltersByBrowseTypeAndLeavesOtherTypesAlone) {
  struct Row {
    int32_t type;
    int32_t count;
  } rows[] = {{0, 42}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 1}, {7, 42}, {-1, 42}};
  for (const Row& row : rows) EXPECT_EQ(CountFor(row.type, 42), row.count) << row.type;
  DSLaunchProc(5, QZX_BROWSE_FILTER_COUNT, 0, 0);  // no place to answer: nothing happens
}

TEST(DSLaunchProcTest, NamesTheFiltersOfEachBrowseType) {
  struct Row {
    int32_t type;
    intptr_t index;
    const char* name;
  } rows[] = {
      {1, 0, "HVX Server"},          {2, 0, "User"},
      {3, 0, "Directory"},           {4, 0, "Quorvel:ZELM Agent"},
      {5, 0, "Organization"},        {5, 1, "Organizational Unit"},
      {6, 0, "TARQ:ConnMgr Agent"},  {1, 1, "unchanged"},
      {5, 2, "unchanged"},           {5, -1, "unchanged"},
      {7, 0, "unchanged"},           {0, 0, "unchanged"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FilterFor(row.type, row.index), row.name) << row.type << "/" << row.index;
}

TEST(DSLaunchProcTest, ThePickedNameAtOffset132FillsTheBrowseBufferUpTo515Characters) {
  struct {
    QZXObjectRecord record;
    char guard[32];
  } picked;
  memset(&picked, 0, sizeof picked);
  strcpy(picked.record.name, "Joe.Sales.Acme");
  DSLaunchProc(2, QZX_BROWSE_PICKED, 0, reinterpret_cast<intptr_t>(&picked.record));
  EXPECT_STREQ(g_snapin.browse, "Joe.Sales.Acme");
  EXPECT_STREQ(reinterpret_cast<const char*>(&picked.record) + 132, "Joe.Sales.Acme");

  std::string fits(515, 'f');
  strcpy(picked.record.name, fits.c_str());
  DSLaunchProc(2, QZX_BROWSE_PICKED, 0, reinterpret_cast<intptr_t>(&picked.record));
  EXPECT_EQ(std::string(g_snapin.browse), fits);

  // A name filling the whole field without its NUL is cut, never read past.
  memset(picked.record.name, 'x', sizeof picked.record.name);
  memset(picked.guard, 'y', sizeof picked.guard);
  DSLaunchProc(2, QZX_BROWSE_PICKED, 0, reinterpret_cast<intptr_t>(&picked.record));
  EXPECT_EQ(std::string(g_snapin.browse), std::string(515, 'x'));

  DSLaunchProc(2, QZX_BROWSE_PICKED, 0, 0);
  EXPECT_EQ(std::string(g_snapin.browse), std::string(515, 'x'));
}

TEST(MvedProcTest, ClassFiltersFollowTheControlsKind) {
  struct Row {
    int32_t kind;
    int32_t count;
    std::vector<std::string> names;
  } rows[] = {
      {1, 2, {"Organization", "Organizational Unit"}},
      {3, 0, {}},
      {4, 0, {}},
      {5, 1, {"Quorvel:ZELM Agent"}},
      {6, 0, {}},
      {2, 0, {}},
      {42, 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    StrList list = {row.kind, 0, 0, nullptr};
    int32_t count = 77;
    MvedProc(&list, QZX_BROWSE_FILTER_COUNT, reinterpret_cast<intptr_t>(&count), 0);
    EXPECT_EQ(count, row.count);
    for (size_t i = 0; i <= row.names.size(); ++i) {
      QZXObjectRecord record = {};
      strcpy(record.className, "unchanged");
      MvedProc(&list, QZX_BROWSE_FILTER, static_cast<intptr_t>(i),
               reinterpret_cast<intptr_t>(&record));
      EXPECT_EQ(std::string(record.className), i < row.names.size() ? row.names[i] : "unchanged");
    }
  }
  EXPECT_EQ(MvedProc(nullptr, QZX_MVED_READ, 0, 0), 0);
}

TEST(MvedProcTest, ValuesAreHandedOutWholeUpTo1027Characters) {
  StrList list = {};
  StrListAdd(&list, "short");
  StrListAdd(&list, std::string(1027, 'v').c_str());
  StrListAdd(&list, std::string(1028, 'w').c_str());
  StrListAdd(&list, std::string(3000, 'z').c_str());
  struct {
    char value[QZX_VALUE_BYTES];
    char guard[16];
  } out;
  auto Value = [&](intptr_t i) {
    memset(&out, 0, sizeof out.value);
    strcpy(out.value, "untouched");
    memset(out.guard, 'g', sizeof out.guard);
    MvedProc(&list, QZX_MVED_VALUE, i, reinterpret_cast<intptr_t>(out.value));
    EXPECT_EQ(std::string(out.guard, sizeof out.guard), std::string(16, 'g'));
    return std::string(out.value);
  };
  EXPECT_EQ(Value(0), "short");
  EXPECT_EQ(Value(1), std::string(1027, 'v'));
  EXPECT_EQ(Value(2), std::string(1027, 'w'));
  EXPECT_EQ(Value(3), std::string(1027, 'z'));
  EXPECT_EQ(Value(4), "untouched");
  EXPECT_EQ(Value(-1), "untouched");
  free(list.items[0]);
  list.items[0] = nullptr;  // as DSReplaceValues leaves a matched slot
  EXPECT_EQ(Value(0), "untouched");
  StrListFree(&list);
}

TEST(ContextOwnerTest, TheServerOfAnAgentIsNamedFromItsFirstDotOn) {
  struct Row {
    const char* name;
    const char* owner;
  } rows[] = {
      {"ZELM Agent.MS1.Internet Services", ".MS1.Internet Services"},
      {"MS1", "MS1"},
      {".Lead.Acme", ".Lead.Acme"},
      {"", ""},
  };
  for (const Row& row : rows) {
    char out[64];
    EXPECT_EQ(ContextOwnerOf(row.name, out, sizeof out), 1);
    EXPECT_STREQ(out, row.owner) << row.name;
  }
  char exact[4];
  EXPECT_EQ(ContextOwnerOf("A.MS1", exact, sizeof exact), 0);  // ".MS1" needs 5 bytes
  EXPECT_EQ(ContextOwnerOf("A.MS", exact, sizeof exact), 1);
  EXPECT_STREQ(exact, ".MS");
}

class MvedRead : public ::testing::Test {
 protected:
  static std::vector<std::string> Strings(const StrList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.count; ++i) out.push_back(list.items[i] ? list.items[i] : "");
    return out;
  }
  hosttest::HostDirectory directory_{bindingtest::kBindingTree};
};

TEST_F(MvedRead, EachKindReadsItsAttributeOfTheCurrentObject) {
  struct Row {
    const char* object;
    int32_t kind;
    int32_t count;
    std::vector<std::string> values;
  } rows[] = {
      {"MS1.Internet Services", 4, 2, {"10.0.0.53", "10.0.0.54"}},
      {"SMTP Agent.MS1.Internet Services", 3, 2, {"mail.example", "example"}},
      {"SMTP Agent.MS1.Internet Services", 6, 1, {"users.example"}},
      {"SMTP Agent.MS1.Internet Services", 5, 1, {"ZELM Agent.MS1.Internet Services"}},
      // The contexts of the agent's messaging server; serving only the
      // services container counts as none, in any letter case.
      {"ZELM Agent.MS1.Internet Services", 1, 0, {".Internet Services"}},
      {"ZELM Agent.MS5.Internet Services", 1, 0, {".INTERNET SERVICES"}},
      {"ZELM Agent.MS2.Internet Services", 1, 2, {".Internet Services", "Sales.Acme"}},
      {"ZELM Agent.MS3.Internet Services", 1, 1, {"Sales.Acme"}},
      {"ZELM Agent.MS4.Internet Services", 1, 0, {}},
      {"SMTP Agent.MS1.Internet Services", 2, 0, {}},
      {"SMTP Agent.MS1.Internet Services", 42, 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.object) + " kind " + std::to_string(row.kind));
    SetCurrentObject(row.object);
    StrList list = {row.kind, 0, 0, nullptr};
    int32_t count = -7;
    MvedProc(&list, QZX_MVED_READ, reinterpret_cast<intptr_t>(&count), 0);
    EXPECT_EQ(count, row.count);
    EXPECT_EQ(Strings(list), row.values);
    for (int32_t i = 0; i < count; ++i) {
      char value[QZX_VALUE_BYTES] = {};
      MvedProc(&list, QZX_MVED_VALUE, i, reinterpret_cast<intptr_t>(value));
      EXPECT_EQ(std::string(value), row.values[i]);
    }
    StrListFree(&list);
  }
}

TEST_F(MvedRead, ReadingAgainReplacesTheListInsteadOfAddingToIt) {
  SetCurrentObject("MS1.Internet Services");
  StrList list = {4, 0, 0, nullptr};
  int32_t count = 0;
  MvedProc(&list, QZX_MVED_READ, reinterpret_cast<intptr_t>(&count), 0);
  MvedProc(&list, QZX_MVED_READ, reinterpret_cast<intptr_t>(&count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"10.0.0.53", "10.0.0.54"}));
  EXPECT_EQ(list.tag, 4);
  StrListFree(&list);
}

}  // namespace
