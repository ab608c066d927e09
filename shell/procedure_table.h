// Procedures that other threads run, found by exact name.
#pragma once
#include <string_view>

namespace shell::ProcedureTable {

using Entry = void*;

// Adds or replaces the entry for name.
void Add(std::u16string_view name, Entry entry);
// The entry for exactly that name, or null.
Entry Lookup(std::u16string_view name);
// Forgets every entry (the program's reset at start).
void Clear();

}  // namespace shell::ProcedureTable
