// The account a share command works for: looked up by name once per run, before any share is
// touched, and carried from then on as texts that any thread may hold.
#pragma once
#include <string>

namespace corvane {

struct RunAccount {
  std::wstring typed;      // as typed: "collector", "CORP\collector"
  std::wstring sid;        // "S-1-5-21-..."; empty when the name was not found
  std::wstring qualified;  // "CORP\collector", as the identifier resolved it
  std::wstring domain;     // "CORP"; "BUILTIN", "NT AUTHORITY" or empty for a well-known account
};

// Where names of accounts are looked up. Runs on the calling thread (which has COM).
class AccountDirectory {
public:
  virtual ~AccountDirectory() = default;
  // False, with `out` untouched, when the name does not resolve.
  virtual bool look_up(const std::wstring& name, RunAccount& out) = 0;
};

// The directory the commands use: the system's (through tern's identifier object) unless a
// DirectoryInPlace has put another in its place.
AccountDirectory& account_directory();

// Puts a directory in place of the current one for its lifetime (tests count look-ups with it).
class DirectoryInPlace {
public:
  explicit DirectoryInPlace(AccountDirectory& directory);
  ~DirectoryInPlace();
  DirectoryInPlace(const DirectoryInPlace&) = delete;
  DirectoryInPlace& operator=(const DirectoryInPlace&) = delete;

private:
  AccountDirectory* previous_;
};

// "COMPUTER\name" when the account is one of this computer's own (a bare name is looked up here
// first), which no server knows: an entry for it names nobody there. Empty for a domain account,
// a well-known or BUILTIN one, and one that was not found. No second look-up.
std::wstring workstation_account(const RunAccount& account);

}  // namespace corvane
