// The client's role profile for the shared engine and diagnostics.
#pragma once

#include "diag/role.h"

extern const role_profile client_role;
