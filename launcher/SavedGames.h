#pragma once

#include <string>
#include <string_view>
#include <vector>

// The list entry for a saved-game file name: the part after the last path separator ('\' or '/')
// and before the last dot that follows it; a name without such a dot is taken whole.
// "Zamek (3).pzz" -> "Zamek (3)", "a.b.pzz" -> "a.b".
std::string SavedGameEntryName(std::string_view fileName);

// The entries for the saved games ("*.pzz") in folder, sorted without regard to case. Names
// whose entry would not name the same file again (one holding a '\') are left out. A folder
// that cannot be read gives an empty list.
std::vector<std::string> ListSavedGames(const std::string& folder = ".");

// The question asked before deleting the saved game of the entry.
std::string DeleteQuestion(std::string_view entry);

// Deletes the saved game of the entry (entry + ".pzz", relative to the current directory).
// Its outcome is not reported: the caller re-reads the list, which shows what is on disk.
void DeleteSavedGameFile(const std::string& entry);
