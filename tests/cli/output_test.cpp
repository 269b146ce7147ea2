// JSON strings of the listing: every byte that needs it escaped, the rest
// copied as it stands, wherever it falls in the eight-byte steps.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "cli/output.h"

using cli::AppendJsonString;

TEST(JsonOutput, EscapesExactlyWhatJsonRequires) {
    std::string out;
    AppendJsonString(out, std::string("a\"b\\c\x01\x1F\x7F\n\r\t\0", 12));
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\u0001\\u001f\\u007f\\n\\r\\t\\u0000\"");
    out = "x";
    AppendJsonString(out, "Dept00\\Folder000\\");
    EXPECT_EQ(out, "x\"Dept00\\\\Folder000\\\\\"");
    out.clear();
    AppendJsonString(out, "");
    EXPECT_EQ(out, "\"\"");
}

TEST(JsonOutput, RandomTextReadsBackAsWritten) {
    // Plain runs, specials and multibyte UTF-8 at every offset.
    const std::vector<std::string> pieces = {"a", "Z", "\"", "\\", "\x01", "\x1F", "\x7F", "\n",
                                             " ", "é", "€", "\xF0\x9F\x93\xB7", "\t", "0123456789"};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = std::uniform_int_distribution<int>(0, 30)(random);
        for (int i = 0; i < count; ++i)
            text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
        std::string out = "[";
        AppendJsonString(out, text);
        out += "]";
        const auto parsed = nlohmann::json::parse(out, nullptr, false);
        ASSERT_FALSE(parsed.is_discarded()) << out;
        ASSERT_EQ(parsed[0].get<std::string>(), text);
    }
}
