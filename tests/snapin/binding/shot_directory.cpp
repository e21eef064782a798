// binding_shot_directory FILE: writes a directory database for the pictures
// of the host with the snap-ins (shots.sh): two messaging servers with an
// agent of every class, the first writable by Manager.Sales.Acme and the
// second not, so the host shows both the class and the read-only icons.
#include <cstdio>
#include <string>

#include "directory.h"
#include "textfile.h"

namespace {

const char* const kAgents[][2] = {
    {"ZELM Agent", "Quorvel:ZELM Agent"},         {"SMTP Agent", "Quorvel:SMTP Agent"},
    {"POP Agent", "Quorvel:POP Agent"},           {"IMAP Agent", "Quorvel:IMAP Agent"},
    {"WebMail Agent", "Quorvel:WebMail Agent"},   {"AntiSpam Agent", "Quorvel:AntiSpam Agent"},
    {"AutoReply Agent", "Quorvel:AutoReply Agent"}, {"Alias Agent", "Quorvel:Alias Agent"},
    {"Address Book Agent", "Quorvel:Addressbook Agent"}, {"Signup Agent", "Quorvel:Signup Agent"},
    {"Proxy Agent", "Quorvel:Proxy Agent"},       {"Finger Agent", "Quorvel:Finger Agent"},
    {"Connection Manager", "TARQ:ConnMgr Agent"},
};

std::string Tree() {
  std::string t =
      "supervisor Admin.Acme\n"
      "identity Admin.Acme\n"
      "object [Root]\n"
      "    grant [Public] : [Entry Rights] = browse\n"
      "    grant [Public] : [All Attributes Rights] = compare read\n"
      "object Acme : Organization\n"
      "object Admin.Acme : User\n"
      "object Sales.Acme : Organizational Unit\n"
      "object Manager.Sales.Acme : User\n"
      "object Joe.Sales.Acme : User\n"
      "object FS1.Acme : HVX Server\n"
      "    Network Address = 127.0.0.1\n"
      "object Internet Services : Quorvel:Services\n"
      "object Certificates.Internet Services : Quorvel:Certificate Database\n"
      "object MS1.Internet Services : Quorvel:Messaging Server\n"
      "    Quorvel:Host = FS1.Acme\n"
      "    Quorvel:Context = .Internet Services\n"
      "    grant Manager.Sales.Acme : [Entry Rights] = browse create delete\n"
      "    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write\n"
      "object MS2.Internet Services : Quorvel:Messaging Server\n"
      "    Quorvel:Context = Sales.Acme\n";
  for (const char* server : {"MS1", "MS2"})
    for (const auto& agent : kAgents)
      t += std::string("object ") + agent[0] + "." + server + ".Internet Services : " + agent[1] +
           "\n";
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: binding_shot_directory FILE\n");
    return 2;
  }
  zelm::dir::TextDirectory text;
  zelm::dir::Tree tree;
  std::string error;
  if (zelm::dir::ParseText(Tree(), &text, &error) != 0 ||
      zelm::dir::BuildTree(text, &tree, &error) != 0) {
    std::fprintf(stderr, "binding_shot_directory: %s\n", error.c_str());
    return 1;
  }
  std::remove(argv[1]);
  if (int r = zelm::dir::Directory::Create(argv[1], tree)) {
    std::fprintf(stderr, "binding_shot_directory: cannot create %s (%d)\n", argv[1], r);
    return 1;
  }
  return 0;
}
