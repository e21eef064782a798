// What the anti-spam and alias page suites share: the agent suite's host,
// directory and request service, with an anti-spam agent and an alias agent
// under MS1, global aliases on ".Internet Services", a page opened with its
// real template and procedure as the host's sheet does, and list files
// written into a temporary folder.
#pragma once

#include <stdio.h>

#include <string>

#include "agents_fixture.h"
#include "agents_filter_ids.h"
#include "filter_procs.h"
#include "textfile.h"

namespace agentstest {

constexpr char kSpam1[] = "AntiSpam Agent.MS1.Internet Services";
constexpr char kAlias1[] = "Alias Agent.MS1.Internet Services";
constexpr char kServicesName[] = "Internet Services";

// Kim may write the anti-spam agent's blocked list and the alias agent's
// local aliases and options, nothing on ".Internet Services".
inline const char* FilterObjects() {
  return "object AntiSpam Agent.MS1.Internet Services : Quorvel:AntiSpam Agent\n"
         "    grant Kim.Sales.Acme : Quorvel:EMail Address = compare read write\n"
         "    Quorvel:Module Name = SPAMAGNT.QMD\n"
         "    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services\n"
         "    Quorvel:EMail Address = spam.example\n"
         "    Quorvel:EMail Address = bad@junk.example\n"
         "    Quorvel:Action = 1\n"
         "object Alias Agent.MS1.Internet Services : Quorvel:Alias Agent\n"
         "    grant Kim.Sales.Acme : Quorvel:Alias = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:Alias Options = compare read write\n"
         "    Quorvel:Module Name = ALIASAGT.QMD\n"
         "    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services\n"
         "    Quorvel:Alias Options = 12\n"
         "    Quorvel:Alias = joe=joe.smith@acme.example\n";
}

class FilterPages : public AgentSnapin {
 protected:
  std::string MoreObjects() const override { return FilterObjects(); }
  void SetUp() override {
    AgentSnapin::SetUp();
    if (HasFatalFailure()) return;
    Store(kServicesName, "Quorvel:Alias", {"info=info@acme.example"});
    parent_ = CreateWindowExA(0, "STATIC", "sheet", WS_POPUP | WS_VISIBLE, 0, 0, 500, 500,
                              nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    ClosePage();
    if (parent_) DestroyWindow(parent_);
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    AgentSnapin::TearDown();
  }

  // Opens object's page as the host does: the object procedure's 0x103
  // (current object and module), then the template from the resource
  // module with the page's procedure.
  HWND OpenPage(const char* object, QZXObjectProc objectProc, const char* templateName,
                DLGPROC procedure) {
    ClosePage();
    objectProc(object, QZX_MSG_OPEN, 0, 0);
    procedure_ = procedure;
    page_ = CreateDialogParamA(g_snapin.resources, templateName, parent_, procedure, 0);
    EXPECT_NE(page_, nullptr);
    if (page_) ShowWindow(page_, SW_SHOW);
    PumpMessages();
    return page_;
  }
  void ClosePage() {
    if (!page_) return;
    SendMessageA(page_, WM_CLOSE, 0, 0);
    DestroyWindow(page_);
    page_ = nullptr;
    PumpMessages();
  }
  INT_PTR Apply() { return ApplyPage(procedure_); }

  // A list file in the suite's folder holding bytes exactly; its path.
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    std::string path = directory_->Folder() + "\\" + name;
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      fwrite(bytes.data(), 1, bytes.size(), f);
      fclose(f);
    }
    files_.push_back(path);
    return path;
  }
  // The Import button, with the common open-file dialog answered with path
  // (or cancelled when path is empty).
  void ImportThroughDialog(const std::string& path) {
    ModalDriver driver;
    driver.Then([path](HWND dialog) {
      if (path.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      // The file name field: the explorer-style combo box or the older edit.
      HWND field = GetDlgItem(dialog, 0x47c);
      if (!field) field = GetDlgItem(dialog, 0x480);
      SetWindowTextA(field, path.c_str());
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ClickItem(page_, IDC_FLT_IMPORT);
    PumpMessages();
    EXPECT_EQ(driver.Pending(), 0u);
    EXPECT_TRUE(driver.Unexpected().empty());
  }

  bool ChangedFlag(const char* object) { return Read(object, "Quorvel:Config Changed") == Values{"1"}; }

  HWND parent_ = nullptr;
  DLGPROC procedure_ = nullptr;
  std::vector<std::string> files_;
};

}  // namespace agentstest
