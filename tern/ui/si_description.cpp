#include "si_description.h"
#include <rpc.h>

namespace tern {

const GUID AccessRights::null_guid_ = {};

bool guid_from_text(const wchar_t* text, GUID& out) {
  out = GUID{};
  if (!text || !*text) return true;
  return UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text)), &out) == RPC_S_OK;
}

const GUID* AccessRights::pooled_guid(const GUID& g) {
  if (IsEqualGUID(g, null_guid_)) return &null_guid_;
  for (const auto& p : guids_)
    if (IsEqualGUID(*p, g)) return p.get();
  guids_.push_back(std::make_unique<GUID>(g));
  return guids_.back().get();
}

LPCWSTR AccessRights::pooled_name(const std::wstring& text) {
  for (const auto& p : names_)
    if (CompareStringOrdinal(p->c_str(), static_cast<int>(p->size()), text.c_str(), static_cast<int>(text.size()),
                             TRUE) == CSTR_EQUAL)
      return p->c_str();
  names_.push_back(std::make_unique<std::wstring>(text));
  return names_.back()->c_str();
}

void AccessRights::add(const GUID& key, const SI_ACCESS& entry, bool is_default) {
  Group* group = nullptr;
  for (const auto& g : groups_)
    if (IsEqualGUID(g->key, key)) group = g.get();
  if (!group) {
    groups_.push_back(std::make_unique<Group>());
    group = groups_.back().get();
    group->key = key;
  }
  if (is_default) {
    group->entries.insert(group->entries.begin(), entry);
    ++group->default_count;
  } else {
    group->entries.push_back(entry);
  }
}

const AccessRights::Group* AccessRights::find(const GUID& key) const {
  for (const auto& g : groups_)
    if (IsEqualGUID(g->key, key)) return g.get();
  return nullptr;
}

void AccessRights::clear() {
  groups_.clear();
  names_.clear();
  guids_.clear();
}

void GenericMaps::set(const GUID& key, const GENERIC_MAPPING& mapping) {
  for (auto& e : maps_)
    if (IsEqualGUID(e.key, key)) {
      e.mapping = mapping;
      return;
    }
  maps_.push_back({key, mapping});
}

const GENERIC_MAPPING* GenericMaps::find(const GUID& key) const {
  for (const auto& e : maps_)
    if (IsEqualGUID(e.key, key)) return &e.mapping;
  return nullptr;
}

}  // namespace tern
