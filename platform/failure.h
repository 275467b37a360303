// Why a platform operation failed, and a test seam that makes one of them fail on purpose.
//
// Operations answer by return value; the reason of a failure is the thread's errno, as the
// system left it or as the operation set it for a refusal of its own (EACCES for a read-only
// file, EEXIST for a target that is there, EISDIR for a folder).
//
// The seam: SETUP_FAULT="N:REASON" makes the Nth operation of this process that changes the
// machine (creating, writing, renaming, deleting a file or folder, any registry change) fail
// with REASON, an errno name (ENOSPC, EACCES, EIO, EROFS, EPERM, EDQUOT) or number. "N:kill"
// instead ends the process there as kill -9 would; "N:stop" stops it there (SIGSTOP) and lets the
// operation go on once it is continued, so a test can change the machine in between. Operations are
// counted from the moment the program calls StartFaultCounting (the setup runner does when its run
// begins), so the count addresses the steps of the run itself. Only that one operation is affected;
// the variable is read once per process. Without it the seam costs one atomic load.
// SETUP_FAULT_TALLY=FILE makes the process write, when it ends, the number of operations it counted
// into FILE's first line and then one line per operation ("N operation path"), so a test knows how
// many steps a run has and can say which one a failure was placed at.
#pragma once

#include <string>

namespace platform {

// The system's text for the current errno ("No space left on device").
std::string LastErrorText();
// The system's text for an errno value.
std::string ErrorText(int error);

// Counts one changing operation (a short name such as "mkdir" and the host path it changes).
// Answers false, with errno set, when the seam says this one fails; never returns when it says
// the process is killed here.
bool PassFaultPoint(const char* operation, const std::string& path);
// The same for an operation on an open file; its path is looked up only for the tally.
bool PassFaultPointOnFile(const char* operation, int fd);
// Operations from now on count for SETUP_FAULT.
void StartFaultCounting();

}  // namespace platform
