#include "transfer_board.h"

#include "diag/role.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "platform/clock.h"
#include "request_records.h"
#include "server_controls.h"
#include "settings.h"
#include "ui/console_backend.h"
#include "ui/ui.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>

using namespace tftps_controls;

std::atomic<int> board_rows_printed{0};
std::atomic<int> board_totals_control{tftps_controls::IDC_STATUS};

namespace {

constexpr size_t rows_kept = 200;
constexpr int tick_ms = 1000;
constexpr size_t name_shown = 255;

struct row {
    const void* owner; // the running transfer; nullptr once it has ended
    std::string time, client, file, direction;
    std::shared_ptr<transfer_meter> meter;
    uint64_t start_ms;
    double seconds = 0;
    int64_t bytes = 0;
    std::string result;
};

// Written by the daemon thread, read by whoever shows the window: never destroyed.
struct board_state {
    std::mutex mutex;
    std::deque<row> rows; // newest first
    int busy = 0;
    bool changed = false; // since the list was last shown
    uint64_t next_show_ms = 0;
};

board_state& board() {
    static board_state* const shared = new board_state;
    return *shared;
}

// The file a request names, made safe to show: no control character of a hostile name reaches
// the list or the console.
std::string shown_name(const std::string& name) {
    std::string shown = name.substr(0, name_shown);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return shown;
}

std::string cells(const row& r) {
    std::string result = r.result;
    int64_t bytes = r.bytes;
    double seconds = r.seconds;
    if (r.owner) {
        bytes = r.meter->bytes;
        seconds = (clock_ms() - r.start_ms) / 1000.0;
        const int64_t total = r.meter->total;
        result = total > 0 ? "running, " +
                                 std::to_string(std::min<int64_t>(100, bytes * 100 / total)) + "%"
                           : "running";
    }
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%lld\t%.1f", static_cast<long long>(bytes), seconds);
    return r.time + "\t" + r.client + "\t" + r.file + "\t" + r.direction + "\t" + numbers + "\t" +
           result;
}

void show(const board_state& b) {
    std::vector<std::string> lines;
    for (const row& r : b.rows)
        lines.push_back(cells(r));
    ui_list_fill(IDC_RECENT_TRANSFERS, lines);
    ui_set_text(IDC_BUSY_ANSWERS, b.busy == 1 ? "1 request answered busy"
                                              : std::to_string(b.busy) + " requests answered busy");
}

std::string totals_line(const std::deque<row>& rows) {
    int64_t sent = 0, received = 0;
    int running = 0;
    std::string pace; // the transfers that send share their interface's: the newest one's
    for (const row& r : rows)
        if (r.owner) {
            ++running;
            (r.meter->kind == 1 ? sent : received) += r.meter->bytes.load();
            if (pace.empty() && r.meter->kind == 1) pace = r.meter->pace();
        }
    std::string line = std::to_string(running) + (running == 1 ? " transfer" : " transfers");
    if (sent > 0 || received == 0) line += ", " + std::to_string(sent) + " bytes sent";
    if (received > 0) line += ", " + std::to_string(received) + " bytes received";
    return line + (pace.empty() ? "." : ". " + pace + ".");
}

// The oldest ended rows go beyond the last rows_kept; a running row stays whatever its age, so
// that the totals count every transfer when more run than the list keeps.
void keep_the_last(std::deque<row>& rows) {
    while (rows.size() > rows_kept) {
        auto oldest_ended =
            std::find_if(rows.rbegin(), rows.rend(), [](const row& r) { return !r.owner; });
        if (oldest_ended == rows.rend()) return;
        rows.erase(std::next(oldest_ended).base());
    }
}

bool any_running(const std::deque<row>& rows) {
    for (const row& r : rows)
        if (r.owner) return true;
    return false;
}

} // namespace

bool board_counts_all(const server_settings& settings) { return settings.MaxTransfers > 1; }

void board_begin(const transfer& t) {
    time_of_day now = clock_time_of_day();
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hours, now.minutes, now.seconds);
    board_state& b = board();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.rows.push_front({&t, time, t.peer_host, shown_name(t.file_name),
                       t.kind == OP_RRQ   ? "download"
                       : t.kind == OP_WRQ ? "upload"
                                          : "?",
                       t.meter, clock_ms(), 0, 0, ""});
    keep_the_last(b.rows);
    b.changed = true;
}

void board_end(const transfer& t) {
    board_state& b = board();
    std::lock_guard<std::mutex> lock(b.mutex);
    for (row& r : b.rows) {
        if (r.owner != &t) continue;
        r.owner = nullptr;
        r.bytes = t.meter->bytes;
        r.seconds = (clock_ms() - r.start_ms) / 1000.0;
        r.result = t.outcome.how == transfer_outcome::kind::running ? "ended" : t.outcome.shown();
        // Said as it ends, at the time it ends, so that the lines keep the order of the events.
        if (board_rows_printed) {
            std::string line = cells(r);
            line.erase(0, line.find('\t') + 1);
            for (char& c : line)
                if (c == '\t') c = ' ';
            if (!journal_transfer(t, line)) ui_console_say(line);
        }
        break;
    }
    keep_the_last(b.rows);
    b.changed = true;
}

void board_busy() {
    board_state& b = board();
    std::lock_guard<std::mutex> lock(b.mutex);
    ++b.busy;
    b.changed = true;
}

int board_tick() {
    board_state& b = board();
    std::lock_guard<std::mutex> lock(b.mutex);
    const bool running = any_running(b.rows);
    if (!b.changed && !running) return -1;
    const uint64_t now = clock_ms();
    if (b.next_show_ms > now) return static_cast<int>(b.next_show_ms - now);
    show(b);
    // The window shows a lone transfer's count on its status line; a terminal, the totals.
    const bool totals = board_counts_all(*settings_now()) || board_totals_control != IDC_STATUS;
    if (running && totals && board_totals_control && !stop_flag && role().serving())
        ui_set_text(board_totals_control, totals_line(b.rows));
    b.changed = false;
    b.next_show_ms = clock_ms() + tick_ms;
    return running ? tick_ms : -1;
}

void board_flush() {
    board_state& b = board();
    std::lock_guard<std::mutex> lock(b.mutex);
    if (b.changed) show(b);
    b.changed = false;
}
