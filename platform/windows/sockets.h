// Winsock for the Windows files of this layer: started once, and its SOCKET handles, which need
// not fit an int, known above this layer by small numbers of their own.
#pragma once

#include <winsock2.h>

// A number for a new socket, which the layer above uses as its descriptor.
int socket_number(SOCKET socket);
// The socket a number stands for; INVALID_SOCKET for none.
SOCKET socket_of(int number);
// Closes the socket and frees its number.
void socket_close(int number);
