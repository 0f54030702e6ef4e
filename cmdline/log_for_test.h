// Test-only access to the log state. Never called by the program itself.
#pragma once

#include <string>

// The text logged while no file was open and not yet written to a file.
std::wstring PendingLogTextForTest();

// Back to the state at process start: closed, no remembered path, nothing pending.
void ResetLogForTest();
