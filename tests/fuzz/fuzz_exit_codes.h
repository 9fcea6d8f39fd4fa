#pragma once

// Exit codes of a worker that ends itself (a worker that finishes returns 0).

namespace testing_support {

constexpr unsigned kExitCrash = 0xF0F0F001u;    // unhandled exception, X line written
constexpr unsigned kExitAbort = 0xF0F0F002u;    // abort(), A line written
constexpr unsigned kExitHang = 0xF0F0F003u;     // no progress, H line written
constexpr unsigned kExitPlanted = 0xF0F0F004u;  // ExitProcess planted by a harness test

}  // namespace testing_support
