/* SPDX-License-Identifier: MIT */
/* penrune-ibus-check: drives the engine through a running ibus-daemon the
 * way a handwriting client would, and checks what comes back.
 *
 * usage: penrune-ibus-check STROKES.json EXPECTED
 *          replays the line stroke by stroke through the handwriting
 *          protocol and checks the lookup table after every stroke, undo,
 *          commit by number key and space, clearing, keys with nothing
 *          written and bad strokes; prints one "ok"/"FAIL" line per check
 *          and a closing "N passed, N failed" line, exits 1 on a failure.
 *        penrune-ibus-check --points WIDTH HEIGHT STROKES.json
 *          prints the strokes fitted into a WIDTH x HEIGHT area, one stroke
 *          a line of "x y" integer pairs, for driving the pad with xdotool.
 *
 * Stroke files are JSON arrays of strokes of [x, y] points, as in
 * examples/. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <json-glib/json-glib.h>

#include "ibus-client.h"

/* How long one answer of the engine may take. */
#define CHECK_WAIT_MS 10000
/* Blank border around the line, in units of the area, as a writer leaves. */
#define CHECK_PROTOCOL_MARGIN 0.05
#define CHECK_PAD_MARGIN 20.0
/* Points of the overlong stroke: more than a whole line may hold. */
#define CHECK_LONG_STROKE 20000
/* Points of one row of its zigzag. */
#define CHECK_ROW_POINTS 900

typedef struct {
    IBusInputContext *context;
    gchar **list;  /* candidates of the latest lookup table, best first */
    guint updates; /* lookup tables shown or hidden */
    guint commits;
    gchar *committed; /* the latest commit */
    guint notes;      /* auxiliary texts shown */
    gchar *note;
    guint passed, failed;
} Client;

static void check(Client *client, gboolean ok, const gchar *what) {
    printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    fflush(stdout);
    if (ok)
        client->passed++;
    else
        client->failed++;
}

/* ---- Stroke files ---------------------------------------------------- */

/* One point of a stroke file appended to stroke; FALSE for anything but a
 * pair of numbers. */
static gboolean read_point(JsonNode *node, GArray *stroke) {
    if (!JSON_NODE_HOLDS_ARRAY(node)) return FALSE;
    JsonArray *pair = json_node_get_array(node);
    if (json_array_get_length(pair) != 2) return FALSE;
    for (guint i = 0; i < 2; i++) {
        JsonNode *value = json_array_get_element(pair, i);
        if (json_node_get_value_type(value) != G_TYPE_INT64 && json_node_get_value_type(value) != G_TYPE_DOUBLE)
            return FALSE;
        const gdouble coordinate = json_node_get_double(value);
        g_array_append_val(stroke, coordinate);
    }
    return TRUE;
}

/* The strokes of path, each a GArray of x, y doubles in the file's units. */
static GPtrArray *read_strokes(const gchar *path, GError **error) {
    JsonParser *parser = json_parser_new();
    GPtrArray *strokes = NULL;
    if (!json_parser_load_from_file(parser, path, error)) goto done;
    JsonNode *root = json_parser_get_root(parser);
    strokes = g_ptr_array_new_with_free_func((GDestroyNotify)g_array_unref);
    JsonArray *list = JSON_NODE_HOLDS_ARRAY(root) ? json_node_get_array(root) : NULL;
    for (guint s = 0; list && s < json_array_get_length(list); s++) {
        JsonNode *node = json_array_get_element(list, s);
        GArray *stroke = g_array_new(FALSE, FALSE, sizeof(gdouble));
        g_ptr_array_add(strokes, stroke);
        JsonArray *points = JSON_NODE_HOLDS_ARRAY(node) ? json_node_get_array(node) : NULL;
        gboolean good = points != NULL && json_array_get_length(points) > 0;
        for (guint p = 0; good && p < json_array_get_length(points); p++)
            good = read_point(json_array_get_element(points, p), stroke);
        if (!good) list = NULL;
    }
    if (list == NULL || strokes->len == 0) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_INVALID_DATA, "%s: expected an array of strokes of [x, y] points",
                    path);
        g_clear_pointer(&strokes, g_ptr_array_unref);
    }
done:
    g_object_unref(parser);
    return strokes;
}

/* The strokes scaled and moved into a width x height area with a margin,
 * the aspect kept, in place. */
static void fit(GPtrArray *strokes, gdouble width, gdouble height, gdouble margin) {
    gdouble low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (guint s = 0; s < strokes->len; s++) {
        const GArray *stroke = g_ptr_array_index(strokes, s);
        for (guint i = 0; i < stroke->len; i++) {
            const gdouble v = g_array_index(stroke, gdouble, i);
            low[i % 2] = MIN(low[i % 2], v);
            high[i % 2] = MAX(high[i % 2], v);
        }
    }
    const gdouble scale =
        MIN((width - 2 * margin) / MAX(high[0] - low[0], 1.0), (height - 2 * margin) / MAX(high[1] - low[1], 1.0));
    for (guint s = 0; s < strokes->len; s++) {
        GArray *stroke = g_ptr_array_index(strokes, s);
        for (guint i = 0; i < stroke->len; i++) {
            gdouble *v = &g_array_index(stroke, gdouble, i);
            *v = margin + (*v - low[i % 2]) * scale;
        }
    }
}

/* ---- The engine's answers --------------------------------------------- */

static void on_table(IBusInputContext *context, IBusLookupTable *table, gboolean visible, Client *client) {
    (void)context;
    (void)visible;
    g_strfreev(client->list);
    client->list = penrune_client_candidates(table, 0, G_MAXUINT);
    client->updates++;
}

static void on_hide_table(IBusInputContext *context, Client *client) {
    (void)context;
    g_strfreev(client->list);
    client->list = g_new0(gchar *, 1);
    client->updates++;
}

static void on_commit(IBusInputContext *context, IBusText *text, Client *client) {
    (void)context;
    g_free(client->committed);
    client->committed = g_strdup(ibus_text_get_text(text));
    client->commits++;
}

static void on_note(IBusInputContext *context, IBusText *text, gboolean visible, Client *client) {
    (void)context;
    (void)visible;
    g_free(client->note);
    client->note = g_strdup(ibus_text_get_text(text));
    client->notes++;
}

static gboolean tick(gpointer data) {
    (void)data;
    return G_SOURCE_CONTINUE;
}

/* Runs the main loop until *counter reaches target. Returns FALSE when the
 * wait timed out. */
static gboolean wait_for(const guint *counter, guint target) {
    const gint64 deadline = g_get_monotonic_time() + (gint64)CHECK_WAIT_MS * 1000;
    const guint source = g_timeout_add(20, tick, NULL);
    while (*counter < target && g_get_monotonic_time() < deadline) g_main_context_iteration(NULL, TRUE);
    g_source_remove(source);
    return *counter >= target;
}

/* Sends a stroke through the library's call and waits for the new table. */
static gboolean write_stroke(Client *client, const GArray *stroke) {
    const guint target = client->updates + 1;
    ibus_input_context_process_hand_writing_event(client->context, (const gdouble *)stroke->data, stroke->len);
    return wait_for(&client->updates, target);
}

/* Sends coordinates as the D-Bus call itself, past the library's own
 * checks, the way any client program could. */
static void send_raw(Client *client, const gdouble *coordinates, guint length) {
    GVariant *array = g_variant_new_fixed_array(G_VARIANT_TYPE_DOUBLE, coordinates, length, sizeof(gdouble));
    g_dbus_proxy_call(G_DBUS_PROXY(client->context), "ProcessHandWritingEvent", g_variant_new("(@ad)", array),
                      G_DBUS_CALL_FLAGS_NONE, -1, NULL, NULL, NULL);
}

static gboolean cancel(Client *client, guint strokes) {
    const guint target = client->updates + 1;
    ibus_input_context_cancel_hand_writing(client->context, strokes);
    return wait_for(&client->updates, target);
}

/* Delivers the signals the daemon sent before now (losing the focus hides
 * the table, for one): a call's answer comes after them. */
static void settle(Client *client) {
    GVariant *reply = g_dbus_proxy_call_sync(G_DBUS_PROXY(client->context), "GetEngine", NULL, G_DBUS_CALL_FLAGS_NONE,
                                             CHECK_WAIT_MS, NULL, NULL);
    if (reply) g_variant_unref(reply);
    while (g_main_context_iteration(NULL, FALSE)) continue;
}

/* Presses and releases keyval; returns whether the engine took the press. */
static gboolean press(Client *client, guint keyval) {
    const gboolean taken = ibus_input_context_process_key_event(client->context, keyval, 0, 0);
    ibus_input_context_process_key_event(client->context, keyval, 0, IBUS_RELEASE_MASK);
    return taken;
}

static gboolean first_is(gchar **list, const gchar *expected) {
    return list != NULL && list[0] != NULL && g_strcmp0(list[0], expected) == 0;
}

/* ---- The checks ------------------------------------------------------- */

/* Writes every stroke; returns the candidate list after each, or NULL when
 * a table did not come. */
static GPtrArray *write_line(Client *client, const GPtrArray *strokes) {
    GPtrArray *lists = g_ptr_array_new_with_free_func((GDestroyNotify)g_strfreev);
    for (guint s = 0; s < strokes->len; s++) {
        if (!write_stroke(client, g_ptr_array_index(strokes, s))) {
            g_ptr_array_unref(lists);
            return NULL;
        }
        g_ptr_array_add(lists, g_strdupv(client->list));
    }
    return lists;
}

static void check_line(Client *client, const GPtrArray *strokes, const gchar *expected) {
    GPtrArray *lists = write_line(client, strokes);
    check(client, lists != NULL, "a lookup table comes after every stroke");
    if (lists == NULL) return;
    gboolean all = TRUE;
    for (guint s = 0; s < lists->len; s++) all = all && g_strv_length(g_ptr_array_index(lists, s)) > 0;
    check(client, all, "every table has candidates");
    gchar **last = g_ptr_array_index(lists, lists->len - 1);
    printf("     candidates after %u strokes:", strokes->len);
    for (guint i = 0; last[i] && i < 8; i++) printf(" %s", last[i]);
    printf("\n");
    gchar *what = g_strdup_printf("the first candidate is %s", expected);
    check(client, first_is(last, expected), what);
    g_free(what);

    if (lists->len >= 2) {
        gchar **previous = g_ptr_array_index(lists, lists->len - 2);
        check(client, !g_strv_equal((const gchar *const *)previous, (const gchar *const *)last),
              "the last stroke changed the list");
        check(client,
              cancel(client, 1) && g_strv_equal((const gchar *const *)client->list, (const gchar *const *)previous),
              "cancel_hand_writing(1) brings back the previous list");
        check(client,
              write_stroke(client, g_ptr_array_index(strokes, strokes->len - 1)) && first_is(client->list, expected),
              "writing the last stroke again gives the same first candidate");
    }
    const guint commits = client->commits;
    check(client,
          press(client, IBUS_KEY_1) && wait_for(&client->commits, commits + 1) &&
              g_strcmp0(client->committed, expected) == 0,
          "key 1 commits the first candidate");
    check(client, g_strv_length(client->list) == 0, "the commit empties the table");
    g_ptr_array_unref(lists);
}

static void check_commits(Client *client, const GPtrArray *strokes) {
    GPtrArray *lists = write_line(client, strokes);
    gchar **last = lists ? g_ptr_array_index(lists, lists->len - 1) : NULL;
    if (last && g_strv_length(last) >= 2) {
        const guint commits = client->commits;
        check(client,
              press(client, IBUS_KEY_2) && wait_for(&client->commits, commits + 1) &&
                  g_strcmp0(client->committed, last[1]) == 0,
              "key 2 commits the second candidate");
    } else {
        check(client, FALSE, "the line has two candidates to choose from");
    }
    if (lists) g_ptr_array_unref(lists);

    const guint commits = client->commits;
    const gboolean written = write_stroke(client, g_ptr_array_index(strokes, 0));
    gchar *first = g_strdup(client->list ? client->list[0] : NULL);
    check(client,
          written && press(client, IBUS_KEY_space) && wait_for(&client->commits, commits + 1) &&
              g_strcmp0(client->committed, first) == 0,
          "space commits the candidate under the cursor");
    g_free(first);

    check(client,
          write_stroke(client, g_ptr_array_index(strokes, 0)) &&
              write_stroke(client, g_ptr_array_index(strokes, 1 % strokes->len)) && cancel(client, 0) &&
              g_strv_length(client->list) == 0,
          "cancel_hand_writing(0) clears the line");
    check(client, !press(client, IBUS_KEY_space) && !press(client, IBUS_KEY_a),
          "with nothing written keys go to the application");
}

typedef struct {
    const gchar *what;
    guint length; /* coordinates */
    gdouble bad;  /* the value put in place of one coordinate */
    guint at;     /* which coordinate */
    gboolean raw; /* past the library's checks */
} BadStroke;

/* A bad stroke between a good one and an undo: the undo must take away the
 * good stroke, so the bad one was not stored. */
static void check_bad(Client *client, const GArray *good, const BadStroke *bad) {
    GArray *stroke = g_array_sized_new(FALSE, FALSE, sizeof(gdouble), bad->length);
    /* A zigzag of rows across the middle of the area. */
    const guint rows = bad->length / 2 / CHECK_ROW_POINTS + 1;
    for (guint i = 0; i < bad->length; i++) {
        const guint point = i / 2;
        const gdouble v = i % 2 == 0 ? 0.2 + 0.6 * (point % CHECK_ROW_POINTS) / CHECK_ROW_POINTS
                                     : 0.2 + 0.6 * (point / CHECK_ROW_POINTS) / rows;
        g_array_append_val(stroke, v);
    }
    if (bad->at < bad->length) g_array_index(stroke, gdouble, bad->at) = bad->bad;
    const guint notes = client->notes;
    gboolean ok = write_stroke(client, good);
    if (bad->raw)
        send_raw(client, (const gdouble *)stroke->data, stroke->len);
    else
        ibus_input_context_process_hand_writing_event(client->context, (const gdouble *)stroke->data, stroke->len);
    ok = ok && cancel(client, 1) && g_strv_length(client->list) == 0;
    gchar *what = g_strdup_printf("%s is not stored", bad->what);
    check(client, ok, what);
    g_free(what);
    printf("     engine says: %s\n", client->notes > notes ? client->note : "(nothing)");
    if (!bad->raw) {
        what = g_strdup_printf("%s is refused with a reason", bad->what);
        check(client, client->notes > notes && g_str_has_prefix(client->note, "stroke ignored"), what);
        g_free(what);
    }
    g_array_unref(stroke);
}

static void check_bad_strokes(Client *client, const GPtrArray *strokes, const gchar *expected) {
    const BadStroke bad[] = {
        {"an empty stroke", 0, 0, 0, TRUE},
        {"a stroke of one point", 2, 0, 2, TRUE},
        {"a stroke of an odd number of coordinates", 5, 0, 5, TRUE},
        {"a negative x", 8, -0.25, 4, FALSE},
        {"a y beyond the area", 8, 1.5, 5, FALSE},
        {"a coordinate of 65535", 8, 65535.0, 2, FALSE},
        {"a NaN x", 8, NAN, 0, FALSE},
        {"an infinite y", 8, INFINITY, 7, FALSE},
        {"a stroke of 20000 points", 2 * CHECK_LONG_STROKE, 0, 2 * CHECK_LONG_STROKE, FALSE},
    };
    for (guint i = 0; i < G_N_ELEMENTS(bad); i++) check_bad(client, g_ptr_array_index(strokes, 0), &bad[i]);

    GPtrArray *lists = write_line(client, strokes);
    check(client, lists != NULL && first_is(g_ptr_array_index(lists, lists->len - 1), expected),
          "after the bad strokes the line reads as before");
    if (lists) g_ptr_array_unref(lists);
    cancel(client, 0);
}

static void on_panel_focus(IBusPanelService *panel, const gchar *path, guint *focused) {
    (void)panel;
    (void)path;
    (*focused)++;
}

/* A click in the candidate window reaches the engine from the panel: the
 * check takes the panel's bus name and clicks the second candidate. */
static void check_panel_click(Client *client, IBusBus *bus, const GPtrArray *strokes) {
    IBusPanelService *panel = ibus_panel_service_new(ibus_bus_get_connection(bus));
    guint focused = 0;
    g_signal_connect(panel, "focus-in", G_CALLBACK(on_panel_focus), &focused);
    ibus_bus_request_name(bus, IBUS_SERVICE_PANEL, 0);
    /* The daemon tells a panel about the focus as it moves. */
    ibus_input_context_focus_out(client->context);
    ibus_input_context_focus_in(client->context);
    gboolean ok = wait_for(&focused, 1);
    settle(client);
    GPtrArray *lists = ok ? write_line(client, strokes) : NULL;
    gchar **last = lists ? g_ptr_array_index(lists, lists->len - 1) : NULL;
    if (last && g_strv_length(last) >= 2) {
        const guint commits = client->commits;
        ibus_panel_service_candidate_clicked(panel, 1, 1, 0);
        ok = wait_for(&client->commits, commits + 1) && g_strcmp0(client->committed, last[1]) == 0;
    } else {
        ok = FALSE;
    }
    check(client, ok, "a click on the second candidate in the panel commits it");
    if (lists) g_ptr_array_unref(lists);
    ibus_bus_release_name(bus, IBUS_SERVICE_PANEL);
    ibus_object_destroy(IBUS_OBJECT(panel));
}

static int run_checks(const gchar *path, const gchar *expected) {
    GError *error = NULL;
    GPtrArray *strokes = read_strokes(path, &error);
    if (strokes == NULL) {
        fprintf(stderr, "penrune-ibus-check: %s\n", error->message);
        return 2;
    }
    fit(strokes, 1.0, 1.0, CHECK_PROTOCOL_MARGIN);
    ibus_init();
    IBusBus *bus = ibus_bus_new();
    if (!ibus_bus_is_connected(bus)) {
        fprintf(stderr, "penrune-ibus-check: cannot connect to ibus-daemon\n");
        return 2;
    }
    Client client = {0};
    client.context = penrune_client_open(bus, "penrune-ibus-check", &error);
    check(&client, client.context != NULL, "the daemon starts the engine for an input context");
    if (client.context == NULL) {
        fprintf(stderr, "penrune-ibus-check: %s\n", error->message);
        return 1;
    }
    g_signal_connect(client.context, "update-lookup-table", G_CALLBACK(on_table), &client);
    g_signal_connect(client.context, "hide-lookup-table", G_CALLBACK(on_hide_table), &client);
    g_signal_connect(client.context, "commit-text", G_CALLBACK(on_commit), &client);
    g_signal_connect(client.context, "update-auxiliary-text", G_CALLBACK(on_note), &client);

    check_line(&client, strokes, expected);
    check_commits(&client, strokes);
    check_bad_strokes(&client, strokes, expected);
    check_panel_click(&client, bus, strokes);

    printf("%u passed, %u failed\n", client.passed, client.failed);
    g_object_unref(client.context);
    g_ptr_array_unref(strokes);
    return client.failed ? 1 : 0;
}

static int print_points(const gchar *width, const gchar *height, const gchar *path) {
    GError *error = NULL;
    GPtrArray *strokes = read_strokes(path, &error);
    if (strokes == NULL) {
        fprintf(stderr, "penrune-ibus-check: %s\n", error->message);
        return 2;
    }
    fit(strokes, atof(width), atof(height), CHECK_PAD_MARGIN);
    for (guint s = 0; s < strokes->len; s++) {
        const GArray *stroke = g_ptr_array_index(strokes, s);
        for (guint i = 0; i < stroke->len; i++)
            printf("%s%ld", i ? " " : "", lround(g_array_index(stroke, gdouble, i)));
        printf("\n");
    }
    g_ptr_array_unref(strokes);
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 5 && g_strcmp0(argv[1], "--points") == 0) return print_points(argv[2], argv[3], argv[4]);
    if (argc == 3) return run_checks(argv[1], argv[2]);
    fprintf(stderr,
            "usage: penrune-ibus-check STROKES.json EXPECTED\n"
            "       penrune-ibus-check --points WIDTH HEIGHT STROKES.json\n");
    return 2;
}
