// The folder a program runs from. A program folder its user can write is used as it is; from one
// its user cannot write (an installed package), a program runs from the user's own program
// folder, which holds links to the installed programs and images beside the user's saved games
// and log. Game and the launcher both decide here, so they always agree on the folder.
#pragma once

#include <string>

namespace startup {

// The path the running program was started through: argv[0] made absolute when it names the
// running program file (so a link to the program keeps the link's folder and name), otherwise
// the program file itself (/proc/self/exe). Call before the current directory changes.
std::string StartedProgramPath(const char* argv0);

// Where a program runs from, and why not from a folder of its user's own when it cannot.
struct ProgramPlace {
    // The path the program takes as its own.
    std::string path;
    // Empty when the program can write its folder. Otherwise a sentence (UTF-8) that names the
    // user's folder that could not be used, the reason, and the program folder the program stays
    // in, for the user to read.
    std::string problem;
};

// The path the program should take as its own. When the folder of programPath can be written,
// that is programPath itself. Otherwise it is the same name in the user's program folder,
// $XDG_DATA_HOME/tarvenkol-puzzle (an absolute XDG_DATA_HOME only; else ~/.local/share/
// tarvenkol-puzzle, the home being $HOME when absolute, else the user's entry in the password
// database), which is made when missing (readable by its owner only) and holds links named Game,
// PictureDecoder, Puzzle and Gfx to the installed ones (a link that points elsewhere is renewed;
// anything else of those names is left). When that folder cannot be made or written, the path is
// programPath unchanged and problem says why.
ProgramPlace ChooseProgramPlace(const std::string& programPath);

} // namespace startup
