// The dialog on a display: the notice it opens with, the picture field's proportion to
// "Przeglądaj...", the chosen picture's file name in view, a width that long saved-game names do
// not change, and the page keys of the saved-game list.
#include "LauncherDialog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i) {
        while (gtk_events_pending())
            gtk_main_iteration();
        g_usleep(10000);
    }
}

void PressKey(GtkWidget* widget, guint keyval) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    event->key.keyval = keyval;
    gdk_event_set_device(event,
                         gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gboolean handled = gtk_widget_event(widget, event);
    gdk_event_free(event);
    EXPECT_TRUE(handled) << keyval;
}

int SelectedRow(GtkWidget* list) {
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
    return row ? gtk_list_box_row_get_index(row) : -1;
}

// The rows that lie whole inside the list's view.
int WholeRowsInView(GtkWidget* list) {
    GtkAdjustment* scroll = gtk_list_box_get_adjustment(GTK_LIST_BOX(list));
    double top = gtk_adjustment_get_value(scroll);
    double bottom = top + gtk_adjustment_get_page_size(scroll);
    int rows = 0;
    while (GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), rows)) {
        GtkAllocation area;
        gtk_widget_get_allocation(GTK_WIDGET(row), &area);
        if (area.y < top || area.y + area.height > bottom)
            break;
        ++rows;
    }
    return rows;
}

const std::string kLongName(240, 'z');
const char* const kNotice = "Nie mo\xc5\xbcna utworzy\xc4\x87 folderu /x (pow\xc3\xb3"
                            "d).";

GtkMessageDialog* FindMessageBox() {
    GList* windows = gtk_window_list_toplevels();
    GtkMessageDialog* found = nullptr;
    for (GList* window = windows; window; window = window->next)
        if (GTK_IS_MESSAGE_DIALOG(window->data) && gtk_widget_get_visible(GTK_WIDGET(window->data)))
            found = GTK_MESSAGE_DIALOG(window->data);
    g_list_free(windows);
    return found;
}

// The label of the list's row at index.
GtkLabel* RowLabel(GtkWidget* list, int index) {
    return GTK_LABEL(gtk_bin_get_child(GTK_BIN(gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), index))));
}

// What the label's tooltip shows: its text, or nothing (nullptr) when it has none.
std::optional<std::string> TooltipOf(GtkLabel* label) {
    GtkTooltip* tooltip = GTK_TOOLTIP(g_object_new(GTK_TYPE_TOOLTIP, nullptr));
    gboolean shown = FALSE;
    g_signal_emit_by_name(label, "query-tooltip", 1, 1, FALSE, tooltip, &shown);
    g_object_unref(tooltip);
    if (!shown)
        return std::nullopt;
    return std::string(gtk_label_get_text(label));
}

void CheckDialog(CLauncherDialog& dialog) {
    Settle();
    // The longest saved-game name the game makes fits: the dialog stays within a small screen and
    // the name is shortened in its middle, whole in its tooltip.
    GtkWidget* window = dialog.Control("MainDialog");
    EXPECT_LE(gtk_widget_get_allocated_width(window), 900);
    GtkWidget* list = dialog.Control("SavedGames");
    GtkLabel* longest = RowLabel(list, 12);
    EXPECT_TRUE(pango_layout_is_ellipsized(gtk_label_get_layout(longest)));
    EXPECT_EQ(TooltipOf(longest), kLongName);
    EXPECT_EQ(TooltipOf(RowLabel(list, 0)), std::nullopt);

    // 132 units of field against 54 of the button, within a pixel of rounding.
    int field = gtk_widget_get_allocated_width(dialog.Control("Picture"));
    int browse = gtk_widget_get_allocated_width(dialog.Control("Browse"));
    EXPECT_NEAR(field * 54.0 / 132.0, browse, 1.0) << field << " against " << browse;
    EXPECT_EQ(gtk_widget_get_allocated_width(dialog.Control("PieceCount")), field);

    std::string path = "/home/ola/" + std::string(60, 'o') + "/Obrazki/kot na p\xc5\x82ocie.jpg";
    dialog.ShowChosenPicture(path.c_str());
    Settle();
    GtkWidget* picture = dialog.Control("Picture");
    EXPECT_EQ(gtk_editable_get_position(GTK_EDITABLE(picture)), g_utf8_strlen(path.c_str(), -1));
    int scrolled = 0;
    g_object_get(picture, "scroll-offset", &scrolled, nullptr);
    EXPECT_GT(scrolled, 0);

    gtk_widget_grab_focus(list);
    PressKey(list, GDK_KEY_Home);
    Settle();
    int page = WholeRowsInView(list);
    ASSERT_GT(page, 1);
    ASSERT_LT(page * 2, 12);
    PressKey(list, GDK_KEY_Page_Down);
    EXPECT_EQ(SelectedRow(list), page);
    Settle();
    PressKey(list, GDK_KEY_Page_Down);
    EXPECT_EQ(SelectedRow(list), 2 * page);
    Settle();
    PressKey(list, GDK_KEY_Page_Up);
    EXPECT_EQ(SelectedRow(list), page);
}

} // namespace

TEST(LauncherDialog, ShowsTheNoticeKeepsTheLayoutShowsTheFileNameAndPagesByTheVisibleRows) {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
    CTempFolder folder;
    for (int i = 10; i < 22; ++i)
        CTempFolder::Touch("gra " + std::to_string(i) + ".pzz");
    CTempFolder::Touch(kLongName + ".pzz");
    CLauncherDialog dialog("/nonexistent/Game");
    // The notice comes first, over the dialog; once it is answered, the dialog runs on.
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* dialog = static_cast<CLauncherDialog*>(data);
            GtkMessageDialog* box = FindMessageBox();
            EXPECT_NE(box, nullptr) << "no notice";
            if (!box)
                return G_SOURCE_REMOVE;
            gchar* text = nullptr;
            g_object_get(box, "text", &text, nullptr);
            EXPECT_STREQ(text, kNotice);
            g_free(text);
            EXPECT_EQ(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(box))),
                      dialog->Control("MainDialog"));
            gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
            g_idle_add(
                [](gpointer data) -> gboolean {
                    if (gtk_main_level() == 0)
                        return G_SOURCE_CONTINUE;
                    auto* dialog = static_cast<CLauncherDialog*>(data);
                    EXPECT_EQ(FindMessageBox(), nullptr) << "the notice shown again";
                    CheckDialog(*dialog);
                    gtk_button_clicked(GTK_BUTTON(dialog->Control("Cancel")));
                    return G_SOURCE_REMOVE;
                },
                dialog);
            return G_SOURCE_REMOVE;
        },
        &dialog);
    dialog.Run(kNotice);
}
