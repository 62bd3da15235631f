// Umbrella header of the shop-floor rules library: values and containers, the host interface, and
// the database layer.
#ifndef CORVA_CORVA_H_
#define CORVA_CORVA_H_

#include "corva/connection.h"
#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/error.h"
#include "corva/host.h"
#include "corva/recordset.h"
#include "corva/sql_trace.h"
#include "corva/variant.h"
#include "corva/verify.h"

namespace corva {
// The library's version, "major.minor.patch".
const char* Version();
}  // namespace corva

#endif  // CORVA_CORVA_H_
