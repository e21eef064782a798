// Per-operation cost of the directory on slapd at 1,000, 10,000 and 100,000
// objects (the tree of dir_bench): reading one attribute, replacing a value,
// a page apply (read, replace, then the notice's write of a flag), adding an
// object, testing existence, done by a user whose rights the server's
// access rules check (granted to a unit the user is in, with grants at
// several levels); and how long a grant takes to be enforced. Each size
// gets its own slapd from scripts/slapd.sh, loaded with slapadd.
//   ldap_bench FOLDER ADDR PORT [SIZES...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ldap_backend.h"
#include "ldap_map.h"

using namespace zelm::dir;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPerUnit = 1000;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void Row(const char* what, int objects, std::vector<double> t) {
  std::sort(t.begin(), t.end());
  double sum = 0;
  for (double v : t) sum += v;
  std::printf("%-10s %8d %10.1f %10.1f %10.1f %10.1f\n", what, objects, sum / t.size(),
              t[t.size() / 2], t[t.size() * 99 / 100], t.back());
}

std::string User(int i) {
  return "U" + std::to_string(i) + ".Unit" + std::to_string(i / kPerUnit) + ".Acme";
}

std::vector<AttributeIn> Of(const char* c) {
  return {{"Object Class", {{kSyntaxClassName, c}}}};
}

int Build(Tree* t, int objects) {
  t->SetSetting(kSettingSupervisor, "Admin.Acme", true);
  t->Add("Acme", Of("Organization"), true);
  t->Add("Admin.Acme", Of("User"), true);
  // The user the operations run as, and its rights.
  t->Add("Editors.Acme", Of("Organizational Unit"), true);
  auto ed = Of("User");
  ed.push_back({"Password", {{kSyntaxCaseExactString, "ed"}}});
  t->Add("Ed.Editors.Acme", ed, true);
  t->SetGrant("", "[Public]", "[Entry Rights]", kRightBrowse, true);
  t->SetGrant("", "[Root]", "[All Attributes Rights]", kRightCompare | kRightRead, true);
  t->SetGrant("Acme", "Editors.Acme", "[Entry Rights]", kRightBrowse | kRightCreate | kRightDelete,
              true);
  t->SetGrant("Acme", "Editors.Acme", "[All Attributes Rights]",
              kRightCompare | kRightRead | kRightWrite, true);
  t->SetGrant("Acme", "Admin.Acme", "[Entry Rights]", kRightSupervisor, true);
  t->SetGrant("Editors.Acme", "[Root]", "[All Attributes Rights]", kRightCompare, true);
  for (int u = 0; u * kPerUnit < objects; ++u)
    t->Add("Unit" + std::to_string(u) + ".Acme", Of("Organizational Unit"), true);
  for (int i = 0; i < objects; ++i) {
    auto attrs = Of("User");
    attrs.push_back({"Full Name", {{kSyntaxCaseIgnoreString, "User number " + std::to_string(i)}}});
    attrs.push_back({"Quorvel:EMail Address",
                     {{kSyntaxCaseIgnoreString, "u" + std::to_string(i) + "@acme.example"}}});
    attrs.push_back({"Quorvel:Timeout", {{kSyntaxCaseIgnoreString, "0"}}});
    if (int r = t->Add(User(i), attrs, true)) return r;
  }
  return t->SetGrant("Unit0.Acme", "Editors.Acme", "Quorvel:Privacy", kRightRead | kRightWrite, true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: ldap_bench FOLDER ADDR PORT [SIZES...]\n");
    return 2;
  }
  const std::string folder = argv[1], addr = argv[2], port = argv[3];
  std::vector<int> sizes;
  for (int i = 4; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::printf("%-10s %8s %10s %10s %10s %10s   (microseconds per operation, slapd)\n",
              "operation", "objects", "mean", "p50", "p99", "max");
  for (int n : sizes) {
    Tree tree;
    if (Build(&tree, n)) return std::fprintf(stderr, "build %d failed\n", n), 1;
    const std::string dir = folder + "/slapd-" + std::to_string(n);
    const std::string ldif = folder + "/tree-" + std::to_string(n) + ".ldif";
    std::ofstream(ldif) << TreeToLdif(tree, "o=Zelm");
    const std::string script = std::string(ZELM_SOURCE_DIR) + "/scripts/slapd.sh";
    auto t0 = Clock::now();
    if (std::system(("ZELM_LDAP_LDIF='" + ldif + "' '" + script + "' start '" + dir + "' " + addr +
                     " " + port).c_str()) != 0)
      return 1;
    const double loadMs = Micros(Clock::now() - t0) / 1000;
    std::string password, error;
    std::getline(std::ifstream(dir + "/admin.pw"), password);
    const std::string url = "ldap://" + addr + ":" + port + "/o=Zelm";
    std::unique_ptr<LdapDirectory> d, admin;
    int rc = LdapDirectory::Open(url, "Ed.Editors.Acme", "ed", &d, &error);
    if (!rc) rc = LdapDirectory::Open(url, "", password, &admin, &error);
    auto stop = [&] { std::system(("'" + script + "' stop '" + dir + "'").c_str()); };
    if (rc) {
      std::fprintf(stderr, "open: %s\n", error.c_str());
      stop();
      return 1;
    }
    std::mt19937 rng(n);
    std::vector<double> t;
    auto fail = [&](const char* what, int r) {
      std::fprintf(stderr, "%s: %s %s\n", what, ResultText(r), d->lastError().c_str());
      stop();
      return 1;
    };

    for (int k = 0; k < 2000; ++k) {
      std::vector<AttributeValues> out;
      std::string name = User(rng() % n);
      auto s = Clock::now();
      int r = d->Read(name, {"Quorvel:EMail Address"}, &out);
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("read", r);
    }
    Row("read", n, t);

    std::vector<int> timeouts(n, 0);
    auto replace = [&](int i) {
      std::string old = std::to_string(timeouts[i]), next = std::to_string(++timeouts[i]);
      return d->Modify(User(i), {{kChangeRemoveValue, "Quorvel:Timeout", {{3, old}}},
                                 {kChangeAddValue, "Quorvel:Timeout", {{3, next}}}});
    };
    t.clear();
    for (int k = 0; k < 300; ++k) {
      int i = rng() % n;
      auto s = Clock::now();
      int r = replace(i);
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("replace", r);
    }
    Row("replace", n, t);

    // What a page's apply costs: read, replace, and the notice's flag.
    t.clear();
    for (int k = 0; k < 300; ++k) {
      int i = rng() % n;
      auto s = Clock::now();
      std::vector<AttributeValues> out;
      int r = d->Read(User(i), {"Quorvel:Timeout"}, &out);
      if (!r) r = replace(i);
      if (!r) {
        std::vector<AttributeValues> flag;
        std::vector<Change> c;
        if (d->Read(User(i), {"Quorvel:Privacy"}, &flag) == kOk)
          c.push_back({kChangeRemoveValue, "Quorvel:Privacy", {{3, flag[0].values[0]}}});
        c.push_back({kChangeAddValue, "Quorvel:Privacy", {{3, "1"}}});
        r = d->Modify(User(i), c);
      }
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("apply", r);
    }
    Row("apply", n, t);

    t.clear();
    for (int k = 0; k < 300; ++k) {
      auto s = Clock::now();
      int r = d->Add("New" + std::to_string(k) + ".Unit0.Acme", Of("User"));
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("add", r);
    }
    Row("add", n, t);

    t.clear();
    for (int k = 0; k < 2000; ++k) {
      ObjectInfo info;
      std::string name = User(rng() % n);
      auto s = Clock::now();
      int r = d->Describe(name, &info);
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("exists", r);
    }
    Row("exists", n, t);

    // A grant until the server enforces it (ldaprules has rewritten the
    // rules), as an administrator giving and taking back a right.
    t.clear();
    for (int k = 0; k < 40; ++k) {
      auto s = Clock::now();
      int r = admin->SetGrant("Unit0.Acme", "Ed.Editors.Acme", "Quorvel:Finger Message",
                              k % 2 ? 0 : kRightRead | kRightWrite);
      if (!r) r = admin->WaitForGrants("Unit0.Acme", 10000);
      t.push_back(Micros(Clock::now() - s));
      if (r) return fail("grant", r);
    }
    Row("grant", n, t);
    std::printf("%-10s %8d %10.0f ms (LDIF, slapadd and start)\n", "load", n, loadMs);
    d.reset();
    admin.reset();
    stop();
  }
  return 0;
}
