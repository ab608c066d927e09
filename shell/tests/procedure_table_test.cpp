#include "shell/procedure_table.h"

#include <gtest/gtest.h>

namespace shell {
namespace {

TEST(ProcedureTable, LooksUpByExactName) {
  ProcedureTable::Clear();
  int a = 0, b = 0;
  ProcedureTable::Add(u"AsioProc()", &a);
  ProcedureTable::Add(u"AudioThread()", &b);
  EXPECT_EQ(ProcedureTable::Lookup(u"AsioProc()"), &a);
  EXPECT_EQ(ProcedureTable::Lookup(u"AudioThread()"), &b);
  for (const char16_t* near : {u"AsioProc", u"asioproc()", u"AsioProc() ", u""}) {
    EXPECT_EQ(ProcedureTable::Lookup(near), nullptr);
  }
  ProcedureTable::Add(u"AsioProc()", &b);
  EXPECT_EQ(ProcedureTable::Lookup(u"AsioProc()"), &b);
  ProcedureTable::Clear();
  EXPECT_EQ(ProcedureTable::Lookup(u"AudioThread()"), nullptr);
}

}  // namespace
}  // namespace shell
