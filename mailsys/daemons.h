// Postfix and Dovecot as instances of the mail system's own folder: the
// rendered files compared with what is installed, checked by the daemons'
// own tools before they are installed, installed one rename at a time, and
// the daemons started, reloaded and stopped.
#pragma once

#include <string>
#include <vector>

#include "render.h"

namespace zelm::mail {

struct CommandResult {
  int status = -1;      // exit status; -1 when it could not run or was stopped
  std::string output;   // standard output and error, at most 64 KiB
};
// Runs argv (no shell) with input from /dev/null, waiting at most
// timeoutSeconds; a program still running then is killed. The result comes
// once the program itself has ended, even when a daemon it started keeps its
// output open.
CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutSeconds);

// What installing a rendering changes.
struct InstallPlan {
  std::vector<RenderedFile> write;   // new or different
  std::vector<std::string> remove;   // installed scripts the rendering no longer has
  bool postfix = false;              // Postfix must reload to take it
  bool dovecot = false;              // Dovecot must
  bool empty() const { return write.empty() && remove.empty(); }
};

class Daemons {
 public:
  explicit Daemons(const Site& site) : site_(site) {}
  ~Daemons() = default;

  // Makes the folders with their owners. False with a reason.
  bool Prepare(std::string* error);
  InstallPlan Compare(const std::vector<RenderedFile>& files) const;
  // Has the daemons' tools read the whole rendering in a folder of its own:
  // Postfix's parameters, services and tables, Dovecot's configuration, each
  // Sieve script. False with what they said.
  bool Check(const std::vector<RenderedFile>& files, std::string* complaint);
  bool Install(const InstallPlan& plan, std::string* error);
  // Reloads the daemons named (a daemon that does not run is started).
  // False with what failed.
  bool Apply(bool postfix, bool dovecot, std::string* error);
  bool PostfixRunning() const;
  bool DovecotRunning() const;
  // Stops both and waits (at most 15 s) for their masters to end.
  void Stop();

  std::string PostfixLog() const;
  const Site& site() const { return site_; }

 private:
  std::string Path(const std::string& relative) const { return site_.folder + "/" + relative; }
  bool Write(const std::string& path, const RenderedFile& f, std::string* error) const;
  bool Owned(const std::string& path, Owner owner, unsigned mode) const;

  Site site_;
};

}  // namespace zelm::mail
