#pragma once
// Win32 error codes as the rest of the core expects them: FileError carries
// an errno value (systemErrorText turns it into words), and messages shown to
// the user carry the system's own text.

#include <string>

namespace plimbury::win {

// The errno value closest to a GetLastError() code; EIO for codes without one.
int errnoFromWin32(unsigned long code);

// The system's text for a GetLastError() code, without the line break it ends
// with; "" for 0 or a code the system has no text for.
std::string win32ErrorText(unsigned long code);

} // namespace plimbury::win
