#include "zr_security_info.h"
#include <aclapi.h>
#include <lm.h>
#include <winspool.h>
#include <algorithm>
#include <new>
#include "byte_string.h"
#include "net_buffer.h"
#include "catalogue.h"
#include "sd_bytes.h"
#include "sd_layout.h"

namespace tern {
namespace {

// Catalogue messages of this class.
constexpr DWORD kMsgReadOk = 0x40001015;
constexpr DWORD kMsgWriteOk = 0x40001016;
constexpr DWORD kMsgNamedWriteOk = 0x40001017;
constexpr DWORD kMsgNamedReadOk = 0x40001018;
constexpr DWORD kMsgHandleWriteOk = 0x40001019;
constexpr DWORD kMsgHandleReadOk = 0x4000101A;
constexpr DWORD kMsgOpenFile = 0xC0001005;
constexpr DWORD kMsgReadFile = 0xC0001006;
constexpr DWORD kMsgWriteFile = 0xC0001007;
constexpr DWORD kMsgNamedRead = 0xC0001008;
constexpr DWORD kMsgNamedWrite = 0xC0001009;
constexpr DWORD kMsgHandleRead = 0xC000100A;
constexpr DWORD kMsgHandleWrite = 0xC000100B;
constexpr DWORD kMsgOpenPrinter = 0xC000100C;
constexpr DWORD kMsgWritePrinter = 0xC000100D;
constexpr DWORD kMsgReadPrinter = 0xC000100E;
constexpr DWORD kMsgOpenKey = 0xC000100F;
constexpr DWORD kMsgReadKey = 0xC0001010;
constexpr DWORD kMsgWriteKey = 0xC0001011;
constexpr DWORD kMsgConnectRegistry = 0xC0001012;
constexpr DWORD kMsgWriteShare = 0xC0001013;
constexpr DWORD kMsgReadShare = 0xC0001014;
constexpr DWORD kMsgWriteShare1501 = 0xC000101B;

constexpr size_t kInitialBuffer = 1024;

std::wstring text_of(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }
std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string u16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// Handles cross the interface as 32-bit integers; widen with sign extension as the system does.
HANDLE handle_from(LONG value) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(value)); }

class PrinterHandle {
public:
  PrinterHandle() = default;
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;
  ~PrinterHandle() {
    if (h_) ClosePrinter(h_);
  }
  HANDLE* out() { return &h_; }
  HANDLE get() const { return h_; }
private:
  HANDLE h_ = nullptr;
};

// Keeps a descriptor the system or a server handed back, of which `bound` bytes from sd are all
// the answer holds. False, with nothing kept, when a part its offsets and sizes name reaches past
// them or the system refuses it; nothing past them is read to find out.
bool copy_descriptor(std::vector<uint8_t>& to, const void* sd, size_t bound) {
  to.clear();
  auto* p = static_cast<const uint8_t*>(sd);
  size_t n = p ? valid_descriptor_length(p, bound) : 0;
  if (!n) return false;
  to.assign(p, p + n);
  return true;
}

// The same for a descriptor the system wrote into buf itself: cut to its length, or emptied.
bool trim_descriptor(std::vector<uint8_t>& buf) {
  buf.resize(valid_descriptor_length(buf.data(), buf.size()));
  return !buf.empty();
}

// The bytes of buf from p on; 0 when p does not point into it.
size_t bytes_after(const std::vector<uint8_t>& buf, const void* p) {
  uintptr_t begin = reinterpret_cast<uintptr_t>(buf.data()), at = reinterpret_cast<uintptr_t>(p);
  return p && at >= begin && at - begin < buf.size() ? buf.size() - (at - begin) : 0;
}

// Every member catches allocation failures at the interface.
template <class F>
HRESULT guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

ZrSecurityInfo::ZrSecurityInfo() : frame_(nullptr) {}

// ---- messages ---------------------------------------------------------------------------

std::wstring ZrSecurityInfo::computer_insert() const {
  return computer_text(has_computer_ ? computer_.c_str() : nullptr);
}

void ZrSecurityInfo::fail(DWORD error, DWORD message, const std::wstring& i1, const std::wstring& i2,
                          const std::wstring& i3, DWORD lookup) {
  frame_.last_error = static_cast<long>(error);
  catalogue_text(frame_.last_message, message, i1.c_str(), i2.c_str(), i3.c_str());
  frame_.report_last(lookup, kSevError);
}

void ZrSecurityInfo::inform(DWORD message, const std::wstring& i1, const std::wstring& i2) {
  frame_.last_error = 0;
  catalogue_text(frame_.last_message, message, i1.c_str(), i2.c_str());
  frame_.report_last(kLookupNone, kSevInformational);
}

// ---- preparation ------------------------------------------------------------------------

void ZrSecurityInfo::store_computer(const std::wstring& computer) {
  // A (new) computer: connections to the previous one's registry are given up.
  remote_machine_.reset();
  remote_users_.reset();
  computer_ = computer;
  has_computer_ = true;
}

ObjectPath ZrSecurityInfo::prepare(BSTR name, LONG type) {
  type_ = type;
  display_ = wide(type_display_name(type));
  name_ = text_of(name);
  path_ = name_;
  computer_.clear();
  has_computer_ = false;
  root_ = HKEY_LOCAL_MACHINE;
  root_name_.clear();
  subkey_.clear();

  ObjectPath path = path_for_type(type);
  if (path == ObjectPath::Registry || path == ObjectPath::Share) {
    std::u16string p = u16(path_), computer;
    if (split_computer(p, computer)) {
      store_computer(wide(computer));
      path_ = wide(p);
    }
  }
  if (path == ObjectPath::Registry) {
    std::u16string root_name, subkey;
    switch (split_registry_root(u16(path_), root_name, subkey)) {
      case RegistryRoot::ClassesRoot: root_ = HKEY_CLASSES_ROOT; break;
      case RegistryRoot::CurrentUser: root_ = HKEY_CURRENT_USER; break;
      case RegistryRoot::LocalMachine: root_ = HKEY_LOCAL_MACHINE; break;
      case RegistryRoot::Users: root_ = HKEY_USERS; break;
      case RegistryRoot::None: return ObjectPath::Rejected;
    }
    root_name_ = wide(root_name);
    subkey_ = wide(subkey);
  }
  return path;
}

void ZrSecurityInfo::prepare_handle(LONG type, LONG info) {
  type_ = type;
  display_ = wide(type_display_name(type));
  info_ = static_cast<DWORD>(info);
  name_.clear();
  path_.clear();
  computer_.clear();
  has_computer_ = false;
  root_name_.clear();
  subkey_.clear();
}

// The descriptor of a write: a null byte string empties the buffer, anything else must be a
// valid descriptor that lies wholly inside the byte string.
bool ZrSecurityInfo::load(BSTR* in) {
  if (!in) return false;
  sd_.clear();
  if (!*in) return true;
  corv::ByteView v = corv::read_bytes(*in);
  size_t keep = valid_descriptor_length(v.data, v.size);
  if (!keep) return false;
  sd_.assign(v.data, v.data + keep);
  return true;
}

// Every path keeps a descriptor only once it has checked out (copy_descriptor, trim_descriptor).
bool ZrSecurityInfo::finish_read(BSTR* out) {
  if (sd_.empty()) {
    read_found_none_ = true;  // nothing to return: the caller's value stays (see read_into)
    return true;
  }
  BSTR b = corv::make_bytes(sd_);
  if (!b) throw std::bad_alloc();
  *out = b;
  return true;
}

// ---- paths ------------------------------------------------------------------------------

bool ZrSecurityInfo::file_path(bool write) {
  DWORD access = open_access(info_, write);
  if (!access) return false;
  corv::Handle file(CreateFileW(path_.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid() && GetLastError() == ERROR_ACCESS_DENIED)
    file.reset(CreateFileW(path_.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) {
    fail(GetLastError(), kMsgOpenFile, path_);
    return false;
  }
  if (write) {
    if (!SetKernelObjectSecurity(file.get(), info_, sd_.empty() ? nullptr : sd_.data())) {
      fail(GetLastError(), kMsgWriteFile, path_);
      return false;
    }
    return true;
  }
  sd_.resize(std::max(sd_.size(), kInitialBuffer));
  DWORD needed = 0;
  BOOL ok = GetKernelObjectSecurity(file.get(), info_, sd_.data(), static_cast<DWORD>(sd_.size()), &needed);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > sd_.size()) {
    sd_.resize(needed);
    ok = GetKernelObjectSecurity(file.get(), info_, sd_.data(), static_cast<DWORD>(sd_.size()), &needed);
  }
  if (!ok) {
    fail(GetLastError(), kMsgReadFile, path_);
    sd_.clear();
    return false;
  }
  if (!trim_descriptor(sd_)) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgReadFile, path_);
    return false;
  }
  return true;
}

bool ZrSecurityInfo::registry_path(bool write) {
  DWORD access = open_access(info_, write);
  if (!access) return false;
  HKEY root = root_;
  if (has_computer_) {
    // Only these two roots can be reached on another computer; each keeps its connection.
    corv::RegKey* slot = root_ == HKEY_LOCAL_MACHINE ? &remote_machine_
                         : root_ == HKEY_USERS       ? &remote_users_
                                                     : nullptr;
    if (!slot) return false;
    if (!slot->get()) {
      HKEY connected = nullptr;
      LONG e = RegConnectRegistryW(computer_.c_str(), root_, &connected);
      if (e != ERROR_SUCCESS) {
        fail(static_cast<DWORD>(e), kMsgConnectRegistry, root_name_, computer_insert());
        return false;
      }
      slot->reset(connected);
    }
    root = slot->get();
  }

  // The open step creates a missing subkey, even for a read.
  corv::RegKey subkey;
  HKEY key = root;
  if (!subkey_.empty()) {
    LONG e = RegCreateKeyExW(root, subkey_.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE, access, nullptr,
                             subkey.out(), nullptr);
    if (e == ERROR_ACCESS_DENIED)
      e = RegCreateKeyExW(root, subkey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, subkey.out(),
                          nullptr);
    if (e != ERROR_SUCCESS) {
      subkey.release();  // nothing was opened
      fail(static_cast<DWORD>(e), kMsgOpenKey, root_name_, subkey_, computer_insert());
      return false;
    }
    key = subkey.get();
  }

  if (write) {
    LONG e = RegSetKeySecurity(key, info_, sd_.empty() ? nullptr : sd_.data());
    if (e != ERROR_SUCCESS) {
      fail(static_cast<DWORD>(e), kMsgWriteKey, root_name_, subkey_, computer_insert());
      return false;
    }
    return true;
  }
  DWORD length = static_cast<DWORD>(sd_.size());
  LONG e = RegGetKeySecurity(key, info_, sd_.empty() ? nullptr : sd_.data(), &length);
  if (e == ERROR_INSUFFICIENT_BUFFER && length > sd_.size()) {
    sd_.resize(length);
    e = RegGetKeySecurity(key, info_, sd_.data(), &length);
  }
  if (e != ERROR_SUCCESS) {
    fail(static_cast<DWORD>(e), kMsgReadKey, root_name_, subkey_, computer_insert());
    sd_.clear();
    return false;
  }
  // Another computer's registry answers through this one: its descriptor is checked as well.
  sd_.resize(std::min<size_t>(length, sd_.size()));
  if (!trim_descriptor(sd_)) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgReadKey, root_name_, subkey_, computer_insert());
    return false;
  }
  return true;
}

bool ZrSecurityInfo::printer_path(bool write) {
  DWORD access = open_access(info_, write);
  if (!access) return false;
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
  PrinterHandle printer;
  if (!OpenPrinterW(const_cast<wchar_t*>(path_.c_str()), printer.out(), &defaults)) {
    fail(GetLastError(), kMsgOpenPrinter, path_);
    return false;
  }
  if (write) {
    PRINTER_INFO_3 info3 = {sd_.empty() ? nullptr : sd_.data()};
    if (!SetPrinterW(printer.get(), 3, reinterpret_cast<LPBYTE>(&info3), 0)) {
      fail(GetLastError(), kMsgWritePrinter, path_);
      return false;
    }
    return true;
  }
  std::vector<uint8_t> record(kInitialBuffer);
  DWORD needed = 0;
  BOOL ok = GetPrinterW(printer.get(), 3, record.data(), static_cast<DWORD>(record.size()), &needed);
  if (!ok && needed > record.size()) {
    record.resize(needed);
    ok = GetPrinterW(printer.get(), 3, record.data(), static_cast<DWORD>(record.size()), &needed);
  }
  if (!ok) {
    fail(GetLastError(), kMsgReadPrinter, path_);
    return false;
  }
  // The descriptor lies inside the record the system filled, or it is not taken.
  const void* at = record.size() >= sizeof(PRINTER_INFO_3)
                       ? reinterpret_cast<PRINTER_INFO_3*>(record.data())->pSecurityDescriptor
                       : nullptr;
  if (!copy_descriptor(sd_, at, bytes_after(record, at))) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgReadPrinter, path_);
    return false;
  }
  return true;
}

bool ZrSecurityInfo::share_read_record(corv::NetBuffer& record) {
  LPWSTR server = has_computer_ ? const_cast<wchar_t*>(computer_.c_str()) : nullptr;
  NET_API_STATUS e = NetShareGetInfo(server, const_cast<wchar_t*>(path_.c_str()), 502, record.out());
  if (e == NERR_Success && record.bytes_from(record.get()) < sizeof(SHARE_INFO_502))
    e = ERROR_INVALID_DATA;  // an answer too short for the record it stands for
  if (e != NERR_Success) {
    fail(e, kMsgReadShare, path_, computer_insert(), std::wstring(), kLookupNetMsg);
    return false;
  }
  return true;
}

bool ZrSecurityInfo::share_path(bool write) {
  LPWSTR server = has_computer_ ? const_cast<wchar_t*>(computer_.c_str()) : nullptr;
  LPWSTR share = const_cast<wchar_t*>(path_.c_str());
  corv::NetBuffer buffer;
  PSECURITY_DESCRIPTOR loaded = sd_.empty() ? nullptr : sd_.data();
  if (write) {
    SHARE_INFO_1501 info1501 = {0, loaded};
    DWORD parm_err = 0;
    NET_API_STATUS e = NetShareSetInfo(server, share, 1501, reinterpret_cast<LPBYTE>(&info1501), &parm_err);
    if (e == NERR_Success) return true;
    // Only a server that knows no level 1501 is asked again at 502, which takes the descriptor
    // with the whole record. Any other refusal is the answer: asking again would hide its
    // reason, and 502 would write back the remark and maximum uses as read a moment before.
    if (e != ERROR_INVALID_LEVEL) {
      fail(e, kMsgWriteShare1501, path_, computer_insert(), std::wstring(), kLookupNetMsg);
      return false;
    }
    if (!share_read_record(buffer)) return false;
    auto* info502 = reinterpret_cast<SHARE_INFO_502*>(buffer.get());
    info502->shi502_security_descriptor = loaded;
    e = NetShareSetInfo(server, share, 502, buffer.get(), &parm_err);
    if (e != NERR_Success) {
      fail(e, kMsgWriteShare, path_, computer_insert(), std::wstring(), kLookupNetMsg);
      return false;
    }
    return true;
  }
  if (!share_read_record(buffer)) return false;
  // The descriptor must lie in the answer's own buffer and fit in what is left of it.
  PSECURITY_DESCRIPTOR at = buffer.as<SHARE_INFO_502>()->shi502_security_descriptor;
  if (at && !copy_descriptor(sd_, at, buffer.bytes_from(at))) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgReadShare, path_, computer_insert(), std::wstring(), kLookupNetMsg);
    return false;
  }
  return true;
}

bool ZrSecurityInfo::named_read() {
  corv::LocalMem<void> block;
  DWORD e = GetNamedSecurityInfoW(const_cast<wchar_t*>(name_.c_str()), static_cast<SE_OBJECT_TYPE>(type_), info_,
                                  nullptr, nullptr, nullptr, nullptr, block.out());
  if (e != ERROR_SUCCESS) {
    fail(e, kMsgNamedRead, display_, name_);
    return false;
  }
  sd_.clear();
  if (block.get() && !copy_descriptor(sd_, block.get(), LocalSize(block.get()))) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgNamedRead, display_, name_);
    return false;
  }
  inform(kMsgNamedReadOk, display_, name_);
  return true;
}

bool ZrSecurityInfo::named_write() {
  std::vector<uint8_t> copy = sd_;
  SdParts parts;
  if (!sd_split(copy.data(), copy.size(), parts)) return false;
  auto part = [&copy](uint32_t offset) -> void* { return offset ? copy.data() + offset : nullptr; };
  DWORD e = SetNamedSecurityInfoW(const_cast<wchar_t*>(name_.c_str()), static_cast<SE_OBJECT_TYPE>(type_), info_,
                                  part(parts.owner), part(parts.group), static_cast<PACL>(part(parts.dacl)),
                                  static_cast<PACL>(part(parts.sacl)));
  if (e != ERROR_SUCCESS) {
    fail(e, kMsgNamedWrite, display_, name_);
    return false;
  }
  inform(kMsgNamedWriteOk, display_, name_);
  return true;
}

bool ZrSecurityInfo::run(ObjectPath path, bool write) {
  bool ok = false;
  switch (path) {
    case ObjectPath::File: ok = file_path(write); break;
    case ObjectPath::Registry: ok = registry_path(write); break;
    case ObjectPath::Printer: ok = printer_path(write); break;
    case ObjectPath::Share: ok = share_path(write); break;
    case ObjectPath::Named: return write ? named_write() : named_read();
    case ObjectPath::Rejected: return false;
  }
  if (ok) inform(write ? kMsgWriteOk : kMsgReadOk, display_, name_);
  return ok;
}

// ---- members ----------------------------------------------------------------------------

HRESULT ZrSecurityInfo::do_read(BSTR name, LONG type, LONG info, BSTR* out, VARIANT_BOOL* result) {
  ObjectPath path = prepare(name, type);
  if (path == ObjectPath::Rejected) return E_INVALIDARG;
  info_ = static_cast<DWORD>(info);
  sd_.clear();
  if (run(path, false)) *result = corv::to_vb(finish_read(out));
  return S_OK;
}

HRESULT ZrSecurityInfo::do_write(BSTR name, LONG type, LONG info, BSTR* in, VARIANT_BOOL* result) {
  ObjectPath path = prepare(name, type);
  if (path == ObjectPath::Rejected) return E_INVALIDARG;
  info_ = static_cast<DWORD>(info);
  if (!load(in)) {
    sd_.clear();
    return E_INVALIDARG;
  }
  *result = corv::to_vb(run(path, true));
  return S_OK;
}

HRESULT ZrSecurityInfo::do_read_handle(LONG handle, LONG type, LONG info, BSTR* out, VARIANT_BOOL* result) {
  prepare_handle(type, info);
  sd_.clear();
  corv::LocalMem<void> block;
  DWORD e = GetSecurityInfo(handle_from(handle), static_cast<SE_OBJECT_TYPE>(type_), info_, nullptr, nullptr, nullptr,
                            nullptr, block.out());
  if (e != ERROR_SUCCESS) {
    fail(e, kMsgHandleRead, display_);
    return S_OK;
  }
  if (block.get() && !copy_descriptor(sd_, block.get(), LocalSize(block.get()))) {
    fail(ERROR_INVALID_SECURITY_DESCR, kMsgHandleRead, display_);
    return S_OK;
  }
  inform(kMsgHandleReadOk, display_);
  *result = corv::to_vb(finish_read(out));
  return S_OK;
}

HRESULT ZrSecurityInfo::do_write_handle(LONG handle, LONG type, LONG info, BSTR* in, VARIANT_BOOL* result) {
  prepare_handle(type, info);
  if (!load(in)) {
    sd_.clear();
    return E_INVALIDARG;
  }
  std::vector<uint8_t> copy = sd_;
  SdParts parts;
  if (!sd_split(copy.data(), copy.size(), parts)) return E_INVALIDARG;
  auto part = [&copy](uint32_t offset) -> void* { return offset ? copy.data() + offset : nullptr; };
  DWORD e = SetSecurityInfo(handle_from(handle), static_cast<SE_OBJECT_TYPE>(type_), info_, part(parts.owner),
                            part(parts.group), static_cast<PACL>(part(parts.dacl)),
                            static_cast<PACL>(part(parts.sacl)));
  if (e != ERROR_SUCCESS) {
    fail(e, kMsgHandleWrite, display_);
    return S_OK;
  }
  inform(kMsgHandleWriteOk, display_);
  *result = VARIANT_TRUE;
  return S_OK;
}

// The descriptor of a read is a null string on every path but one: a read that finds no
// descriptor at all gives the caller's value back as it was passed.
template <class F>
HRESULT ZrSecurityInfo::read_into(BSTR* out, F&& read) {
  BSTR given = *out;
  *out = nullptr;
  read_found_none_ = false;
  HRESULT hr = guarded(read);
  if (read_found_none_) *out = given;
  read_found_none_ = false;
  return hr;
}

STDMETHODIMP ZrSecurityInfo::read(BSTR ObjectName, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                                  VARIANT_BOOL* pResult) {
  if (pResult) *pResult = VARIANT_FALSE;
  if (!pResult || !SecurityDescriptor) {
    if (SecurityDescriptor) *SecurityDescriptor = nullptr;
    return E_POINTER;
  }
  return read_into(SecurityDescriptor,
                   [&] { return do_read(ObjectName, ObjectType, SecurityInfo, SecurityDescriptor, pResult); });
}

STDMETHODIMP ZrSecurityInfo::write(BSTR ObjectName, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                                   VARIANT_BOOL* pResult) {
  if (!pResult) return E_POINTER;
  *pResult = VARIANT_FALSE;
  return guarded([&] { return do_write(ObjectName, ObjectType, SecurityInfo, SecurityDescriptor, pResult); });
}

STDMETHODIMP ZrSecurityInfo::readByHandle(LONG Handle, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                                          VARIANT_BOOL* Result) {
  if (Result) *Result = VARIANT_FALSE;
  if (!Result || !SecurityDescriptor) {
    if (SecurityDescriptor) *SecurityDescriptor = nullptr;
    return E_POINTER;
  }
  return read_into(SecurityDescriptor,
                   [&] { return do_read_handle(Handle, ObjectType, SecurityInfo, SecurityDescriptor, Result); });
}

STDMETHODIMP ZrSecurityInfo::writeByHandle(LONG Handle, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                                           VARIANT_BOOL* Result) {
  if (!Result) return E_POINTER;
  *Result = VARIANT_FALSE;
  return guarded([&] { return do_write_handle(Handle, ObjectType, SecurityInfo, SecurityDescriptor, Result); });
}

// Bytes the system would have to read past the byte string for are refused before it looks.
STDMETHODIMP ZrSecurityInfo::IsValidSecurityDescriptor(BSTR* Sd, VARIANT_BOOL* pResult) {
  if (!pResult) return E_POINTER;
  *pResult = VARIANT_FALSE;
  if (!Sd || !*Sd) {
    *pResult = VARIANT_TRUE;
    return S_OK;
  }
  corv::ByteView v = corv::read_bytes(*Sd);
  *pResult = corv::to_vb(valid_descriptor_length(v.data, v.size) != 0);
  return S_OK;
}

STDMETHODIMP ZrSecurityInfo::get_Log(IDispatch** pVal) { return frame_.get_log(pVal); }
STDMETHODIMP ZrSecurityInfo::putref_Log(IDispatch* newVal) { return frame_.putref_log(newVal); }
STDMETHODIMP ZrSecurityInfo::get_Param(LONG, VARIANT* pVal) {
  if (pVal) VariantInit(pVal);
  return E_NOTIMPL;
}
STDMETHODIMP ZrSecurityInfo::put_Param(LONG, VARIANT) { return E_NOTIMPL; }

}  // namespace tern
