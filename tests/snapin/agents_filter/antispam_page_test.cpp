// The anti-spam agent's "AntiSpamConfig" page against a real directory:
// load, typing and removing entries, the action bits, imports (through the
// common open-file dialog and from awkward files), rights and write errors.
#include <gtest/gtest.h>

#include "filter_fixture.h"

namespace agentstest {
namespace {

class AntiSpamPage : public FilterPages {
 protected:
  HWND Open() { return OpenPage(kSpam1, AntiSpamObjProc, "AntiSpamConfig", AntiSpamConfigDlgProc); }
  Values Blocked() { return Read(kSpam1, "Quorvel:EMail Address"); }
  Values Action() { return Read(kSpam1, "Quorvel:Action"); }
  void Type(const char* text) { SetItemText(page_, IDC_FLT_ENTRY, text); }
};

TEST_F(AntiSpamPage, LoadsListAndActionAndWritesTypedEntries) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), kSpam1);
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST), (Values{"bad@junk.example", "spam.example"}));
  EXPECT_TRUE(IsItemChecked(page_, IDC_ASP_SEND_BACK));
  EXPECT_FALSE(IsItemChecked(page_, IDC_ASP_CC_POSTMASTER));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_REMOVE));
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_FLT_ENTRY, EM_GETLIMITTEXT, 0, 0), 1023);

  Type("annoying.example");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_ADD));
  Type("");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  Type("annoying.example");
  ClickItem(page_, IDC_FLT_ADD);
  EXPECT_EQ(ItemText(page_, IDC_FLT_ENTRY), "");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  EXPECT_TRUE(Focused(IDC_FLT_ENTRY));
  // No check of the text's form.
  Type("not an address at all");
  ClickItem(page_, IDC_FLT_ADD);

  // Only "CC: Postmaster" writes 2.
  ClickItem(page_, IDC_ASP_SEND_BACK);
  ClickItem(page_, IDC_ASP_CC_POSTMASTER);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Blocked(), (Values{"spam.example", "bad@junk.example", "annoying.example",
                               "not an address at all"}));
  EXPECT_EQ(Action(), Values{"2"});
  EXPECT_TRUE(ChangedFlag(kSpam1));

  ClickItem(page_, IDC_ASP_SEND_BACK);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Action(), Values{"3"});
  ClickItem(page_, IDC_ASP_SEND_BACK);
  ClickItem(page_, IDC_ASP_CC_POSTMASTER);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Action(), Values{"0"});
}

TEST_F(AntiSpamPage, RemovingEveryEntryRemovesEveryValue) {
  ASSERT_NE(Open(), nullptr);
  SelectRows(page_, IDC_FLT_LIST, {1});
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_REMOVE));
  SelectRows(page_, IDC_FLT_LIST, {});
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_REMOVE));
  SelectRows(page_, IDC_FLT_LIST, {0, 1});
  ClickItem(page_, IDC_FLT_REMOVE);
  EXPECT_TRUE(ListItems(page_, IDC_FLT_LIST).empty());
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_REMOVE));
  EXPECT_TRUE(Focused(IDC_FLT_LIST));
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(Blocked().empty());
  EXPECT_EQ(Action(), Values{"1"});
}

TEST_F(AntiSpamPage, ImportsThroughTheOpenFileDialog) {
  ASSERT_NE(Open(), nullptr);
  std::string path = WriteFile("blocked.txt",
                               "spam.example\r\n\r\nmore.example\r\nmore.example\r\nlast.example");
  ImportThroughDialog(path);
  // Windows line ends cut, the empty line skipped, duplicates kept in the
  // list (also of an entry already there), the last line without its end taken.
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST),
            (Values{"bad@junk.example", "last.example", "more.example", "more.example",
                    "spam.example", "spam.example"}));
  // The directory gets each value once, so the duplicates do not refuse the apply.
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Blocked(), (Values{"spam.example", "bad@junk.example", "last.example", "more.example"}));

  // A cancelled dialog adds nothing.
  ImportThroughDialog("");
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST).size(), 6u);
}

TEST_F(AntiSpamPage, AwkwardImportFilesNeverCorruptTheList) {
  ASSERT_NE(Open(), nullptr);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(ImportListFile(page_, IDC_FLT_LIST, (directory_->Folder() + "\\missing.txt").c_str(), 0), -1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "Could not open file");
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST).size(), 2u);

  // A long line is dropped whole rather than split into several entries;
  // a line with a NUL byte is dropped; an end-of-file byte ends nothing.
  std::string line259(259, 'x'), line300(300, 'y');
  std::string bytes = "unix.example\n" + line300 + "\n" + line259 + "\r\n" +
                      std::string("bin\0ary\n", 8) + "\x1a" + "after.example\n";
  std::string path = WriteFile("awkward.txt", bytes);
  EXPECT_EQ(ImportListFile(page_, IDC_FLT_LIST, path.c_str(), 0), 3);
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST),
            (Values{"\x1a" "after.example", "bad@junk.example", "spam.example", "unix.example",
                    line259}));
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(AntiSpamPage, WithoutTheRightNothingChangesOrIsWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_FLT_LABEL, IDC_FLT_ADD, IDC_FLT_REMOVE, IDC_FLT_LIST, IDC_FLT_IMPORT,
                 IDC_FLT_ENTRY, IDC_ASP_SEND_BACK, IDC_ASP_CC_POSTMASTER})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Blocked(), (Values{"spam.example", "bad@junk.example"}));
  EXPECT_EQ(Action(), Values{"1"});
  EXPECT_FALSE(ChangedFlag(kSpam1));
}

TEST_F(AntiSpamPage, AWriteErrorKeepsThePageAndSkipsTheAction) {
  // Kim may write the list but not the action: the second write fails.
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_ASP_CC_POSTMASTER);
  Type("new.example");
  ClickItem(page_, IDC_FLT_ADD);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_FLT_IMPORT));
  EXPECT_EQ(Blocked(), (Values{"spam.example", "bad@junk.example", "new.example"}));
  EXPECT_EQ(Action(), Values{"1"});
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST).size(), 3u);
  EXPECT_FALSE(ChangedFlag(kSpam1));

  // The first write failing: the list right withdrawn behind the page's back.
  Revoke(kSpam1, "Kim.Sales.Acme", "Quorvel:EMail Address");
  Type("other.example");
  ClickItem(page_, IDC_FLT_ADD);
  boxes.Clear();
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(Blocked(), (Values{"spam.example", "bad@junk.example", "new.example"}));
  EXPECT_EQ(Action(), Values{"1"});
}

TEST_F(AntiSpamPage, AnActionThatIsNoNumberStaysUntilABoxIsClicked) {
  Store(kSpam1, "Quorvel:Action", {"bounce"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_FALSE(IsItemChecked(page_, IDC_ASP_SEND_BACK));
  EXPECT_FALSE(IsItemChecked(page_, IDC_ASP_CC_POSTMASTER));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Action(), Values{"bounce"});
  ClickItem(page_, IDC_ASP_SEND_BACK);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Action(), Values{"1"});
}

TEST_F(AntiSpamPage, AsksForItsHelp) {
  ASSERT_NE(Open(), nullptr);
  HelpViewer help;
  EXPECT_EQ(AntiSpamConfigDlgProc(page_, QZX_PAGE_HELP, 0, 0), 1);
  PumpMessages();
  EXPECT_EQ(help.contexts, std::vector<long>{31});
}

}  // namespace
}  // namespace agentstest
