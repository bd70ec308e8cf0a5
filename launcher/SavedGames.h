#pragma once

#include <string>
#include <string_view>
#include <vector>

// The list entry for a saved-game file name: the part after the last path separator ('\' or '/')
// and before the last dot that follows it; a name without such a dot is taken whole.
// "Zamek (3).pzz" -> "Zamek (3)", "a.b.pzz" -> "a.b".
std::string SavedGameEntryName(std::string_view fileName);

// Sorts entries as a Polish reader expects, whatever the locale: letters in Polish alphabetical
// order (a ą b c ć ... ł ... z ź ż) without regard to case, other diacritics (ñ, é) only breaking
// ties between otherwise equal names.
void SortSavedGames(std::vector<std::string>& entries);

// The entries for the regular files (links followed) named "*.pzz" in folder, sorted by
// SortSavedGames. Names whose entry would not name the same file again (one holding a '\') are
// left out. A folder that cannot be read gives an empty list.
std::vector<std::string> ListSavedGames(const std::string& folder = ".");

// The entry as the list shows it: UTF-8, with bytes that are not UTF-8 replaced.
std::string SavedGameDisplayName(const std::string& entry);

// The question asked before deleting the saved game of the entry, in UTF-8 for the dialog, with
// the entry as the list shows it.
std::string DeleteQuestion(const std::string& entry);

// Deletes the saved game of the entry (entry + ".pzz", relative to the current directory).
// Its outcome is not reported: the caller re-reads the list, which shows what is on disk.
void DeleteSavedGameFile(const std::string& entry);
