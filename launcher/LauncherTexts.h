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
inline constexpr const char* kDeleteQuestionLead = "Czy na pewno chcesz usunąć zapisaną grę o nazwie ";
