// Filling a user text's placeholders: each in one pass, whatever the values
// or the translation hold.
#include "base/StringFormat.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

TEST(FillPlaceholders, FillsEachNumberOnceAndLeavesTheRestAsWritten) {
    struct Case {
        const char* text;
        std::initializer_list<std::string_view> values;
        const char* filled;
    };
    const Case cases[] = {
        {"Night %1 into %2.", {"4", "7"}, "Night 4 into 7."},
        {"%2 before %1, %1 again", {"a", "b"}, "b before a, a again"},
        // A file name holding a placeholder stays a file name.
        {"The file %1 is %2", {"/tmp/%2%1", "gone"}, "The file /tmp/%2%1 is gone"},
        // A translation without the placeholder, and one with more than given.
        {"No such night.", {"4"}, "No such night."},
        {"%1 of %3", {"1", "2"}, "1 of %3"},
        {"100% at the end %", {"x"}, "100% at the end %"},
        {"%%1", {"x"}, "%x"},
    };
    for (const Case& c : cases) EXPECT_EQ(FillPlaceholders(c.text, c.values), c.filled) << c.text;
}

}  // namespace
}  // namespace quenda
