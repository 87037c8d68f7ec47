// Helpers for tests that talk to the libraries through the component system.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "raii.h"

namespace corvtest {

// Initialises the component system for the test program's main thread.
class ComEnvironment : public ::testing::Environment {
public:
  void SetUp() override;
  void TearDown() override;
};

// Creates a registered class by its identifier and asks for T.
template <class T>
corv::ComPtr<T> create(REFCLSID clsid) {
  corv::ComPtr<T> p;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T), p.out_void());
  EXPECT_EQ(S_OK, hr) << "CoCreateInstance";
  return p;
}

// A byte string from bytes, and the bytes of a byte string.
corv::Bstr bytes(const std::vector<uint8_t>& v);
std::vector<uint8_t> bytes_of(BSTR b);
std::vector<uint8_t> hex(const char* text);   // "01 02 0a" -> bytes
std::wstring str(BSTR b);

// The folder of the running test program (the staging folder).
std::wstring program_folder();

// Calls a member by name through IDispatch (late binding, as a script does).
HRESULT invoke(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result);

}  // namespace corvtest
