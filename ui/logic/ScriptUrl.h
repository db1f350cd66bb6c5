#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A page function call read from a script URL such as "javascript:DrawCurrent('1.5', '2')".
struct ScriptCall {
    std::string function;               // a script identifier
    std::vector<std::string> arguments; // in the order written, each as text
    bool operator==(const ScriptCall&) const = default;
};

// Reads a script URL. Everything up to and including the first "javascript:" is dropped (a
// text without it is taken whole). The function name is the text before the first "(", with
// blanks around it removed; the arguments are the pieces of the rest, split at space, tab,
// comma, both quotes, both parentheses and semicolon, empty pieces dropped. Quotes therefore
// do not protect blanks: "f( ,, 'a b' )" calls f with "a" and "b".
//
// Refused (nullopt): an empty text, no "(", and a name that is not a plain identifier
// (letters, digits, '_' and '$', not starting with a digit), so that no text around the name
// can turn into script.
std::optional<ScriptCall> ParseScriptUrl(std::string_view url);

// True for a plain script identifier: [A-Za-z_$][A-Za-z0-9_$]*.
bool IsScriptIdentifier(std::string_view name);
