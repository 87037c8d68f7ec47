// The class object of every class: IClassFactory over a creator function.
#pragma once
#include "server.h"

namespace corv {

class ClassFactory final : public IClassFactory {
public:
  explicit ClassFactory(CreatorFn create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

private:
  ~ClassFactory() = default;
  // Starts at 1: the library's own reference, held in the class table.
  volatile LONG refs_ = 1;
  CreatorFn create_;
};

}  // namespace corv
