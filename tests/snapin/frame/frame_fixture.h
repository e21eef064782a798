// Shared by the frame's suites: a real directory, a database file in a
// temporary folder or in the ".ldap" variant the run's slapd (the layer
// reaches it through dsclient32, configured by the environment), registry hives of this process's own, an in-process request
// service the directory's file servers point at, and an answerer for the
// snap-in's own modal dialogs.
#pragma once

#include <gtest/gtest.h>

#include "request_service.h"

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "dir_fixture.h"
#include "dsclient32.h"
#include "frame.h"
#include "netcalls32.h"
#include "registry_sandbox.h"
#include "test_directory.h"

namespace frametest {

using zelm::dir::testing::TempFolder;

// Users in an organization with a unit Manager may write in, two file
// servers (FS1 answers at the test's request service, FS2 at an address
// nobody listens on) and two messaging servers with their contexts.
inline std::string FrameTree(const std::string& fs1Address, const std::string& fs2Address) {
  return "supervisor Admin.Acme\n"
         "object [Root]\n"
         "    grant [Public] : [Entry Rights] = browse\n"
         "    grant [Public] : [All Attributes Rights] = compare read\n"
         "object Acme : Organization\n"
         "object Admin.Acme : User\n"
         "object Sales.Acme : Organizational Unit\n"
         "    grant Manager.Sales.Acme : [Entry Rights] = browse create delete\n"
         "    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write\n"
         "object Manager.Sales.Acme : User\n"
         "object Joe.Sales.Acme : User\n"
         "object East.Sales.Acme : Organizational Unit\n"
         "object Kim.East.Sales.Acme : User\n"
         "object FS1.Acme : HVX Server\n"
         "    Network Address = " + fs1Address + "\n"
         "object FS2.Acme : HVX Server\n"
         "    Network Address = " + fs2Address + "\n"
         "object FS3.Acme : HVX Server\n"
         "object Internet Services : Quorvel:Services\n"
         "object MS1.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Host = FS1.Acme\n"
         "    Quorvel:Context = .Internet Services\n"
         "    Quorvel:Context = East.Sales.Acme\n"
         "object MS2.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Host = FS2.Acme\n"
         "    Quorvel:Context = Sales.Acme\n"
         "    Quorvel:Context = .\n"
         "object MS3.Internet Services : Quorvel:Messaging Server\n"
         "object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "    Quorvel:Module Name = STORAGNT.QMD\n"
         "object SMTP Agent.MS2.Internet Services : Quorvel:SMTP Agent\n"
         "object POP Agent.MS3.Internet Services : Quorvel:POP Agent\n";
}

class FrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = new TempFolder(); }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    registry_ = std::make_unique<RegistrySandbox>("frame");
    ASSERT_TRUE(registry_->Ok());

    ASSERT_TRUE(service_.Start());
    service_.AddService(kRequestService, 11, 2, 0, 1);
    RequestService gone;  // its address is left with nobody listening
    ASSERT_TRUE(gone.Start());
    goneAddress_ = gone.Address();
    gone.Stop();

    path_ = folder_->File(std::to_string(++serial_) + ".zdb");
    directory_ = std::make_unique<zelm::testdir::TestDirectory>(path_, Tree());
    ASSERT_EQ(directory_->error(), "");
    As("Admin.Acme");

    g_snapin.instance = GetModuleHandleA(nullptr);  // the test carries tarq's resources
    g_snapin.resources = nullptr;
    g_snapin.hostWindow = nullptr;
    g_snapin.autoReload = 1;
    DSSetBufferStartForTesting(0);
    DSBufferGrowthsForTesting(1);
  }

  void TearDown() override {
    DSSetBufferStartForTesting(0);
    service_.Stop();
    directory_.reset();
    registry_.reset();
  }

  virtual std::string Tree() { return FrameTree(service_.Address(), goneAddress_); }

  void As(const char* identity) { directory_->As(identity ? identity : ""); }
  zelm::dir::Backend* Admin() const { return directory_->Admin(); }

  // An attribute's values as the directory holds them.
  std::vector<std::string> Values(const std::string& object, const std::string& attribute) {
    return directory_->Values(object, attribute);
  }

  void SetValues(const std::string& object, const std::string& attribute,
                 const std::vector<std::string>& values) {
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(zelm::dir::testing::Text(v));
    std::vector<zelm::dir::Change> changes = {{zelm::dir::kChangeRemoveAttribute, attribute, {}}};
    if (Values(object, attribute).empty()) changes.clear();
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, attribute, in});
    ASSERT_EQ(Admin()->Modify(object, changes), 0);
  }

  inline static TempFolder* folder_ = nullptr;
  inline static int serial_ = 0;
  std::unique_ptr<RegistrySandbox> registry_;
  RequestService service_;
  std::string goneAddress_;
  std::string path_;  // the database file, over the file
  std::unique_ptr<zelm::testdir::TestDirectory> directory_;
};

// A list's strings (null slots as "<null>").
inline std::vector<std::string> Strings(const StrList& list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.count; ++i) out.push_back(list.items[i] ? list.items[i] : "<null>");
  return out;
}

// A list holding the given strings; free it with StrListFree.
inline StrList ListOf(const std::vector<std::string>& values) {
  StrList list = {};
  for (const std::string& v : values) StrListAdd(&list, v.c_str());
  return list;
}

// Answers the snap-in's own modal dialogs (not message boxes) shown on this
// thread while it lives: records title, text and owner, presses a button.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(int button) : button_(button) {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogAnswerer() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  struct Seen {
    std::string title, text;
    HWND owner;
  };
  std::vector<Seen> seen;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    DialogAnswerer* self = current_;
    if (code == HCBT_ACTIVATE && self) {
      HWND w = reinterpret_cast<HWND>(wParam);
      char cls[16] = {}, title[128] = {}, text[512] = {};
      GetClassNameA(w, cls, sizeof cls);
      // Only this thread's dialogs: activation may pass to another process's.
      if (lstrcmpA(cls, "#32770") == 0 && !GetDlgItem(w, 0xFFFF) &&
          GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId()) {
        GetWindowTextA(w, title, sizeof title);
        GetDlgItemTextA(w, 100, text, sizeof text);
        self->seen.push_back({title, text, GetWindow(w, GW_OWNER)});
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(self->button_, BN_CLICKED), 0);
      }
    }
    return CallNextHookEx(self ? self->hook_ : nullptr, code, wParam, lParam);
  }
  inline static DialogAnswerer* current_ = nullptr;
  HHOOK hook_;
  int button_;
};

}  // namespace frametest
