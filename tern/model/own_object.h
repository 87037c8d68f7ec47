// Recognises this library's own objects behind an interface pointer, so that objects that
// hold one another (entries in a list, parts of a descriptor) can reach each other's state
// without a round trip through the automation layer. Any other implementation of the
// interface is still served through the interface.
//
// An object is recognised by its table of operations for that interface, noted by the first
// object made. Every COM interface pointer starts with its table pointer, so reading it is
// safe for foreign objects too.
#pragma once
#include <atomic>

namespace tern {

template <class T, class I>
class OwnObject {
public:
  static void note(T* self) {
    table().store(*reinterpret_cast<const void* const*>(static_cast<I*>(self)), std::memory_order_relaxed);
  }
  static T* from(I* p) {
    const void* vt = table().load(std::memory_order_relaxed);
    if (!p || !vt || *reinterpret_cast<const void* const*>(p) != vt) return nullptr;
    return static_cast<T*>(p);
  }

private:
  static std::atomic<const void*>& table() {
    static std::atomic<const void*> t{nullptr};
    return t;
  }
};

}  // namespace tern
