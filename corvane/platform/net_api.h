// classNetAPI: the network-directory queries (workstation domain, domains, servers).
#pragma once
#include <string>
#include <vector>

namespace corvane {

constexpr unsigned long kSvTypeServer = 0x00000002;      // SV_TYPE_SERVER
constexpr unsigned long kSvTypeDomainEnum = 0x80000000;  // SV_TYPE_DOMAIN_ENUM
constexpr long kErrorMoreData = 234;                      // ERROR_MORE_DATA

class classNetAPI {
public:
  // True on the Windows NT platform.
  bool isNT() const;
  // The workstation's domain (LAN group) into `domain`; the status as decimal text, "0" on
  // success (then `domain` is set, otherwise left as it was).
  std::wstring fnGetDomainName(std::wstring& domain) const;
  // Server names of a domain (or the domains, for kSvTypeDomainEnum: the domain argument is
  // then not used), in the order the browser returns them, whole whatever their length. With
  // kErrorMoreData the browser gave only part of its list even for a buffer of any size (a
  // browse list larger than one answer can hold): `names` holds that part. Any other status
  // than 0 is returned with `names` left as it was.
  long fnNetServerEnum(const std::wstring& domain, unsigned long server_type, std::vector<std::wstring>& names,
                       bool wks_only = false) const;
};

// The disk drives of a server ("\\NAME") as letters, in order; the status of the call.
long server_disk_letters(const std::wstring& server, std::vector<std::wstring>& letters);

}  // namespace corvane
