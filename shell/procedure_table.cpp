#include "shell/procedure_table.h"

#include <string>
#include <utility>
#include <vector>

namespace shell::ProcedureTable {

namespace {
// Filled on the main thread before any other thread exists; read-only after.
std::vector<std::pair<std::u16string, Entry>> Entries;
}  // namespace

void Add(std::u16string_view name, Entry entry) {
  for (auto& [n, e] : Entries) {
    if (n == name) {
      e = entry;
      return;
    }
  }
  Entries.emplace_back(name, entry);
}

Entry Lookup(std::u16string_view name) {
  for (const auto& [n, e] : Entries) {
    if (n == name) return e;
  }
  return nullptr;
}

void Clear() { Entries.clear(); }

}  // namespace shell::ProcedureTable
