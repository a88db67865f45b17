#pragma once
// The per-user base folders of the XDG base directory layout. A variable that
// is unset, empty or not an absolute path is ignored (as the layout requires)
// and the default under the home folder is used. The home folder is $HOME, or
// the password database's entry when HOME is unset. Nothing is created.

#include <string>

namespace plimbury {

// $HOME, else the password database's entry for this user (services and some
// session managers start programs without HOME); "" when neither tells.
std::string userHomeFolder();

// ${XDG_CONFIG_HOME:-$HOME/.config}
std::string userConfigFolder();

// ${XDG_DATA_HOME:-$HOME/.local/share}
std::string userDataFolder();

// ${XDG_CACHE_HOME:-$HOME/.cache}
std::string userCacheFolder();

} // namespace plimbury
