// The anti-spam and alias agents' values without any window: lines of an
// imported list file fed whole, byte by byte and in odd chunks; the action;
// the alias options merge; alias entries at the entry limit; the values an
// apply sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter_values.h"

namespace {

using Values = std::vector<std::string>;

Values Take(StrList* list) {
  Values out;
  for (int32_t i = 0; i < list->count; ++i) out.push_back(list->items[i] ? list->items[i] : "");
  StrListFree(list);
  return out;
}

// Imports text as a file's bytes arriving in chunks of `chunk` bytes.
Values Import(const std::string& bytes, int aliasesOnly, size_t chunk, int* skipped = nullptr) {
  ImportLines lines = {};
  StrList out = {};
  for (size_t at = 0; at < bytes.size(); at += chunk)
    FeedImportBytes(&lines, bytes.data() + at, std::min(chunk, bytes.size() - at), aliasesOnly,
                    &out);
  FinishImport(&lines, aliasesOnly, &out);
  if (skipped) *skipped = lines.skipped;
  return Take(&out);
}

struct ImportCase {
  const char* label;
  std::string bytes;
  int aliasesOnly;
  Values expected;
  int skipped;
};

TEST(ImportLinesTest, SplitsLinesAlikeWhateverTheChunks) {
  const std::string line259(259, 'a'), line260(260, 'b');
  const ImportCase cases[] = {
      {"unix", "spam.example\nbad@x.example\n", 0, {"spam.example", "bad@x.example"}, 0},
      {"windows", "spam.example\r\nbad@x.example\r\n", 0, {"spam.example", "bad@x.example"}, 0},
      {"no final line end", "a.example\r\nb.example", 0, {"a.example", "b.example"}, 0},
      {"empty lines skipped", "\n\r\n\r\na\n\n", 0, {"a"}, 0},
      {"duplicates kept", "a\na\nA\n", 0, {"a", "a", "A"}, 0},
      {"cut at the last CR", "a\rb\r\n", 0, {"a\rb"}, 0},
      {"blanks kept", " x y \n", 0, {" x y "}, 0},
      {"line of 259 fits", line259 + "\r\nz\n", 0, {line259, "z"}, 0},
      {"line of 259 without end", line259, 0, {line259}, 0},
      {"line of 260 dropped whole", "y\n" + line260 + "\r\nz\n", 0, {"y", "z"}, 1},
      {"long last line dropped", "y\n" + line260 + line260, 0, {"y"}, 1},
      {"NUL drops its line", std::string("ok\nbi\0n\nok2", 11), 0, {"ok", "ok2"}, 1},
      {"control bytes kept", "\x1a\x01x\n", 0, {"\x1a\x01x"}, 0},
      {"aliases need =", "joe=joe@acme\n# comment\nann = ann@acme\r\n", 1,
       {"joe=joe@acme", "ann = ann@acme"}, 0},
      {"nothing", "", 0, {}, 0},
  };
  for (const ImportCase& c : cases) {
    for (size_t chunk : {size_t(1), size_t(3), size_t(7), size_t(4096)}) {
      int skipped = -1;
      EXPECT_EQ(Import(c.bytes, c.aliasesOnly, chunk, &skipped), c.expected)
          << c.label << " chunk " << chunk;
      EXPECT_EQ(skipped, c.skipped) << c.label << " chunk " << chunk;
    }
  }
}

TEST(ImportLinesTest, ImportEntryCutsInPlace) {
  char windows[] = "a=b\r\n";
  EXPECT_STREQ(ImportEntry(windows, 1), "a=b");
  char onlyEnd[] = "\r\n";
  EXPECT_EQ(ImportEntry(onlyEnd, 0), nullptr);
  char noEquals[] = "plain\n";
  EXPECT_EQ(ImportEntry(noEquals, 1), nullptr);
  EXPECT_EQ(ImportEntry(nullptr, 0), nullptr);
}

TEST(FilterValuesTest, ActionFromTheTwoBoxes) {
  char out[4];
  const struct {
    int back, cc;
    const char* text;
  } rows[] = {{0, 0, "0"}, {1, 0, "1"}, {0, 1, "2"}, {1, 1, "3"}};
  for (const auto& r : rows) {
    ASSERT_EQ(FormatAction(r.back, r.cc, out, sizeof out), 1);
    EXPECT_STREQ(out, r.text);
  }
  EXPECT_EQ(FormatAction(1, 1, out, 1), 0);  // no room for the digit
}

TEST(FilterValuesTest, AliasOptionsKeepTheBitsThePageDoesNotShow) {
  EXPECT_EQ(MergeAliasOptions(12, 12), 12u);
  EXPECT_EQ(MergeAliasOptions(0x0D, 0x0C), 0x0Du);  // bit 0x01 survives
  EXPECT_EQ(MergeAliasOptions(0x103, 0x04), 0x107u);
  EXPECT_EQ(MergeAliasOptions(0xFC, 0), 0u);
  EXPECT_EQ(MergeAliasOptions(0, 0xFFFFFFFF), 0xFCu);  // only the page's bits come from it
}

TEST(FilterValuesTest, DecimalNumbersOnly) {
  for (const char* yes : {"0", "12", " 7 ", "4294967295"}) EXPECT_TRUE(IsDecimalNumber(yes)) << yes;
  for (const char* no : {"", " ", "x", "12x", "-1", "4294967296", "1 2"})
    EXPECT_FALSE(IsDecimalNumber(no)) << no;
  EXPECT_FALSE(IsDecimalNumber(nullptr));
}

TEST(FilterValuesTest, AliasEntriesUpToTheEntryLimit) {
  char out[kListEntryChars + 1];
  ASSERT_EQ(FormatAlias("joe", "joe@acme.example", out, sizeof out), 1);
  EXPECT_STREQ(out, "joe=joe@acme.example");
  EXPECT_EQ(FormatAlias("", "x", out, sizeof out), 0);
  EXPECT_EQ(FormatAlias("x", "", out, sizeof out), 0);

  // name + "=" + target of exactly 1023 characters fits; one more does not,
  // and nothing is cut short.
  std::string name(511, 'n'), target(511, 't');
  ASSERT_EQ(FormatAlias(name.c_str(), target.c_str(), out, sizeof out), 1);
  EXPECT_EQ(std::string(out), name + "=" + target);
  target += 't';
  EXPECT_EQ(FormatAlias(name.c_str(), target.c_str(), out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(FormatAlias(std::string(1023, 'n').c_str(), "t", out, sizeof out), 0);
  // A buffer smaller than the entry refuses too.
  char small[8];
  EXPECT_EQ(FormatAlias("abc", "defg", small, sizeof small), 0);
  EXPECT_EQ(FormatAlias("abc", "def", small, sizeof small), 1);
}

TEST(FilterValuesTest, WhiteSpaceInAliasNames) {
  EXPECT_FALSE(HasWhiteSpace("joe.smith"));
  EXPECT_FALSE(HasWhiteSpace(""));
  for (const char* yes : {"joe smith", "joe\tsmith", " joe", "joe\r"}) EXPECT_TRUE(HasWhiteSpace(yes));
}

TEST(FilterValuesTest, ApplySendsEachValueOnce) {
  StrList entries = {}, out = {};
  for (const char* e : {"b.example", "a.example", "B.EXAMPLE", "a.example", "c"})
    StrListAdd(&entries, e);
  DistinctValues(&entries, &out);
  EXPECT_EQ(Take(&out), (Values{"b.example", "a.example", "c"}));
  DistinctValues(nullptr, &out);
  EXPECT_TRUE(Take(&out).empty());
  StrListFree(&entries);
}

}  // namespace
