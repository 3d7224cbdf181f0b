// The port check of the port page: what passes as digits.
#include "text/port_number.h"

#include <gtest/gtest.h>

namespace qm::text {
namespace {

TEST(IsNumber, DigitsAfterTrimmingControlCharactersAndBlanks) {
    const struct {
        const char* text;
        bool number;
    } cases[] = {
        {"", true},
        {"0", true},
        {"00080", true},
        {"99999", true},
        {"8080", true},
        {" 8080 ", true},
        {"\t8080\r\n", true},
        {"\x01"
         "80\x1f",
         true},
        {"   ", true},
        {"80a", false},
        {"-1", false},
        {"+1", false},
        {"8 0", false},
        {"1.0", false},
        {"0x50", false},
        {"\x7f", false},
        {"\xEF\xBC\x98\xEF\xBC\x90", false},  // full-width 80
        {"80\xC2\xA0", false},                // no-break space is not trimmed
    };
    for (const auto& c : cases) EXPECT_EQ(IsNumber(c.text), c.number) << '"' << c.text << '"';
}

}  // namespace
}  // namespace qm::text
