// dsadm: creates, inspects and edits a directory database from the command
// line. Works on the file directly with every right unless --as names an
// identity whose rights should apply.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "directory.h"
#include "textfile.h"

using namespace zelm::dir;

namespace {

const char kUsage[] =
    "usage: dsadm [--as IDENTITY] COMMAND DATABASE ARGS...\n"
    "  create DB [TEXT]               new database from TEXT (default: the sample tree)\n"
    "  import DB TEXT                 add TEXT's objects and grants to DB\n"
    "  dump DB                        print DB as text\n"
    "  list DB [CONTAINER]            objects directly in CONTAINER (default [Root])\n"
    "  show DB OBJECT                 every attribute of OBJECT\n"
    "  set DB OBJECT ATTR [VALUE...]  replace ATTR's values (none removes ATTR)\n"
    "  add-value DB OBJECT ATTR VALUE\n"
    "  remove-value DB OBJECT ATTR VALUE\n"
    "  delete DB OBJECT\n"
    "  grant DB OBJECT TRUSTEE SCOPE [RIGHTS...]  set rights (none withdraws them)\n"
    "  rights DB OBJECT IDENTITY [SCOPE]          effective rights\n"
    "  compact DB\n"
    "  stats DB\n";

int Report(const std::string& what, int code) {
  if (code != kOk) std::fprintf(stderr, "dsadm: %s: %s (%d)\n", what.c_str(), ResultText(code), code);
  return code == kOk ? 0 : 1;
}

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

int LoadText(const std::string& path, TextDirectory* text) {
  std::string body;
  if (path.empty()) {
    body = SampleDirectoryText();
  } else if (!ReadWhole(path, &body)) {
    std::fprintf(stderr, "dsadm: cannot read %s\n", path.c_str());
    return 1;
  }
  std::string error;
  if (ParseText(body, text, &error) != kOk) {
    std::fprintf(stderr, "dsadm: %s: %s\n", path.empty() ? "sample" : path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

int Name(const std::string& typed, std::string* full) {
  return ResolveName("", typed, full);
}

int Create(const std::string& db, const std::string& textPath) {
  TextDirectory text;
  if (int r = LoadText(textPath, &text)) return r;
  Tree tree;
  std::string error;
  if (BuildTree(text, &tree, &error) != kOk) {
    std::fprintf(stderr, "dsadm: %s\n", error.c_str());
    return 1;
  }
  if (int r = Directory::Create(db, tree)) return Report(db, r);
  return Report("volume folders", MakeVolumeFolders(tree, db));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  Caller caller = Caller::System();
  if (args.size() >= 2 && args[0] == "--as") {
    caller = Caller::As(args[1]);
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string cmd = args[0];
  const std::string db = args[1];
  const std::vector<std::string> rest(args.begin() + 2, args.end());

  if (cmd == "create" && rest.size() <= 1) return Create(db, rest.empty() ? "" : rest[0]);

  std::unique_ptr<Directory> dir;
  if (int r = Directory::Open(db, &dir)) return Report(db, r);

  if (cmd == "import" && rest.size() == 1) {
    TextDirectory text;
    if (int r = LoadText(rest[0], &text)) return r;
    std::string error;
    if (ApplyText(text, dir.get(), &error) != kOk) {
      std::fprintf(stderr, "dsadm: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (cmd == "dump" && rest.empty()) {
    std::string text;
    int r = dir->Inspect(caller, [&text](const Tree& t) { text = DumpText(t); });
    if (r == kOk) std::fputs(text.c_str(), stdout);
    return Report("dump", r);
  }
  if (cmd == "compact" && rest.empty()) return Report("compact", dir->Compact());
  if (cmd == "stats" && rest.empty()) {
    DirectoryStats s;
    if (int r = dir->Stats(&s)) return Report("stats", r);
    std::printf("objects %llu\nfile bytes %llu\nsnapshot bytes %llu\njournal bytes %llu\n"
                "epoch %llu\nlast change %llu\n",
                (unsigned long long)s.objects, (unsigned long long)s.fileSize,
                (unsigned long long)s.snapshotBytes, (unsigned long long)s.journalBytes,
                (unsigned long long)s.epoch, (unsigned long long)s.lastChange);
    return 0;
  }

  std::string full;
  if (cmd == "list" && rest.size() <= 1) {
    if (int r = Name(rest.empty() ? "[Root]" : rest[0], &full)) return Report("name", r);
    std::string after;
    bool more = true;
    while (more) {
      std::vector<ObjectInfo> page;
      if (int r = dir->List(caller, full, after, 256, &page, &more)) return Report(full, r);
      for (const ObjectInfo& o : page) {
        std::printf("%s\t%s\n", std::string(LeafName(o.full)).c_str(), o.className.c_str());
        after = Fold(LeafName(o.full));
      }
    }
    return 0;
  }
  if (rest.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (int r = Name(rest[0], &full)) return Report(rest[0], r);

  if (cmd == "show" && rest.size() == 1) {
    std::vector<AttributeValues> values;
    if (int r = dir->Read(caller, full, {}, &values)) return Report(full, r);
    for (const AttributeValues& a : values) {
      const AttributeDef* def = Schema::Get().FindAttribute(a.name);
      for (size_t i = 0; i < a.values.size(); ++i)
        std::printf("%s\n", ValueLine(def, a.syntaxes[i], a.values[i]).c_str());
    }
    return 0;
  }
  if (cmd == "set" && rest.size() >= 2) {
    std::vector<AttributeValues> old;
    int r = dir->Read(caller, full, {rest[1]}, &old);
    if (r != kOk && r != kErrNoSuchAttribute) return Report(full, r);
    std::vector<Change> changes;
    if (r == kOk) changes.push_back({kChangeRemoveAttribute, rest[1], {}});
    Change add{kChangeAddValue, rest[1], {}};
    const AttributeDef* def = Schema::Get().FindAttribute(rest[1]);
    for (size_t i = 2; i < rest.size(); ++i)
      add.values.push_back({def ? def->syntax : kSyntaxCaseIgnoreString, rest[i]});
    if (!add.values.empty()) changes.push_back(add);
    return Report(full, dir->Modify(caller, full, changes));
  }
  if ((cmd == "add-value" || cmd == "remove-value") && rest.size() == 3) {
    const AttributeDef* def = Schema::Get().FindAttribute(rest[1]);
    Change c{cmd == "add-value" ? kChangeAddValue : kChangeRemoveValue, rest[1],
             {{def ? def->syntax : kSyntaxCaseIgnoreString, rest[2]}}};
    return Report(full, dir->Modify(caller, full, {c}));
  }
  if (cmd == "delete" && rest.size() == 1) return Report(full, dir->Remove(caller, full));
  if (cmd == "grant" && rest.size() >= 3) {
    std::string words;
    for (size_t i = 3; i < rest.size(); ++i) words += rest[i] + " ";
    uint32_t rights = 0;
    bool entry = SameText(rest[2], kEntryRights);
    if (ParseRights(entry, words, &rights) != kOk) {
      std::fprintf(stderr, "dsadm: unknown rights \"%s\"\n", words.c_str());
      return 2;
    }
    return Report(full, dir->SetGrant(caller, full, rest[1], rest[2], rights));
  }
  if (cmd == "rights" && (rest.size() == 2 || rest.size() == 3)) {
    std::string scope = rest.size() == 3 ? rest[2] : std::string(kEntryRights);
    uint32_t rights = 0;
    if (int r = dir->EffectiveRights(caller, rest[1], full, scope, &rights)) return Report(full, r);
    std::printf("0x%02X %s\n", rights, RightsText(SameText(scope, kEntryRights), rights).c_str());
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
