#include "transfer.h"

#include "diag/status.h"
#include "endpoint.h"
#include "file_layer.h"

transfer::transfer()
    : recv_buf(packet_buffer_size), send_buf(packet_buffer_size),
      meter(std::make_shared<transfer_meter>()) {}

transfer::~transfer() {
    meter->kind = 0;
    if (file) {
        file_close_unchecked(*this);
        status_file_delete();
    }
    if (socket >= 0) net_close(*this);
}
