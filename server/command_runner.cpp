#include "command_runner.h"

#include "diag/status.h"
#include "diag/trace.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "settings.h"

#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <mutex>

namespace {

struct command {
    std::vector<std::string> words;
    std::string line;
};

// Shared by the daemon and the commands' threads, which may outlive it: never destroyed.
struct runner_state {
    std::mutex mutex;
    std::deque<command> waiting;
    int running = 0; // commands with a thread of their own, started or about to be
};

runner_state& runner() {
    static runner_state* const shared = new runner_state;
    return *shared;
}

constexpr process_id no_process = 0;

void could_not_start(const command& c, int error) {
    trace_line("TFTP_RunExternal: Error %d creating process.", error);
    status_text("Could not start '" + c.line + "': " + error_text(error) + ".");
}

// The program started, or no_process when the system refused it (said on the status line).
process_id start(const command& c) {
    process_id started = no_process;
    int error = process_start(c.words, &started);
    if (error != 0) {
        could_not_start(c, error);
        return no_process;
    }
    trace_line("TFTP_RunExternal: Ran '%s'.", c.line.c_str());
    return started;
}

// A turn's thread: waits for its command, then runs the commands that wait, one after another,
// until none waits or more turns run than the setting now allows.
void keep_turn(process_id current) {
    runner_state& r = runner();
    for (;;) {
        if (current != no_process) process_wait(current);
        command next;
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            if (r.waiting.empty() || r.running > std::max(1, settings_now()->MaxCommands)) {
                --r.running;
                return;
            }
            next = std::move(r.waiting.front());
            r.waiting.pop_front();
        }
        current = start(next);
    }
}

} // namespace

void command_run(std::vector<std::string> words, std::string line) {
    runner_state& r = runner();
    command c{std::move(words), std::move(line)};
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.running >= std::max(1, settings_now()->MaxCommands)) {
            trace_line("TFTP_RunExternal: '%s' waits its turn: %d commands run at once.",
                       c.line.c_str(), r.running);
            r.waiting.push_back(std::move(c));
            return;
        }
        ++r.running;
    }
    // The thread that will wait for the command first, so that no command runs without one; the
    // command itself starts here, before the caller goes on.
    auto handed = std::make_shared<std::promise<process_id>>();
    std::shared_future<process_id> started = handed->get_future().share();
    if (int error = thread_start([started] { keep_turn(started.get()); }); error != 0) {
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            --r.running;
        }
        return could_not_start(c, error);
    }
    handed->set_value(start(c));
}

void commands_start_waiting() {
    runner_state& r = runner();
    std::deque<command> waiting;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        waiting.swap(r.waiting);
    }
    for (const command& c : waiting)
        start(c);
}
