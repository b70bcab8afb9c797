// The server's abort path, run by a fatal report on the thread that met the failure.
#pragma once

void transfer_abort();
