// The alias agent's pages against a real directory: the configuration
// (option bits, interval, rights, the notice), and the local and global
// alias lists (typing, the white-space rule, imports, where the values go).
#include <gtest/gtest.h>

#include "filter_fixture.h"

namespace agentstest {
namespace {

const int kFormIds[] = {IDC_ALC_FIRST_UNDERSCORE_LAST, IDC_ALC_INITIAL_LAST,
                        IDC_ALC_FIRST_DOT_LAST, IDC_ALC_FULL_DOTS, IDC_ALC_FULL_UNDERSCORES};

class AliasPages : public FilterPages {
 protected:
  HWND OpenConfig() { return OpenPage(kAlias1, AliasObjProc, "AliasConfig", AliasConfigDlgProc); }
  HWND OpenLocal() {
    return OpenPage(kAlias1, AliasObjProc, "AliasLocalAlias", AliasLocalAliasDlgProc);
  }
  HWND OpenGlobal() {
    return OpenPage(kAlias1, AliasObjProc, "AliasLocalAlias", AliasGlobalAliasDlgProc);
  }
  Values Stored(const char* attribute) { return Read(kAlias1, attribute); }
  Values Global() { return Read(kServicesName, "Quorvel:Alias"); }
  void TypeAlias(const std::string& name, const std::string& target) {
    SetItemText(page_, IDC_FLT_ENTRY, name.c_str());
    SetItemText(page_, IDC_ALL_TARGET, target.c_str());
  }
  bool FormsEnabled(bool expected) {
    for (int id : kFormIds)
      if (IsItemEnabled(page_, id) != expected) return false;
    return true;
  }
};

// ---- configuration ---------------------------------------------------------------------

TEST_F(AliasPages, ConfigShowsTheStoredOptionsAndWritesThemBack) {
  ASSERT_NE(OpenConfig(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), kAlias1);
  EXPECT_TRUE(IsItemChecked(page_, IDC_ALC_AUTOMATIC));
  EXPECT_TRUE(IsItemChecked(page_, IDC_ALC_FIRST_UNDERSCORE_LAST));
  for (int id : {IDC_ALC_INITIAL_LAST, IDC_ALC_FIRST_DOT_LAST, IDC_ALC_FULL_DOTS,
                 IDC_ALC_FULL_UNDERSCORES})
    EXPECT_FALSE(IsItemChecked(page_, id)) << id;
  EXPECT_TRUE(FormsEnabled(true));
  // No interval stored: 1 shown, and written.
  EXPECT_EQ(ItemText(page_, IDC_ALC_INTERVAL), "1");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{"12"});
  EXPECT_EQ(Stored("Quorvel:Time Interval"), Values{"1"});
  EXPECT_TRUE(ChangedFlag(kAlias1));

  // Several name forms at once; automatic creation off keeps the forms' bits.
  ClickItem(page_, IDC_ALC_FULL_DOTS);
  ClickItem(page_, IDC_ALC_FULL_UNDERSCORES);
  ClickItem(page_, IDC_ALC_AUTOMATIC);
  EXPECT_TRUE(FormsEnabled(false));
  SetItemText(page_, IDC_ALC_INTERVAL, "7");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{std::to_string(0x08 | 0x40 | 0x80)});
  EXPECT_EQ(Stored("Quorvel:Time Interval"), Values{"7"});
  ClickItem(page_, IDC_ALC_AUTOMATIC);
  EXPECT_TRUE(FormsEnabled(true));
}

TEST_F(AliasPages, ConfigKeepsOptionBitsItDoesNotShow) {
  Store(kAlias1, "Quorvel:Alias Options", {"13"});  // 0x01 beside automatic + first form
  ASSERT_NE(OpenConfig(), nullptr);
  ClickItem(page_, IDC_ALC_FIRST_DOT_LAST);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{std::to_string(0x01 | 0x04 | 0x08 | 0x20)});
}

TEST_F(AliasPages, ConfigWithoutOptionsOrWithOddOnes) {
  Store(kAlias1, "Quorvel:Alias Options", {});
  Store(kAlias1, "Quorvel:Time Interval", {"weekly"});
  ASSERT_NE(OpenConfig(), nullptr);
  EXPECT_FALSE(IsItemChecked(page_, IDC_ALC_AUTOMATIC));
  EXPECT_TRUE(FormsEnabled(false));
  EXPECT_EQ(ItemText(page_, IDC_ALC_INTERVAL), "weekly");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{"0"});
  EXPECT_EQ(Stored("Quorvel:Time Interval"), Values{"weekly"});

  // A value that is no number stays as stored until a box is clicked.
  Store(kAlias1, "Quorvel:Alias Options", {"auto"});
  ASSERT_NE(OpenConfig(), nullptr);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{"auto"});
  ClickItem(page_, IDC_ALC_AUTOMATIC);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{"4"});
}

TEST_F(AliasPages, ConfigWithoutRightsWritesNothingButStillNotifies) {
  g_snapin.autoReload = 1;
  As("Joe.Sales.Acme");
  ASSERT_NE(OpenConfig(), nullptr);
  for (int id : {IDC_ALC_AUTOMATIC, IDC_ALC_INTERVAL}) EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_TRUE(FormsEnabled(false));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{"12"});
  EXPECT_TRUE(Stored("Quorvel:Time Interval").empty());
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{3});
  EXPECT_EQ(NoticeModules(), Values{"ALIASAGT.QMD"});
}

TEST_F(AliasPages, ConfigWriteErrorsRefuseWithTheirControlFocused) {
  // Kim may write the options, not the interval: the interval stays
  // disabled, the options are written.
  As("Kim.Sales.Acme");
  ASSERT_NE(OpenConfig(), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ALC_INTERVAL));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ALC_AUTOMATIC));
  ClickItem(page_, IDC_ALC_INITIAL_LAST);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias Options"), Values{std::to_string(0x04 | 0x08 | 0x10)});
  EXPECT_TRUE(Stored("Quorvel:Time Interval").empty());

  // The options right withdrawn behind the page's back.
  Revoke(kAlias1, "Kim.Sales.Acme", "Quorvel:Alias Options");
  ClickItem(page_, IDC_ALC_AUTOMATIC);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_ALC_AUTOMATIC));
}

TEST_F(AliasPages, PagesAskForTheirHelp) {
  HelpViewer help;
  ASSERT_NE(OpenConfig(), nullptr);
  AliasConfigDlgProc(page_, QZX_PAGE_HELP, 0, 0);
  ASSERT_NE(OpenLocal(), nullptr);
  AliasLocalAliasDlgProc(page_, QZX_PAGE_HELP, 0, 0);
  ASSERT_NE(OpenGlobal(), nullptr);
  AliasGlobalAliasDlgProc(page_, QZX_PAGE_HELP, 0, 0);
  PumpMessages();
  EXPECT_EQ(help.contexts, (std::vector<long>{13, 14, 15}));
}

// ---- local and global aliases ---------------------------------------------------------------

TEST_F(AliasPages, LocalAliasesNeedANameWithoutBlanks) {
  ASSERT_NE(OpenLocal(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), kAlias1);
  EXPECT_EQ(ItemText(page_, IDC_FLT_LABEL), "Local aliases:");
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST), Values{"joe=joe.smith@acme.example"});
  TypeAlias("ann", "");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  TypeAlias("ann lee", "ann.lee@acme.example");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  TypeAlias("ann", "ann.lee@acme.example");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_ADD));
  ClickItem(page_, IDC_FLT_ADD);
  EXPECT_EQ(ItemText(page_, IDC_FLT_ENTRY), "");
  EXPECT_EQ(ItemText(page_, IDC_ALL_TARGET), "");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  EXPECT_TRUE(Focused(IDC_FLT_ENTRY));

  // An alias longer than an entry may be cannot be added, so none is cut short.
  TypeAlias(std::string(511, 'n'), std::string(511, 't'));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_ADD));
  TypeAlias(std::string(511, 'n'), std::string(512, 't'));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_FLT_ADD));
  TypeAlias("", "");

  SelectRows(page_, IDC_FLT_LIST, {1});
  ClickItem(page_, IDC_FLT_REMOVE);
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST), Values{"ann=ann.lee@acme.example"});
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias"), Values{"ann=ann.lee@acme.example"});
  EXPECT_EQ(Global(), Values{"info=info@acme.example"});
  EXPECT_TRUE(ChangedFlag(kAlias1));
}

TEST_F(AliasPages, ImportedAliasFilesTakeOnlyLinesWithEquals) {
  ASSERT_NE(OpenLocal(), nullptr);
  std::string path = WriteFile("aliases.txt",
                               "sales=sales@acme.example\r\n# the team\r\n\r\n"
                               "joe=joe.smith@acme.example\nhelp = support@acme.example");
  ImportThroughDialog(path);
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST),
            (Values{"help = support@acme.example", "joe=joe.smith@acme.example",
                    "joe=joe.smith@acme.example", "sales=sales@acme.example"}));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias"), (Values{"joe=joe.smith@acme.example",
                                             "help = support@acme.example",
                                             "sales=sales@acme.example"}));

  MessageBoxInterceptor boxes;
  EXPECT_EQ(ImportListFile(page_, IDC_FLT_LIST, "", 1), -1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Could not open file");
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST).size(), 4u);
}

TEST_F(AliasPages, GlobalAliasesLiveOnTheServicesContainer) {
  ASSERT_NE(OpenGlobal(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), ".Internet Services");
  EXPECT_EQ(ItemText(page_, IDC_FLT_LABEL), "Global Aliases:");
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST), Values{"info=info@acme.example"});
  // A blank in the name is accepted here.
  TypeAlias("all staff", "staff@acme.example");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_ADD));
  ClickItem(page_, IDC_FLT_ADD);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Global(), (Values{"info=info@acme.example", "all staff=staff@acme.example"}));
  EXPECT_EQ(Stored("Quorvel:Alias"), Values{"joe=joe.smith@acme.example"});
  // The notice names the agent.
  EXPECT_TRUE(ChangedFlag(kAlias1));
  EXPECT_TRUE(Read(kServicesName, "Quorvel:Config Changed").empty());

  // Applying again compares with what is stored now.
  SelectRows(page_, IDC_FLT_LIST, {1});
  ClickItem(page_, IDC_FLT_REMOVE);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Global(), Values{"all staff=staff@acme.example"});
}

TEST_F(AliasPages, GlobalAliasesNeedTheRightOnTheContainerToo) {
  // Kim may write the agent's aliases but not those of ".Internet Services".
  As("Kim.Sales.Acme");
  ASSERT_NE(OpenLocal(), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_LIST));
  ASSERT_NE(OpenGlobal(), nullptr);
  for (int id : {IDC_FLT_LABEL, IDC_FLT_ADD, IDC_FLT_REMOVE, IDC_FLT_LIST, IDC_FLT_IMPORT,
                 IDC_FLT_ENTRY, IDC_ALL_TARGET})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Global(), Values{"info=info@acme.example"});
  EXPECT_FALSE(ChangedFlag(kAlias1));

  // With the right granted there, a write error still refuses with the list focused.
  Grant(kServicesName, "Kim.Sales.Acme", "Quorvel:Alias");
  ASSERT_NE(OpenGlobal(), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_FLT_LIST));
  TypeAlias("x", "y");
  ClickItem(page_, IDC_FLT_ADD);
  Revoke(kServicesName, "Kim.Sales.Acme", "Quorvel:Alias");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(Focused(IDC_FLT_LIST));
  EXPECT_EQ(ListItems(page_, IDC_FLT_LIST).size(), 2u);
  EXPECT_EQ(Global(), Values{"info=info@acme.example"});
}

TEST_F(AliasPages, LocalAliasesWithoutTheRight) {
  As("Joe.Sales.Acme");
  ASSERT_NE(OpenLocal(), nullptr);
  for (int id : {IDC_FLT_LABEL, IDC_FLT_ADD, IDC_FLT_REMOVE, IDC_FLT_LIST, IDC_FLT_IMPORT,
                 IDC_FLT_ENTRY, IDC_ALL_TARGET})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Alias"), Values{"joe=joe.smith@acme.example"});
  EXPECT_FALSE(ChangedFlag(kAlias1));
}

// ---- what the server is told ------------------------------------------------------------

// Each page's notice, whole (code and module file): the alias configuration
// tells whatever the rights, the lists and the anti-spam page only with one;
// the global list names the agent.
TEST_F(FilterPages, EachPageTellsTheServerOnlyWhatItShould) {
  using snapintest::ConfigNotice;
  const std::string spam = ConfigNotice(3, "SPAMAGNT.QMD"), alias = ConfigNotice(3, "ALIASAGT.QMD");
  const struct {
    const char* identity;  // null: the administrator
    const char* object;
    QZXObjectProc objectProc;
    const char* templateName;
    DLGPROC procedure;
    std::vector<std::string> told;
  } rows[] = {
      {nullptr, kSpam1, AntiSpamObjProc, "AntiSpamConfig", AntiSpamConfigDlgProc, {spam}},
      {"Joe.Sales.Acme", kSpam1, AntiSpamObjProc, "AntiSpamConfig", AntiSpamConfigDlgProc, {}},
      {nullptr, kAlias1, AliasObjProc, "AliasConfig", AliasConfigDlgProc, {alias}},
      {"Joe.Sales.Acme", kAlias1, AliasObjProc, "AliasConfig", AliasConfigDlgProc, {alias}},
      {nullptr, kAlias1, AliasObjProc, "AliasLocalAlias", AliasLocalAliasDlgProc, {alias}},
      {"Joe.Sales.Acme", kAlias1, AliasObjProc, "AliasLocalAlias", AliasLocalAliasDlgProc, {}},
      {nullptr, kAlias1, AliasObjProc, "AliasLocalAlias", AliasGlobalAliasDlgProc, {alias}},
      {"Joe.Sales.Acme", kAlias1, AliasObjProc, "AliasLocalAlias", AliasGlobalAliasDlgProc, {}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const auto& r = rows[i];
    SCOPED_TRACE(i);
    As(r.identity);
    ASSERT_NE(OpenPage(r.object, r.objectProc, r.templateName, r.procedure), nullptr);
    // Joe may not write the value that flags the change.
    ExpectTold(r.object, [&] { return Apply(); }, r.told, !r.identity && !r.told.empty());
  }
  EXPECT_TRUE(Read(kServicesName, "Quorvel:Config Changed").empty());
}

}  // namespace
}  // namespace agentstest
