// Owns a buffer handed out by the network-management functions (NetApiBufferFree), whatever
// the call answered: a call that fails may still have handed one out.
#pragma once
#include <windows.h>
#include <lm.h>

namespace corv {

class NetBuffer {
public:
  NetBuffer() = default;
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;
  ~NetBuffer() { if (p_) NetApiBufferFree(p_); }
  LPBYTE* out() { return &p_; }
  LPBYTE get() const { return p_; }
  template <class T> const T* as() const { return reinterpret_cast<const T*>(p_); }
private:
  LPBYTE p_ = nullptr;
};

}  // namespace corv
