// pellcl: the PelloryTFTP client.
#include "command_line.h"
#include "qt/programs.h"


int main(int argc, char** argv) {
    if (argc > 1) return command_line_main(argc, argv);
    return qt_client_main(argc, argv);
}
