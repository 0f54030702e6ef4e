// Failure codes of the run, as the failure report turns them into messages.
#pragma once

#include <cstdint>

#include "cmdline/read_command_line.h"  // kBadCommandLine

constexpr uint32_t kSignatureRefused = 0x800B0100;        // own signature did not verify
constexpr uint32_t kNotAdministrator = 0x80110413;        // build demands administrator rights
constexpr uint32_t kFrameworkMissing = 0x80110409;        // .NET requirement not met
constexpr uint32_t kWindowsInstallerTooOld = 1613;        // Windows Installer engine older than 2.0
constexpr uint32_t kInsufficientDiskSpace = 0x80030070;   // too little free space on the temp drive
constexpr uint32_t kSizeMismatch = 0x80040167;            // extracted item differs from the payload index
constexpr uint32_t kPayloadFailure = 0x80004005;          // a payload step failed
constexpr uint32_t kProcessorModeFailure = 0x80004004;    // processor mode does not fit the system
constexpr uint32_t kFrontEndStartFailure = 0x80070057;    // the front end could not be started
constexpr uint32_t kFrontEndFrameworkLoadFailure = 0x80131700;  // front end's exit code: runtime failed to load
constexpr uint32_t kUnexpectedFailure = 0x8000FFFF;       // a system call failed without saying why
