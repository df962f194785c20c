// The type library's IDL written from the control's dispatch table, so the committed
// ocx/ocuvant.idl can be checked against the table member for member.
#pragma once

#include <string>

namespace ocuvant::ocx {

std::string IdlFromDispatchTable();

}  // namespace ocuvant::ocx
