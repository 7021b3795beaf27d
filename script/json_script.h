#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace json {
class JsonValue;
}
namespace platform {
class Dialogs;
}

namespace script {

// Raised when one evaluation would read more characters out of the variable table than its limit
// allows (see cJSONScript). Variables set before it was raised keep their values.
class ReadLimitError final : public std::runtime_error {
public:
    ReadLimitError() : std::runtime_error("script read more variable text than its limit allows") {}
};

// Evaluates a small command language written as JSON into text.
//
// A script is a JSON array whose elements are evaluated in order and whose outputs are concatenated.
// Evaluating a value gives:
//   null "null"; a string its text; a boolean "true" or "false"; a number its decimal text with "." as
//   decimal point ("12.50"); the empty value the empty text; an array the outputs of its elements; an
//   object the outputs of its members, in order.
// A member's name in lower case is its command word, so command words match in any letter case:
//   "alert"  {message, title}: evaluates message, then title, and shows a message box with the
//            information icon (the title is always passed, so a missing one shows empty). Output none.
//   "input"  {prompt, title, default}: evaluates them in this order and shows an input box. Output the
//            text entered; the empty text when the box is cancelled.
//   "switch" {default, case, items}: evaluates default first and always, then case, lower-cased: the
//            key. The first element of the array items whose case (unevaluated, lower-cased) equals the
//            key has its return evaluated as the output; without a match the output is the default.
//   "set"    {name, value}: evaluates value and stores it under the unevaluated name. Output none.
//   "get"    {name, default}: the variable's text; when it is missing or empty, default evaluated.
//   "if"     {value1, value2, type, true, false}: evaluates value1, then value2; the unevaluated type
//            in lower case chooses the test: "eq" equal after both are lower-cased (one-to-one per
//            UTF-16 unit, json/text_case.h), "gt", "lt", "gte", "lte"
//            ordering the two texts by UTF-16 code unit ("10" < "9", "Z" < "a"); any other type fails.
//            Only the chosen branch, true or false, is evaluated and is the output.
//   "return" the member's own value, unevaluated, as its text form (textForm in text_form.h: a string
//            is its text, an object or an array compact JSON).
//   any other name: the placeholder "<%" + name in upper case + "(" + arguments + ")%>", whose arguments
//            are the member's value when it is a string, the text forms of its member values joined
//            with "," when it is an object, and nothing otherwise. Nothing in it is evaluated.
// Variable names, if types and item cases are read unevaluated by textForm, so a number 1 reads "1".
// Members a command reads are looked up by exact name; an absent member is the empty value and
// evaluates to the empty text. A command whose value is not an object reads every member as absent:
// {"alert":"hi"} shows an empty box with an empty title, {"set":5} stores the empty text under the
// empty name. Items that is not an array holds no elements; an element of items that is not an object
// has an empty case and an empty return, so it matches an empty key and then gives the empty text.
//
// Limits: an evaluation is refused, giving "ERROR: Nesting level exceeded." in place of its output,
// when more than 40 are already under way on this object; the evaluations around it go on. Every value
// evaluated counts as one (texts and nulls of a root array excepted), so at most 41 are under way. Variables can double
// a text with every set, so one outermost Eval or ExecCommand may read at most readLimit characters out of the variable
// table in all; a get that would pass it raises ReadLimitError.
//
// Failures of the dialogs and of text building (json::StringBuilderError) are not caught; they reach
// the caller of Eval or ExecCommand and leave the object usable: the nesting count is restored.
//
// The variable table lives as long as the object, so variables set by one Eval are read by the next.
// One caller at a time; dialogs run on the caller's thread and must outlive the object.
class cJSONScript final {
public:
    // Evaluations refused once this many are under way.
    static constexpr std::int32_t kNestingLimit = 41;
    // Characters one outermost evaluation may read out of the variable table: 4 Mi.
    static constexpr std::size_t kDefaultReadLimit = std::size_t{1} << 22;

    explicit cJSONScript(platform::Dialogs& dialogs, std::size_t readLimit = kDefaultReadLimit);
    cJSONScript(const cJSONScript&) = delete;
    cJSONScript& operator=(const cJSONScript&) = delete;

    // Parses the script and evaluates it. An array root has its elements evaluated in order; an object
    // root is evaluated as one command. A script that does not parse cleanly (any line recorded by the
    // parser, including a root that is neither object nor array) shows the parser's lines in a message
    // box titled "Parser Error" with the warning icon, evaluates nothing and gives the empty text.
    std::u16string Eval(std::u16string_view script);
    // Evaluates one value, as described above.
    std::u16string ExecCommand(const json::JsonValue& value);

private:
    std::u16string evaluate(const json::JsonValue& value);
    std::u16string evaluateMember(std::u16string_view name, const json::JsonValue& value);
    std::u16string evaluateSwitch(const json::JsonValue& command);
    std::u16string evaluateIf(const json::JsonValue& command);
    std::u16string evaluateGet(const json::JsonValue& command);
    void startOutermost() noexcept;

    platform::Dialogs& m_dialogs;
    std::map<std::u16string, std::u16string, std::less<>> m_variables;
    std::int32_t m_nesting = 0;
    std::size_t m_readLimit;
    std::size_t m_readAllowance;
};

} // namespace script
