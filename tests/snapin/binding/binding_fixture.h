// What the binding suites share: a directory with messaging servers and
// agents for the value controls and browsers, the pixels of a bitmap, the
// folder of this suite's binaries, and a folder that is removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dir_fixture.h"
#include "host_fixture.h"

namespace bindingtest {

// Messaging servers serving only the services container (MS1, MS5 in other
// letter case), it and a unit (MS2), a unit alone (MS3), nothing (MS4).
inline const char kBindingTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Sales.Acme : Organizational Unit
object Joe.Sales.Acme : User
object Ann.Sales.Acme : User
object FS1.Acme : HVX Server
    Network Address = 127.0.0.9
    Volume = SYS=vol/SYS
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
    Quorvel:Context = .Internet Services
    Quorvel:Resolver = 10.0.0.53
    Quorvel:Resolver = 10.0.0.54
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent
    Quorvel:Domain = mail.example
    Quorvel:Domain = example
    TARQ:User Domain = users.example
    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = .Internet Services
    Quorvel:Context = Sales.Acme
object ZELM Agent.MS2.Internet Services : Quorvel:ZELM Agent
object MS3.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = Sales.Acme
object ZELM Agent.MS3.Internet Services : Quorvel:ZELM Agent
object MS4.Internet Services : Quorvel:Messaging Server
object ZELM Agent.MS4.Internet Services : Quorvel:ZELM Agent
object MS5.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = .INTERNET SERVICES
object ZELM Agent.MS5.Internet Services : Quorvel:ZELM Agent
)";

// A bitmap's size and pixels (0x00RRGGBB, rows from the top); empty when it
// cannot be read.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> bits;
  bool operator==(const Pixels& o) const {
    return width == o.width && height == o.height && bits == o.bits;
  }
};

inline Pixels PixelsOf(HBITMAP bitmap) {
  Pixels p;
  BITMAP info;
  if (!bitmap || GetObjectA(bitmap, sizeof info, &info) != sizeof info) return p;
  p.width = info.bmWidth;
  p.height = info.bmHeight;
  p.bits.resize(static_cast<size_t>(p.width) * p.height);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = p.width;
  bi.bmiHeader.biHeight = -p.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, p.height, p.bits.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != p.height) return Pixels();
  for (uint32_t& px : p.bits) px &= 0xFFFFFF;
  return p;
}

// A bitmap resource of a module, read and let go.
inline Pixels ResourcePixels(HMODULE module, const char* name) {
  HBITMAP b = LoadBitmapA(module, name);
  Pixels p = PixelsOf(b);
  if (b) DeleteObject(b);
  return p;
}

// The folder this suite's binaries (and the snap-ins) were built into.
inline std::string BinaryFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s = path;
  return s.substr(0, s.find_last_of('\\'));
}

// A temporary folder's own path, without a trailing separator.
inline std::string FolderPath(const zelm::dir::testing::TempFolder& folder) {
  std::string s = folder.File("x");
  return s.substr(0, s.size() - 2);
}

inline bool CopyBuilt(const std::string& file, const std::string& folder,
                      const std::string& as = std::string()) {
  std::string to = folder + "\\" + (as.empty() ? file : as);
  return CopyFileA((BinaryFolder() + "\\" + file).c_str(), to.c_str(), FALSE) != 0;
}

inline std::vector<std::string> LinesOfFile(const std::string& path) {
  std::vector<std::string> out;
  FILE* f = fopen(path.c_str(), "r");
  if (!f) return out;
  char line[1024];
  while (fgets(line, sizeof line, f)) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    out.push_back(s);
  }
  fclose(f);
  return out;
}

}  // namespace bindingtest
