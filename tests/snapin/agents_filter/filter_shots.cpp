// Puts the anti-spam and alias agents' own pages on screen in a property
// sheet of their own, for a look and for pictures (shots.sh):
//   filter_shots make FILE          writes the directory the pictures use
//   filter_shots FILE antispam      the anti-spam agent's configuration
//   filter_shots FILE alias TAB     the alias agent's page TAB (0 to 2)
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "agents_filter_ids.h"
#include "directory.h"
#include "filter_procs.h"
#include "frame.h"
#include "textfile.h"

namespace {

const char kTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Internet Services : Quorvel:Services
    Quorvel:Alias = info=info@acme.example
    Quorvel:Alias = sales=sales@acme.example
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = .Internet Services
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
object AntiSpam Agent.MS1.Internet Services : Quorvel:AntiSpam Agent
    Quorvel:Module Name = SPAMAGNT.QMD
    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services
    Quorvel:EMail Address = spam.example
    Quorvel:EMail Address = bulk@junk.example
    Quorvel:EMail Address = offers.example
    Quorvel:Action = 3
object Alias Agent.MS1.Internet Services : Quorvel:Alias Agent
    Quorvel:Module Name = ALIASAGT.QMD
    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services
    Quorvel:Alias Options = 44
    Quorvel:Time Interval = 7
    Quorvel:Alias = joe=joe.smith@acme.example
    Quorvel:Alias = postmaster=admin@acme.example
)";

int Make(const char* path) {
  zelm::dir::TextDirectory text;
  zelm::dir::Tree tree;
  std::string error;
  if (zelm::dir::ParseText(kTree, &text, &error) != 0 ||
      zelm::dir::BuildTree(text, &tree, &error) != 0) {
    std::fprintf(stderr, "filter_shots: %s\n", error.c_str());
    return 1;
  }
  std::remove(path);
  return zelm::dir::Directory::Create(path, tree) == 0 ? 0 : 1;
}

struct Page {
  const char* templateName;
  DLGPROC procedure;
  const char* title;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "make") return Make(argv[2]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: filter_shots make FILE | FILE antispam | FILE alias TAB\n");
    return 2;
  }
  SetEnvironmentVariableA("ZELM_DIRECTORY", argv[1]);
  SetEnvironmentVariableA("ZELM_IDENTITY", "Admin.Acme");
  InitCommonControls();
  g_snapin.instance = g_snapin.resources = GetModuleHandleA(nullptr);
  std::string mode = argv[2];
  std::vector<Page> pages;
  const char* object;
  if (mode == "antispam") {
    object = "AntiSpam Agent.MS1.Internet Services";
    pages.push_back({"AntiSpamConfig", AntiSpamConfigDlgProc, "Configuration"});
  } else if (mode == "alias") {
    object = "Alias Agent.MS1.Internet Services";
    pages.push_back({"AliasConfig", AliasConfigDlgProc, "Configuration"});
    pages.push_back({"AliasLocalAlias", AliasLocalAliasDlgProc, "Local Aliases"});
    pages.push_back({"AliasLocalAlias", AliasGlobalAliasDlgProc, "Global Aliases"});
  } else {
    return 2;
  }
  OpenObject(object);
  std::vector<PROPSHEETPAGEA> sheets;
  for (const Page& p : pages) {
    PROPSHEETPAGEA s = {};
    s.dwSize = sizeof s;
    s.dwFlags = PSP_USETITLE;
    s.hInstance = g_snapin.resources;
    s.pszTemplate = p.templateName;
    s.pfnDlgProc = p.procedure;
    s.pszTitle = p.title;
    sheets.push_back(s);
  }
  PROPSHEETHEADERA h = {};
  h.dwSize = sizeof h;
  h.dwFlags = PSH_PROPSHEETPAGE | PSH_PROPTITLE | PSH_NOAPPLYNOW;
  h.pszCaption = object;
  h.nPages = static_cast<UINT>(sheets.size());
  h.nStartPage = argc > 3 ? static_cast<UINT>(std::atoi(argv[3])) : 0;
  h.ppsp = sheets.data();
  PropertySheetA(&h);
  return 0;
}
