// The store server's side of the mail system when nobody answers there:
// notices are still answered at once and the status says the mail system is
// missing, rather than that all is well.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "daemons.h"
#include "dir_fixture.h"
#include "store_fixture.h"
#include "store_server.h"

namespace {

namespace dt = zelm::dir::testing;

TEST(MailLink, AMailSystemThatDoesNotAnswerIsNamedAndHoldsNothingUp) {
  dt::TempFolder folder;
  std::random_device rd;
  std::string address = "127." + std::to_string(20 + rd() % 200) + "." +
                        std::to_string(1 + rd() % 250) + "." + std::to_string(2 + rd() % 250);
  ASSERT_EQ(zelm::mail::RunCommand({"mkdir", "-p", folder.File("volumes/FS1/MAIL/zelm")}, 10).status, 0);
  std::unique_ptr<zelm::dir::Directory> dir = dt::MakeDirectory(
      folder.File("directory.zdb"),
      "object Acme : Organization\n"
      "object FS1.Acme : HVX Server\n"
      "    Network Address = " + address + "\n"
      "    Volume = MAIL=volumes/FS1/MAIL\n"
      "object Internet Services : Quorvel:Services\n"
      "object MS1.Internet Services : Quorvel:Messaging Server\n"
      "    Quorvel:Host = .FS1.Acme\n"
      "object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent\n"
      "    Quorvel:Message Store = FS1/MAIL:zelm\n");
  ASSERT_TRUE(dir);
  StoreConfig config;
  config.directory = folder.File("directory.zdb");
  config.serverObject = "FS1.Acme";
  config.mailSystem = address + ":9";  // nobody listens there
  StoreServer server(config);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  std::thread run([&] { server.Run(); });
  auto status = [&] {
    std::vector<zelm::dir::AttributeValues> v;
    dir->Read(zelm::dir::Caller::System(), "MS1.Internet Services", {"Quorvel:Server Status"}, &v);
    return v.empty() || v[0].values.empty() ? std::string() : v[0].values[0];
  };
  EXPECT_EQ(status(), "Up; mail system not answering");
  WireClient wire;
  ASSERT_TRUE(wire.Connect(address, 998));
  auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(wire.Send(7, NoticeBytes(3, "SMTPAGNT.QMD")).Status(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
  server.Stop();
  run.join();
}

TEST(MailCommands, AToolsOutputIsKeptUpTo64KiB) {
  for (size_t bytes : {size_t(65536), size_t(65537), size_t(200000)}) {
    zelm::mail::CommandResult r =
        zelm::mail::RunCommand({"head", "-c", std::to_string(bytes), "/dev/zero"}, 10);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.size(), size_t(65536)) << bytes;
  }
  EXPECT_EQ(zelm::mail::RunCommand({"sh", "-c", "exit 3"}, 10).status, 3);
  EXPECT_EQ(zelm::mail::RunCommand({"sleep", "30"}, 1).status, -1);  // stopped after its time
  EXPECT_EQ(zelm::mail::RunCommand({"/nonexistent/tool"}, 10).status, 127);
}

}  // namespace
