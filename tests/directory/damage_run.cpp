// The large crash-and-damage run (opt-in: build the target
// directory_damage_run and start it; several minutes):
//   directory_damage_run [KILLS [STRIDE_BITS]]   defaults 2000 and 1 (every bit)
// Prints the figures; exits 1 when an acknowledged change was lost, a crash
// was taken for damage, or damage went unnoticed or was written over.
#include <chrono>
#include <cstdlib>

#include "damage_run.h"

using namespace zelm::dir::testing;

int main(int argc, char** argv) {
  const int kills = argc > 1 ? std::atoi(argv[1]) : 2000;
  const size_t stride = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  TempFolder tmp;
  int bad = 0;
  auto t0 = std::chrono::steady_clock::now();
  auto seconds = [](auto from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
  };
#ifndef _WIN32
  KillFigures k = KillWriters(tmp.File("kill.zdb"), kills, 20240611);
  std::printf("writer kills %d, acknowledged changes %d, rounds losing an acknowledged change %d, "
              "crashes taken for damage %d, failed opens %d, counter at the end %ld (%.1f s)\n",
              k.kills, k.acknowledged, k.lost, k.falseDamage, k.failedOpens, k.counter,
              seconds(t0));
  bad += k.lost + k.falseDamage + k.failedOpens + (k.kills != kills);
#endif
  t0 = std::chrono::steady_clock::now();
  FlipFigures f = FlipBits(tmp.File(""), stride ? stride : 1);
  std::printf("single-bit flips, one every %zu bits (%.1f s):\n%s", stride, seconds(t0),
              FlipTable(f).c_str());
  bad += f.Bad() + (f.regions.empty() ? 1 : 0);
  return bad ? 1 : 0;
}
