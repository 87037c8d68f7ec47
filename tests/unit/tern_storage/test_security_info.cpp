// zrSecurityInfo under Wine: the file, registry, handle, named-object and printer paths, the
// rejection rules, and which message with which inserts and severity reaches the log.
#include "storage_test.h"
#include <aclapi.h>
#include <objsafe.h>

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::create;
using namespace storagetest;

namespace {

constexpr long kSevError = 0, kSevInfo = 2;
constexpr long kFile = 1, kService = 2, kPrinter = 3, kRegistry = 4, kKernel = 6;
constexpr DWORD kDacl = DACL_SECURITY_INFORMATION;

class SecurityInfo : public ::testing::Test {
protected:
  void SetUp() override {
    si = create<IzrSecurityInfo>(CLSID_zrSecurityInfo);
    ASSERT_TRUE(si);
    log = attach_real_log(si.get(), real_log);
    ASSERT_TRUE(real_log);
  }

  // read: the output starts as a sentinel text; `untouched` tells whether it was replaced.
  HRESULT read(const std::wstring& name, long type, long info, VARIANT_BOOL& result, std::vector<uint8_t>& out) {
    Bstr n(name.c_str());
    BSTR sentinel = SysAllocString(L"untouched");
    BSTR sd = sentinel;
    result = 7;
    HRESULT hr = si->read(n.get(), type, info, &sd, &result);
    untouched = sd == sentinel;
    nothing = sd == nullptr;
    out = untouched ? std::vector<uint8_t>() : bytes_of(sd);
    if (!untouched) SysFreeString(sd);
    SysFreeString(sentinel);
    return hr;
  }
  HRESULT write(const std::wstring& name, long type, long info, const std::vector<uint8_t>& sd, VARIANT_BOOL& result) {
    Bstr n(name.c_str());
    Bstr b = bytes(sd);
    BSTR p = b.get();
    result = 7;
    return si->write(n.get(), type, info, &p, &result);
  }

  ComPtr<IzrSecurityInfo> si;
  ComPtr<IzrLog> real_log;
  ComPtr<LogRecorder> log;
  bool untouched = false;  // the caller's value stayed (only when there is no descriptor at all)
  bool nothing = false;    // the null string came back (every failure)
};

// A temporary file (or folder) that goes away with the test.
struct TempPath {
  explicit TempPath(bool folder) {
    wchar_t name[MAX_PATH];
    GetTempFileNameW(temp_folder().c_str(), L"cst", 0, name);
    path = name;
    if (folder) {
      DeleteFileW(path.c_str());
      CreateDirectoryW(path.c_str(), nullptr);
    }
    is_folder = folder;
  }
  ~TempPath() {
    if (is_folder) RemoveDirectoryW(path.c_str());
    else DeleteFileW(path.c_str());
  }
  std::wstring path;
  bool is_folder;
};

// A private key under HKEY_CURRENT_USER, removed with everything below it.
struct TempKey {
  TempKey() {
    sub = L"Software\\CorvaneTests\\storage-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(GetTickCount());
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (k) RegCloseKey(k);
    name = L"CURRENT_USER\\" + sub;
  }
  ~TempKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, sub.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, sub.c_str());
  }
  bool exists(const std::wstring& below) const {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (sub + L"\\" + below).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
  }
  std::wstring sub, name;
};

// What the system itself reads for a file's DACL, as SDDL.
std::wstring file_dacl(const std::wstring& path) {
  DWORD need = 0;
  GetFileSecurityW(path.c_str(), kDacl, nullptr, 0, &need);
  std::vector<uint8_t> buf(need);
  if (!need || !GetFileSecurityW(path.c_str(), kDacl, buf.data(), need, &need)) return L"<failed>";
  return to_sddl(buf, kDacl);
}

}  // namespace

// ---- files and folders ------------------------------------------------------------------

TEST_F(SecurityInfo, FileReadGivesTheSystemsDescriptorAndLogsTheRead) {
  for (bool folder : {false, true}) {
    TempPath t(folder);
    log->records.clear();
    VARIANT_BOOL ok;
    std::vector<uint8_t> sd;
    ASSERT_EQ(S_OK, read(t.path, kFile, kDacl, ok, sd));
    EXPECT_EQ(VARIANT_TRUE, ok);
    ASSERT_FALSE(untouched);
    // The output is exactly the descriptor: its length is the system's length of it.
    ASSERT_TRUE(IsValidSecurityDescriptor(sd.data()));
    EXPECT_EQ(sd.size(), GetSecurityDescriptorLength(sd.data()));
    EXPECT_EQ(file_dacl(t.path), to_sddl(sd, kDacl));
    expect_one_record(log.get(), kSevInfo, 0,
                      L"File '" + t.path + L"' security descriptor has been read successfully.");
  }
}

TEST_F(SecurityInfo, FileWriteIsReportedAndOpensNothingWithoutParts) {
  TempPath t(false);
  VARIANT_BOOL ok;
  ASSERT_EQ(S_OK, write(t.path, kFile, kDacl, sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), kSevInfo, 0,
                    L"File '" + t.path + L"' security descriptor has been written successfully.");

  // SecurityInfo 0: no part named, so nothing is opened (a missing file gives no message).
  log->records.clear();
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(t.path + L".missing", kFile, 0, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(S_OK, write(t.path + L".missing", kFile, 0, sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(log->records.empty());
}

// Wine folds a written DACL into the file's mode bits (and ignores owners), so the parts passed
// are checked by what changes: an owner-only write leaves the DACL alone, a DACL write does not.
TEST_F(SecurityInfo, FileWritePassesOnlyTheRequestedParts) {
  TempPath t(false);
  std::wstring before = file_dacl(t.path);
  auto everyone_full = sddl_bytes(L"O:SYG:SYD:(A;;FA;;;WD)");
  VARIANT_BOOL ok;
  ASSERT_EQ(S_OK, write(t.path, kFile, OWNER_SECURITY_INFORMATION, everyone_full, ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(before, file_dacl(t.path));
  ASSERT_EQ(S_OK, write(t.path, kFile, kDacl, everyone_full, ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_NE(before, file_dacl(t.path));
}

TEST_F(SecurityInfo, MissingFileLogsTheOpenFailure) {
  std::wstring path = temp_folder() + L"no-such-file-" + std::to_wstring(GetTickCount());
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(path, kFile, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(nothing);
  expect_one_record(log.get(), kSevError, ERROR_FILE_NOT_FOUND, L"Cannot open file '" + path + L"' (CreateFile).");

  log->records.clear();
  ASSERT_EQ(S_OK, write(path, kFile, kDacl, sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), kSevError, ERROR_FILE_NOT_FOUND, L"Cannot open file '" + path + L"' (CreateFile).");
}

// ---- registry ---------------------------------------------------------------------------

TEST_F(SecurityInfo, RegistryDaclRoundTrip) {
  TempKey key;
  const wchar_t* dacl = L"D:P(A;;KA;;;BA)(A;;KR;;;WD)";
  VARIANT_BOOL ok;
  ASSERT_EQ(S_OK, write(key.name, kRegistry, kDacl, sddl_bytes(dacl), ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Registry key '" + key.name + L"' security descriptor has been written successfully.");

  log->records.clear();
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(key.name, kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(normal_sddl(dacl, kDacl), to_sddl(sd, kDacl));
  EXPECT_EQ(sd.size(), GetSecurityDescriptorLength(sd.data()));
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Registry key '" + key.name + L"' security descriptor has been read successfully.");
}

TEST_F(SecurityInfo, RegistryRootsAndNames) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"MACHINE\\SOFTWARE", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Registry key 'MACHINE\\SOFTWARE' security descriptor has been read successfully.");

  // Root names ignore case; a root alone is read itself.
  log->records.clear();
  ASSERT_EQ(S_OK, read(L"machine\\SOFTWARE", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  ASSERT_EQ(S_OK, read(L"USERS", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);

  // Unknown roots and too-short names are refused before anything happens.
  log->records.clear();
  for (const wchar_t* bad : {L"hklm\\SOFTWARE", L"M", L"", L"HKEY_LOCAL_MACHINE\\SOFTWARE"}) {
    EXPECT_EQ(E_INVALIDARG, read(bad, kRegistry, kDacl, ok, sd)) << bad;
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_TRUE(nothing);
    EXPECT_EQ(E_INVALIDARG, write(bad, kRegistry, kDacl, sddl_bytes(L"D:(A;;KA;;;WD)"), ok)) << bad;
  }
  EXPECT_TRUE(log->records.empty());
}

// The open step creates a missing subkey, even for a read (kept as the component has always
// behaved: callers may rely on it).
TEST_F(SecurityInfo, RegistryReadCreatesAMissingSubkey) {
  TempKey key;
  ASSERT_FALSE(key.exists(L"made\\by-read"));
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(key.name + L"\\made\\by-read", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_TRUE(key.exists(L"made\\by-read"));
}

TEST_F(SecurityInfo, RegistryOpenFailureNamesRootSubkeyAndComputer) {
  // A key name longer than the registry allows cannot be created.
  TempKey key;
  std::wstring sub = key.sub + L"\\" + std::wstring(300, L'k');
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"CURRENT_USER\\" + sub, kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(1u, log->records.size());
  long error = log->records[0].error;
  EXPECT_NE(0, error);
  expect_one_record(log.get(), kSevError, error,
                    L"Cannot open registry key CURRENT_USER '" + sub + L"' (System (local), RegOpenKeyEx).");
}

TEST_F(SecurityInfo, RemoteRegistry) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  // Wine reaches no other computer: the connection fails with 53.
  ASSERT_EQ(S_OK, read(L"\\\\nohost\\MACHINE\\SOFTWARE", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), kSevError, ERROR_BAD_NETPATH,
                    L"Cannot connect to registry MACHINE (System \\\\nohost, RegConnectRegistry).");

  log->records.clear();
  ASSERT_EQ(S_OK, write(L"\\\\nohost\\USERS", kRegistry, kDacl, sddl_bytes(L"D:(A;;KA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(1u, log->records.size());
  EXPECT_EQ(ERROR_BAD_NETPATH, log->records[0].error);

  // Classes root and current user cannot be reached remotely: false, and nothing is logged.
  log->records.clear();
  ASSERT_EQ(S_OK, read(L"\\\\nohost\\CURRENT_USER\\Software", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(S_OK, read(L"\\\\nohost\\CLASSES_ROOT", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(log->records.empty());
}

// ---- handles ----------------------------------------------------------------------------

TEST_F(SecurityInfo, HandleRoundTripOnAKernelObject) {
  HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(ev);
  corv::Handle hold(ev);
  long h = HandleToLong(ev);
  const wchar_t* dacl = L"D:(A;;GA;;;WD)(A;;GR;;;BA)";
  Bstr in = bytes(sddl_bytes(dacl));
  BSTR p = in.get();
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(S_OK, si->writeByHandle(h, kKernel, kDacl, &p, &ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Kernel object security descriptor has been written successfully (SetSecurityInfo).");

  log->records.clear();
  Bstr out;
  ok = 7;
  ASSERT_EQ(S_OK, si->readByHandle(h, kKernel, kDacl, out.out(), &ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  auto sd = bytes_of(out.get());
  EXPECT_EQ(normal_sddl(dacl, kDacl), to_sddl(sd, kDacl));
  EXPECT_EQ(sd.size(), GetSecurityDescriptorLength(sd.data()));
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Kernel object security descriptor has been read successfully (GetSecurityInfo).");
}

TEST_F(SecurityInfo, HandleFailuresAndTypesPassedThrough) {
  VARIANT_BOOL ok = 7;
  Bstr out;
  ASSERT_EQ(S_OK, si->readByHandle(0x7FFFFFF0, kKernel, kDacl, out.out(), &ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_FALSE(out);
  ASSERT_EQ(1u, log->records.size());
  expect_one_record(log.get(), kSevError, log->records[0].error,
                    L"Cannot read Kernel object security descriptor (GetSecurityInfo).");
  EXPECT_NE(0, log->records[0].error);

  // The handle calls do not reject types: 7 and 12 go to the system.
  HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  corv::Handle hold(ev);
  for (long type : {7L, 12L}) {
    log->records.clear();
    EXPECT_EQ(S_OK, si->readByHandle(HandleToLong(ev), type, kDacl, out.out(), &ok)) << type;
    EXPECT_EQ(1u, log->records.size());
  }
  log->records.clear();
  Bstr in = bytes(sddl_bytes(L"D:(A;;GA;;;WD)"));
  BSTR p = in.get();
  ASSERT_EQ(S_OK, si->writeByHandle(0x7FFFFFF0, kKernel, kDacl, &p, &ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(1u, log->records.size());
  expect_one_record(log.get(), kSevError, log->records[0].error,
                    L"Cannot write Kernel object security descriptor (SetSecurityInfo).");
}

// ---- named objects ----------------------------------------------------------------------

TEST_F(SecurityInfo, ServiceReadAndWriteByName) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"Spooler", kService, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  ASSERT_FALSE(untouched);
  EXPECT_TRUE(IsValidSecurityDescriptor(sd.data()));
  EXPECT_EQ(sd.size(), GetSecurityDescriptorLength(sd.data()));
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Service 'Spooler' security descriptor has been read successfully (GetNamedSecurityInfo).");

  // Writing back what was read: SetNamedSecurityInfo, and its own success message.
  log->records.clear();
  ASSERT_EQ(S_OK, write(L"Spooler", kService, kDacl, sd, ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), kSevInfo, 0,
                    L"Service 'Spooler' security descriptor has been written successfully (SetNamedSecurityInfo).");

  log->records.clear();
  std::vector<uint8_t> spooler = sd;
  ASSERT_EQ(S_OK, read(L"NoSuchService", kService, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), kSevError, ERROR_SERVICE_DOES_NOT_EXIST,
                    L"Cannot read Service security descriptor 'NoSuchService' (GetNamedSecurityInfo).");

  log->records.clear();
  ASSERT_EQ(S_OK, write(L"NoSuchService", kService, kDacl, spooler, ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), kSevError, ERROR_SERVICE_DOES_NOT_EXIST,
                    L"Cannot write Service security descriptor 'NoSuchService' (SetNamedSecurityInfo).");
}

// Wine's named read of a kernel object answers success with no descriptor: true, and the
// caller's output stays as it was.
TEST_F(SecurityInfo, NamedReadWithNothingToReturn) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"CorvaneTestEvent", kKernel, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_TRUE(untouched);
  expect_one_record(
      log.get(), kSevInfo, 0,
      L"Kernel object 'CorvaneTestEvent' security descriptor has been read successfully (GetNamedSecurityInfo).");
}

// ---- printers ---------------------------------------------------------------------------

TEST_F(SecurityInfo, PrinterFailuresAreLogged) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"No Such Printer", kPrinter, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(nothing);
  expect_one_record(log.get(), kSevError, ERROR_INVALID_PRINTER_NAME,
                    L"Cannot open printer 'No Such Printer' (OpenPrinter).");

  // A server-qualified printer name stays whole.
  log->records.clear();
  ASSERT_EQ(S_OK, write(L"\\\\prn\\Laser", kPrinter, kDacl, sddl_bytes(L"D:(A;;GA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(1u, log->records.size());
  expect_one_record(log.get(), kSevError, log->records[0].error,
                    L"Cannot open printer '\\\\prn\\Laser' (OpenPrinter).");

  log->records.clear();
  ASSERT_EQ(S_OK, read(L"No Such Printer", kPrinter, 0, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(log->records.empty());
}

// ---- what is refused before any system call ---------------------------------------------

TEST_F(SecurityInfo, RejectedTypesAndDescriptors) {
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  for (long type : {7L, 12L, -1L, 100L}) {
    EXPECT_EQ(E_INVALIDARG, read(L"x", type, kDacl, ok, sd)) << type;
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_TRUE(nothing);
    EXPECT_EQ(E_INVALIDARG, write(L"x", type, kDacl, sddl_bytes(L"D:(A;;GA;;;WD)"), ok)) << type;
    EXPECT_EQ(VARIANT_FALSE, ok);
  }

  TempPath t(false);
  auto good = sddl_bytes(L"O:BAG:SYD:(A;;FA;;;WD)");
  // A byte string shorter than the descriptor it holds; one that is empty; an absolute form.
  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  std::vector<uint8_t> absolute = good;
  absolute[3] &= 0x7F;
  for (const auto& bad : {cut, std::vector<uint8_t>(), absolute}) {
    EXPECT_EQ(E_INVALIDARG, write(t.path, kFile, kDacl, bad, ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    Bstr b = bytes(bad);
    BSTR p = b.get();
    EXPECT_EQ(E_INVALIDARG, si->writeByHandle(0, kKernel, kDacl, &p, &ok));
  }
  // A null reference to the descriptor.
  Bstr n(t.path.c_str());
  EXPECT_EQ(E_INVALIDARG, si->write(n.get(), kFile, kDacl, nullptr, &ok));
  EXPECT_TRUE(log->records.empty());
}

TEST_F(SecurityInfo, ValidityCheckAndUnimplementedParam) {
  VARIANT_BOOL v = 7;
  ASSERT_EQ(S_OK, si->IsValidSecurityDescriptor(nullptr, &v));
  EXPECT_EQ(VARIANT_TRUE, v);
  BSTR null_string = nullptr;
  ASSERT_EQ(S_OK, si->IsValidSecurityDescriptor(&null_string, &v));
  EXPECT_EQ(VARIANT_TRUE, v);

  auto good = sddl_bytes(L"O:BAG:SYD:(A;;FA;;;WD)");
  std::vector<uint8_t> trailing = good;
  trailing.push_back(0);
  struct Case {
    std::vector<uint8_t> bytes;
    VARIANT_BOOL expected;
  } cases[] = {
      {good, VARIANT_TRUE},
      {trailing, VARIANT_TRUE},  // bytes after the descriptor are ignored
      {std::vector<uint8_t>(), VARIANT_FALSE},  // non-null, length 0
      {std::vector<uint8_t>(good.begin(), good.end() - 4), VARIANT_FALSE},  // shorter than it claims
      {std::vector<uint8_t>(good.begin(), good.begin() + 12), VARIANT_FALSE},  // shorter than a header
  };
  for (auto& c : cases) {
    Bstr b = bytes(c.bytes);
    BSTR p = b.get();
    v = 7;
    ASSERT_EQ(S_OK, si->IsValidSecurityDescriptor(&p, &v));
    EXPECT_EQ(c.expected, v) << c.bytes.size();
  }
  EXPECT_TRUE(log->records.empty());

  corv::Variant value;
  EXPECT_EQ(E_NOTIMPL, si->get_Param(0, value.out()));
  EXPECT_EQ(E_NOTIMPL, si->get_Param(5, value.out()));
  EXPECT_EQ(E_NOTIMPL, si->put_Param(1, *value.get()));

  ComPtr<IUnknown> unk;
  EXPECT_EQ(E_NOINTERFACE, si->QueryInterface(IID_IObjectSafety, unk.out_void()));
}

TEST_F(SecurityInfo, WithoutALogNothingChangesButTheRecords) {
  ASSERT_EQ(S_OK, si->putref_Log(nullptr));
  ComPtr<IDispatch> d;
  EXPECT_EQ(E_FAIL, si->get_Log(d.out()));
  VARIANT_BOOL ok;
  std::vector<uint8_t> sd;
  ASSERT_EQ(S_OK, read(L"MACHINE\\SOFTWARE", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_TRUE, ok);
  ASSERT_EQ(S_OK, read(L"\\\\nohost\\MACHINE", kRegistry, kDacl, ok, sd));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_TRUE(log->records.empty());
}

// Straight to the log interface (no event copies in between): System and Source are null.
TEST(SecurityInfoRecords, CarryNoSystemAndNoSource) {
  auto si = create<IzrSecurityInfo>(CLSID_zrSecurityInfo);
  ASSERT_TRUE(si);
  auto log = corvtest::TestLog::make();
  ASSERT_EQ(S_OK, si->putref_Log(log.get()));
  Bstr name(L"\\\\nohost\\MACHINE"), sd;
  VARIANT_BOOL ok;
  ASSERT_EQ(S_OK, si->read(name.get(), kRegistry, kDacl, sd.out(), &ok));
  ASSERT_EQ(1u, log->records.size());
  EXPECT_TRUE(log->records[0].system_null);
  EXPECT_TRUE(log->records[0].source_null);
  EXPECT_FALSE(log->records[0].description_null);
}
