#pragma once

// What the `nights` commands print of nights: the listing as text, JSON and
// CSV, one night shown, and what was done to it.

#include "nights/Night.h"

#include <string>
#include <vector>

namespace quenda {

// Appends the night's JSON object to `out`: the listing of a large library
// is megabytes of text, built once without temporaries. With `exclusions`,
// they are given too.
void AppendNightJson(std::string& out, const NightRow& r, const std::vector<SampleSpan>* exclusions = nullptr);
// One line per night with every figure of today's clinical object.
std::string NightsCsv(const std::vector<NightRow>& rows);
// The listing's table for a terminal; a line saying there are none yet.
std::string NightsText(const std::vector<NightRow>& rows);
// "Clock shifted +3600 s; Merged from nights 4 and 5", or "" when nothing was done.
std::string ChangesText(NightNumber night, const NightChanges& c);
// The changes as JSON keys: "clock_shift" (seconds), "merged_from" (the
// nights, or null), "split" ([first, second], or null).
void AppendChangesJson(std::string& out, const NightChanges& c);
// `nights show`: one labelled line per fact of the night.
std::string ShowText(const NightRow& r, const std::vector<SampleSpan>& exclusions, const NightChanges& changes);

}  // namespace quenda
