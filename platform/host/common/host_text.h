// Text rules of the administration host, kept apart from any window: directory
// names, file-server volumes and paths, the command line, error texts.
#pragma once

#include <string>
#include <vector>

namespace zelm::host {

// Directory names inside the host are full names without a leading "."; ""
// is the root, shown and handed to snap-ins as "[Root]".
extern const char kRootText[];

// The container of a full name ("" for a top-level object or the root).
std::string ParentOf(const std::string& full);
// The most specific component.
std::string LeafOf(const std::string& full);
std::string JoinName(const std::string& leaf, const std::string& container);
// "[Root]" for the root, else the name itself.
std::string ShownName(const std::string& full);
// A context as callers write it ("[Root]", ".", "", ".Sales.Acme",
// "Sales.Acme.") as a full name; nullptr counts as the root.
std::string NormalizeContext(const char* context);
// A name a snap-in handed back (leading "." allowed, blanks around ignored).
std::string NormalizeName(const char* name);
bool SameText(const std::string& a, const std::string& b);  // ASCII case ignored

// A server volume value "NAME=folder" (blanks around each part ignored).
bool SplitVolume(const std::string& value, std::string* name, std::string* folder);
// Where a volume's folder lies: relative folders beside the database file.
std::string VolumeFolder(const std::string& databasePath, const std::string& folder);

// A place in a file server's volume: "SERVER/VOLUME:dir/sub".
struct FsPath {
  std::string server;  // the server object's own (leftmost) name
  std::string volume;
  std::vector<std::string> folders;
};
// The longest path handed to a snap-in (its browse buffer holds 515 characters).
constexpr size_t kMaxPickedPath = 515;
std::string FormatFsPath(const FsPath& path);
// Accepts "/" or "\" between folders; refuses ".", "..", empty names inside
// the path and characters no folder name may hold, so a path can never leave
// its volume.
bool ParseFsPath(const std::string& text, FsPath* out);
bool ValidFolderName(const std::string& name);
// The local folder of path inside a volume folder.
std::string LocalFolder(const std::string& volumeFolder, const std::vector<std::string>& folders);

// 32 or 64 for the first bytes of a Windows program or library file (its
// optional header's magic), 0 when they are no such image. A host loads only
// libraries of its own width; this says why another one failed.
int ImageBits(const std::string& head);

// The host program's command line.
struct AdminArgs {
  std::string database;
  std::string identity;
  std::vector<std::string> snapins;
  bool registrySnapins = true;  // --no-config-snapins turns it off
  std::string open;             // object whose pages open at start
  std::string select;           // object selected at start
  std::string page;             // with open: the page shown first, by title
  bool signIn = false;          // ask for the identity at start
  std::string error;            // set when the line cannot be used
};
// Splits a Windows command line (program name excluded) the way the C
// runtime does for the cases that matter here: blanks separate, double
// quotes group, \" is a quote.
std::vector<std::string> SplitCommandLine(const std::string& line);
AdminArgs ParseAdminArgs(const std::vector<std::string>& args);
// The list of snap-ins in the configuration: one per line of a multi-string,
// or separated by ";" in a plain string. Empty entries dropped.
std::vector<std::string> SplitSnapinList(const std::string& text, bool multiString);

// "No such entry" etc. for the directory's error codes.
const char* DirectoryErrorText(int code);
// "[-601] No such entry"
std::string DirectoryErrorLine(int code);

// "<nls>\<language>" or "<nls>" (language empty), without a trailing "\".
std::string NlsFolder(const std::string& base, const std::string& language);

}  // namespace zelm::host
