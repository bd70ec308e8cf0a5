#pragma once

#include "StartArgument.h"

#include <gtk/gtk.h>

#include <optional>
#include <string>

// The launcher's dialog on GTK 3: the window built from the embedded UI description, its
// controls' actions, and the start of Game. Control labels live in the UI description; the
// message, question and browse texts are the launcher's Windows-1250 texts, converted to UTF-8
// here. Field texts and saved-game names are used as the file system's bytes.
class CLauncherDialog {
  public:
    // gameProgram: the program to run for "Game.exe".
    explicit CLauncherDialog(std::string gameProgram);
    ~CLauncherDialog();
    CLauncherDialog(const CLauncherDialog&) = delete;
    CLauncherDialog& operator=(const CLauncherDialog&) = delete;

    // Shows the dialog and returns when it has ended: after "OK" with passing checks and Game
    // started, "Anuluj", Escape or the close box. When Game cannot be started, a warning says so
    // and the dialog stays open. A notice (UTF-8), when given, is shown once over the dialog as
    // it opens.
    void Run(const std::string& notice = std::string());

    // A control of the UI description by its id ("Picture", "Browse", "SavedGames"...).
    GtkWidget* Control(const char* id) const;
    // Puts a chosen picture's path into the picture field with its end (the file name) in view.
    void ShowChosenPicture(const char* path);

  private:
    static void OnOk(GtkButton*, gpointer self);
    static void OnCancel(GtkButton*, gpointer self);
    static void OnBrowse(GtkButton*, gpointer self);
    static void OnDelete(GtkButton*, gpointer self);
    static void OnRefresh(GtkButton*, gpointer self);
    static gboolean OnListKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnRadioFocus(GtkWidget* radio, GtkDirectionType direction, gpointer);
    static gboolean OnListFocus(GtkWidget* list, GtkDirectionType, gpointer);
    static gboolean OnListButtonPress(GtkWidget* list, GdkEventButton*, gpointer);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self);

    bool StartGame();
    void BrowseForPicture();
    void DeleteSavedGame();
    void FillSavedGamesList();
    std::optional<std::string> SelectedEntry() const;
    void ShowWarning(const char* text);
    void ShowMessage(const std::string& utf8Text);
    void MoveFocus(DialogControl control);
    void End();
    bool LaunchGame(const std::string& argument);
    int VisibleListRows() const;

    std::string m_gameProgram;
    GtkBuilder* m_builder = nullptr;
    GtkWindow* m_window = nullptr;
    GtkToggleButton* m_newPuzzle = nullptr;
    GtkToggleButton* m_openSaved = nullptr;
    GtkEntry* m_picture = nullptr;
    GtkEntry* m_pieceCount = nullptr;
    GtkListBox* m_savedGames = nullptr;
    bool m_running = false;
};
