#include "LauncherDialog.h"

#include "LauncherTexts.h"
#include "PictureFilter.h"
#include "SavedGames.h"
#include "StartArgument.h"

#include "startup/CommandLine.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr const char* kResourcePath = "/tarvenkol/puzzle/";
// The picture field against "Przeglądaj...": 132 to 54.
constexpr int kPictureFieldShare = 132;
constexpr int kBrowseShare = 54;

// The launcher's texts are Windows-1250; GTK wants UTF-8.
std::string ToUtf8(std::string_view cp1250) {
    gsize written = 0;
    gchar* converted = g_convert(cp1250.data(), static_cast<gssize>(cp1250.size()), "UTF-8", "CP1250",
                                 nullptr, &written, nullptr);
    if (!converted) {
        return std::string(cp1250);
    }
    std::string text(converted, written);
    g_free(converted);
    return text;
}

// The filter list, built once at start-up as the program's whole-run state.
const std::vector<std::pair<std::string, std::string>>& PictureFilterPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs =
        SplitPictureFilter(BuildPictureFilter());
    return pairs;
}

GtkWidget* Widget(GtkBuilder* builder, const char* id) {
    return GTK_WIDGET(gtk_builder_get_object(builder, id));
}

void AddIcons(GtkWindow* window) {
    GList* icons = nullptr;
    for (const char* name : {"icons/Puzzle16.png", "icons/Puzzle32.png", "icons/Puzzle48.png"}) {
        std::string path = std::string(kResourcePath) + name;
        if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path.c_str(), nullptr)) {
            icons = g_list_append(icons, icon);
        }
    }
    gtk_window_set_default_icon_list(icons);
    gtk_window_set_icon_list(window, icons);
    g_list_free_full(icons, g_object_unref);
}

// The list draws no focus of its own; a dotted frame shows where the keyboard goes.
gboolean DrawListFocus(GtkWidget* list, cairo_t* cr, gpointer) {
    if (gtk_widget_has_visible_focus(list)) {
        gtk_render_focus(gtk_widget_get_style_context(list), cr, 1, 1,
                         gtk_widget_get_allocated_width(list) - 2, gtk_widget_get_allocated_height(list) - 2);
    }
    return FALSE;
}

// A modal message box over owner with the exclamation icon: "OK", or "Tak" and "Nie" (the first the
// default). Returns the answer once it is closed.
int RunWarningBox(GtkWindow* owner, const std::string& utf8Text, const std::string& title, bool yesNo) {
    GtkWidget* box =
        gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                               yesNo ? GTK_BUTTONS_NONE : GTK_BUTTONS_OK, "%s", utf8Text.c_str());
    if (yesNo) {
        gtk_dialog_add_buttons(GTK_DIALOG(box), "_Tak", GTK_RESPONSE_YES, "_Nie", GTK_RESPONSE_NO, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
    }
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box),
                                 gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG));
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show_all(box);
    int answer = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return answer;
}

// A shortened name's tooltip is the whole name; a name shown whole has none.
gboolean ShowShortenedName(GtkWidget* label, gint, gint, gboolean, GtkTooltip* tooltip, gpointer) {
    if (!pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(label)))) {
        return FALSE;
    }
    gtk_tooltip_set_text(tooltip, gtk_label_get_text(GTK_LABEL(label)));
    return TRUE;
}

} // namespace

CLauncherDialog::CLauncherDialog(std::string gameProgram) : m_gameProgram(std::move(gameProgram)) {
    PictureFilterPairs();
    m_builder = gtk_builder_new_from_resource((std::string(kResourcePath) + "Launcher.ui").c_str());
    m_window = GTK_WINDOW(Widget(m_builder, "MainDialog"));
    m_newPuzzle = GTK_TOGGLE_BUTTON(Widget(m_builder, "NewPuzzle"));
    m_openSaved = GTK_TOGGLE_BUTTON(Widget(m_builder, "OpenSaved"));
    m_picture = GTK_ENTRY(Widget(m_builder, "Picture"));
    m_pieceCount = GTK_ENTRY(Widget(m_builder, "PieceCount"));
    m_savedGames = GTK_LIST_BOX(Widget(m_builder, "SavedGames"));
    AddIcons(m_window);

    // The fields take the width that keeps the layout's proportion to the browse button as the
    // theme draws it.
    int browseWidth = 0;
    gtk_widget_get_preferred_width(Widget(m_builder, "Browse"), nullptr, &browseWidth);
    int fieldWidth = (browseWidth * kPictureFieldShare + kBrowseShare / 2) / kBrowseShare;
    gtk_widget_set_size_request(GTK_WIDGET(m_picture), fieldWidth, -1);
    gtk_widget_set_size_request(GTK_WIDGET(m_pieceCount), fieldWidth, -1);

    g_signal_connect(Widget(m_builder, "Ok"), "clicked", G_CALLBACK(OnOk), this);
    g_signal_connect(Widget(m_builder, "Cancel"), "clicked", G_CALLBACK(OnCancel), this);
    g_signal_connect(Widget(m_builder, "Browse"), "clicked", G_CALLBACK(OnBrowse), this);
    g_signal_connect(Widget(m_builder, "Delete"), "clicked", G_CALLBACK(OnDelete), this);
    g_signal_connect(Widget(m_builder, "Refresh"), "clicked", G_CALLBACK(OnRefresh), this);
    g_signal_connect(m_savedGames, "key-press-event", G_CALLBACK(OnListKeyPress), this);
    g_signal_connect(m_savedGames, "button-press-event", G_CALLBACK(OnListButtonPress), this);
    g_signal_connect(m_savedGames, "focus", G_CALLBACK(OnListFocus), this);
    g_signal_connect(m_newPuzzle, "focus", G_CALLBACK(OnRadioFocus), this);
    g_signal_connect(m_openSaved, "focus", G_CALLBACK(OnRadioFocus), this);
    g_signal_connect_after(m_savedGames, "draw", G_CALLBACK(DrawListFocus), nullptr);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDeleteEvent), this);
}

GtkWidget* CLauncherDialog::Control(const char* id) const {
    return Widget(m_builder, id);
}

CLauncherDialog::~CLauncherDialog() {
    gtk_widget_destroy(GTK_WIDGET(m_window));
    g_object_unref(m_builder);
}

void CLauncherDialog::Run(const std::string& notice) {
    gtk_toggle_button_set_active(m_newPuzzle, TRUE);
    FillSavedGamesList();
    gtk_widget_grab_default(Widget(m_builder, "Ok"));
    gtk_widget_grab_focus(GTK_WIDGET(m_newPuzzle));
    gtk_window_present(m_window);
    m_running = true;
    if (!notice.empty()) {
        ShowMessage(notice);
    }
    gtk_main();
}

void CLauncherDialog::End() {
    if (m_running) {
        m_running = false;
        gtk_widget_hide(GTK_WIDGET(m_window));
        gtk_main_quit();
    }
}

void CLauncherDialog::OnOk(GtkButton*, gpointer self) {
    auto* dialog = static_cast<CLauncherDialog*>(self);
    if (dialog->StartGame()) {
        dialog->End();
    }
}

void CLauncherDialog::OnCancel(GtkButton*, gpointer self) {
    static_cast<CLauncherDialog*>(self)->End();
}

void CLauncherDialog::OnBrowse(GtkButton*, gpointer self) {
    static_cast<CLauncherDialog*>(self)->BrowseForPicture();
}

void CLauncherDialog::OnDelete(GtkButton*, gpointer self) {
    static_cast<CLauncherDialog*>(self)->DeleteSavedGame();
}

void CLauncherDialog::OnRefresh(GtkButton*, gpointer self) {
    static_cast<CLauncherDialog*>(self)->FillSavedGamesList();
}

// The list is one tab stop, like a list box: taking the focus selects nothing; the arrow, Home,
// End and page keys move the selection; Enter presses the default button.
gboolean CLauncherDialog::OnListKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* dialog = static_cast<CLauncherDialog*>(self);
    GtkListBox* list = dialog->m_savedGames;
    GList* rows = gtk_container_get_children(GTK_CONTAINER(list));
    int count = static_cast<int>(g_list_length(rows));
    g_list_free(rows);
    GtkListBoxRow* selected = gtk_list_box_get_selected_row(list);
    int current = selected ? gtk_list_box_row_get_index(selected) : -1;
    int target = current;
    switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        gtk_window_activate_default(dialog->m_window);
        return TRUE;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        target = current + 1;
        break;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        target = current < 0 ? 0 : current - 1;
        break;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
        target = 0;
        break;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
        target = count - 1;
        break;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        target = current + dialog->VisibleListRows();
        break;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        target = current - dialog->VisibleListRows();
        break;
    default:
        return FALSE;
    }
    if (count > 0) {
        target = std::clamp(target, 0, count - 1);
        GtkListBoxRow* row = gtk_list_box_get_row_at_index(list, target);
        gtk_list_box_select_row(list, row);
        GtkAllocation area;
        gtk_widget_get_allocation(GTK_WIDGET(row), &area);
        if (GtkAdjustment* scroll = gtk_list_box_get_adjustment(list)) {
            gtk_adjustment_clamp_page(scroll, area.y, area.y + area.height);
        }
    }
    return TRUE;
}

// Tabbing reaches the list itself, once, rather than each of its rows.
gboolean CLauncherDialog::OnListFocus(GtkWidget* list, GtkDirectionType, gpointer) {
    if (gtk_widget_has_focus(list)) {
        g_signal_stop_emission_by_name(list, "focus");
        return FALSE;
    }
    gtk_widget_grab_focus(list);
    return TRUE;
}

// Each radio button is a tab stop of its own, checked or not; the arrow keys still move within
// the pair.
gboolean CLauncherDialog::OnRadioFocus(GtkWidget* radio, GtkDirectionType direction, gpointer) {
    if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) {
        return FALSE;
    }
    g_signal_stop_emission_by_name(radio, "focus");
    if (gtk_widget_has_focus(radio)) {
        return FALSE;
    }
    gtk_widget_grab_focus(radio);
    return TRUE;
}

// A click in the list gives it the focus as well as selecting the row under the pointer.
gboolean CLauncherDialog::OnListButtonPress(GtkWidget* list, GdkEventButton*, gpointer) {
    gtk_widget_grab_focus(list);
    return FALSE;
}

gboolean CLauncherDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    if (event->keyval == GDK_KEY_Escape) {
        static_cast<CLauncherDialog*>(self)->End();
        return TRUE;
    }
    return FALSE;
}

gboolean CLauncherDialog::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<CLauncherDialog*>(self)->End();
    return TRUE;
}

bool CLauncherDialog::StartGame() {
    CheckResult result;
    if (gtk_toggle_button_get_active(m_newPuzzle)) {
        result = PrepareNewGameArgument(ReadFieldText(gtk_entry_get_text(m_picture)),
                                        ReadFieldText(gtk_entry_get_text(m_pieceCount)));
    } else if (gtk_toggle_button_get_active(m_openSaved)) {
        result = PrepareOpenGameArgument(SelectedEntry());
    }
    if (!result.ok) {
        if (result.warning) {
            ShowWarning(result.warning);
            MoveFocus(result.focus);
        }
        return false;
    }
    if (!result.argument.empty() && !LaunchGame(result.argument)) {
        ShowWarning(kGameNotStarted);
        MoveFocus(DialogControl::None);
        return false;
    }
    return true;
}

// The rows that fit whole into the list's view (at least one).
int CLauncherDialog::VisibleListRows() const {
    GtkListBoxRow* first = gtk_list_box_get_row_at_index(m_savedGames, 0);
    GtkAdjustment* scroll = gtk_list_box_get_adjustment(m_savedGames);
    if (!first || !scroll) {
        return 1;
    }
    int rowHeight = gtk_widget_get_allocated_height(GTK_WIDGET(first));
    if (rowHeight <= 0) {
        return 1;
    }
    return std::max(1, static_cast<int>(gtk_adjustment_get_page_size(scroll)) / rowHeight);
}

// Game gets the arguments that Windows would split from the command line, and the command
// line itself in its environment. It runs detached: glib's intermediate child makes init its
// parent, so nothing waits for it and no zombie is left. False when Game could not be started
// (missing, or not a program the launcher may run).
bool CLauncherDialog::LaunchGame(const std::string& argument) {
    std::string commandLine = ComposeGameCommandLine(argument);
    std::vector<std::string> arguments = startup::SplitCommandLine(commandLine);
    arguments[0] = m_gameProgram;
    std::vector<gchar*> argv;
    for (std::string& text : arguments) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    gchar** environment =
        g_environ_setenv(g_get_environ(), startup::kCommandLineVariable, commandLine.c_str(), TRUE);
    gboolean started =
        g_spawn_async(nullptr, argv.data(), environment, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr);
    g_strfreev(environment);
    return started;
}

void CLauncherDialog::BrowseForPicture() {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        ToUtf8(kBrowseTitle).c_str(), m_window, GTK_FILE_CHOOSER_ACTION_OPEN, "_Anuluj", GTK_RESPONSE_CANCEL,
        ToUtf8("_Otwórz").c_str(), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    gchar* folder = g_get_current_dir();
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder);
    g_free(folder);
    GtkFileFilter* first = nullptr;
    for (const auto& [name, patterns] : PictureFilterPairs()) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, ToUtf8(name).c_str());
        for (const std::string& glob : WindowsPatternsToGlobs(patterns)) {
            gtk_file_filter_add_pattern(filter, glob.c_str());
        }
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
        if (!first) {
            first = filter;
        }
    }
    if (first) {
        gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(chooser), first);
    }
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            ShowChosenPicture(path);
            g_free(path);
        }
    }
    gtk_widget_destroy(chooser);
}

void CLauncherDialog::ShowChosenPicture(const char* path) {
    gchar* text = g_filename_display_name(path);
    gtk_entry_set_text(m_picture, text);
    g_free(text);
    gtk_editable_set_position(GTK_EDITABLE(m_picture), -1);
}

void CLauncherDialog::FillSavedGamesList() {
    GList* rows = gtk_container_get_children(GTK_CONTAINER(m_savedGames));
    for (GList* row = rows; row; row = row->next) {
        gtk_widget_destroy(GTK_WIDGET(row->data));
    }
    g_list_free(rows);
    for (const std::string& entry : ListSavedGames()) {
        GtkWidget* label = gtk_label_new(SavedGameDisplayName(entry).c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        // The list takes the dialog's width whatever the names: a long one is shortened in its
        // middle and shown whole in its tooltip.
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
        gtk_label_set_max_width_chars(GTK_LABEL(label), 1);
        gtk_widget_set_has_tooltip(label, TRUE);
        g_signal_connect(label, "query-tooltip", G_CALLBACK(ShowShortenedName), nullptr);
        gtk_widget_set_margin_start(label, 4);
        gtk_widget_set_margin_end(label, 4);
        gtk_widget_set_margin_top(label, 1);
        gtk_widget_set_margin_bottom(label, 1);
        GtkWidget* row = gtk_list_box_row_new();
        gtk_widget_set_can_focus(row, FALSE);
        gtk_container_add(GTK_CONTAINER(row), label);
        g_object_set_data_full(G_OBJECT(row), "entry", g_strdup(entry.c_str()), g_free);
        gtk_widget_show_all(row);
        gtk_container_add(GTK_CONTAINER(m_savedGames), row);
    }
}

std::optional<std::string> CLauncherDialog::SelectedEntry() const {
    GtkListBoxRow* row = gtk_list_box_get_selected_row(m_savedGames);
    if (!row) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(g_object_get_data(G_OBJECT(row), "entry")));
}

void CLauncherDialog::DeleteSavedGame() {
    std::optional<std::string> entry = SelectedEntry();
    if (!entry) {
        ShowWarning(kSelectGameToDelete);
        MoveFocus(DialogControl::SavedGames);
        return;
    }
    int answer = RunWarningBox(m_window, DeleteQuestion(*entry), ToUtf8(kDeleteTitle), true);
    if (answer == GTK_RESPONSE_YES) {
        DeleteSavedGameFile(*entry);
        FillSavedGamesList();
    }
}

void CLauncherDialog::ShowWarning(const char* text) {
    ShowMessage(ToUtf8(text));
}

void CLauncherDialog::ShowMessage(const std::string& utf8Text) {
    RunWarningBox(m_window, utf8Text, ToUtf8(kProgramTitle), false);
}

// The control gets the keyboard focus with its text as it was, not selected.
void CLauncherDialog::MoveFocus(DialogControl control) {
    switch (control) {
    case DialogControl::Picture:
        gtk_entry_grab_focus_without_selecting(m_picture);
        break;
    case DialogControl::PieceCount:
        gtk_entry_grab_focus_without_selecting(m_pieceCount);
        break;
    case DialogControl::SavedGames:
        gtk_widget_grab_focus(GTK_WIDGET(m_savedGames));
        break;
    case DialogControl::None:
        break;
    }
    gtk_window_present(m_window);
}
