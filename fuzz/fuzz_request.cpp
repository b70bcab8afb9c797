// The server's reading of a request: filename, mode, the filename policy and the permissions.
// The first byte chooses read or write, which roots are in force and whether options are read;
// the rest is the request as it follows the opcode. A name the policy accepts under a root must lie
// below that root.
#include "diag/report.h"
#include "fuzz_setup.h"
#include "server/filename_policy.h"
#include "server/request.h"
#include "server/server_role.h"
#include "server/settings.h"
#include "ui/test_backend.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& folder = fuzz_prepare(server_role);
    int kind = data[0] & 1 ? 2 : 1;
    server_settings settings;
    settings.RestrictDownload = data[0] & 2 ? 1 : 0;
    settings.RestrictUpload = data[0] & 4 ? 1 : 0;
    const std::string root = folder + "/root";
    settings.RestrictDownloadPath = root;
    settings.RestrictUploadPath = data[0] & 8 ? root + "/" : root;
    settings.Extensions = data[0] & 16 ? 1 : 0;
    // Downloads are allowed from an empty root, uploads refused: nothing is opened for writing
    // and no transfer starts, so every input meets every check.
    settings.AllowDownload = 1;
    settings.AllowUpload = 0;
    settings_serve(settings);
    {
        fuzz_transfer t;
        try {
            option_set agreed;
            recv_xRQ(t, kind, data + 1, static_cast<int>(size - 1), &agreed);
        } catch (const transfer_ended&) {
            // a request without its NULs ends only that request
        }
    }
    std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
    bool restricted = (kind == 1 ? settings.RestrictDownload : settings.RestrictUpload) == 1;
    if (tftp_checkfilename(name, kind, settings) == 0 && restricted) {
        std::string path = local_path(name);
        if (path.rfind(root + "/", 0) != 0 || path.find("/../") != std::string::npos) std::abort();
    }
    return 0;
}
