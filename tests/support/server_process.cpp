#include "server_process.h"

#include "udp_peer.h"

#include <csignal>

server_process::server_process(const std::vector<std::string>& args) : port_(free_udp_port()) {
    std::vector<std::string> all = {"--headless",  "--port", std::to_string(port_), "--root",
                                    served.path(), "--log",  logs.file("trace.log")};
    all.insert(all.end(), args.begin(), args.end());
    child_ = std::make_unique<child_process>(PELLSD_PATH, all, served.path(), logs.path(),
                                             std::vector<std::string>{"TMPDIR=" + logs.path()});
    trace_shows("net_init:", 10000);
}

server_process::~server_process() { stop(); }

bool server_process::trace_shows(const std::string& text, int milliseconds) const {
    return wait_until([&] { return trace().find(text) != std::string::npos; }, milliseconds);
}

bool server_process::summaries_shown(size_t count, int milliseconds) {
    return wait_until(
        [&] {
            std::string out = child_->out();
            size_t found = 0;
            for (const char* mark : {" seconds.\n", " problem?\n"})
                for (size_t at = 0; (at = out.find(mark, at)) != std::string::npos; ++at)
                    ++found;
            return found >= count;
        },
        milliseconds);
}

int server_process::stop() {
    if (child_->running()) child_->signal(SIGTERM);
    return child_->wait_exit(10000);
}
