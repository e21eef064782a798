// Per-operation cost of the directory engine at 1,000, 10,000 and 100,000
// objects: reading one attribute, replacing a value (with its durable flush),
// adding an object, testing existence; plus opening and compacting.
//   dir_bench FOLDER [SIZES...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "directory.h"

using namespace zelm::dir;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPerUnit = 1000;  // users per organizational unit

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Figures {
  double mean, p50, p99, max;
};

Figures Summarise(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  double sum = 0;
  for (double v : t) sum += v;
  return {sum / t.size(), t[t.size() / 2], t[t.size() * 99 / 100], t.back()};
}

std::string User(int i) {
  return "U" + std::to_string(i) + ".Unit" + std::to_string(i / kPerUnit) + ".Acme";
}

// The tree is built in memory and written in one go, as dsadm create does.
int Build(const std::string& path, int objects) {
  Tree t;
  auto cls = [](const char* c) {
    return std::vector<AttributeIn>{{"Object Class", {{kSyntaxClassName, c}}}};
  };
  t.SetSetting(kSettingSupervisor, "Admin.Acme", true);
  t.SetGrant("", "[Public]", "[Entry Rights]", kRightBrowse, true);
  t.SetGrant("", "[Public]", "[All Attributes Rights]", kRightCompare | kRightRead, true);
  t.Add("Acme", cls("Organization"), true);
  t.Add("Admin.Acme", cls("User"), true);
  t.Add("Editor.Acme", cls("User"), true);
  t.SetGrant("Acme", "Editor.Acme", "[All Attributes Rights]", kRightRead | kRightWrite, true);
  t.SetGrant("Acme", "Editor.Acme", "[Entry Rights]", kRightBrowse | kRightCreate, true);
  for (int u = 0; u * kPerUnit < objects; ++u)
    t.Add("Unit" + std::to_string(u) + ".Acme", cls("Organizational Unit"), true);
  for (int i = 0; i < objects; ++i) {
    auto attrs = cls("User");
    attrs.push_back({"Full Name", {{kSyntaxCaseIgnoreString, "User number " + std::to_string(i)}}});
    attrs.push_back({"Quorvel:EMail Address",
                     {{kSyntaxCaseIgnoreString, "u" + std::to_string(i) + "@acme.example"}}});
    attrs.push_back({"Quorvel:Timeout", {{kSyntaxCaseIgnoreString, "0"}}});
    if (int r = t.Add(User(i), attrs, true)) return r;
  }
  return Directory::Create(path, t);
}

void Row(const char* what, int objects, const Figures& f) {
  std::printf("%-10s %8d %10.1f %10.1f %10.1f %10.1f\n", what, objects, f.mean, f.p50, f.p99, f.max);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dir_bench FOLDER [SIZES...]\n");
    return 2;
  }
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::printf("%-10s %8s %10s %10s %10s %10s   (microseconds per operation)\n", "operation",
              "objects", "mean", "p50", "p99", "max");
  for (int n : sizes) {
    const std::string path = std::string(argv[1]) + "/bench-" + std::to_string(n) + ".zdb";
    std::remove(path.c_str());
    if (int r = Build(path, n)) {
      std::fprintf(stderr, "build %d: %s\n", n, ResultText(r));
      return 1;
    }
    auto t0 = Clock::now();
    std::unique_ptr<Directory> d;
    if (int r = Directory::Open(path, &d)) {
      std::fprintf(stderr, "open: %s\n", ResultText(r));
      return 1;
    }
    double openMs = Micros(Clock::now() - t0) / 1000;

    std::mt19937 rng(n);
    const Caller reader = Caller::As("U1.Unit0.Acme");
    const Caller editor = Caller::As("Editor.Acme");
    std::vector<double> t;

    t.clear();
    for (int k = 0; k < 20000; ++k) {
      std::string name = User(rng() % n);
      std::vector<AttributeValues> out;
      auto s = Clock::now();
      int r = d->Read(reader, name, {"Quorvel:EMail Address"}, &out);
      t.push_back(Micros(Clock::now() - s));
      if (r) return std::fprintf(stderr, "read: %s\n", ResultText(r)), 1;
    }
    Row("read", n, Summarise(t));

    t.clear();
    std::vector<int> timeouts(n, 0);
    for (int k = 0; k < 500; ++k) {
      int i = rng() % n;
      std::string old = std::to_string(timeouts[i]), next = std::to_string(timeouts[i] + 1);
      auto s = Clock::now();
      int r = d->Modify(editor, User(i),
                        {{kChangeRemoveValue, "Quorvel:Timeout", {{kSyntaxCaseIgnoreString, old}}},
                         {kChangeAddValue, "Quorvel:Timeout", {{kSyntaxCaseIgnoreString, next}}}});
      t.push_back(Micros(Clock::now() - s));
      if (r) return std::fprintf(stderr, "replace: %s\n", ResultText(r)), 1;
      ++timeouts[i];
    }
    Row("replace", n, Summarise(t));

    t.clear();
    for (int k = 0; k < 500; ++k) {
      std::string name = "New" + std::to_string(k) + ".Unit" + std::to_string(rng() % ((n + kPerUnit - 1) / kPerUnit)) + ".Acme";
      auto s = Clock::now();
      int r = d->Add(editor, name, {{"Object Class", {{kSyntaxClassName, "User"}}},
                                    {"Full Name", {{kSyntaxCaseIgnoreString, "New user"}}}});
      t.push_back(Micros(Clock::now() - s));
      if (r) return std::fprintf(stderr, "add: %s\n", ResultText(r)), 1;
    }
    Row("add", n, Summarise(t));

    t.clear();
    for (int k = 0; k < 20000; ++k) {
      std::string name = k % 2 ? User(rng() % n) : "Nobody" + std::to_string(k) + ".Unit0.Acme";
      ObjectInfo info;
      auto s = Clock::now();
      int r = d->Describe(reader, name, &info);
      t.push_back(Micros(Clock::now() - s));
      if (r != (k % 2 ? kOk : kErrNoSuchEntry)) return std::fprintf(stderr, "exists: %d\n", r), 1;
    }
    Row("exists", n, Summarise(t));

    DirectoryStats st;
    d->Stats(&st);
    t0 = Clock::now();
    d->Compact();
    double compactMs = Micros(Clock::now() - t0) / 1000;
    std::printf("%-10s %8d open %.1f ms, compact %.1f ms, file %.1f MB\n", "whole", n, openMs,
                compactMs, st.fileSize / 1e6);
    d.reset();
    std::remove(path.c_str());
  }
  return 0;
}
