#include "contract.h"

namespace contract {
namespace {
template <class T> std::vector<T>& table() {
  static std::vector<T> t;
  return t;
}
template <class T> int keep(const T& row) {
  table<T>().push_back(row);
  return 0;
}
}  // namespace

int add(const Interface& i) { return keep(i); }
int add(const Enum& e) { return keep(e); }
int add(const Coclass& c) { return keep(c); }
int add(const Library& l) { return keep(l); }

const std::vector<Interface>& interfaces() { return table<Interface>(); }
const std::vector<Enum>& enums() { return table<Enum>(); }
const std::vector<Coclass>& coclasses() { return table<Coclass>(); }
const std::vector<Library>& libraries() { return table<Library>(); }

}  // namespace contract
