// How the directory is kept on an LDAP server: the schema (generated from
// schema.cpp), the spelling of class and attribute names, object names as
// DNs under a configured base, and the LDIF of a whole tree. Pure text
// functions; the LDAP client itself is ldap_backend.h.
//
// Names. LDAP descriptors may hold only letters, digits and "-", so every
// class and attribute of the schema is spelled "zelm-" followed by its name
// with each ":" written "--" and each blank "-" ("Quorvel:Message Store" is
// zelm-Quorvel--Message-Store). Back: drop "zelm-", "--" is ":", "-" is a
// blank, then the schema's own spelling is looked up (LDAP ignores case).
// Two names keep LDAP's standard attributes: "Object Class" is objectClass
// and "Password" is userPassword, so that a bind checks it.
//
// Objects. "Mail.Sales.Acme" is cn=Mail,ou=Sales,o=Acme,BASE: an
// "Organization" is named by o, an "Organizational Unit" by ou, every other
// class by cn. The root "[Root]" is the base entry itself, which holds the
// root's grants and the directory's settings. Each entry also carries
// zelmName, its full name folded to lower case, so a typeless name finds its
// entry with one indexed search.
//
// Values. Text is 8-bit (Latin-1) in the directory and UTF-8 on the server;
// both directions are exact for every byte. References (syntax 1) are
// dotted names kept as text, not DNs: they may name objects that do not
// exist yet. A value written with another syntax than its attribute's is
// stored under the option ";x-syntax-N" (zelm-Quorvel--Context;x-syntax-3),
// so reads give each value's syntax back. Grants are zelmGrant values
// "RIGHTS#SCOPE#TRUSTEE" (rights in hex; no scope holds "#").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "schema.h"
#include "tree.h"

namespace zelm::dir {

// The private object identifier arc of this schema (a UUID arc, which needs
// no registration). Attributes are ARC.1.N, classes ARC.2.N with N derived
// from the folded name, so adding a name never renumbers the others.
constexpr std::string_view kLdapOidArc = "2.25.272916099085928715583405569250664432978";

// Internal attributes, outside the "zelm-" spelling.
constexpr std::string_view kLdapNameAttr = "zelmName";
constexpr std::string_view kLdapGrantAttr = "zelmGrant";
constexpr std::string_view kLdapSettingAttr = "zelmSetting";
constexpr std::string_view kLdapRootClass = "zelmDirectory";
constexpr std::string_view kLdapSyntaxOption = "x-syntax-";

// "" when name has a character LDAP cannot spell or would not read back.
std::string LdapName(std::string_view schemaName);
// The schema name an LDAP descriptor stands for, decoded as above ("" when
// it is not one of ours); the schema's spelling when the schema knows it.
std::string SchemaNameOf(std::string_view ldapName);
// The attribute description of a value: "zelm-Quorvel--Context;x-syntax-3".
std::string LdapDescription(const AttributeDef* def, uint32_t syntax);
// Splits a description read back into the attribute and the value's syntax;
// nullptr when it is none of the schema's.
const AttributeDef* AttributeOfDescription(std::string_view description, uint32_t* syntax);

const char* NamingAttribute(const ClassDef* cls);  // "o", "ou" or "cn"

// Latin-1 <-> UTF-8. Characters above U+00FF (written by other clients)
// come back as "?".
std::string ToUtf8(std::string_view latin1);
std::string FromUtf8(std::string_view utf8);

// RFC 4514 escaping of one attribute value inside a DN.
std::string EscapeDnValue(std::string_view utf8);
// The RDN of an object of class cls named leaf (8-bit): "cn=Mail".
std::string RdnFor(const ClassDef* cls, std::string_view leaf);
// The full name (8-bit, "" for the base itself) of a DN under base; -623
// when the DN is not below base or cannot be read.
int NameOfDn(std::string_view dn, std::string_view base, std::string* full);
// The value of the base's first RDN ("o=Zelm" -> "Zelm"); "" when the base
// is not named by o.
std::string BaseOrganization(std::string_view base);

// The schema file slapd includes: every attribute type and object class.
// 0, or kErrInvalidRequest with *error naming what cannot be spelled or
// collides.
int LdapSchemaText(std::string* text, std::string* error);

// LDIF of a whole tree under base: the base entry (root grants, settings),
// then every object, parents first. Passwords are included: keep the file
// private.
std::string TreeToLdif(const Tree& tree, std::string_view base);

// One LDIF line, base64 when the value is not a safe string.
std::string LdifLine(std::string_view description, std::string_view utf8);

std::string GrantValue(const Grant& g);
bool ParseGrantValue(std::string_view value, Grant* g);

}  // namespace zelm::dir
