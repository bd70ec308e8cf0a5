// Where an installed Game runs from (the layer's main() asks at start). The launcher, which
// shares no code with Game, answers the same question by the same rule in its own main(), so
// the two agree on one folder.
#pragma once

#include <string>

namespace layer {

// The path the running program was started through: argv[0] made absolute when it names the
// running program file (so a link to the program keeps the link's folder), otherwise the
// program file itself (/proc/self/exe). Call before the current directory changes.
std::string StartedProgramPath(const char* argv0);

// The path the program should take as its own. When the folder of programPath can be
// written, that is programPath itself. Otherwise it is the same name in the user's program
// folder, $XDG_DATA_HOME/tarvenkol-puzzle (~/.local/share/tarvenkol-puzzle when unset),
// which is made when missing and holds links named Game, PictureDecoder, Puzzle and Gfx to the installed
// ones (a link that points elsewhere is renewed; anything else of those names is left).
// When that folder cannot be made, programPath is returned unchanged.
std::string UserProgramPath(const std::string& programPath);

} // namespace layer
