// The settings file as the programs read it and write it back.
#include "platform/ini_file.h"

#include <gtest/gtest.h>

namespace {

TEST(ini_file, reads_values_as_qsettings_wrote_them_and_as_people_do) {
    const ini_file file("; kept\r\n"
                        "Before=first\n"
                        "[General]\n"
                        "Quoted=\"a;b, c\"\n"
                        "Escaped=C:\\\\TFTP \\\"new\\\"\\tx\\x41\n"
                        "Spaced = \" padded \"   ; a comment\n"
                        "At=@@home\n"
                        "Utf8=racine-été\n"
                        "Twice=1\n"
                        "Twice=2\n"
                        "[Other]\n"
                        "Name=x\n");
    const struct {
        const char* name;
        const char* value;
        int line;
    } cases[] = {{"Before", "first", 2},     {"Quoted", "a;b, c", 4},
                 {"Escaped", "C:\\TFTP \"new\"\txA", 5},
                 {"Spaced", " padded ", 6},  {"At", "@home", 7},
                 {"Utf8", "racine-été", 8},  {"Twice", "2", 10},
                 {"Other/Name", "x", 12}};
    for (const auto& c : cases) {
        std::string value;
        EXPECT_TRUE(file.get(c.name, &value)) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
        EXPECT_EQ(file.line_of(c.name), c.line) << c.name;
    }
    EXPECT_EQ(file.names().size(), 8u);
    EXPECT_TRUE(file.unreadable().empty());
}

TEST(ini_file, writes_values_that_read_back_and_keeps_what_a_person_wrote) {
    ini_file file("# the service's settings\n"
                  "[General]\n"
                  "Port=69\n"
                  "a line of prose\n"
                  "[Other]\n"
                  "Name=x\n");
    ASSERT_EQ(file.unreadable().size(), 1u);
    EXPECT_EQ(file.unreadable()[0].number, 4);
    EXPECT_EQ(file.unreadable()[0].text, "a line of prose");
    const std::string odd = " a;b=\"c\"\\d\x01" "7@";
    file.set("Port", "6969");
    file.set("Odd", odd);
    file.set("At", "@x");
    EXPECT_EQ(file.text(), "# the service's settings\n"
                           "[General]\n"
                           "Port=6969\n"
                           "Odd=\" a;b=\\\"c\\\"\\\\d\\x1\\x37@\"\n"
                           "At=@@x\n"
                           "a line of prose\n"
                           "[Other]\n"
                           "Name=x\n");
    const ini_file again(file.text());
    std::string value;
    EXPECT_TRUE(again.get("Odd", &value));
    EXPECT_EQ(value, odd);
    // A file with sections of others only gets a [General] of its own, first.
    ini_file other("[Other]\nName=x\n");
    other.set("Port", "69");
    EXPECT_EQ(other.text(), "[General]\nPort=69\n[Other]\nName=x\n");
}

} // namespace
