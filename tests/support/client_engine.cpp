#include "client_engine.h"

#include "diag/shared_flags.h"
#include "engine/endpoint.h"
#include "engine/file_layer.h"
#include "engine/fsm.h"
#include "engine/packet.h"
#include "platform/thread.h"
#include "wait_until.h"

void client_engine_test::SetUp() {
    endpoint_test::SetUp();
    use_role(client_like_role());
    engine_port_ = engine_port();
    t->first_receive = true;
    client_like_aborts = 0;
}

void client_engine_test::TearDown() {
    if (run_) {
        stop_raise();
        EXPECT_TRUE(wait_until([&] { return run_->ended == 1; }, 20000));
    }
    endpoint_test::TearDown();
}

void client_engine_test::start(int op, int mode, const std::string& local,
                               const std::string& remote) {
    run_ = std::make_shared<run>();
    auto state = run_;
    transfer* engine = t.get();
    engine->timeout_seconds = packet_timeout;
    // The worker uses the fixture's transfer; TearDown waits for the worker before it goes.
    (void)thread_start([state, engine, op, mode, local, remote] {
        struct mark_end {
            run& r;
            ~mark_end() { r.ended = 1; }
        } mark{*state};
        transfer& t = *engine;
        t.mode = mode;
        if (!file_open(t, local, op == OP_RRQ ? "wb" : "rb", op == OP_RRQ ? 1 : 0)) return;
        t.send_len = build_request(t.send_buf.data(), op, remote.c_str(),
                                   mode == MODE_OCTET ? "octet" : "netascii");
        net_send(t, t.send_buf.data(), t.send_len);
        t.op_sent = op;
        fsm_loop(t, op);
        state->how = t.outcome.how;
        file_close(t);
        state->returned = 1;
    });
}

bool client_engine_test::finish(int milliseconds) {
    EXPECT_TRUE(wait_until([&] { return run_->ended == 1; }, milliseconds));
    return run_->returned == 1;
}

std::string client_engine_test::take_request() {
    auto got = peer->receive(5000);
    return got ? got->bytes : std::string();
}
