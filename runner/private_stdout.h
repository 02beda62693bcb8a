// The plug-in writes its log lines to fd 1; the runner's own output must stay clean. This keeps
// a private copy of the real standard output and points fd 1 at standard error.
#pragma once

namespace qiraoid {

// Returns the private descriptor (close-on-exec) of the real standard output.
int DivertStdoutToStderr();

}  // namespace qiraoid
