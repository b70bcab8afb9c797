// The remap rules and the expressions they match names with.
#include "server/remap_rules.h"

#include "engine/packet.h"
#include "platform/address.h"

#include <gtest/gtest.h>

namespace {

// What the expression matches in subject ("\0|\1"), or "none".
std::string matched(const std::string& expression, const std::string& subject,
                    bool ignore_case = false) {
    name_pattern pattern;
    EXPECT_EQ(pattern.compile(expression, ignore_case), "") << expression;
    name_pattern::match found;
    int64_t steps = 1000000;
    if (!pattern.search(subject, &found, &steps)) return "none";
    auto group = [&](int n) {
        return found.start(n) < 0 ? std::string("-")
                                  : subject.substr(static_cast<size_t>(found.start(n)),
                                                   static_cast<size_t>(found.length(n)));
    };
    return group(0) + "|" + group(1);
}

net_endpoint client(const std::string& address) {
    net_endpoint endpoint;
    EXPECT_TRUE(address_parse(address, &endpoint));
    return endpoint;
}

// The name the rules make, "refused", or the reason they were cut off.
std::string remapped(const remap_rules& rules, const std::string& name, int kind = OP_RRQ,
                     const std::string& from = "192.0.2.169") {
    const remap_rules::outcome made = rules.apply(name, kind, client(from));
    return made.result == remap_rules::outcome::kind::served    ? made.name
           : made.result == remap_rules::outcome::kind::refused ? "refused"
                                                                : made.why;
}

remap_rules parsed(const std::string& text) {
    remap_rules rules;
    EXPECT_EQ(rules.parse(text), "") << text;
    return rules;
}

TEST(name_pattern, matches_the_leftmost_longest_as_egrep_does) {
    const std::string many_a(500, 'a');
    struct {
        const char* expression;
        const char* subject;
        const char* found;
    } cases[] = {
        {"b+", "abbbc", "bbb|-"},
        {"(a|ab)(c|bcd)", "abcd", "abcd|a"},
        {"x*", "abc", "|-"},
        {"^/(.*)$", "/boot/x", "/boot/x|boot/x"},
        {"c$", "abcc", "c|-"},
        {"^c", "abcc", "none"},
        {"[^/]+\\.cfg", "a/b.cfg", "b.cfg|-"},
        {"[[:digit:]]{2,3}", "a12345", "123|-"},
        {"a{2}", "aaa", "aa|-"},
        {"a{2,}", "aaaa", "aaaa|-"},
        {"[]a]+", "x]a]", "]a]|-"},
        {"[a-]+", "x-a-", "-a-|-"},
        {"\\w+", "..a_1..", "a_1|-"},
        {"\\S+", "  ab ", "ab|-"},
        {"a\\.b", "axb a.b", "a.b|-"},
        {"(a*)*b", many_a.c_str(), "none"},
        {"((x)|y)+", "xy", "xy|y"},
        {"a|b|", "c", "|-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matched(c.expression, c.subject), c.found) << c.expression;
    EXPECT_EQ(matched("boot[a-c]", "BOOTB", true), "BOOTB|-");
    EXPECT_EQ(matched("[[:upper:]]+", "abC", true), "abC|-");
}

TEST(name_pattern, refuses_what_it_cannot_read_and_says_why) {
    struct {
        const char* expression;
        const char* why;
    } cases[] = {
        {"(ab", "'(' has no ')'"},
        {"ab)", "')' closes no group"},
        {"[ab", "'[' has no ']'"},
        {"*a", "'*' repeats nothing"},
        {"a{3,2}", "a count {M,N} has N below M"},
        {"a{256}", "a count is above 255"},
        {"a{x}", "'{' begins no count {M,N}; \\{ is the character"},
        {"(a)\\1", "back-references such as \\1 are not supported"},
        {"\\bword", "\\b (a boundary) is not supported"},
        {"[[:word:]]", "[:word:] is no class"},
        {"[z-a]", "a range in [ ] runs backwards"},
        {"(((a{255}){255}){255})", "the expression is too large: lower its counts {M,N}"},
        {"a\\", "the expression ends in a lone '\\'"},
    };
    for (const auto& c : cases) {
        name_pattern pattern;
        EXPECT_EQ(pattern.compile(c.expression, false), c.why) << c.expression;
    }
}

// A file as operators write them for tftpd-hpa: Windows names, a drive letter and a leading
// slash taken off, one name answered per client, downloads only, executables refused.
TEST(remap_rules, rewrite_names_as_an_operators_tftpd_hpa_file_says) {
    const remap_rules rules = parsed("# Windows clients\n"
                                     "rg\t\\\\ /\n"
                                     "ri ^[a-z]: \n"
                                     "r ^/ # a leading slash\n"
                                     "Gr ^pxelinux\\.cfg/default$ pxelinux.cfg/\\i\n"
                                     "r ^firmware/(.*)\\.bin$ fw/\\U\\1\\E-\\x.bin\n"
                                     "ai \\.exe$\n"
                                     "e ^fw/\n"
                                     "r ^(.*)$ files/\\0\n");
    EXPECT_EQ(remapped(rules, "C:\\Boot\\BCD"), "files/Boot/BCD");
    EXPECT_EQ(remapped(rules, "/pxelinux.cfg/default"), "files/pxelinux.cfg/192.0.2.169");
    EXPECT_EQ(remapped(rules, "pxelinux.cfg/default", OP_WRQ), "files/pxelinux.cfg/default");
    EXPECT_EQ(remapped(rules, "firmware/ab.bin"), "fw/AB-C00002A9.bin");
    EXPECT_EQ(remapped(rules, "firmware/ab.bin", OP_RRQ, "2001:db8::1"),
              "fw/AB-20010DB8000000000000000000000001.bin");
    EXPECT_EQ(remapped(rules, "tools\\SETUP.EXE"), "refused");
    // ~ acts where the expression does not match; a backslash keeps a blank and a "#".
    const remap_rules families = parsed("4r ^ v4/\n6r ^ v6/\n~e /x\nr $ \\ \\#\\\\");
    EXPECT_EQ(remapped(families, "a", OP_RRQ, "::1"), "v6/a");
    EXPECT_EQ(remapped(families, "xa", OP_RRQ, "10.0.0.1"), "v4/xa #\\");
    // s starts over: each pass takes off one leading "./".
    EXPECT_EQ(remapped(parsed("sr ^\\./\nr ^ ok/"), "././a"), "ok/a");
}

TEST(remap_rules, refuse_a_file_that_is_no_rules_with_the_line_and_why) {
    struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"r\n", "line 1: a rule is its flags and an expression"},
        {"# fine\n\nrx a b\n", "line 3: 'x' is no flag of a rule (r g i e s a G P 4 6 ~)"},
        {"r a b c", "line 1: more than flags, an expression and a replacement"},
        {"r~ a b", "line 1: ~ acts when nothing matched: there is nothing for r to replace"},
        {"e a\nr (a b", "line 2: the expression (a: '(' has no ')'"},
    };
    for (const auto& c : cases) {
        remap_rules rules;
        EXPECT_EQ(rules.parse(c.text).rfind(c.why, 0), 0u) << rules.parse(c.text);
    }
}

// No name costs the serving thread more than its budget: a rule that would loop, grow the name
// without end or take too long on a long name is cut off, and says which rule it was.
TEST(remap_rules, cut_off_a_rule_that_would_hold_the_server) {
    const std::string long_name(500, 'a');
    EXPECT_EQ(remapped(parsed("rg .* \\0\\0"), "a"), "the remap rule on line 1 made too long a name");
    EXPECT_EQ(remapped(parsed("s a"), "a"), "the remap rule on line 1 took too long");
    EXPECT_EQ(remapped(parsed("r (a?){200}a{200} b"), long_name),
              "the remap rule on line 1 took too long");
    EXPECT_EQ(remapped(parsed("rg aa a"), long_name), "a");
}

} // namespace
