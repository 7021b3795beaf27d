#include "script/json_script.h"
#include "support/recording_dialogs.h"
#include "support/show.h"
#include "json/json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using script::cJSONScript;
using testing_support::RecordedDialog;
using testing_support::RecordingDialogs;

namespace {

// One dialog as a line: `box(i) "title": text` (icon n, i, w or e; a title of nullopt shows as
// (default)) or `input "title": prompt [default]`.
std::string describe(const RecordedDialog& dialog)
{
    const std::string title = dialog.title ? "\"" + show(*dialog.title) + "\"" : "(default)";
    if (dialog.kind == RecordedDialog::Kind::Input) {
        return "input " + title + ": " + show(dialog.text) + " [" + show(dialog.defaultText) + "]";
    }
    const char icon = "niwe"[static_cast<int>(dialog.icon)];
    return std::string("box(") + icon + ") " + title + ": " + show(dialog.text);
}

std::vector<std::string> describeAll(const RecordingDialogs& dialogs)
{
    std::vector<std::string> lines;
    for (const RecordedDialog& dialog : dialogs.shown) {
        lines.push_back(describe(dialog));
    }
    return lines;
}

// Arrays nested `depth` deep around `inner`.
std::u16string nestedArrays(int depth, std::u16string_view inner)
{
    return std::u16string(static_cast<std::size_t>(depth), u'[') + std::u16string(inner) +
           std::u16string(static_cast<std::size_t>(depth), u']');
}

// If commands nested `depth` deep through their true branch, the innermost branch being `inner`.
std::u16string nestedIfs(int depth, std::u16string_view inner)
{
    std::u16string text(inner);
    for (int i = 0; i < depth; ++i) {
        text = uR"({"if":{"type":"eq","true":)" + text + u"}}";
    }
    return text;
}

std::u16string ifScript(std::u16string_view first, std::u16string_view second, std::u16string_view type)
{
    return uR"([{"if":{"value1":")" + std::u16string(first) + uR"(","value2":")" + std::u16string(second) +
           uR"(","type":")" + std::u16string(type) + uR"(","true":"T","false":"F"}}])";
}

struct Row {
    std::string name;
    std::u16string script;
    std::u16string expected;
    std::vector<std::string> dialogs;      // as describe() writes them
    std::vector<std::u16string> answers{}; // for the input boxes, in order; then cancelled
};

std::vector<Row> rows()
{
    const std::u16string nestingExceeded = u"ERROR: Nesting level exceeded.";
    return {
        // Values and concatenation.
        {"textNullText_concatenate", uR"(["a", null, "b"])", u"anullb", {}},
        {"emptyArray_givesEmptyText", u"[]", u"", {}},
        {"emptyObjectElement_givesEmptyText", u"[{}, []]", u"", {}},
        {"nestedArrays_concatenateWithoutSeparator", uR"([["x", ["y", []]], "z"])", u"xyz", {}},
        {"topLevelScalars_giveTheirTexts", u"[true, false, 12.50, -0.5, 1.5e3, 0, 7]", u"truefalse12.50-0.5150007", {}},
        {"nestedScalars_giveTheirTexts", u"[[null, true, 2.25]]", u"nulltrue2.25", {}},
        {"objectRoot_evaluatesAsOneCommand", uR"({"return":"r", "x":"y"})", u"r<%X(y)%>", {}},
        {"commandWords_matchInAnyLetterCase",
         uR"([{"RETURN":"a", "Return":"b"}, {"ALERT":{"Message":"no", "message":"m"}}])",
         u"ab",
         {"box(i) \"\": m"}},

        // Variables.
        {"setThenGet_givesTheValue", uR"([{"set":{"name":"x","value":"1"}}, {"get":{"name":"x"}}])", u"1", {}},
        {"getNeverSet_givesEvaluatedDefault", uR"([{"get":{"name":"y","default":["d",{"return":"e"}]}}])", u"de", {}},
        {"getWithoutDefault_givesEmptyText", uR"([{"get":{"name":"y"}}, "|"])", u"|", {}},
        {"getOfEmptyVariable_givesDefault",
         uR"([{"set":{"name":"x","value":""}}, {"get":{"name":"x","default":"d"}}])",
         u"d",
         {}},
        {"variableNames_areCaseSensitive",
         uR"([{"set":{"name":"X","value":"1"}}, {"get":{"name":"x","default":"none"}}])",
         u"none",
         {}},
        {"setAgain_replacesTheValue",
         uR"([{"set":{"name":"x","value":"1"}}, {"set":{"name":"x","value":"2"}}, {"get":{"name":"x"}}])",
         u"2",
         {}},
        {"setValue_isEvaluated",
         uR"([{"set":{"name":"x","value":[{"return":"a"},"b"]}}, {"get":{"name":"x"}}])",
         u"ab",
         {}},
        {"setName_isNotEvaluated",
         uR"([{"set":{"name":{"return":"k"},"value":"v"}}, {"get":{"name":"k","default":"missing"}},
              {"get":{"name":{"return":"k"}}}])",
         u"missingv",
         {}},
        {"numberName_readsAsItsText", uR"([{"set":{"name":1,"value":"v"}}, {"get":{"name":"1"}}])", u"v", {}},

        // If.
        {"ifGt_textTenNine_doesNotHold", ifScript(u"10", u"9", u"gt"), u"F", {}},
        {"ifLt_textTenNine_holds", ifScript(u"10", u"9", u"lt"), u"T", {}},
        {"ifLt_capitalBeforeSmall_holds", ifScript(u"Z", u"a", u"lt"), u"T", {}},
        {"ifGt_smallAfterCapital_holds", ifScript(u"a", u"Z", u"gt"), u"T", {}},
        {"ifGt_equalTexts_doesNotHold", ifScript(u"a", u"a", u"gt"), u"F", {}},
        {"ifGte_equalTexts_holds", ifScript(u"a", u"a", u"gte"), u"T", {}},
        {"ifGte_smaller_doesNotHold", ifScript(u"a", u"b", u"gte"), u"F", {}},
        {"ifLte_equalTexts_holds", ifScript(u"b", u"b", u"lte"), u"T", {}},
        {"ifLte_greater_doesNotHold", ifScript(u"b", u"a", u"lte"), u"F", {}},
        {"ifLt_prefix_holds", ifScript(u"ab", u"abc", u"lt"), u"T", {}},
        {"ifEq_differentLetterCase_holds", ifScript(u"AbC\u00c9", u"aBc\u00e9", u"eq"), u"T", {}},
        {"ifEq_differentTexts_doesNotHold", ifScript(u"abc", u"abd", u"eq"), u"F", {}},
        {"ifType_matchesInAnyLetterCase", ifScript(u"b", u"a", u"GT"), u"T", {}},
        {"ifUnknownType_doesNotHold", ifScript(u"a", u"b", u"ne"), u"F", {}},
        {"ifNumbers_compareAsTexts",
         uR"([{"if":{"value1":10,"value2":9,"type":"gt","true":"T","false":"F"}}])",
         u"F",
         {}},
        {"ifWithoutChosenBranch_givesEmptyText", uR"([{"if":{"value1":"a","type":"eq","true":"T"}}, "|"])", u"|", {}},
        {"if_evaluatesOnlyTheChosenBranch",
         uR"([{"if":{"type":"eq","true":{"alert":{"message":"yes"}},"false":{"alert":{"message":"no"}}}}])",
         u"",
         {"box(i) \"\": yes"}},
        {"if_evaluatesValue1BeforeValue2",
         uR"([{"if":{"value2":{"input":{"prompt":"2"}},"value1":{"input":{"prompt":"1"}},"type":"gt",
                     "true":"T","false":"F"}}])",
         u"T",
         {"input \"\": 1 []", "input \"\": 2 []"},
         {u"b", u"a"}},

        // Switch.
        {"switch_firstMatchingItemWins",
         uR"([{"switch":{"case":"a","items":[{"case":"b","return":"0"},{"case":"a","return":"1"},
                                            {"case":"a","return":"2"}]}}])",
         u"1",
         {}},
        {"switch_defaultIsEvaluatedEvenWhenACaseMatches",
         uR"([{"switch":{"default":{"input":{"prompt":"d"}},"case":"a","items":[{"case":"a","return":"r"}]}}])",
         u"r",
         {"input \"\": d []"},
         {u"typed"}},
        {"switch_withoutMatch_givesDefault",
         uR"([{"switch":{"default":{"input":{"prompt":"d"}},"case":"z","items":[{"case":"a","return":"r"}]}}])",
         u"typed",
         {"input \"\": d []"},
         {u"typed"}},
        {"switch_comparesIgnoringLetterCase",
         uR"([{"switch":{"case":"ABC","items":[{"case":"aBc","return":"r"}]}}])",
         u"r",
         {}},
        {"switch_caseIsEvaluated",
         uR"([{"set":{"name":"k","value":"b"}},
              {"switch":{"case":{"get":{"name":"k"}},"items":[{"case":"a","return":"1"},{"case":"b","return":"2"}]}}])",
         u"2",
         {}},
        {"switchItemCase_isNotEvaluated",
         uR"([{"switch":{"default":"d","case":"x","items":[{"case":{"return":"x"},"return":"r"}]}}])",
         u"d",
         {}},
        {"switchItemCase_numberReadsAsItsText",
         uR"([{"switch":{"case":"1","items":[{"case":1,"return":"one"}]}}])",
         u"one",
         {}},
        {"switchItemReturn_isEvaluated",
         uR"([{"switch":{"case":"a","items":[{"case":"a","return":[{"return":"x"},"y"]}]}}])",
         u"xy",
         {}},
        {"switch_evaluatesOnlyTheMatchingReturn",
         uR"([{"switch":{"case":"a","items":[{"case":"a","return":"r"},{"case":"b","return":{"alert":{}}}]}}])",
         u"r",
         {}},
        {"switchWithoutItems_givesDefault", uR"([{"switch":{"default":"d","case":"a"}}])", u"d", {}},
        {"switchItemsNotAnArray_givesDefault",
         uR"([{"switch":{"default":"d","items":{"case":"","return":"r"}}}])",
         u"d",
         {}},
        {"switchItemWithoutCase_matchesEmptyKey",
         uR"([{"switch":{"default":"d","items":[{"return":"r"}]}}])",
         u"r",
         {}},
        {"switchItemNotAnObject_matchesEmptyKeyWithEmptyReturn",
         uR"([{"switch":{"default":"d","items":["x"]}}, "|"])",
         u"|",
         {}},

        // Placeholders.
        {"placeholder_textValue", uR"([{"hello":"world"}])", u"<%HELLO(world)%>", {}},
        {"placeholder_objectValueJoinsMemberTexts", uR"([{"f":{"a":"x","b":"y","c":""}}])", u"<%F(x,y,)%>", {}},
        {"placeholder_nonTextMembersGiveTheirTextForms",
         uR"([{"p":{"a":1.50,"b":true,"c":null,"d":{"k":"v"},"e":[1,"s"]}}])",
         uR"(<%P(1.50,true,null,{"k":"v"},[1,"s"])%>)",
         {}},
        {"placeholder_argumentsAreNotEvaluated",
         uR"([{"set":{"name":"x","value":"1"}}, {"p":{"a":{"get":{"name":"x"}}}}])",
         uR"(<%P({"get":{"name":"x"}})%>)",
         {}},
        {"placeholder_otherValuesGiveNoArguments",
         uR"([{"a":[1,"x"],"b":5,"c":null,"d":true,"e":{}}])",
         u"<%A()%><%B()%><%C()%><%D()%><%E()%>",
         {}},
        {"placeholderName_isUpperCasedPerUnit",
         u"[{\"stra\u00dfe-\u00e9\":\"v\", \"\":\"w\"}]",
         u"<%STRA\u00dfE-\u00c9(v)%><%(w)%>",
         {}},

        // Return.
        {"return_textIsTakenAsItIs", uR"([{"return":"a\"b"}])", u"a\"b", {}},
        {"return_isNotEvaluated", uR"([{"return":{"alert":{"message":"m"}}}])", uR"({"alert":{"message":"m"}})", {}},
        {"return_nonTextGivesItsTextForm",
         uR"([{"return":12.5}, {"return":null}, {"return":false}, {"return":[1,"a"]}])",
         uR"(12.5nullfalse[1,"a"])",
         {}},

        // Dialogs.
        {"alert_showsEvaluatedMessageAndTitle",
         uR"([{"alert":{"message":["a",{"return":"b"}],"title":"T"}}, "|"])",
         u"|",
         {"box(i) \"T\": ab"}},
        {"alertWithoutTitle_showsEmptyTitle", uR"([{"alert":{"message":"m"}}])", u"", {"box(i) \"\": m"}},
        {"alert_evaluatesMessageBeforeTitle",
         uR"([{"alert":{"title":{"input":{"prompt":"t"}},"message":{"input":{"prompt":"m"}}}}])",
         u"",
         {"input \"\": m []", "input \"\": t []", "box(i) \"2\": 1"},
         {u"1", u"2"}},
        {"input_showsPromptTitleDefaultAndGivesTheAnswer",
         uR"([{"input":{"prompt":"P","title":"T","default":"D"}}])",
         u"typed",
         {"input \"T\": P [D]"},
         {u"typed"}},
        {"input_cancelled_givesEmptyText", uR"([{"input":{"prompt":"P"}}, "|"])", u"|", {"input \"\": P []"}},
        {"input_evaluatesPromptTitleDefaultInOrder",
         uR"([{"input":{"default":{"input":{"prompt":"3"}},"title":{"input":{"prompt":"2"}},
                        "prompt":{"input":{"prompt":"1"}}}}])",
         u"",
         {"input \"\": 1 []", "input \"\": 2 []", "input \"\": 3 []", "input \"b\": a [c]"},
         {u"a", u"b", u"c"}},

        // Command words whose value is not an object read every member as absent.
        {"alertOfText_showsEmptyBox", uR"([{"alert":"hi"}])", u"", {"box(i) \"\": "}},
        {"inputOfNumber_showsEmptyInputBox", uR"([{"input":5}])", u"a", {"input \"\":  []"}, {u"a"}},
        {"setOfText_storesEmptyTextUnderEmptyName",
         uR"([{"set":{"name":"","value":"old"}}, {"set":"x"}, {"get":{"name":"","default":"emptied"}}])",
         u"emptied",
         {}},
        {"ifGetSwitchOfNonObjects_giveEmptyText", uR"([{"if":"x"}, {"get":[1]}, {"switch":true}, "|"])", u"|", {}},

        // Parse failures.
        {"scriptNotJson_showsParserErrorBox", u"not json", u"", {"box(w) \"Parser Error\": Invalid JSON"}},
        {"scalarRoot_showsParserErrorBox", uR"("text")", u"", {"box(w) \"Parser Error\": Invalid JSON"}},

        // Nesting: every evaluation counts, at most 41 are under way.
        {"arraysNested40Deep_giveTheText", u"[" + nestedArrays(40, u"\"x\"") + u"]", u"x", {}},
        {"arraysNested41Deep_giveNestingError", u"[" + nestedArrays(41, u"\"x\"") + u"]", nestingExceeded, {}},
        {"nestingError_callsAroundGoOn",
         u"[" + nestedArrays(40, u"[\"x\"], \"y\"") + u", \"z\"]",
         nestingExceeded + u"yz",
         {}},
        {"ifsNested40Deep_giveTheText", u"[" + nestedIfs(40, u"\"x\"") + u"]", u"x", {}},
        {"ifsNested41Deep_giveNestingError", u"[" + nestedIfs(41, u"\"x\"") + u"]", nestingExceeded, {}},
        {"objectRootOf40NestedIfs_givesTheText", nestedIfs(40, u"\"x\""), u"x", {}},
        {"objectRootOf41NestedIfs_givesNestingError", nestedIfs(41, u"\"x\""), nestingExceeded, {}},
    };
}

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

class EvalRow : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(EvalRow, script_givesOutputAndDialogs)
{
    const Row& row = GetParam();
    RecordingDialogs dialogs;
    dialogs.answers.assign(row.answers.begin(), row.answers.end());
    cJSONScript script(dialogs);
    EXPECT_EQ(show(script.Eval(row.script)), show(row.expected));
    EXPECT_EQ(describeAll(dialogs), row.dialogs);
}

INSTANTIATE_TEST_SUITE_P(cJSONScript, EvalRow, testing::ValuesIn(rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(cJSONScript, variables_surviveEvalsOfOneObjectOnly)
{
    RecordingDialogs dialogs;
    cJSONScript first(dialogs);
    EXPECT_EQ(first.Eval(uR"([{"set":{"name":"x","value":"kept"}}])"), u"");
    EXPECT_EQ(first.Eval(uR"([{"get":{"name":"x","default":"lost"}}])"), u"kept");
    cJSONScript second(dialogs);
    EXPECT_EQ(second.Eval(uR"([{"get":{"name":"x","default":"lost"}}])"), u"lost");
}

TEST(cJSONScript, parseErrorAfterCommands_showsEveryLineAndEvaluatesNothing)
{
    const std::u16string text = uR"([{"alert":{"message":"m"}}, {"set":{"name":"x","value":"1"}}, nul, {"a":1,"a":2}])";
    ASSERT_TRUE(json::ParseJson(text).has_value());
    const std::u16string lines = json::LastParseErrors();
    ASSERT_NE(lines.find(u"\r\n"), std::u16string::npos);

    RecordingDialogs dialogs;
    cJSONScript script(dialogs);
    EXPECT_EQ(script.Eval(text), u"");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, lines);
    EXPECT_EQ(dialogs.shown[0].title, std::optional<std::u16string>(u"Parser Error"));
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(script.Eval(uR"([{"get":{"name":"x","default":"unset"}}])"), u"unset");
}

TEST(cJSONScript, execCommand_countsItsOwnCallAndAcceptsBuiltValues)
{
    RecordingDialogs dialogs;
    cJSONScript script(dialogs);
    for (const int depth : {40, 41}) {
        json::JsonValue value = json::JsonValue::makeString(u"x");
        for (int i = 0; i < depth; ++i) {
            json::JsonValue outer = json::JsonValue::makeArray();
            outer.append(std::move(value));
            value = std::move(outer);
        }
        EXPECT_EQ(script.ExecCommand(value), depth == 40 ? u"x" : u"ERROR: Nesting level exceeded.") << depth;
    }
    EXPECT_EQ(script.ExecCommand(json::JsonValue::makeNumber(json::Decimal::fromParts(0, 1250, 2, true))), u"-12.50");
    EXPECT_EQ(script.ExecCommand(json::JsonValue()), u"");
}

namespace {

// Answers like RecordingDialogs but throws from the first `failures` dialogs.
class FailingDialogs final : public platform::Dialogs {
public:
    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override
    {
        failMaybe();
        recorded.messageBox(text, title, icon);
    }
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view choice) override
    {
        failMaybe();
        return recorded.choiceBox(text, title, icon, choice);
    }
    std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view defaultText) override
    {
        failMaybe();
        return recorded.inputBox(prompt, title, defaultText);
    }

    int failures = 0;
    RecordingDialogs recorded;

private:
    void failMaybe()
    {
        if (failures > 0) {
            --failures;
            throw std::runtime_error("dialog failed");
        }
    }
};

} // namespace

TEST(cJSONScript, dialogFailure_reachesCallerAndLeavesNestingRestored)
{
    FailingDialogs dialogs;
    dialogs.failures = 3;
    cJSONScript script(dialogs);
    const std::u16string deepAlert =
        u"[" + nestedArrays(30, uR"({"set":{"name":"v","value":"1"}}, {"alert":{"message":"m"}})") + u"]";
    for (int i = 0; i < 3; ++i) {
        EXPECT_THROW(script.Eval(deepAlert), std::runtime_error);
    }
    EXPECT_TRUE(dialogs.recorded.shown.empty());
    // Had the 31 calls under way at each failure stayed counted, this would be refused.
    EXPECT_EQ(script.Eval(u"[" + nestedArrays(40, u"\"x\"") + u"]"), u"x");
    EXPECT_EQ(script.Eval(uR"([{"get":{"name":"v"}}])"), u"1");
}

TEST(cJSONScript, variableReads_stopAtTheLimitOfEachEval)
{
    RecordingDialogs dialogs;
    cJSONScript script(dialogs, 10);
    EXPECT_EQ(script.Eval(uR"([{"set":{"name":"x","value":"12345"}}, {"get":{"name":"x"}}, {"get":{"name":"x"}}])"),
              u"1234512345");
    const std::u16string threeReads = uR"([{"get":{"name":"x"}}, {"get":{"name":"x"}}, {"get":{"name":"x"}}])";
    EXPECT_THROW(script.Eval(threeReads), script::ReadLimitError);
    // A default stands in for an unset variable and reads nothing.
    EXPECT_EQ(script.Eval(uR"([{"get":{"name":"x"}}, {"get":{"name":"x"}}, {"get":{"name":"y","default":"d"}}])"),
              u"1234512345d");
    json::JsonValue get = json::JsonValue::makeObject();
    json::JsonValue name = json::JsonValue::makeObject();
    name.insert(u"name", json::JsonValue::makeString(u"x"));
    get.insert(u"get", std::move(name));
    EXPECT_EQ(script.ExecCommand(get), u"12345");
    EXPECT_EQ(script.ExecCommand(get), u"12345");
}

TEST(cJSONScript, doublingVariable_endsAtTheDefaultReadLimit)
{
    std::u16string text = uR"([{"set":{"name":"x","value":"ab"}})";
    for (int i = 0; i < 40; ++i) {
        text += uR"(, {"set":{"name":"x","value":[{"get":{"name":"x"}},{"get":{"name":"x"}}]}})";
    }
    text += u"]";
    RecordingDialogs dialogs;
    cJSONScript script(dialogs);
    EXPECT_THROW(script.Eval(text), script::ReadLimitError);
    // The last doubling that fitted stays: 2 characters doubled while the reads stayed within the limit.
    const std::u16string kept = script.Eval(uR"([{"get":{"name":"x"}}])");
    EXPECT_GT(kept.size(), cJSONScript::kDefaultReadLimit / 4);
    EXPECT_LE(kept.size(), cJSONScript::kDefaultReadLimit);
}
