// The host's text rules, table-driven: names and contexts, volumes and
// file-server paths (which must never leave their volume), the command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "host_text.h"

namespace zelm::host {
namespace {

TEST(HostText, ImageWidthComesFromTheOptionalHeader) {
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
  std::string head(4096, '\0');
  FILE* f = std::fopen(self, "rb");
  ASSERT_NE(f, nullptr);
  head.resize(std::fread(&head[0], 1, head.size(), f));
  std::fclose(f);
  const size_t pe = static_cast<unsigned char>(head[0x3C]) | static_cast<unsigned char>(head[0x3D]) << 8;
  std::string otherWidth = head;
  otherWidth[pe + 24] = 0x0B;  // 0x10B: 32-bit, 0x20B: 64-bit
  otherWidth[pe + 25] = sizeof(void*) == 8 ? 0x01 : 0x02;
  struct Row {
    const char* label;
    std::string head;
    int bits;
  } rows[] = {
      {"this test program", head, static_cast<int>(sizeof(void*) * 8)},
      {"the other width's magic", otherWidth, sizeof(void*) == 8 ? 32 : 64},
      {"cut before the magic", head.substr(0, pe + 25), 0},
      {"no PE signature where the header says", std::string(head).replace(pe, 2, "XX"), 0},
      {"header offset past the end", head.substr(0, 0x40), 0},
      {"not an image", std::string(4096, 'x'), 0},
      {"empty", "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(ImageBits(r.head), r.bits);
  }
}

TEST(HostText, NamesSplitIntoLeafAndContainer) {
  struct Row {
    const char* full;
    const char* parent;
    const char* leaf;
  } rows[] = {
      {"Joe.Sales.Acme", "Sales.Acme", "Joe"},
      {"Acme", "", "Acme"},
      {"", "", ""},
      {"Internet Services", "", "Internet Services"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.full);
    EXPECT_EQ(ParentOf(r.full), r.parent);
    EXPECT_EQ(LeafOf(r.full), r.leaf);
    if (*r.full) {
      EXPECT_EQ(JoinName(LeafOf(r.full), ParentOf(r.full)), r.full);
    }
  }
  EXPECT_EQ(ShownName(""), "[Root]");
  EXPECT_EQ(ShownName("Acme"), "Acme");
}

TEST(HostText, ContextsAsCallersWriteThem) {
  struct Row {
    const char* given;
    const char* full;
  } rows[] = {
      {"[Root]", ""},         {"[root]", ""},
      {".", ""},              {"", ""},
      {".Sales.Acme", "Sales.Acme"}, {"Sales.Acme.", "Sales.Acme"},
      {".Sales.Acme.", "Sales.Acme"}, {"  Sales.Acme ", "Sales.Acme"},
      {"Sales.Acme", "Sales.Acme"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.given);
    EXPECT_EQ(NormalizeContext(r.given), r.full);
  }
  EXPECT_EQ(NormalizeContext(nullptr), "");
  EXPECT_EQ(NormalizeName(".Joe.Sales.Acme"), "Joe.Sales.Acme");
  EXPECT_EQ(NormalizeName("[Root]"), "");
  EXPECT_EQ(NormalizeName(nullptr), "");
}

TEST(HostText, VolumeValues) {
  struct Row {
    const char* value;
    bool ok;
    const char* name;
    const char* folder;
  } rows[] = {
      {"SYS=volumes/FS1/SYS", true, "SYS", "volumes/FS1/SYS"},
      {" MAIL = D:\\mail ", true, "MAIL", "D:\\mail"},
      {"=folder", false, "", ""},
      {"SYS=", false, "", ""},
      {"SYS", false, "", ""},
      {"S/Y=folder", false, "", ""},
      {"S:Y=folder", false, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    std::string name, folder;
    ASSERT_EQ(SplitVolume(r.value, &name, &folder), r.ok);
    if (!r.ok) continue;
    EXPECT_EQ(name, r.name);
    EXPECT_EQ(folder, r.folder);
  }
  // Relative folders lie beside the database; absolute ones are kept.
  EXPECT_EQ(VolumeFolder("C:\\data\\directory.zdb", "volumes/FS1/SYS"), "C:\\data\\volumes\\FS1\\SYS");
  EXPECT_EQ(VolumeFolder("C:\\data\\directory.zdb", "D:\\mail"), "D:\\mail");
  EXPECT_EQ(VolumeFolder("C:\\data\\directory.zdb", "\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(VolumeFolder("directory.zdb", "vol"), "vol");
}

TEST(HostText, FileServerPathsRoundTrip) {
  struct Row {
    const char* text;
    const char* server;
    const char* volume;
    size_t folders;
    const char* canonical;
  } rows[] = {
      {"FS1/SYS:mail/queue", "FS1", "SYS", 2, "FS1/SYS:mail/queue"},
      {"FS1\\SYS:\\mail\\queue", "FS1", "SYS", 2, "FS1/SYS:mail/queue"},
      {"FS1/SYS:", "FS1", "SYS", 0, "FS1/SYS:"},
      {"FS1/SYS:/", "FS1", "SYS", 0, "FS1/SYS:"},
      {"FS1/SYS:mail/", "FS1", "SYS", 1, "FS1/SYS:mail"},
      {"fs1/DATA:MAIL", "fs1", "DATA", 1, "fs1/DATA:MAIL"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    FsPath p;
    ASSERT_TRUE(ParseFsPath(r.text, &p));
    EXPECT_EQ(p.server, r.server);
    EXPECT_EQ(p.volume, r.volume);
    EXPECT_EQ(p.folders.size(), r.folders);
    EXPECT_EQ(FormatFsPath(p), r.canonical);
  }
}

TEST(HostText, FileServerPathsNeverLeaveTheirVolume) {
  const char* refused[] = {
      "FS1/SYS:../x",   "FS1/SYS:a/../b", "FS1/SYS:a/./b", "FS1/SYS:a//b",
      "FS1/SYS:a:b",    "FS1.Acme/SYS:x", "SYS:x",         "FS1/SYS",
      "/SYS:x",         "FS1/:x",         "FS1/SYS:a\x01", "FS1/SYS:a*",
      "FS1/SYS:trail.", "",
  };
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    FsPath p;
    EXPECT_FALSE(ParseFsPath(text, &p));
  }
  EXPECT_EQ(LocalFolder("C:\\vol\\SYS", {"mail", "queue"}), "C:\\vol\\SYS\\mail\\queue");
  EXPECT_TRUE(ValidFolderName(std::string(255, 'a')));
  EXPECT_FALSE(ValidFolderName(std::string(256, 'a')));
}

TEST(HostText, CommandLineWords) {
  struct Row {
    const char* line;
    std::vector<std::string> words;
  } rows[] = {
      {"", {}},
      {"  a   b ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"--snapin \"C:\\Program Files\\x.dll\"", {"--snapin", "C:\\Program Files\\x.dll"}},
      {"a\\\"b", {"a\"b"}},
      {"a\tb", {"a", "b"}},
      {"\"\"", {""}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.line);
    EXPECT_EQ(SplitCommandLine(r.line), r.words);
  }
}

TEST(HostText, AdminArguments) {
  AdminArgs a = ParseAdminArgs({"--database", "C:\\d.zdb", "--identity", "Joe.Sales.Acme", "--snapin",
                                "tarq.dll", "--snapin", "logpage.dll", "--no-config-snapins",
                                "--select", "Sales.Acme", "--open", "Joe.Sales.Acme", "--sign-in",
                                "--page", "Statistics"});
  EXPECT_EQ(a.error, "");
  EXPECT_EQ(a.database, "C:\\d.zdb");
  EXPECT_EQ(a.identity, "Joe.Sales.Acme");
  EXPECT_EQ(a.snapins, (std::vector<std::string>{"tarq.dll", "logpage.dll"}));
  EXPECT_FALSE(a.registrySnapins);
  EXPECT_EQ(a.select, "Sales.Acme");
  EXPECT_EQ(a.open, "Joe.Sales.Acme");
  EXPECT_TRUE(a.signIn);
  EXPECT_EQ(a.page, "Statistics");

  EXPECT_TRUE(ParseAdminArgs({}).registrySnapins);
  EXPECT_EQ(ParseAdminArgs({"--identity"}).error, "--identity needs a value.");
  EXPECT_EQ(ParseAdminArgs({"--database", ""}).error, "--database needs a value.");
  EXPECT_EQ(ParseAdminArgs({"--snapin"}).error, "--snapin needs a library.");
  EXPECT_EQ(ParseAdminArgs({"--verbose"}).error, "Unknown argument: --verbose");
}

TEST(HostText, SnapinLists) {
  EXPECT_EQ(SplitSnapinList("tarq.dll; logpage.dll;;  ;x", false),
            (std::vector<std::string>{"tarq.dll", "logpage.dll", "x"}));
  EXPECT_EQ(SplitSnapinList(std::string("tarq.dll\0C:\\a b\\logpage.dll\0\0", 30), true),
            (std::vector<std::string>{"tarq.dll", "C:\\a b\\logpage.dll"}));
  EXPECT_TRUE(SplitSnapinList("", false).empty());
}

TEST(HostText, ErrorLinesAndLanguageFolders) {
  EXPECT_EQ(DirectoryErrorLine(-601), "[-601] No such entry");
  EXPECT_EQ(DirectoryErrorLine(-672), "[-672] No access");
  EXPECT_EQ(DirectoryErrorLine(-999), "[-999] Undefined directory error");
  EXPECT_EQ(NlsFolder("C:\\host\\nls\\", "german"), "C:\\host\\nls\\german");
  EXPECT_EQ(NlsFolder("C:\\host\\nls", ""), "C:\\host\\nls");
}

}  // namespace
}  // namespace zelm::host
