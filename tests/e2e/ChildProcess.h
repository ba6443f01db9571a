// Children of a test (the X server, the program under test) must not outlive it, even when
// the test crashes or CTest kills it for taking too long.
#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

namespace E2e {

// Makes the kernel send SIGTERM to `process`'s child when this process ends, however it ends.
inline void endWithThisProcess(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

} // namespace E2e
