#pragma once
// The reasons the system gives for a failed file operation, in the program's
// language: the C library's own texts are English whatever the user reads.

#include <string>

/// The reason for the system error number `err` (an errno value), in Japanese;
/// for numbers without a text of their own, the system's text with the number.
std::string SystemErrorText(int err);
