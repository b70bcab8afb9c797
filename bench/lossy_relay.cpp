#include "lossy_relay.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

int bound(uint16_t* port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0)
        throw std::runtime_error("relay: cannot bind");
    socklen_t length = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    if (port) *port = ntohs(sa.sin_port);
    return fd;
}

void send_to(int fd, uint16_t port, const std::string& bytes) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

int field(const std::string& bytes, size_t at) {
    return bytes.size() >= at + 2
               ? (static_cast<uint8_t>(bytes[at]) << 8 | static_cast<uint8_t>(bytes[at + 1]))
               : -1;
}

} // namespace

lossy_relay::lossy_relay(uint16_t server_port, rule decide)
    : server_port_(server_port), decide_(std::move(decide)) {
    front_fd_ = bound(&front_port_);
    back_fd_ = bound(nullptr);
    stop_fd_ = eventfd(0, EFD_NONBLOCK);
    worker_ = std::thread([this] { run(); });
}

lossy_relay::~lossy_relay() {
    stopping_ = true;
    uint64_t one = 1;
    ssize_t written = write(stop_fd_, &one, sizeof one);
    (void)written;
    worker_.join();
    close(front_fd_);
    close(back_fd_);
    close(stop_fd_);
}

std::vector<relayed> lossy_relay::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

int lossy_relay::count(bool to_server, int opcode, int number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(log_.begin(), log_.end(), [&](const relayed& r) {
        return r.to_server == to_server && r.opcode == opcode && (number < 0 || r.number == number);
    }));
}

void lossy_relay::run() {
    uint16_t client_port = 0;
    // Server port -> the relay's own socket that stands for it towards the client.
    std::map<uint16_t, int> faces;
    std::map<int, uint16_t> face_of_fd;
    std::map<std::tuple<bool, int, int>, int> seen;
    struct held {
        clock_type::time_point due;
        int fd;
        uint16_t port;
        std::string bytes;
    };
    std::vector<held> waiting;

    auto forward = [&](bool to_server, int out_fd, uint16_t out_port, const std::string& bytes) {
        relayed r{to_server, field(bytes, 0), field(bytes, 2), 0, bytes};
        r.seen = seen[{to_server, r.opcode, r.number}]++;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(r);
        }
        relay_action a = decide_(r);
        switch (a.what) {
        case relay_action::drop:
            break;
        case relay_action::duplicate:
            send_to(out_fd, out_port, bytes);
            send_to(out_fd, out_port, bytes);
            break;
        case relay_action::delay:
            waiting.push_back({clock_type::now() + std::chrono::milliseconds(a.delay_ms), out_fd,
                               out_port, bytes});
            break;
        case relay_action::pass:
            send_to(out_fd, out_port, bytes);
        }
    };

    char buffer[65536];
    while (!stopping_) {
        std::vector<pollfd> fds = {
            {stop_fd_, POLLIN, 0}, {front_fd_, POLLIN, 0}, {back_fd_, POLLIN, 0}};
        for (auto& [port, fd] : faces)
            fds.push_back({fd, POLLIN, 0});
        int wait_ms = 50;
        poll(fds.data(), fds.size(), wait_ms);
        auto now = clock_type::now();
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (it->due <= now) {
                send_to(it->fd, it->port, it->bytes);
                it = waiting.erase(it);
            } else {
                ++it;
            }
        }
        for (const pollfd& p : fds) {
            if (!(p.revents & POLLIN) || p.fd == stop_fd_) continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = recvfrom(p.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                                 &length);
            if (n < 0) continue;
            std::string bytes(buffer, static_cast<size_t>(n));
            uint16_t from_port = ntohs(from.sin_port);
            if (p.fd == front_fd_) { // the client's request to the listening port
                client_port = from_port;
                forward(true, back_fd_, server_port_, bytes);
            } else if (p.fd == back_fd_) { // the server, from a port of its own
                if (!faces.count(from_port)) {
                    int face = bound(nullptr);
                    faces[from_port] = face;
                    face_of_fd[face] = from_port;
                }
                forward(false, faces[from_port], client_port, bytes);
            } else { // the client, to one of the server's ports
                client_port = from_port;
                forward(true, back_fd_, face_of_fd[p.fd], bytes);
            }
        }
    }
    for (auto& [port, fd] : faces)
        close(fd);
}

lossy_relay::rule drop_first(bool to_server, int opcode, std::vector<int> numbers, int times) {
    return [=](const relayed& r) {
        bool match = r.to_server == to_server && r.opcode == opcode &&
                     std::find(numbers.begin(), numbers.end(), r.number) != numbers.end();
        return relay_action{match && r.seen < times ? relay_action::drop : relay_action::pass};
    };
}

lossy_relay::rule random_loss(double chance, unsigned seed) {
    return [chance, random = std::mt19937(seed)](const relayed&) mutable {
        bool lost = std::uniform_real_distribution<double>(0, 1)(random) < chance;
        return relay_action{lost ? relay_action::drop : relay_action::pass};
    };
}

lossy_relay::rule duplicate_all() {
    return [](const relayed& r) {
        return relay_action{r.opcode == 3 || r.opcode == 4 ? relay_action::duplicate
                                                           : relay_action::pass};
    };
}
