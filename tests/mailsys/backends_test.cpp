// The mail system reads the same configuration from either directory
// backend: one tree in the engine's file and in a real slapd, rendered into
// the same daemon files.
#include <map>
#include <string>

#include "backend.h"
#include "directory_reader.h"
#include "render.h"
#include "slapd_fixture.h"

namespace {

namespace dt = zelm::dir::testing;
using namespace zelm::mail;

const char kTree[] = R"(
supervisor Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
    Quorvel:Domain = acme.example
object Admin.Acme : User
object Joe.Acme : User
    Given Name = Joe
    Surname = Miller
    Password = joe
    Quorvel:EMail Address = joe.miller@acme.example
    Quorvel:Forwarding Enabled = 2
    Quorvel:Forwarding Address = ann@acme.example
object Ann.Acme : User
    Password = ann
    Quorvel:Vacation Message Enabled = 1
    Quorvel:Reply Message = Away.
object FS1.Acme : HVX Server
    Network Address = 127.0.0.1
object Internet Services : Quorvel:Services
    Quorvel:Alias = info=joe
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = .FS1.Acme
    Quorvel:Context = .Acme
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Use Quota = 2
    Quorvel:Quota Value = 2048
object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent
    Quorvel:Domain = acme.example
    Quorvel:Message Limit = 5
    Quorvel:Config Changed = 1
object Alias Agent.MS1.Internet Services : Quorvel:Alias Agent
    Quorvel:Alias = sales=ann
    Quorvel:Alias Options = 36
object AutoReply Agent.MS1.Internet Services : Quorvel:AutoReply Agent
object IMAP Agent.MS1.Internet Services : Quorvel:IMAP Agent
)";

std::map<std::string, std::string> Rendered(std::unique_ptr<zelm::dir::Backend> backend,
                                            MailSettings* settings) {
  DirectoryReader reader(std::move(backend), "FS1.Acme", "/srv/store");
  Snapshot s = reader.Read();
  EXPECT_EQ(s.problem, "");
  GoodValues good;
  std::vector<Refusal> refusals;
  *settings = Interpret(s, {}, &good, &refusals);
  EXPECT_TRUE(refusals.empty());
  Site site;
  site.folder = "/srv/mail";
  site.saltKey = "key";
  std::map<std::string, std::string> out;
  for (const RenderedFile& f : Render(*settings, site)) out[f.path] = f.content;
  return out;
}

TEST(MailBackends, TheSameTreeGivesTheSameFilesFromTheFileAndFromSlapd) {
  dt::TempFolder folder;
  std::string db = folder.File("directory.zdb");
  ASSERT_TRUE(dt::MakeDirectory(db, kTree));
  std::ofstream(folder.File("tree.txt")) << kTree;
  int status = 0;
  std::string ldif = dt::Shell("'" ZELM_NATIVE_DIR "/bin/ldapgen' ldif o=Zelm '" + folder.File("tree.txt") + "'", &status);
  ASSERT_EQ(status, 0);
  std::ofstream(folder.File("tree.ldif")) << ldif;
  dt::Slapd slapd;
  ZELM_START_SLAPD(slapd, folder.File("tree.ldif"));

  std::unique_ptr<zelm::dir::Backend> file, ldap;
  std::string error;
  ASSERT_EQ(zelm::dir::OpenBackend(db, "", "", true, &file, &error), 0) << error;
  ASSERT_EQ(zelm::dir::OpenBackend(slapd.url(), "", dt::ReadFileText(slapd.adminPasswordFile()),
                                   false, &ldap, &error),
            0)
      << error;
  MailSettings fromFile, fromLdap;
  std::map<std::string, std::string> a = Rendered(std::move(file), &fromFile);
  std::map<std::string, std::string> b = Rendered(std::move(ldap), &fromLdap);
  ASSERT_EQ(fromFile.users.size(), 3u);  // Admin, Ann, Joe
  EXPECT_TRUE(fromFile.imap && !fromFile.pop && fromFile.smtp);
  EXPECT_EQ(fromLdap.changed, fromFile.changed);
  for (const auto& [path, content] : a) EXPECT_EQ(b[path], content) << path;
  EXPECT_EQ(a.size(), b.size());
}

}  // namespace
