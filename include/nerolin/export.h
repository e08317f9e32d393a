#pragma once

// Marks the classes and functions a host may use from the shared library;
// everything else in it stays internal.
#define NEROLIN_EXPORT __attribute__((visibility("default")))
