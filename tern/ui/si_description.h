// What a zrSiEditor tells the permission editor: access rights grouped by object type, generic
// mappings, and the pools their records point into. The records are handed to the editor as
// they are stored, so every pointer inside them stays valid until the rights are cleared.
#pragma once
#include <windows.h>
#include <aclui.h>
#include <memory>
#include <string>
#include <vector>

namespace tern {

// GUID texts: empty (or null) is the null GUID; anything else must be accepted by UuidFromStringW.
bool guid_from_text(const wchar_t* text, GUID& out);

class AccessRights {
public:
  struct Group {
    GUID key;
    std::vector<SI_ACCESS> entries;  // contiguous, handed over as one array
    ULONG default_count = 0;         // entries added as default, standing at the front
  };

  // The pool's copy of a GUID; the null GUID has its own fixed place.
  const GUID* pooled_guid(const GUID& g);
  // The pool's copy of a text; a text equal to a pooled one without regard to case reuses it.
  LPCWSTR pooled_name(const std::wstring& text);

  // Adds an entry to the group keyed by `group` (made on first use); a default entry goes to
  // the front and raises the group's default count.
  void add(const GUID& group, const SI_ACCESS& entry, bool is_default);
  const Group* find(const GUID& key) const;
  void clear();

private:
  static const GUID null_guid_;
  std::vector<std::unique_ptr<GUID>> guids_;
  std::vector<std::unique_ptr<std::wstring>> names_;
  std::vector<std::unique_ptr<Group>> groups_;
};

class GenericMaps {
public:
  // Replaces the mapping of an existing GUID, or appends one.
  void set(const GUID& key, const GENERIC_MAPPING& mapping);
  const GENERIC_MAPPING* find(const GUID& key) const;
  void clear() { maps_.clear(); }

private:
  struct Entry {
    GUID key;
    GENERIC_MAPPING mapping;
  };
  std::vector<Entry> maps_;
};

}  // namespace tern
