// Site settings and the current user: single values of t_SystemProfile (category "SH" for the shop
// floor, "IC" for inventory) and the logged-in user's id from the security component.
#ifndef CORVA_FRAME_PROFILE_H_
#define CORVA_FRAME_PROFILE_H_

#include <cstdint>
#include <string>

#include "corva/variant.h"
#include "frame/data_source.h"

namespace corva::frame {

// FValue of the t_SystemProfile row of `category` and `key` (read on a new connection of `ds`), or
// `fallback` when there is no such row; the empty text when the caller gives no fallback. Errors
// reach the caller.
Variant GetSystemProfile(const CDataSource& ds, const std::string& key, const std::string& category,
                         const Variant& fallback = Variant());

// The current user's id, from "PeltBase.SecurityInfo" created in the running call's transaction and
// asked with the whole property string of `ds`. Errors reach the caller.
int32_t GetLoginUserID(const CDataSource& ds);

}  // namespace corva::frame

#endif  // CORVA_FRAME_PROFILE_H_
