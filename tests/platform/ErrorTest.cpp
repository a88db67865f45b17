// The period the error report adds to a text.

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(ErrorReport, AppendsAPeriodOnlyAfterCharactersThatSortAfterIt)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Disk full", "Disk full."},
        {"value 5", "value 5."},
        {"Done.", "Done."},
        {"Why?", "Why?."},            // '?' sorts after '.'
        {"Stop!", "Stop!"},           // '!' sorts before it
        {"(see above)", "(see above)"},
        {"path/", "path/."},          // '/' is the first character after '.'
        {"a-", "a-"},                 // '-' just before it
        {"'x'", "'x'"},
        {"caf\xc3\xa9", "caf\xc3\xa9."},   // a byte above 127 sorts after it
        {"line\n", "line\n"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(plimbury::errorReportText(text), shown) << text;
}

} // namespace
