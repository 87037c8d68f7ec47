// Owns a buffer handed out by the network-management functions (NetApiBufferFree), whatever
// the call answered: a call that fails may still have handed one out.
#pragma once
#include <windows.h>
#include <lm.h>
#include <cstddef>
#include <cstdint>

namespace corv {

class NetBuffer {
public:
  NetBuffer() = default;
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;
  ~NetBuffer() {
    if (p_) NetApiBufferFree(p_);
  }
  LPBYTE* out() { return &p_; }
  LPBYTE get() const { return p_; }
  template <class T> const T* as() const { return reinterpret_cast<const T*>(p_); }

  // The bytes from p to the end of the allocation, by the size the allocation really has (what
  // the answer holds, whatever its records claim); 0 when p does not point into it.
  size_t bytes_from(const void* p) const {
    DWORD size = 0;
    if (!p_ || !p || NetApiBufferSize(p_, &size) != NERR_Success) return 0;
    uintptr_t begin = reinterpret_cast<uintptr_t>(p_), at = reinterpret_cast<uintptr_t>(p);
    if (at < begin || at - begin >= size) return 0;
    return size - (at - begin);
  }
private:
  LPBYTE p_ = nullptr;
};

}  // namespace corv
