// The remap rules: a file of rules, in the form tftpd-hpa's -m reads, that rewrite the name a
// client asks for before it is confined and served, so that an operator's existing file works
// unchanged. A line holds the rule's flags, an expression (name_pattern) and, for r, what
// replaces the match; "#" begins a comment and a backslash keeps a blank or "#" in its field.
//
// Flags: r replace the match, g repeat the rule until it no longer matches, i match without
// regard to case, e end the rules when it matches, s start them over when it matches, a refuse
// the request when it matches, G downloads only, P uploads only, 4 IPv4 only, 6 IPv6 only, ~ act
// when the expression does not match (not with r). A replacement takes \0 to \9 (what the match
// and its groups matched), \i and \x (the client's address, as text and as hexadecimal), \U and
// \L (the letters that follow in upper or lower case) and \E (as they come).
#pragma once

#include "name_pattern.h"
#include "platform/socket.h"

#include <memory>
#include <string>
#include <vector>

class remap_rules {
  public:
    // The rules of a file's text; the fault of the first line that is no rule ("line 3: ..."),
    // or "" when every line is one.
    std::string parse(const std::string& text);

    struct outcome {
        enum class kind { served, refused, cut_off } result = kind::served;
        std::string name; // served: the name the rules made
        std::string why;  // cut_off: in words, with the rule's line
    };
    // The name of a request of kind (1 download, 2 upload) from client after the rules. The work
    // is bounded: a rule that would take longer, or make a name longer than any client may ask
    // for, is cut off.
    outcome apply(const std::string& name, int kind, const net_endpoint& client) const;

    bool empty() const { return rules_.empty(); }

  private:
    struct rule {
        int line = 0;
        bool replace = false, repeat = false, end = false, restart = false, refuse = false;
        bool downloads = true, uploads = true, ipv4 = true, ipv6 = true, inverted = false;
        name_pattern pattern;
        std::string replacement;
    };
    static std::string substituted(const std::string& name, const name_pattern::match& found,
                                   const std::string& replacement, const net_endpoint& client);
    std::vector<rule> rules_;
};

// The rules the server serves now (none: names as they are asked), and the ones it serves from
// the next request on.
std::shared_ptr<const remap_rules> remap_rules_now();
// Reads the rules in the file at path (none: no rules) and serves them; the reason they cannot be
// used, with the file's name, when they cannot (the rules before stay).
std::string remap_rules_follow(const std::string& path);
