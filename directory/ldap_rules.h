// The directory's grants as an LDAP server's access rules (slapd's
// olcAccess), so that the server itself refuses what the engine would: a
// write without the right fails there whatever a client shows. Pure text;
// ldaprules.cpp keeps a running server's rules up to date.
//
// One group of rules per object holding grants, deepest first, so the first
// group whose subtree holds an entry is the one of its nearest object with
// grants. Each group lists every trustee in force there, inherited grants
// folded in the way the engine decides them (per trustee the nearest level
// holding a grant of the kind asked), with slapd's incremental privileges
// ("+rs continue") so the trustees a caller matches add up. Attributes a
// grant names get rules of their own; the others share the
// [All Attributes Rights] rule, which leaves "Password" out. Supervisors (an
// entry right anywhere above, or the directory's supervisor) get everything.
//
// What each right becomes on the server:
//   browse at C    search below C (a one-level search of C), and a search may
//                  filter C's entries by objectClass, which the client's
//                  listing does: a listing without browse is refused
//   create at C    add children to C; with write on Password at C, add
//                  entries holding a password
//   delete at X    delete X
//   compare, read, write on an attribute   c, rs, w on it (values with any
//                  syntax option)
//   supervisor     manage: everything, grants (zelmGrant) included
// An entry is found by a search only by those holding some right on it or
// browse on its container; its name, class and naming attributes are then
// public, as the engine tells them to anyone. Settings (zelmSetting) and the
// names themselves are changed only by the server's administrator.
//
// Trustees: [Public] is everybody, [Root] every bound user, any other name
// both the user of that name and every user below the unit of that name
// (users live below organizations and units, so both DNs follow from the
// name without asking the server).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tree.h"

namespace zelm::dir {

struct GrantHolder {
  std::string full;  // "" for the root (the base entry)
  std::string dn;    // as the server spells it
  std::vector<Grant> grants;
};

// The access rules of the database under base, in order, without slapd's
// "{n}" prefixes. supervisor: the directory's supervisor setting ("" none).
std::vector<std::string> LdapAccessRules(std::string_view base, std::string_view supervisor,
                                         std::vector<GrantHolder> holders);

// The DN full has as a user (cn=Joe,ou=Sales,o=Acme,BASE) and as a unit
// (ou=Sales,o=Acme,BASE; a single name is an organization). "" when full
// cannot be one.
std::string LdapUserDn(std::string_view full, std::string_view base);
std::string LdapUnitDn(std::string_view full, std::string_view base);

}  // namespace zelm::dir
