#pragma once
// Start at log-on on desktops that follow the XDG autostart layout: the entry
// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/plimbury.desktop starts the
// program with /TRAY. This is the counterpart of the store's Run key, which
// only Windows reads.

#include <string>

namespace plimbury {

// The full path of the autostart entry.
std::string autostartEntryPath();

// The text of the entry that starts `executable` with the argument /TRAY.
// The path is quoted as desktop entries require, so blanks, quotes,
// backslashes, "$" and "%" in it are started as written.
std::string autostartEntryText(const std::string& executable);

// Writes the entry (creating its folder), replacing it atomically. Returns
// false when it cannot be written; the program goes on without it.
bool writeAutostartEntry(const std::string& executable);

// One argument of an Exec line, quoted and escaped where needed.
std::string desktopExecArgument(const std::string& argument);

} // namespace plimbury
