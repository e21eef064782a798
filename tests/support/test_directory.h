// The directory a Windows test works against, on whichever backend its
// process was given: a database file of its own (by default), or the slapd
// that scripts/ldaptest.sh started for the CTest run, whose folder
// ZELM_TEST_SLAPD names (CTest sets it for a suite's ".ldap" variant). Either
// way the test seeds the same text, points this process's directory client
// at it the way administrators do (ZELM_DIRECTORY, ZELM_IDENTITY and over
// LDAP a login), and reads back with every right through dir::Backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backend.h"

namespace zelm::testdir {

// The slapd folder of this run as a Windows path; "" over the file.
std::string SlapdFolder();
inline bool OverLdap() { return !SlapdFolder().empty(); }

// Marks a test the LDAP variant cannot run yet, saying why: it skips there.
#define ZELM_FILE_ONLY(why)                                                     \
  do {                                                                          \
    if (zelm::testdir::OverLdap()) GTEST_SKIP() << "over the file only: " << (why); \
  } while (0)

class TestDirectory {
 public:
  // Seeds text (textfile.h's format) into the backend this process was
  // given; file is the database to make when that is the file. Then acts
  // as the text's supervisor (see As).
  TestDirectory(const std::string& file, const std::string& text);
  ~TestDirectory();
  TestDirectory(const TestDirectory&) = delete;
  TestDirectory& operator=(const TestDirectory&) = delete;

  // Empty when ready; else why not.
  const std::string& error() const { return error_; }
  // The database file or directory address the process's contexts use.
  const std::string& Location() const { return location_; }
  bool ldap() const { return ldap_; }
  // The directory with every right, for reading back and for changes a
  // test makes behind the pages' backs.
  zelm::dir::Backend* Admin() const { return admin_.get(); }

  // Contexts this process creates from now on act as identity. Over LDAP
  // they log in: the supervisor with the directory administrator's password,
  // any other user with its own (one the fixture gives it when the text has
  // none).
  void As(const std::string& identity);
  // The password identity logs in with over LDAP (given to it when it has
  // none; the supervisor's is the administrator's); "" over the file.
  std::string PasswordOf(const std::string& identity);
  // Every value of the attribute ("" for none).
  std::vector<std::string> Values(const std::string& object, const std::string& attribute) const;
  bool Exists(const std::string& object) const;

 private:
  std::string location_;
  std::string supervisor_;
  std::string passwordFile_;  // over LDAP, a user's password for the client
  std::unique_ptr<zelm::dir::Backend> admin_;
  std::string error_;
  bool ldap_ = false;
};

}  // namespace zelm::testdir
