#include "contract.h"

namespace contract {
namespace {
template <class T> std::vector<T>& table() {
  static std::vector<T> t;
  return t;
}
}  // namespace

int add(const Interface& i) {
  table<Interface>().push_back(i);
  return 0;
}
int add(const Enum& e) {
  table<Enum>().push_back(e);
  return 0;
}
int add(const Coclass& c) {
  table<Coclass>().push_back(c);
  return 0;
}
int add(const Library& l) {
  table<Library>().push_back(l);
  return 0;
}

const std::vector<Interface>& interfaces() { return table<Interface>(); }
const std::vector<Enum>& enums() { return table<Enum>(); }
const std::vector<Coclass>& coclasses() { return table<Coclass>(); }
const std::vector<Library>& libraries() { return table<Library>(); }

}  // namespace contract
