// What lumora-cli does so that it never fails silently and never leaves
// debris: standard streams that are closed stay detectably closed, every write
// to standard output is checked, and temporary files are removed when a signal
// ends the program.
#pragma once

#include "common/file_io.hpp"

namespace lumora::cli {

// Call first: a closed standard descriptor is held by a read-only /dev/null,
// so that no file the program opens takes its number and writes to it fail.
void GuardStandardStreams();

// SIGINT, SIGTERM and SIGHUP remove the temporary files CleanupWatch() knows
// of (any number), then end the program as the signal would have. A staged
// file that is the only whole copy of a file being rewritten in place stays,
// and a message on standard error names it. A signal that comes while a
// transaction replaces its files takes effect when it is done, so that the
// files are replaced all or none; a second one ends the program at once.
void RemoveTemporaryFilesOnSignals();
const TempFileWatch& CleanupWatch();

// Writes text to standard output; false (after saying why on standard error)
// when it did not all arrive.
bool WriteStandardOutput(const std::string& text);

// Closes standard output at the end: a write error only reported there (a
// full disk, a closed descriptor) turns status 0 into 1.
int FinishStandardOutput(int status);

}  // namespace lumora::cli
