/* SPDX-License-Identifier: MIT */
/* penrune-pad: a window to write Chinese in with a mouse or a pen. The pad
 * is an IBus client with an input context of its own on the penrune engine:
 * every stroke goes to the engine through the handwriting protocol when the
 * pen lifts, the candidate bar shows the engine's lookup table, a click on a
 * candidate commits it into the pad's text field, Undo and Clear take back
 * the newest stroke or all of them. Copy the text from the field. (The pad
 * cannot write into another application's input context: ibus-daemon
 * answers calls on a context only from the connection that created it.)
 *
 * usage: penrune-pad [--log]
 *   --log  prints what happens on standard output, one line each:
 *          "geometry WIDGET X Y WIDTH HEIGHT" (window coordinates of area,
 *          slot1, undo, clear), "stroke POINTS" (a stroke sent),
 *          "candidates TEXT..." (the bar after every table), "commit TEXT",
 *          "status TEXT". */
#include <stdio.h>

#include <gtk/gtk.h>

#include "ibus-client.h"
#include "penrune-engine.h"

/* Size of the writing area at start, in pixels. */
#define PAD_AREA_WIDTH 640
#define PAD_AREA_HEIGHT 320
/* Candidate buttons: one page of the engine's table. */
#define PAD_SLOTS PENRUNE_ENGINE_PAGE_SIZE
/* Width of a candidate button's text, in characters of the pad's font. */
#define PAD_SLOT_CHARS 5
#define PAD_INK_WIDTH 3.0

typedef struct {
    IBusInputContext *context;
    GtkWidget *window, *area, *undo, *clear, *entry, *status;
    GtkWidget *slot[PAD_SLOTS];
    GPtrArray *strokes; /* GArrays of x, y doubles in area pixels, as the engine holds them */
    GArray *current;    /* the stroke being written, or NULL */
    gdouble side;       /* pixels per protocol unit in the current line */
    gboolean log;
} Pad;

static void pad_log(const Pad *pad, const gchar *format, ...) G_GNUC_PRINTF(2, 3);
static void pad_log(const Pad *pad, const gchar *format, ...) {
    if (!pad->log) return;
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    fflush(stdout);
}

/* ---- Ink ---------------------------------------------------------------- */

static void draw_stroke(cairo_t *cr, const GArray *stroke) {
    for (guint i = 0; i + 1 < stroke->len; i += 2) {
        const gdouble x = g_array_index(stroke, gdouble, i), y = g_array_index(stroke, gdouble, i + 1);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    if (stroke->len == 2) cairo_line_to(cr, g_array_index(stroke, gdouble, 0), g_array_index(stroke, gdouble, 1));
    cairo_stroke(cr);
}

static gboolean on_draw(GtkWidget *area, cairo_t *cr, Pad *pad) {
    (void)area;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, PAD_INK_WIDTH);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (guint s = 0; s < pad->strokes->len; s++) draw_stroke(cr, g_ptr_array_index(pad->strokes, s));
    if (pad->current) draw_stroke(cr, pad->current);
    return TRUE;
}

/* Adds a point of the pen, kept inside the area; repeats are dropped. */
static void add_point(Pad *pad, gdouble x, gdouble y) {
    x = CLAMP(x, 0, gtk_widget_get_allocated_width(pad->area) - 1);
    y = CLAMP(y, 0, gtk_widget_get_allocated_height(pad->area) - 1);
    const guint n = pad->current->len;
    if (n >= 2 && g_array_index(pad->current, gdouble, n - 2) == x && g_array_index(pad->current, gdouble, n - 1) == y)
        return;
    g_array_append_val(pad->current, x);
    g_array_append_val(pad->current, y);
    gtk_widget_queue_draw(pad->area);
}

static gboolean on_press(GtkWidget *area, GdkEventButton *event, Pad *pad) {
    (void)area;
    if (event->button != GDK_BUTTON_PRIMARY || pad->current) return FALSE;
    pad->current = g_array_new(FALSE, FALSE, sizeof(gdouble));
    add_point(pad, event->x, event->y);
    return TRUE;
}

static gboolean on_motion(GtkWidget *area, GdkEventMotion *event, Pad *pad) {
    (void)area;
    if (!pad->current) return FALSE;
    add_point(pad, event->x, event->y);
    return TRUE;
}

/* Sends the stroke in the protocol's units: both axes divided by the longer
 * side of the area, so that the writing keeps its shape, as the area was at
 * the line's first stroke, so that resizing the window does not change the
 * scale within a line. */
static void send_stroke(Pad *pad, const GArray *stroke) {
    if (pad->strokes->len == 0)
        pad->side = MAX(gtk_widget_get_allocated_width(pad->area), gtk_widget_get_allocated_height(pad->area));
    gdouble *coordinates = g_new(gdouble, stroke->len);
    for (guint i = 0; i < stroke->len; i++) coordinates[i] = MIN(g_array_index(stroke, gdouble, i) / pad->side, 1.0);
    ibus_input_context_process_hand_writing_event(pad->context, coordinates, stroke->len);
    g_free(coordinates);
}

static gboolean on_release(GtkWidget *area, GdkEventButton *event, Pad *pad) {
    (void)area;
    if (event->button != GDK_BUTTON_PRIMARY || !pad->current) return FALSE;
    GArray *stroke = pad->current;
    pad->current = NULL;
    /* A tap is no stroke: the protocol wants two points at least. */
    if (stroke->len >= 4) {
        pad_log(pad, "stroke %u", stroke->len / 2);
        send_stroke(pad, stroke);
        g_ptr_array_add(pad->strokes, stroke);
    } else {
        g_array_unref(stroke);
    }
    gtk_widget_queue_draw(pad->area);
    return TRUE;
}

static void drop_strokes(Pad *pad, guint count) {
    const guint kept = count == 0 || count > pad->strokes->len ? 0 : pad->strokes->len - count;
    g_ptr_array_set_size(pad->strokes, kept);
    gtk_widget_queue_draw(pad->area);
}

/* ---- The engine's answers --------------------------------------------- */

static void show_candidates(Pad *pad, gchar **list) {
    GString *line = g_string_new("candidates");
    for (guint i = 0; i < PAD_SLOTS; i++) {
        const gboolean filled = list != NULL && g_strv_length(list) > i;
        gtk_label_set_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(pad->slot[i]))), filled ? list[i] : "");
        gtk_widget_set_sensitive(pad->slot[i], filled);
        if (filled) g_string_append_printf(line, " %s", list[i]);
    }
    pad_log(pad, "%s", line->str);
    g_string_free(line, TRUE);
}

static void on_table(IBusInputContext *context, IBusLookupTable *table, gboolean visible, Pad *pad) {
    (void)context;
    (void)visible;
    const guint size = ibus_lookup_table_get_page_size(table);
    gchar **list = penrune_client_candidates(table, ibus_lookup_table_get_cursor_pos(table) / size * size, PAD_SLOTS);
    show_candidates(pad, list);
    g_strfreev(list);
}

static void on_hide_table(IBusInputContext *context, Pad *pad) {
    (void)context;
    show_candidates(pad, NULL);
}

static void on_commit(IBusInputContext *context, IBusText *text, Pad *pad) {
    (void)context;
    gint end = -1;
    gtk_editable_insert_text(GTK_EDITABLE(pad->entry), ibus_text_get_text(text), -1, &end);
    drop_strokes(pad, 0);
    pad_log(pad, "commit %s", ibus_text_get_text(text));
}

/* The engine says why it refused a stroke, which must be the newest one:
 * it answers each stroke before the pen can write another. */
static void on_note(IBusInputContext *context, IBusText *text, gboolean visible, Pad *pad) {
    (void)context;
    (void)visible;
    gtk_label_set_text(GTK_LABEL(pad->status), ibus_text_get_text(text));
    drop_strokes(pad, 1);
    pad_log(pad, "status %s", ibus_text_get_text(text));
}

static void on_hide_note(IBusInputContext *context, Pad *pad) {
    (void)context;
    gtk_label_set_text(GTK_LABEL(pad->status), "");
}

/* ---- Buttons ------------------------------------------------------------ */

/* A candidate button presses the number key of its slot. */
static void on_slot(GtkButton *button, Pad *pad) {
    const guint slot = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(button), "slot"));
    ibus_input_context_process_key_event(pad->context, IBUS_KEY_1 + slot, 0, 0);
    ibus_input_context_process_key_event(pad->context, IBUS_KEY_1 + slot, 0, IBUS_RELEASE_MASK);
}

static void on_undo(GtkButton *button, Pad *pad) {
    (void)button;
    if (pad->strokes->len == 0) return;
    ibus_input_context_cancel_hand_writing(pad->context, 1);
    drop_strokes(pad, 1);
}

static void on_clear(GtkButton *button, Pad *pad) {
    (void)button;
    ibus_input_context_cancel_hand_writing(pad->context, 0);
    drop_strokes(pad, 0);
}

/* ---- The window ----------------------------------------------------------- */

/* GTK merges queued motion events by default, and a fast stroke then
 * reaches the engine as a few corners of itself. */
static void on_area_realize(GtkWidget *area, Pad *pad) {
    (void)pad;
    GdkWindow *window = gtk_widget_get_window(area);
    gdk_window_set_event_compression(window, FALSE);
    gdk_window_set_event_compression(gdk_window_get_toplevel(window), FALSE);
}

static void log_geometry(const Pad *pad, const gchar *name, GtkWidget *widget) {
    gint x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, pad->window, 0, 0, &x, &y);
    pad_log(pad, "geometry %s %d %d %d %d", name, x, y, gtk_widget_get_allocated_width(widget),
            gtk_widget_get_allocated_height(widget));
}

static void on_window_allocate(GtkWidget *window, GdkRectangle *allocation, Pad *pad) {
    (void)window;
    (void)allocation;
    log_geometry(pad, "area", pad->area);
    log_geometry(pad, "slot1", pad->slot[0]);
    log_geometry(pad, "undo", pad->undo);
    log_geometry(pad, "clear", pad->clear);
}

/* Another client may have taken the focus of the daemon meanwhile. */
static gboolean on_focus_in(GtkWidget *window, GdkEvent *event, Pad *pad) {
    (void)window;
    (void)event;
    ibus_input_context_focus_in(pad->context);
    return FALSE;
}

static GtkWidget *button(const gchar *label, GCallback callback, Pad *pad) {
    GtkWidget *widget = gtk_button_new_with_label(label);
    g_signal_connect(widget, "clicked", callback, pad);
    return widget;
}

static GtkWidget *build_area(Pad *pad) {
    pad->area = gtk_drawing_area_new();
    gtk_widget_set_size_request(pad->area, PAD_AREA_WIDTH, PAD_AREA_HEIGHT);
    gtk_widget_set_vexpand(pad->area, TRUE);
    gtk_widget_add_events(pad->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    g_signal_connect(pad->area, "realize", G_CALLBACK(on_area_realize), pad);
    g_signal_connect(pad->area, "draw", G_CALLBACK(on_draw), pad);
    g_signal_connect(pad->area, "button-press-event", G_CALLBACK(on_press), pad);
    g_signal_connect(pad->area, "motion-notify-event", G_CALLBACK(on_motion), pad);
    g_signal_connect(pad->area, "button-release-event", G_CALLBACK(on_release), pad);
    return pad->area;
}

static GtkWidget *build_bar(Pad *pad) {
    GtkWidget *bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
    gtk_box_set_homogeneous(GTK_BOX(bar), TRUE);
    for (guint i = 0; i < PAD_SLOTS; i++) {
        pad->slot[i] = button("", G_CALLBACK(on_slot), pad);
        g_object_set_data(G_OBJECT(pad->slot[i]), "slot", GUINT_TO_POINTER(i));
        GtkLabel *label = GTK_LABEL(gtk_bin_get_child(GTK_BIN(pad->slot[i])));
        /* Room for a two-character word; longer ones end in an ellipsis. */
        gtk_label_set_width_chars(label, PAD_SLOT_CHARS);
        gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
        gtk_box_pack_start(GTK_BOX(bar), pad->slot[i], TRUE, TRUE, 0);
    }
    return bar;
}

/* Undo, Clear and the text field. */
static GtkWidget *build_row(Pad *pad) {
    GtkWidget *row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    pad->undo = button("Undo", G_CALLBACK(on_undo), pad);
    pad->clear = button("Clear", G_CALLBACK(on_clear), pad);
    pad->entry = gtk_entry_new();
    /* The field takes no input method of its own: its input context would
     * take the daemon's focus from the pad's. */
    g_object_set(pad->entry, "im-module", "gtk-im-context-simple", NULL);
    gtk_box_pack_start(GTK_BOX(row), pad->undo, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), pad->clear, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), pad->entry, TRUE, TRUE, 0);
    return row;
}

static void build_window(Pad *pad) {
    pad->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(pad->window), "penrune pad");
    g_signal_connect(pad->window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    g_signal_connect(pad->window, "focus-in-event", G_CALLBACK(on_focus_in), pad);
    g_signal_connect_after(pad->window, "size-allocate", G_CALLBACK(on_window_allocate), pad);
    GtkWidget *column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_container_add(GTK_CONTAINER(pad->window), column);
    gtk_box_pack_start(GTK_BOX(column), build_area(pad), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(column), build_bar(pad), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), build_row(pad), FALSE, FALSE, 0);
    pad->status = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(pad->status), 0);
    gtk_box_pack_start(GTK_BOX(column), pad->status, FALSE, FALSE, 0);
    show_candidates(pad, NULL);
}

static void connect_engine(Pad *pad) {
    g_signal_connect(pad->context, "update-lookup-table", G_CALLBACK(on_table), pad);
    g_signal_connect(pad->context, "hide-lookup-table", G_CALLBACK(on_hide_table), pad);
    g_signal_connect(pad->context, "commit-text", G_CALLBACK(on_commit), pad);
    g_signal_connect(pad->context, "update-auxiliary-text", G_CALLBACK(on_note), pad);
    g_signal_connect(pad->context, "hide-auxiliary-text", G_CALLBACK(on_hide_note), pad);
}

int main(int argc, char **argv) {
    Pad pad = {0};
    const GOptionEntry options[] = {
        {"log", 0, 0, G_OPTION_ARG_NONE, &pad.log, "Print the pad's events on standard output", NULL},
        {NULL, 0, 0, 0, NULL, NULL, NULL},
    };
    GError *error = NULL;
    if (!gtk_init_with_args(&argc, &argv, "- write Chinese by hand into IBus", options, NULL, &error)) {
        fprintf(stderr, "penrune-pad: %s\n", error ? error->message : "cannot open the display");
        return 2;
    }
    ibus_init();
    IBusBus *bus = ibus_bus_new();
    if (!ibus_bus_is_connected(bus)) {
        fprintf(stderr, "penrune-pad: cannot connect to ibus-daemon (is it running?)\n");
        return 1;
    }
    pad.context = penrune_client_open(bus, "penrune-pad", &error);
    if (pad.context == NULL) {
        fprintf(stderr, "penrune-pad: the penrune engine is not available: %s\n", error->message);
        return 1;
    }
    pad.strokes = g_ptr_array_new_with_free_func((GDestroyNotify)g_array_unref);
    build_window(&pad);
    connect_engine(&pad);
    gtk_widget_show_all(pad.window);
    gtk_main();
    g_ptr_array_unref(pad.strokes);
    g_object_unref(pad.context);
    g_object_unref(bus);
    return 0;
}
