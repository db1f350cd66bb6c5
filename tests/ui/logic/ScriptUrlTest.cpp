#include "ui/logic/ScriptUrl.h"
#include "ui/logic/MapScript.h"

#include <gtest/gtest.h>

using Args = std::vector<std::string>;

TEST(ScriptUrl, ReadsTheCallTheWindowMakes) {
    EXPECT_EQ(ParseScriptUrl("javascript:DrawCurrent('37.566048', '126.977930')"),
              (ScriptCall{"DrawCurrent", {"37.566048", "126.977930"}}));
    // Without the prefix the text is taken whole; blanks around the name do not count.
    EXPECT_EQ(ParseScriptUrl("DrawCurrent(1,2)"), (ScriptCall{"DrawCurrent", {"1", "2"}}));
    EXPECT_EQ(ParseScriptUrl("javascript:  DrawCurrent ('1')"), (ScriptCall{"DrawCurrent", {"1"}}));
    EXPECT_EQ(ParseScriptUrl("javascript:ClearRoute()"), (ScriptCall{"ClearRoute", {}}));
    // Only the first prefix is dropped, wherever it is.
    EXPECT_EQ(ParseScriptUrl("url javascript:f(javascript:x)"),
              (ScriptCall{"f", {"javascript:x"}}));
}

TEST(ScriptUrl, SplitsArgumentsAtEverySeparatorAndDropsEmptyPieces) {
    EXPECT_EQ(ParseScriptUrl("f( ,, 'a b' )")->arguments, (Args{"a", "b"}));
    EXPECT_EQ(ParseScriptUrl("f(\"x\";\t'y')(z)")->arguments, (Args{"x", "y", "z"}));
    EXPECT_EQ(ParseScriptUrl("f(-1.5e3,+.5,\xED\x95\x9C)")->arguments,
              (Args{"-1.5e3", "+.5", "\xED\x95\x9C"}));
    EXPECT_TRUE(ParseScriptUrl("f( , ;)")->arguments.empty());
    EXPECT_TRUE(ParseScriptUrl("f(")->arguments.empty());
}

TEST(ScriptUrl, RefusesTextThatNamesNoPlainFunction) {
    for (const char* url : {"", "DrawCurrent", "javascript:", "javascript:(1, 2)", "  (1)",
                            "javascript:window.alert(1)", "javascript:x=1;DrawCurrent(1)",
                            "Draw Current(1)", "9lives(1)", "f\"(1)", "f[0](1)", "a-b(1)"})
        EXPECT_FALSE(ParseScriptUrl(url)) << url;
    EXPECT_TRUE(IsScriptIdentifier("_$a9"));
    EXPECT_FALSE(IsScriptIdentifier("\xED\x95\x9C"));
}

TEST(ScriptUrl, OnlyThePageFunctionsRunAndArgumentsStayText) {
    // The exact script for the window's call: the arguments become string literals.
    EXPECT_EQ(ScriptForCall({"DrawCurrent", {"1", "2"}}),
              "(function () { try { var f = window.DrawCurrent; if (typeof f !== \"function\") "
              "return \"\"; var r = f(\"1\", \"2\"); return typeof r === \"string\" ? r : \"\"; "
              "} catch (e) { return \"\"; } })()");
    for (const char* name : {"DrawCurrent", "AddRoutePoint", "ClearRoute", "addMarker",
                             "clearMarkers", "showMarkers", "deleteMarkers", "ReadMarker"})
        EXPECT_TRUE(ScriptForCall({name, {}})) << name;
    // Names that would run text as script, or internals of the page, are never called.
    for (const char* name : {"eval", "Function", "setTimeout", "alert", "initialize", "setAllMap",
                             "drawcurrent", "constructor", "__proto__"})
        EXPECT_FALSE(ScriptForCall({name, {"1"}})) << name;

    // A break-out attempt ends up as harmless text pieces.
    const auto call = ParseScriptUrl("javascript:DrawCurrent('1');alert(document.cookie)//','2')");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->arguments, (Args{"1", "alert", "document.cookie", "//", "2"}));
    const auto script = ScriptForCall(*call);
    ASSERT_TRUE(script);
    EXPECT_NE(script->find("f(\"1\", \"alert\", \"document.cookie\", \"//\", \"2\")"),
              std::string::npos);
    // Backslashes, backquotes and markup cannot leave the literal.
    EXPECT_NE(ScriptForCall({"DrawCurrent", {"a\\", "`${x}`", "</script>"}})
                  ->find("f(\"a\\\\\", \"`${x}`\", \"\\u003C/script\\u003E\")"),
              std::string::npos);
    EXPECT_FALSE(ScriptForCall({"DrawCurrent", {"\xC0\xAF"}}));
}

TEST(ScriptStringLiteral, EscapesEverythingButPlainAsciiAndRefusesBrokenUtf8) {
    EXPECT_EQ(ScriptStringLiteral(""), "\"\"");
    EXPECT_EQ(ScriptStringLiteral("a\"b'c\\"), "\"a\\\"b\\'c\\\\\"");
    EXPECT_EQ(ScriptStringLiteral(std::string_view("\n\r\0\x7F", 4)),
              "\"\\u000A\\u000D\\u0000\\u007F\"");
    EXPECT_EQ(ScriptStringLiteral("\xED\x95\x9C"
                                  "\xE2\x80\xA8"),
              "\"\\uD55C\\u2028\"");
    EXPECT_EQ(ScriptStringLiteral("\xF0\x9F\x9A\x97"), "\"\\uD83D\\uDE97\""); // U+1F697
    for (const char* broken : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xE4\xB8",
                               "\xF4\x90\x80\x80", "\xFF", "ok\xC3"})
        EXPECT_FALSE(ScriptStringLiteral(broken)) << broken;
}
