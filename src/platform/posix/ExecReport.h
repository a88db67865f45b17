#pragma once
// Starting a program away from Windows: the child reports a failed exec by
// writing its errno into a close-on-exec pipe; a successful exec closes the
// pipe, and the parent reads end of file.

namespace plimbury {

// Reads the report from `fd` (the pipe's read end, whose write end the
// parent has closed) and closes it. 0 when the exec succeeded; else the
// child's errno (ENOEXEC when it wrote 0, EIO when the pipe cannot be read).
int readExecReport(int fd);

} // namespace plimbury
