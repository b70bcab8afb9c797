// The windowed programs: the server window and the client window, each on its own event loop.
#pragma once

int qt_server_main(int argc, char** argv);
int qt_client_main(int argc, char** argv);
