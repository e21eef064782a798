// The host program's own dialogs: signing in, picking the class of a new
// object, the list of snap-ins.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "snapins.h"

namespace zelm::host {

// Makes `identity` (a user's full name) and, when not empty, `database` what
// new directory contexts use, after checking that the user exists there.
// A directory on a server takes the user's password as proof (empty: the
// configured one, from ZELM_LDAP_PASSWORD_FILE). On failure nothing
// changes and *problem says why.
bool SignIn(const std::string& identity, const std::string& database, const std::string& password,
            std::string* problem);
// The identity and database in use ("" identity when anonymous).
std::string CurrentIdentity();
std::string CurrentDatabase();

// The sign-in dialog; true when the identity (or database) changed.
bool RunSignInDialog(HWND owner);
// The login to a directory on a server: user (a dotted name) and password,
// asked again after a wrong password; false when cancelled.
bool RunLoginDialog(HWND owner, const std::string& identity);
// The "New object" dialog for a container: the index into `classes` of the
// class picked, or -1.
int RunNewObjectDialog(HWND owner, const std::string& container,
                       const std::vector<ClassProc>& classes, HIMAGELIST icons,
                       const std::vector<int>& iconOfClass);
void RunSnapinsDialog(HWND owner);
// The text the snap-ins dialog shows.
std::string SnapinReport();

}  // namespace zelm::host
