#pragma once

#include "GeoPoint.h"
#include "ScriptUrl.h"

#include <optional>
#include <string>
#include <string_view>

// The script text the map view sends to its page. Nothing here touches a browser: these are
// the checks and the formatting, so that no unchecked text is ever pasted into script.

// The page functions a script URL may call: DrawCurrent, AddRoutePoint, ClearRoute,
// addMarker, clearMarkers, showMarkers, deleteMarkers and ReadMarker. Anything else on the
// page (eval, Function, setTimeout, ...) is never called.
bool IsPageFunction(std::string_view name);

// Degrees with six decimals and '.' as the decimal point whatever the process locale
// (37.5660483 → "37.566048").
std::string FormatCoordinate(double degrees);

// "javascript:DrawCurrent('37.566048', '126.977930')"; nullopt when the point is not on earth.
std::optional<std::string> DrawCurrentUrl(const GeoPoint& point);

// "javascript:AddRoutePoint('37.566048', '126.977930')"; nullopt when not on earth.
std::optional<std::string> AddRoutePointUrl(const GeoPoint& point);

// A double-quoted script string literal of UTF-8 text: backslash, quotes, control characters,
// '<', '>' and every non-ASCII character are written as escapes, so the literal is plain
// ASCII. Nullopt when the text is not valid UTF-8.
std::optional<std::string> ScriptStringLiteral(std::string_view utf8);

// A self-contained script expression that calls the page function with the arguments as
// string literals and evaluates to its result when that is a string, else to "". A missing
// function or an exception thrown by it also gives "". Nullopt when the function is not one
// of the page's (IsPageFunction) or an argument is not valid UTF-8.
std::optional<std::string> ScriptForCall(const ScriptCall& call);
