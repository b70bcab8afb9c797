#include "server_process.h"

#include "udp_peer.h"

#include <csignal>
#include <filesystem>
#include <iterator>
#include <regex>
#include <gtest/gtest.h>

server_process::server_process(const std::vector<std::string>& args,
                               const std::vector<std::string>& prefix)
    : port_(free_udp_port()) {
    std::filesystem::create_directories(logs.file("config/Drumvale"));
    write_file(settings(), "[General]\nAllowDownload=No\nAllowUpload=No\nRestrictDownload=No\n"
                           "RestrictUpload=No\nRestrictDownloadPath=" +
                               logs.path() + "\nRestrictUploadPath=" + logs.path() +
                               "\nTimeout=30\n");
    std::vector<std::string> all = prefix;
    // A test that runs as root serves as root from folders of its own; going on as another user
    // has a test of its own.
    all.insert(all.end(), {PELLSD_PATH, "--headless", "--port", std::to_string(port_), "--root",
                           served.path(), "--log", logs.file("trace.log"), "--user", "root"});
    all.insert(all.end(), args.begin(), args.end());
    std::string program = all.front();
    all.erase(all.begin());
    child_ = std::make_unique<child_process>(program, all, logs.path(), logs.path(),
                                             std::vector<std::string>{"TMPDIR=" + logs.path()});
    // Ready once the port is bound; a start that fails is the test's failure.
    bool bound = wait_until(
        [&] {
            return trace().find("net_init: Successfully") != std::string::npos ||
                   !child_->running();
        },
        10000);
    if (!bound || !child_->running()) ADD_FAILURE() << "pellsd did not start: " << child_->err();
}

server_process::~server_process() { stop(); }

std::string server_process::settings() const {
    return logs.file("config/Drumvale/PelloryTFTP server.ini");
}

bool server_process::trace_shows(const std::string& text, int milliseconds) const {
    return wait_until([&] { return trace().find(text) != std::string::npos; }, milliseconds);
}

size_t server_process::summaries() const {
    const std::string out = child_->out();
    static const std::regex row(R"(\d\d:\d\d:\d\d \S+ .* (download|upload) \d+ \d+\.\d completed\n)");
    return static_cast<size_t>(
        std::distance(std::sregex_iterator(out.begin(), out.end(), row), std::sregex_iterator()));
}

bool server_process::summaries_shown(size_t count, int milliseconds) {
    return wait_until([&] { return summaries() >= count; }, milliseconds);
}

int server_process::stop() {
    if (child_->running()) child_->signal(SIGTERM);
    return child_->wait_exit(10000);
}
