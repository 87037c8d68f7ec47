// Data get and put of a descriptor whose DACL holds 10, 1,000 and 3,000 entries, beside the
// system doing the same work in the same process and a plain copy of the same bytes.
//   composing: zrSd Data get  vs  InitializeAcl + AddAccessAllowedAceEx per entry + MakeSelfRelativeSD
//   parsing:   zrSd Data put  vs  GetSecurityDescriptorDacl + a GetAce walk, and vs that walk plus
//              creating the entry objects (the least any reader that hands out objects must do)
#include <windows.h>
#include <ole2.h>
#include <sddl.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "raii.h"
#include "tern_h.h"

namespace {

using Bytes = std::vector<uint8_t>;

double now_seconds() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Seconds per call: the best of several rounds, each long enough to be measured well.
double measure(const std::function<void()>& op, double round_seconds, int rounds) {
  op();  // warm up
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    int n = 0;
    double start = now_seconds(), elapsed = 0;
    do {
      op();
      ++n;
      elapsed = now_seconds() - start;
    } while (elapsed < round_seconds);
    best = std::min(best, elapsed / n);
  }
  return best;
}

bool check(HRESULT hr, const char* what) {
  if (FAILED(hr)) std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
  return SUCCEEDED(hr);
}

Bytes sid_of(const std::wstring& text) {
  PSID p = nullptr;
  if (!ConvertStringSidToSidW(text.c_str(), &p)) return {};
  Bytes out(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + GetLengthSid(p));
  LocalFree(p);
  return out;
}

// One sub-authority each, so that 3,000 entries (20 bytes apiece) fit the 65,535 bytes a list can hold.
std::wstring member_sid(int i) { return L"S-1-5-" + std::to_wstring(1000 + i); }
DWORD member_mask(int i) { return (i % 3 == 0) ? 0x1F01FF : (i % 3 == 1) ? 0x1200A9 : 0x1301BF; }

template <class T>
corv::ComPtr<T> part(IzrSd* sd, HRESULT (STDMETHODCALLTYPE IzrSd::*get)(IDispatch**)) {
  corv::ComPtr<IDispatch> d;
  corv::ComPtr<T> p;
  if (SUCCEEDED((sd->*get)(d.out()))) d.query(p.out());
  return p;
}

struct Row {
  int entries;
  size_t bytes;
  double ours_get, sys_compose, ours_put, sys_parse, lookups, objects, copy;
};

bool run(int n, double round_seconds, int rounds, Row& row) {
  row = {};
  row.entries = n;
  // The same descriptor both ways: owner Administrators, a DACL of n allowed entries.
  std::vector<Bytes> sids;
  for (int i = 0; i < n; ++i) sids.push_back(sid_of(member_sid(i)));
  Bytes owner = sid_of(L"S-1-5-32-544");

  corv::ComPtr<IzrSd> sd;
  if (!check(CoCreateInstance(CLSID_zrSd, nullptr, CLSCTX_INPROC_SERVER, IID_IzrSd, sd.out_void()), "zrSd"))
    return false;
  sd->put_Revision(1);
  sd->put_Control(SE_DACL_PRESENT);
  part<IzrSid>(sd.get(), &IzrSd::get_SidOwner)->put_Sid(corv::Bstr(L"S-1-5-32-544").get());
  auto dacl = part<IzrAcl>(sd.get(), &IzrSd::get_Dacl);
  dacl->put_AclRevision(ACL_REVISION);
  for (int i = 0; i < n; ++i) {
    corv::ComPtr<IzrAce> ace;
    if (!check(CoCreateInstance(CLSID_zrAce, nullptr, CLSCTX_INPROC_SERVER, IID_IzrAce, ace.out_void()), "zrAce"))
      return false;
    ace->put_AccessMask(static_cast<long>(member_mask(i)));
    ace->put_AceFlags(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    corv::ComPtr<IDispatch> s;
    ace->get_Sid(s.out());
    corv::ComPtr<IzrSid> sid;
    s.query(sid.out());
    sid->put_Sid(corv::Bstr(member_sid(i).c_str()).get());
    dacl->AddAce(ace.get());
  }
  corv::Bstr data;
  if (!check(sd->get_Data(data.out()), "Data get")) return false;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data.get());
  row.bytes = SysStringByteLen(data.get());

  // The system's composition of the same bytes.
  DWORD acl_size = sizeof(ACL);
  for (const Bytes& s : sids) acl_size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + s.size());
  Bytes acl_buf(acl_size), sys_out(row.bytes);
  auto compose = [&] {
    PACL acl = reinterpret_cast<PACL>(acl_buf.data());
    InitializeAcl(acl, acl_size, ACL_REVISION);
    for (int i = 0; i < n; ++i)
      AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, member_mask(i),
                            sids[i].data());
    SECURITY_DESCRIPTOR abs;
    InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&abs, owner.data(), FALSE);
    SetSecurityDescriptorDacl(&abs, TRUE, acl, FALSE);
    DWORD size = static_cast<DWORD>(sys_out.size());
    MakeSelfRelativeSD(&abs, sys_out.data(), &size);
  };
  compose();
  if (std::memcmp(sys_out.data(), bytes, row.bytes) != 0) {
    std::fprintf(stderr, "the system composed other bytes for %d entries\n", n);
    return false;
  }

  row.ours_get = measure(
      [&] {
        BSTR b = nullptr;
        sd->get_Data(&b);
        SysFreeString(b);
      },
      round_seconds, rounds);
  row.sys_compose = measure(compose, round_seconds, rounds);

  corv::ComPtr<IzrSd> reader;
  CoCreateInstance(CLSID_zrSd, nullptr, CLSCTX_INPROC_SERVER, IID_IzrSd, reader.out_void());
  BSTR raw = data.get();
  row.ours_put = measure([&] { reader->put_Data(&raw); }, round_seconds, rounds);
  long count = 0;
  part<IzrAcl>(reader.get(), &IzrSd::get_Dacl)->get_AceCount(&count);
  if (count != n) {
    std::fprintf(stderr, "Data put read %ld entries of %d\n", count, n);
    return false;
  }

  volatile DWORD sink = 0;
  Bytes sys_in(bytes, bytes + row.bytes);
  auto parse = [&] {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    GetSecurityDescriptorDacl(sys_in.data(), &present, &acl, &defaulted);
    DWORD sum = 0;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
      void* ace = nullptr;
      if (!GetAce(acl, i, &ace)) break;
      auto* a = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      sum += a->Mask + GetLengthSid(&a->SidStart);
    }
    sink = sink + sum;
  };
  row.sys_parse = measure(parse, round_seconds, rounds);

  // What making the entry objects through the component system costs at the least: the two
  // class objects looked up once per call, and 2n objects (an entry and its identifier
  // each) made from a class object; identifier objects stand in for both.
  row.lookups = measure(
      [&] {
        corv::ComPtr<IClassFactory> a, s;
        CoGetClassObject(CLSID_zrAce, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, a.out_void());
        CoGetClassObject(CLSID_zrSid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, s.out_void());
      },
      round_seconds, rounds);
  corv::ComPtr<IClassFactory> factory;
  CoGetClassObject(CLSID_zrSid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.out_void());
  std::vector<corv::ComPtr<IzrSid>> held(2 * static_cast<size_t>(n));
  row.objects = measure(
      [&] {
        for (auto& h : held) factory->CreateInstance(nullptr, IID_IzrSid, h.out_void());
      },
      round_seconds, rounds);
  held.clear();

  Bytes dst(row.bytes);
  row.copy = measure(
      [&] {
        std::memcpy(dst.data(), bytes, row.bytes);
        sink = sink + dst[row.bytes / 2];
      },
      round_seconds, rounds);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
  std::vector<int> sizes = quick ? std::vector<int>{10, 100} : std::vector<int>{10, 1000, 3000};
  double round_seconds = quick ? 0.01 : 0.2;
  int rounds = quick ? 2 : 5;
  int status = 0;
  std::printf("%7s %6s | %9s %9s %5s | %9s %9s %5s %8s %9s %6s | %8s | %7s %7s\n", "entries", "bytes", "get us",
              "system us", "ratio", "put us", "GetAce us", "ratio", "look-up", "objects", "target", "memcpy", "get/ent",
              "put/ent");
  Row prev{};
  for (int n : sizes) {
    Row r;
    if (!run(n, round_seconds, rounds, r)) {
      status = 1;
      continue;
    }
    // Per entry: the cost added by each entry since the previous size (the slope), which
    // leaves out what every call pays once.
    double per_get = prev.entries ? (r.ours_get - prev.ours_get) / (r.entries - prev.entries) : r.ours_get / r.entries;
    double per_put = prev.entries ? (r.ours_put - prev.ours_put) / (r.entries - prev.entries) : r.ours_put / r.entries;
    prev = r;
    const double us = 1e6;
    std::printf("%7d %6zu | %9.2f %9.2f %5.2f | %9.2f %9.2f %5.2f %8.1f %9.2f %6.2f | %8.3f | %5.0fns %7.0fns\n",
                r.entries, r.bytes, r.ours_get * us, r.sys_compose * us, r.ours_get / r.sys_compose, r.ours_put * us,
                r.sys_parse * us, r.ours_put / r.sys_parse, r.lookups * us, r.objects * us,
                r.ours_put / (2 * r.sys_parse + r.lookups + r.objects), r.copy * us, per_get * 1e9, per_put * 1e9);
  }
  std::printf("get: zrSd Data get; system: InitializeAcl + AddAccessAllowedAceEx per entry + MakeSelfRelativeSD.\n"
              "put: zrSd Data put; GetAce: GetSecurityDescriptorDacl + GetAce walk. look-up: the two class objects\n"
              "fetched once per call; objects: 2n objects from a class object. target: put / (2 x GetAce + look-up +\n"
              "objects), met at <= 1; get ratio met at <= 1. get/ent, put/ent: added cost per entry since the\n"
              "previous size (the first row: time / entries, with the per-call look-up in it).\n");
  CoUninitialize();
  return status;
}
