#pragma once

// cpp-httplib, included as a system header: its code is not held to the project's warning flags.
// The package's library is built with TLS support; the declarations must match it.
#pragma GCC system_header

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>
