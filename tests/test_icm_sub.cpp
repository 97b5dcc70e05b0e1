#include "system/icm_sub.h"

#include <gtest/gtest.h>

using namespace narvo;

TEST(TextToInt, Cases) {
    struct {
        const char* Text;
        int32_t Expected;
    } Cases[] = {
        {"0", 0},
        {"500", 500},
        {" 500", 500},
        {"\t 42", 42},
        {"500 ", -7},        // nothing may follow
        {"500ms", -7},
        {"", -7},
        {" ", -7},
        {"+12", 12},
        {"-12", -12},
        {"+-1", -7},         // one sign only
        {"- 1", -7},
        {"$1F", 31},
        {"$1f", 31},
        {"x10", 16},
        {"X10", 16},
        {"0x10", 16},
        {"0X7fffffff", 2147483647},
        {"-$10", -16},
        {"$", -7},
        {"0x", -7},          // a prefix alone is no number
        {"x", -7},
        {"$FFFFFFFF", -1},   // hexadecimal names the 32-bit pattern
        {"$100000000", -7},
        {"2147483647", 2147483647},
        {"2147483648", -7},
        {"-2147483648", INT32_MIN},
        {"-2147483649", -7},
        {"99999999999999999999999", -7},
        {"12a", -7},
        {"1.5", -7},
        {"０", -7},          // full-width digits are text
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(TextToInt(Case.Text, -7), Case.Expected) << '"' << Case.Text << '"';
}

TEST(NameValueList, Reads) {
    TStringList List = {
        "Layer.Name=a=b",      // "=" inside a value
        "MessageDraw.Text=abc",
        "messagedraw.text=second", // duplicate key: the first counts
        "Select.Page1=",        // empty value is not the default
        "NoEqualsHere",         // never found
        "Flag=2",
        "Bad=abc",
        "Num= 500",
        "Trailing=500 ",
    };
    EXPECT_EQ(ReadListString(List, "layer.name", "d"), "a=b");
    EXPECT_EQ(ReadListString(List, "MESSAGEDRAW.TEXT", "d"), "abc");
    EXPECT_EQ(ReadListString(List, "Select.Page1", "d"), "");
    EXPECT_EQ(ReadListString(List, "NoEqualsHere", "d"), "d");
    EXPECT_EQ(ReadListString(List, "Layer", "d"), "d");          // a prefix is not a name
    EXPECT_EQ(ReadListString(List, "Layer.Name=a", "d"), "d");   // names hold no "="
    EXPECT_EQ(ReadListInteger(List, "Num", 0), 500);
    EXPECT_EQ(ReadListInteger(List, "Trailing", 0), 0);
    EXPECT_EQ(ReadListInteger(List, "Missing", 9), 9);
    EXPECT_TRUE(ReadListBool(List, "Flag", false));
    EXPECT_TRUE(ReadListBool(List, "Bad", true));
    EXPECT_FALSE(ReadListBool(List, "Bad", false));
}

TEST(NameValueList, Writes) {
    TStringList List = {"A=1", "b=2", "B=3"};
    WriteListInteger(List, "B", 20); // replaces the first match in place, keeping order
    EXPECT_EQ(List, (TStringList{"A=1", "B=20", "B=3"}));
    WriteListBool(List, "new", true);
    EXPECT_EQ(List.back(), "new=1");
    AddListString(List, "a", "x"); // adds without looking
    EXPECT_EQ(List.back(), "a=x");
    EXPECT_EQ(ReadListString(List, "a", ""), "1");
    AddListInteger(List, "n", -5);
    AddListBool(List, "f", false);
    EXPECT_EQ(List[List.size() - 2], "n=-5");
    EXPECT_EQ(List.back(), "f=0");
}

TEST(StringListText, RoundTripsAndSplits) {
    struct {
        std::string Text;
        TStringList Lines;
    } Cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},             // a final break adds no line
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"\r\n", {""}},
        {"a\r\r\nb", {"a", "", "b"}},   // lone CR then CR LF
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}}, // NUL ends the text
        {"x\n\r", {"x", ""}},           // LF then a lone CR
    };
    for (const auto& Case : Cases) EXPECT_EQ(TextToStringList(Case.Text), Case.Lines) << Case.Text;
    TStringList Lines = {"one", "", "three=3"};
    EXPECT_EQ(StringListToText(Lines), "one\r\n\r\nthree=3\r\n");
    EXPECT_EQ(TextToStringList(StringListToText(Lines)), Lines);
    EXPECT_EQ(StringListToText({}), "");
}

TEST(ShiftJis, NeverSplitsADoubleByteCharacter) {
    // "アイ" in Shift-JIS (0x83 0x41, 0x83 0x43) with "ソ" (0x83 0x5C), whose trail byte is "\".
    const std::string Text = "a\x83\x41\x83\x5C" "b";
    EXPECT_EQ(SjisTruncate(Text, 2), "a");
    EXPECT_EQ(SjisTruncate(Text, 3), "a\x83\x41");
    EXPECT_EQ(SjisTruncate(Text, 100), Text);
    EXPECT_EQ(SjisFind(Text, '\\'), std::string::npos); // the trail byte is not a "\"
    EXPECT_EQ(SjisFind(Text, 'A'), std::string::npos);
    EXPECT_EQ(SjisFind(Text, 'b'), 5u);
    EXPECT_EQ(SjisCharLength("\x83", 0), 1u); // a lead byte at the end stands alone
    for (int B = 0; B < 256; ++B) {
        bool Lead = (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC);
        EXPECT_EQ(IsSjisLeadByte(static_cast<unsigned char>(B)), Lead) << B;
    }
}
