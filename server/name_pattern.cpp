#include "name_pattern.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace {

// The deepest groups may nest, and the largest count of a repetition.
constexpr int nesting_limit = 64;
constexpr int count_limit = 255;

struct node {
    enum class kind {
        empty,
        byte,
        any,
        set,
        line_start,
        line_end,
        group,
        sequence,
        branches,
        repeat
    };
    kind type = kind::empty;
    uint8_t byte = 0;
    int set = 0, group = 0, low = 0, high = 0; // high -1: no bound
    std::vector<node> parts;
};

node made(node::kind type) {
    node n;
    n.type = type;
    return n;
}

using byte_set = std::array<bool, 256>;

// Whether c is one of the characters of set (a NUL byte of an expression never is).
bool one_of(const char* set, char c) { return c != 0 && strchr(set, c) != nullptr; }

// The named classes of a bracket expression, by the C library's test of a byte.
bool class_member(const std::string& name, int c, bool* known) {
    static const std::pair<const char*, int (*)(int)> classes[] = {
        {"alpha", isalpha}, {"digit", isdigit}, {"alnum", isalnum}, {"upper", isupper},
        {"lower", islower}, {"space", isspace}, {"blank", isblank}, {"punct", ispunct},
        {"print", isprint}, {"graph", isgraph}, {"cntrl", iscntrl}, {"xdigit", isxdigit}};
    for (const auto& [n, test] : classes)
        if (name == n) {
            *known = true;
            return c < 128 && test(c) != 0;
        }
    *known = false;
    return false;
}

} // namespace

// Reads the expression into a tree, then writes the tree out as the pattern's states.
class pattern_compiler {
  public:
    pattern_compiler(const std::string& text, bool ignore_case, name_pattern* pattern)
        : text_(text), ignore_case_(ignore_case), pattern_(pattern) {}

    std::string compile() {
        node tree = branches(0);
        if (fault_.empty() && at_ < text_.size()) fault_ = "')' closes no group";
        if (!fault_.empty()) return fault_;
        pattern_->steps_.clear();
        add(name_pattern::op::save, 0);
        emit(tree);
        add(name_pattern::op::save, 1);
        add(name_pattern::op::done);
        if (pattern_->steps_.size() > name_pattern::size_limit)
            return "the expression is too large: lower its counts {M,N}";
        return "";
    }

  private:
    using op = name_pattern::op;

    bool more() const { return at_ < text_.size() && fault_.empty(); }
    char peek() const { return text_[at_]; }

    bool refuse(const std::string& why) {
        if (fault_.empty()) fault_ = why;
        return false;
    }
    node fail(const std::string& why) {
        refuse(why);
        return {};
    }

    node branches(int depth) {
        if (depth > nesting_limit) return fail("the groups nest too deeply");
        node all = made(node::kind::branches);
        all.parts.push_back(sequence(depth));
        while (more() && peek() == '|') {
            ++at_;
            all.parts.push_back(sequence(depth));
        }
        return all.parts.size() == 1 ? std::move(all.parts[0]) : all;
    }

    node sequence(int depth) {
        node seq = made(node::kind::sequence);
        while (more() && peek() != '|' && peek() != ')')
            seq.parts.push_back(piece(depth));
        return seq;
    }

    node piece(int depth) {
        if (one_of("*+?{", peek())) return fail(std::string("'") + peek() + "' repeats nothing");
        node item = atom(depth);
        while (more() && one_of("*+?{", peek())) {
            node repeated = made(node::kind::repeat);
            const char c = text_[at_++];
            repeated.low = c == '+' ? 1 : 0;
            repeated.high = c == '?' ? 1 : -1;
            if (c == '{' && !count(&repeated)) return {};
            repeated.parts.push_back(std::move(item));
            item = std::move(repeated);
        }
        return item;
    }

    // {M}, {M,} or {M,N}, after its '{'.
    bool count(node* repeated) {
        auto number = [&](int* value) {
            if (!more() || !isdigit(static_cast<unsigned char>(peek()))) return false;
            *value = 0;
            while (more() && isdigit(static_cast<unsigned char>(peek())))
                *value = std::min(*value * 10 + (text_[at_++] - '0'), count_limit + 1);
            return true;
        };
        if (!number(&repeated->low))
            return refuse("'{' begins no count {M,N}; \\{ is the character");
        repeated->high = repeated->low;
        if (more() && peek() == ',') {
            ++at_;
            if (!number(&repeated->high)) repeated->high = -1;
        }
        if (!more() || text_[at_++] != '}') return refuse("a count {M,N} has no '}'");
        if (repeated->low > count_limit || repeated->high > count_limit)
            return refuse("a count is above 255");
        if (repeated->high >= 0 && repeated->high < repeated->low)
            return refuse("a count {M,N} has N below M");
        return true;
    }

    node atom(int depth) {
        const char c = text_[at_++];
        switch (c) {
        case '(': {
            node group = made(node::kind::group);
            group.group = ++groups_;
            group.parts.push_back(branches(depth + 1));
            if (!more() || peek() != ')') return fail("'(' has no ')'");
            ++at_;
            return group;
        }
        case '.':
            return made(node::kind::any);
        case '^':
            return made(node::kind::line_start);
        case '$':
            return made(node::kind::line_end);
        case '[':
            return bracket();
        case '\\':
            return escaped();
        default:
            return literal(static_cast<uint8_t>(c));
        }
    }

    node literal(uint8_t c) {
        if (ignore_case_ && isalpha(c)) {
            byte_set set{};
            set[c] = true;
            return set_node(set);
        }
        node n = made(node::kind::byte);
        n.byte = c;
        return n;
    }

    node set_node(byte_set set) {
        if (ignore_case_)
            for (int c = 'a'; c <= 'z'; ++c)
                set[c] = set[c - 32] = set[c] || set[c - 32];
        pattern_->sets_.push_back(set);
        node n = made(node::kind::set);
        n.set = static_cast<int>(pattern_->sets_.size() - 1);
        return n;
    }

    node escaped() {
        if (at_ >= text_.size()) return fail("the expression ends in a lone '\\'");
        const char c = text_[at_++];
        if (isdigit(static_cast<unsigned char>(c)))
            return fail(std::string("back-references such as \\") + c + " are not supported");
        if (one_of("bB<>`'", c))
            return fail(std::string("\\") + c + " (a boundary) is not supported");
        if (c == 'w' || c == 'W' || c == 's' || c == 'S') {
            byte_set set{};
            for (int b = 0; b < 256; ++b) {
                bool in = c == 'w' || c == 'W' ? b < 128 && (isalnum(b) || b == '_')
                                               : b < 128 && isspace(b);
                set[b] = in == (c == 'w' || c == 's');
            }
            return set_node(set);
        }
        return literal(static_cast<uint8_t>(c));
    }

    // After its '[': a list of bytes, ranges and classes up to the ']' that is not the first.
    node bracket() {
        byte_set set{};
        const bool negated = at_ < text_.size() && peek() == '^';
        if (negated) ++at_;
        bool first = true;
        for (;;) {
            if (at_ >= text_.size()) return fail("'[' has no ']'");
            if (peek() == ']' && !first) break;
            first = false;
            int low = element(&set);
            if (low < 0) {
                if (!fault_.empty()) return {};
                continue; // a class, added whole
            }
            int high = low;
            if (at_ + 1 < text_.size() && peek() == '-' && text_[at_ + 1] != ']') {
                ++at_;
                high = element(&set);
                if (high < 0) return fail("a range in [ ] ends in a class");
                if (high < low) return fail("a range in [ ] runs backwards");
            }
            for (int c = low; c <= high; ++c)
                set[c] = true;
        }
        ++at_;
        if (negated)
            for (bool& in : set)
                in = !in;
        return set_node(set);
    }

    // One element of a bracket expression: the byte it stands for, or -1 for a class (added to
    // set) or a fault.
    int element(byte_set* set) {
        if (peek() == '[' && at_ + 1 < text_.size() && one_of(":.=", text_[at_ + 1])) {
            const char kind = text_[at_ + 1];
            const size_t end = text_.find(std::string(1, kind) + "]", at_ + 2);
            if (end == std::string::npos) {
                refuse(std::string("'[") + kind + "' has no '" + kind + "]'");
                return -1;
            }
            const std::string name = text_.substr(at_ + 2, end - at_ - 2);
            at_ = end + 2;
            if (kind != ':') {
                if (name.size() != 1) {
                    refuse("[." + name + ".] is not one character");
                    return -1;
                }
                return static_cast<uint8_t>(name[0]);
            }
            for (int c = 0; c < 256; ++c) {
                bool known = false;
                if (class_member(name, c, &known)) (*set)[c] = true;
                if (!known) {
                    refuse("[:" + name + ":] is no class");
                    return -1;
                }
            }
            return -1;
        }
        return static_cast<uint8_t>(text_[at_++]);
    }

    int add(op kind, int a = 0, int b = 0, uint8_t byte = 0) {
        pattern_->steps_.push_back({kind, byte, a, b});
        return static_cast<int>(pattern_->steps_.size() - 1);
    }
    int next() const { return static_cast<int>(pattern_->steps_.size()); }

    void emit(const node& n) {
        // Past the limit the compile fails anyway: stop before the states grow any further.
        if (pattern_->steps_.size() > name_pattern::size_limit) return;
        switch (n.type) {
        case node::kind::empty:
            break;
        case node::kind::byte:
            add(op::byte, 0, 0, n.byte);
            break;
        case node::kind::any:
            add(op::any);
            break;
        case node::kind::set:
            add(op::set, n.set);
            break;
        case node::kind::line_start:
            add(op::line_start);
            break;
        case node::kind::line_end:
            add(op::line_end);
            break;
        case node::kind::group:
            if (n.group <= 9) add(op::save, 2 * n.group);
            emit(n.parts[0]);
            if (n.group <= 9) add(op::save, 2 * n.group + 1);
            break;
        case node::kind::sequence:
            for (const node& part : n.parts)
                emit(part);
            break;
        case node::kind::branches: {
            std::vector<int> ends;
            for (size_t i = 0; i + 1 < n.parts.size(); ++i) {
                const int split = add(op::split, next() + 1);
                emit(n.parts[i]);
                ends.push_back(add(op::jump));
                pattern_->steps_[split].b = next();
            }
            emit(n.parts.back());
            for (int end : ends)
                pattern_->steps_[end].a = next();
            break;
        }
        case node::kind::repeat: {
            for (int i = 0; i < n.low; ++i)
                emit(n.parts[0]);
            if (n.high < 0) {
                const int loop = add(op::split, next() + 1);
                emit(n.parts[0]);
                add(op::jump, loop);
                pattern_->steps_[loop].b = next();
                break;
            }
            std::vector<int> splits;
            for (int i = n.low; i < n.high; ++i) {
                splits.push_back(add(op::split, next() + 1));
                emit(n.parts[0]);
            }
            for (int split : splits)
                pattern_->steps_[split].b = next();
            break;
        }
        }
    }

    const std::string& text_;
    bool ignore_case_;
    name_pattern* pattern_;
    size_t at_ = 0;
    int groups_ = 0;
    std::string fault_;
};

std::string name_pattern::compile(const std::string& text, bool ignore_case) {
    steps_.clear();
    sets_.clear();
    return pattern_compiler(text, ignore_case, this).compile();
}

namespace {

// The states alive at one position of the subject, in the order of their preference, each with
// what its groups matched on its way there.
struct state_list {
    explicit state_list(size_t size) : present(size, 0), bounds(size) {}
    void clear() {
        ++generation;
        order.clear();
    }
    std::vector<int> order;
    std::vector<unsigned> present; // a state is in the list when its mark is the generation
    std::vector<name_pattern::match> bounds;
    unsigned generation = 1;
};

} // namespace

bool name_pattern::search(const std::string& subject, match* found, int64_t* steps) const {
    if (steps_.empty()) return false;
    // Setting out costs as much as a step through every state.
    *steps -= static_cast<int64_t>(steps_.size());
    const int length = static_cast<int>(subject.size());
    state_list now(steps_.size()), after(steps_.size());
    // Adds the state and those it leads to without reading, at the position at; a save is undone
    // once what follows it is added, so that one array of bounds serves the whole walk.
    struct pending {
        int state, slot, value; // slot >= 0: restore bounds[slot] to value
    };
    std::vector<pending> stack;
    auto add = [&](state_list& list, int first, match bounds, int at) {
        stack.push_back({first, -1, 0});
        while (!stack.empty()) {
            const pending p = stack.back();
            stack.pop_back();
            if (p.slot >= 0) {
                bounds.bounds[p.slot] = p.value;
                continue;
            }
            if (list.present[p.state] == list.generation) continue;
            list.present[p.state] = list.generation;
            --*steps;
            const step& s = steps_[p.state];
            switch (s.kind) {
            case op::jump:
                stack.push_back({s.a, -1, 0});
                break;
            case op::split:
                stack.push_back({s.b, -1, 0});
                stack.push_back({s.a, -1, 0});
                break;
            case op::save:
                stack.push_back({-1, s.a, bounds.bounds[s.a]});
                bounds.bounds[s.a] = at;
                stack.push_back({p.state + 1, -1, 0});
                break;
            case op::line_start:
                if (at == 0) stack.push_back({p.state + 1, -1, 0});
                break;
            case op::line_end:
                if (at == length) stack.push_back({p.state + 1, -1, 0});
                break;
            default:
                list.order.push_back(p.state);
                list.bounds[p.state] = bounds;
            }
        }
    };
    match none;
    none.bounds.fill(-1);
    bool matched = false;
    for (int at = 0; at <= length && *steps >= 0; ++at) {
        // A later start is tried only while no earlier one has matched, and after every state
        // that began earlier.
        if (!matched) add(now, 0, none, at);
        if (matched && now.order.empty()) break;
        after.clear();
        const int c = at < length ? static_cast<uint8_t>(subject[at]) : -1;
        for (int state : now.order) {
            const match& bounds = now.bounds[state];
            if (matched && bounds.bounds[0] > found->bounds[0]) continue;
            const step& s = steps_[state];
            bool reads = false;
            switch (s.kind) {
            case op::done:
                if (!matched || bounds.bounds[0] < found->bounds[0] ||
                    (bounds.bounds[0] == found->bounds[0] && bounds.bounds[1] > found->bounds[1]))
                    *found = bounds;
                matched = true;
                break;
            case op::byte:
                reads = c == s.byte;
                break;
            case op::any:
                reads = c >= 0;
                break;
            case op::set:
                reads = c >= 0 && sets_[s.a][c];
                break;
            default:
                break;
            }
            if (reads) add(after, state + 1, bounds, at + 1);
        }
        std::swap(now, after);
    }
    return matched && *steps >= 0;
}
