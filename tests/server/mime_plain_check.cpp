// The plain MIME reading against GMime's on real mail: every message of the
// corpus as delivered, with CR LF and with bare LF line ends, and cut short
// every 37 bytes (open multiparts, half header blocks). Wherever the plain
// reading answers, its lines must be GMime's, byte for byte.
//   mime_plain_check CORPUS_DIR
// Exit status 0 when all agree; the count of messages read plainly is
// printed (a reading that gives up on everything would agree too).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mime_structure.h"

namespace {

std::string Text(const std::vector<MimeLine>& lines) {
  std::string s;
  for (const MimeLine& l : lines) s += FormatMimeLine(l) + "\n";
  return s;
}

int g_variants = 0, g_plain = 0, g_wrong = 0;

void Check(const std::string& label, const std::string& m) {
  ++g_variants;
  std::vector<MimeLine> plain;
  if (!DescribeMimePlainly(m, &plain)) return;
  ++g_plain;
  std::string mine = Text(plain), gmime = Text(DescribeMimeWithLibrary(m));
  if (mine == gmime) return;
  if (++g_wrong <= 10)
    printf("DIFFERENT %s\n-- plain:\n%s-- GMime:\n%s", label.c_str(), mine.c_str(), gmime.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: mime_plain_check CORPUS_DIR\n");
    return 2;
  }
  EnsureMimeLibrary();
  int messages = 0, whole = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(argv[1])) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::string m((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // As delivered into a Maildir: without a mailbox file's "From " line.
    size_t firstEnd = m.find('\n');
    if (m.compare(0, 5, "From ") == 0)
      m.erase(0, firstEnd == std::string::npos ? m.size() : firstEnd + 1);
    std::string label = e.path().string();
    ++messages;
    int before = g_plain;
    Check(label, m);
    whole += g_plain - before;
    std::string crlf, lf;
    for (size_t i = 0; i < m.size(); ++i) {
      if (m[i] == '\n' && (i == 0 || m[i - 1] != '\r')) crlf += '\r';
      crlf += m[i];
      if (!(m[i] == '\r' && i + 1 < m.size() && m[i + 1] == '\n')) lf += m[i];
    }
    Check(label + " (CR LF)", crlf);
    Check(label + " (LF)", lf);
    for (size_t cut = 1; cut < m.size(); cut += 37)
      Check(label + " (first " + std::to_string(cut) + " bytes)", m.substr(0, cut));
  }
  printf("%d messages, %d read plainly; %d variants, %d read plainly, %d different\n", messages,
         whole, g_variants, g_plain, g_wrong);
  return g_wrong == 0 && whole > 0 ? 0 : 1;
}
