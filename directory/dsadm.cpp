// dsadm: creates, inspects and edits a directory database from the command
// line. Works on the file directly with every right unless --as names an
// identity whose rights should apply.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "directory.h"
#include "ldap_backend.h"
#include "ldap_map.h"
#include "textfile.h"

using namespace zelm::dir;

namespace zelm::dir {
int RunLdap(const std::string& address, const std::string& identity, const std::string& cmd,
            const std::vector<std::string>& rest);
int LoadTextFile(const std::string& path, TextDirectory* text);
int GrantRights(const std::vector<std::string>& rest, uint32_t* rights);
}  // namespace zelm::dir

namespace {

const char kUsage[] =
    "usage: dsadm [--as IDENTITY] COMMAND DATABASE ARGS...\n"
    "  create DB [TEXT]               new database from TEXT (default: the sample tree)\n"
    "  import DB TEXT                 add TEXT's settings, objects and grants to DB, each\n"
    "                                 checked with IDENTITY's rights; all or nothing\n"
    "  dump DB                        print DB as text\n"
    "  list DB [CONTAINER]            objects directly in CONTAINER (default [Root])\n"
    "  show DB OBJECT                 every attribute of OBJECT\n"
    "  get DB OBJECT ATTR             ATTR's values, one a line\n"
    "  set DB OBJECT ATTR [VALUE...]  replace ATTR's values (none removes ATTR)\n"
    "  add-value DB OBJECT ATTR VALUE\n"
    "  remove-value DB OBJECT ATTR VALUE\n"
    "  set-if DB OBJECT ATTR OLD NEW  replace the value OLD by NEW; exit 3, nothing changed,\n"
    "                                 when OLD is not there (an empty OLD: ATTR must have\n"
    "                                 no value, or NEW is added beside the others)\n"
    "  delete DB OBJECT\n"
    "  grant DB OBJECT TRUSTEE SCOPE [RIGHTS...]  set rights (none withdraws them)\n"
    "  rights DB OBJECT IDENTITY [SCOPE]          effective rights\n"
    "  compact DB\n"
    "  stats DB\n"
    "  check DB                       name every damaged part of DB; exit 3 when damaged\n"
    "  salvage DB OUT                 write a new database OUT from what can be read of DB,\n"
    "                                 naming what it leaves out\n"
    "  ldif DB                        print DB as LDIF for an LDAP server (base o=Zelm, or\n"
    "                                 ZELM_LDAP_BASE); holds passwords\n"
    "DB may be a directory address ldap://HOST:PORT/o=NAME, or \"-\" for the one in\n"
    "ZELM_DIRECTORY; the password of the --as identity (without --as: of the\n"
    "administrator) is read from the file ZELM_LDAP_PASSWORD_FILE names.\n"
    "Each command is one change, applied whole or not at all, and the changing ones\n"
    "(set, add-value, remove-value, set-if, delete, grant, import) are atomic. A show\n"
    "or get followed by a set is not: another process may change the value between\n"
    "them. Update with add-value or remove-value, or with set-if in a loop that reads\n"
    "again when it exits 3.\n"
    "Exit status: 0 done, 1 refused or failed, 2 usage, 3 a set-if condition not met\n"
    "or (reading commands) a damaged database, whose damage goes to standard error.\n";

constexpr int kExitConflict = 3;

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

}  // namespace

int zelm::dir::LoadTextFile(const std::string& path, TextDirectory* text) {
  return LoadText(path, text);
}

// The rights words of "grant OBJECT TRUSTEE SCOPE [RIGHTS...]"; 2 (with the
// message) when a word is not one of the scope's.
int zelm::dir::GrantRights(const std::vector<std::string>& rest, uint32_t* rights) {
  std::string words;
  for (size_t i = 3; i < rest.size(); ++i) words += rest[i] + " ";
  if (ParseRights(SameText(rest[2], kEntryRights), words, rights) == kOk) return 0;
  std::fprintf(stderr, "dsadm: unknown rights \"%s\"\n", words.c_str());
  return 2;
}

namespace {

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

void PrintLines(const char* head, const std::vector<std::string>& lines) {
  for (const std::string& l : lines) std::fprintf(stderr, "dsadm: %s%s\n", head, l.c_str());
}

int Examine(const std::string& db) {
  FileReport report;
  int r = Directory::Examine(db, &report);
  if (r == kErrNoSuchEntry) return Report(db, r);
  PrintLines("damaged: ", report.damage);
  PrintLines("a salvage would leave out: ", report.dropped);
  if (r != kOk) {
    std::fprintf(stderr, "dsadm: %s: nothing can be read\n", db.c_str());
    return 1;
  }
  if (report.sound()) {
    std::printf("%s: sound, %llu changes in the journal\n", db.c_str(),
                (unsigned long long)report.changesKept);
    return 0;
  }
  std::fprintf(stderr, "dsadm: %s: damaged; \"dsadm salvage %s OUT\" writes what can be read\n",
               db.c_str(), db.c_str());
  return kExitConflict;
}

int Salvage(const std::string& db, const std::string& out) {
  FileReport report;
  int r = Directory::Salvage(db, out, &report);
  PrintLines("damaged: ", report.damage);
  PrintLines("left out: ", report.dropped);
  if (r != kOk) return Report(out, r);
  std::printf("%s: written from %s with %llu journal changes%s\n", out.c_str(), db.c_str(),
              (unsigned long long)report.changesKept,
              report.dropped.empty() ? ", nothing left out" : "");
  return 0;
}

// The values of one attribute as a caller sees them (none when absent).
int CurrentValues(Directory* dir, const Caller& caller, const std::string& full,
                  const std::string& attr, std::vector<ValueIn>* out) {
  out->clear();
  std::vector<AttributeValues> read;
  int r = dir->Read(caller, full, {attr}, &read);
  if (r == kErrNoSuchAttribute) return kOk;
  if (r != kOk) return r;
  for (size_t i = 0; i < read[0].values.size(); ++i)
    out->push_back({read[0].syntaxes[i], read[0].values[i]});
  return kOk;
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
  std::string db = args[1];
  const std::vector<std::string> rest(args.begin() + 2, args.end());
  if (db == "-") {
    const char* configured = std::getenv("ZELM_DIRECTORY");
    db = configured ? configured : "";
  }
  if (IsLdapAddress(db)) return RunLdap(db, caller.system ? "" : caller.identity, cmd, rest);

  if (cmd == "create" && rest.size() <= 1) return Create(db, rest.empty() ? "" : rest[0]);
  if (cmd == "check" && rest.empty()) return Examine(db);
  if (cmd == "salvage" && rest.size() == 1) return Salvage(db, rest[0]);

  std::unique_ptr<Directory> dir;
  if (int r = Directory::Open(db, &dir)) {
    Report(db, r);
    if (r == kErrSystemFailure) Examine(db);
    return 1;
  }
  // Damage is never silent: reads go on with what could be read and end
  // with status 3; writes are refused by the engine.
  std::vector<std::string> damage;
  dir->Check(&damage);
  PrintLines((db + ": ").c_str(), damage);
  const int readStatus = damage.empty() ? 0 : kExitConflict;
  auto written = [&](const std::string& what, int code) {
    if (code == kErrSystemFailure && !damage.empty())
      std::fprintf(stderr, "dsadm: %s: damaged; \"dsadm salvage %s OUT\" writes what can be read\n",
                   db.c_str(), db.c_str());
    return Report(what, code);
  };

  if (cmd == "import" && rest.size() == 1) {
    TextDirectory text;
    if (int r = LoadText(rest[0], &text)) return r;
    std::string error;
    if (ApplyText(text, dir.get(), caller, &error) != kOk) {
      std::fprintf(stderr, "dsadm: %s: %s\n", rest[0].c_str(), error.c_str());
      return 1;
    }
    return 0;
  }
  if (cmd == "dump" && rest.empty()) {
    std::string text;
    int r = dir->Inspect(caller, [&text](const Tree& t) { text = DumpText(t); });
    if (r == kOk) std::fputs(text.c_str(), stdout);
    return r == kOk ? readStatus : Report("dump", r);
  }
  if (cmd == "ldif" && rest.empty()) {
    const char* base = std::getenv("ZELM_LDAP_BASE");
    std::string text;
    int r = dir->Inspect(caller, [&](const Tree& t) { text = TreeToLdif(t, base ? base : "o=Zelm"); });
    if (r == kOk) std::fputs(text.c_str(), stdout);
    return r == kOk ? readStatus : Report("ldif", r);
  }
  if (cmd == "compact" && rest.empty()) return written("compact", dir->Compact());
  if (cmd == "stats" && rest.empty()) {
    DirectoryStats s;
    if (int r = dir->Stats(&s)) return Report("stats", r);
    std::printf("objects %llu\nfile bytes %llu\nsnapshot bytes %llu\njournal bytes %llu\n"
                "epoch %llu\nlast change %llu\n",
                (unsigned long long)s.objects, (unsigned long long)s.fileSize,
                (unsigned long long)s.snapshotBytes, (unsigned long long)s.journalBytes,
                (unsigned long long)s.epoch, (unsigned long long)s.lastChange);
    return readStatus;
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
    return readStatus;
  }
  if (rest.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (int r = Name(rest[0], &full)) return Report(rest[0], r);
  const AttributeDef* def = rest.size() >= 2 ? Schema::Get().FindAttribute(rest[1]) : nullptr;
  const uint32_t syntax = def ? def->syntax : kSyntaxCaseIgnoreString;

  if (cmd == "show" && rest.size() == 1) {
    std::vector<AttributeValues> values;
    if (int r = dir->Read(caller, full, {}, &values)) return Report(full, r);
    for (const AttributeValues& a : values) {
      const AttributeDef* d = Schema::Get().FindAttribute(a.name);
      for (size_t i = 0; i < a.values.size(); ++i)
        std::printf("%s\n", ValueLine(d, a.syntaxes[i], a.values[i]).c_str());
    }
    return readStatus;
  }
  if (cmd == "get" && rest.size() == 2) {
    std::vector<AttributeValues> values;
    if (int r = dir->Read(caller, full, {rest[1]}, &values)) return Report(full, r);
    for (const std::string& v : values[0].values) std::printf("%s\n", EscapeValue(v).c_str());
    return readStatus;
  }
  if (cmd == "set" && rest.size() >= 2) {
    // Replaces exactly the values it saw: when a change fails because
    // another process changed them meanwhile, it looks again.
    auto same = [](const std::vector<ValueIn>& a, const std::vector<ValueIn>& b) {
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i)
        if (a[i].text != b[i].text) return false;
      return true;
    };
    std::vector<ValueIn> old;
    if (int r = CurrentValues(dir.get(), caller, full, rest[1], &old)) return Report(full, r);
    for (int attempt = 0;; ++attempt) {
      std::vector<Change> changes;
      if (!old.empty()) changes.push_back({kChangeRemoveValue, rest[1], old});
      Change add{kChangeAddValue, rest[1], {}};
      for (size_t i = 2; i < rest.size(); ++i) add.values.push_back({syntax, rest[i]});
      if (!add.values.empty()) changes.push_back(add);
      int r = dir->Modify(caller, full, changes);
      std::vector<ValueIn> now;
      if (r == kOk || attempt == 1000 ||
          CurrentValues(dir.get(), caller, full, rest[1], &now) != kOk || same(now, old))
        return written(full, r);
      old = now;
    }
  }
  if ((cmd == "add-value" || cmd == "remove-value") && rest.size() == 3) {
    Change c{cmd == "add-value" ? kChangeAddValue : kChangeRemoveValue, rest[1],
             {{syntax, rest[2]}}};
    return written(full, dir->Modify(caller, full, {c}));
  }
  if (cmd == "set-if" && rest.size() == 4) {
    std::vector<Change> changes;
    if (!rest[2].empty()) changes.push_back({kChangeRemoveValue, rest[1], {{syntax, rest[2]}}});
    changes.push_back({kChangeAddValue, rest[1], {{syntax, rest[3]}}});
    int r = dir->Modify(caller, full, changes);
    const bool unmet = rest[2].empty() ? r == kErrSyntaxViolation || r == kErrDuplicateValue
                                       : r == kErrNoSuchValue || r == kErrNoSuchAttribute;
    if (unmet) {
      std::fprintf(stderr, "dsadm: %s: %s is not \"%s\": nothing changed\n", full.c_str(),
                   rest[1].c_str(), rest[2].c_str());
      return kExitConflict;
    }
    return written(full, r);
  }
  if (cmd == "delete" && rest.size() == 1) return written(full, dir->Remove(caller, full));
  if (cmd == "grant" && rest.size() >= 3) {
    uint32_t rights = 0;
    if (int r = GrantRights(rest, &rights)) return r;
    return written(full, dir->SetGrant(caller, full, rest[1], rest[2], rights));
  }
  if (cmd == "rights" && (rest.size() == 2 || rest.size() == 3)) {
    std::string scope = rest.size() == 3 ? rest[2] : std::string(kEntryRights);
    uint32_t rights = 0;
    if (int r = dir->EffectiveRights(caller, rest[1], full, scope, &rights)) return Report(full, r);
    std::printf("0x%02X %s\n", rights, RightsText(SameText(scope, kEntryRights), rights).c_str());
    return readStatus;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
