#pragma once

// The launcher's fixed texts. The target compiles them to Windows-1250 bytes; the dialog front
// end converts them to UTF-8 only where it hands them to the toolkit.

inline constexpr const char* kProgramTitle = "Tarvenkol Puzzle";
inline constexpr const char* kDeleteTitle = "Usuń";
inline constexpr const char* kBrowseTitle = "Przeglądaj";

inline constexpr const char* kEnterPicture = "Wpisz lub wybierz obrazek !";
inline constexpr const char* kPictureMissing = "Podany obrazek nie istnieje !";
inline constexpr const char* kEnterPieceCount = "Wpisz liczbę elementów !";
inline constexpr const char* kInvalidPieceCount = "Wpisz poprawną liczbę elementów !";
inline constexpr const char* kUnreasonablePieceCount = "Wpisz jakąś sensowną liczbę elementów !";
inline constexpr const char* kSelectGameToOpen = "Zaznacz na liście zapisaną grę, którą chcesz wczytać !";
inline constexpr const char* kSelectGameToDelete = "Zaznacz na liście zapisaną grę, którą chcesz usunąć !";
// Game reads its one argument with a splitter for which '"' only groups and the picture ends at
// the first '?', and keeps at most 259 characters of it: what it cannot take is refused here.
inline constexpr const char* kPictureNameUnusable = "Ścieżka obrazka nie może zawierać znaków \" ani ? !";
inline constexpr const char* kPictureTooLong = "Ścieżka obrazka jest za długa !";
inline constexpr const char* kSavedGameNameUnusable =
    "Nazwa zapisanej gry jest za długa lub zawiera znak \" !";
inline constexpr const char* kGameNotStarted = "Nie można uruchomić gry !";
inline constexpr const char* kDeleteQuestionLead = "Czy na pewno chcesz usunąć zapisaną grę o nazwie ";
