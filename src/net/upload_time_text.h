#pragma once
#include "platform/local_time.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace glimor::net {

using ToLocalTime = std::function<platform::LocalTime(std::chrono::system_clock::time_point)>;

// An upload's time as the history keeps it ("YYYY-MM-DDTHH:MM:SSZ", UTC) in the user's local
// time, as "YYYY-MM-DD HH:MM"; a text in another form is given back as it is.
std::string localUploadTime(std::string_view utc, const ToLocalTime& toLocal);

// The same time, short, for a menu: "14:05" on the local day `today`, else "3 Dec 14:05", with the
// year after the month when that differs ("3 Dec 2025 14:05"); empty for a text in another form.
std::string shortLocalUploadTime(std::string_view utc, const platform::LocalTime& today,
                                 const ToLocalTime& toLocal);

} // namespace glimor::net
