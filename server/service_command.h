// pellsd.exe as a service of Windows: --service-install registers it to start at boot, headless,
// from the machine's settings file; --service-remove takes it away; --service is how the service
// manager starts it.
#pragma once

// The help's paragraph on them.
extern const char* const service_usage;
// Carries out the service command that the arguments name, with *status the process's exit
// status; false when they name none.
bool service_command(int argc, char** argv, int* status);
