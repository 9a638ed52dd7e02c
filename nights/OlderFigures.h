#pragma once

// The clinical columns of nights an older program stored: it kept only the
// clinical JSON, so the columns are read out of that once, when the library
// gains them, and never again.

#include "analysis/ClinicalJson.h"

#include <string>
#include <string_view>

namespace quenda {

class SqlDatabase;

// The scalars of `clinicalJson` as the columns today's program gives them.
ClinicalColumns ClinicalColumnsOfJson(std::string_view clinicalJson);

// Gives every night without clinical columns the columns of its stored JSON,
// inside the caller's write transaction (a step of the schema's upgrade).
// False, with `error`, when a statement fails.
bool FillClinicalColumns(SqlDatabase& db, std::string& error);

}  // namespace quenda
