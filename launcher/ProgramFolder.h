// Where the launcher runs from. An installation its user cannot write is played from the user's
// own program folder; Game makes the same choice at its start by the same rule, so the two agree
// on the folder that holds the saved games.
#pragma once

#include <string>

// The path the launcher was started through: argv[0] made absolute when it names the running
// program file (a link to the program keeps the link's folder), otherwise the program file
// itself. Call before the current directory changes.
std::string StartedLauncherPath(const char* argv0);

// The path the launcher takes as its own. When the folder of `started` can be written, that is
// `started`. Otherwise it is the same name in $XDG_DATA_HOME/tarvenkol-puzzle (an absolute
// XDG_DATA_HOME only; ~/.local/share/tarvenkol-puzzle otherwise), made when missing with links
// named Game, PictureDecoder, Puzzle and Gfx to the installed ones; `started` again when that folder cannot
// be made.
std::string OwnLauncherPath(const std::string& started);
