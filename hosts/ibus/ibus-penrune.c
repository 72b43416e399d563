/* SPDX-License-Identifier: MIT */
/* ibus-penrune: the engine process. ibus-daemon starts it, as the component
 * XML penrune.xml says, when an input context selects the engine
 * "penrune"; it serves one engine object per input context until the
 * daemon goes away.
 *
 * usage: ibus-penrune [--ibus] */
#include <stdio.h>

#include "penrune-engine.h"

static void quit(IBusBus *bus, gpointer data) {
    (void)bus;
    (void)data;
    ibus_quit();
}

int main(int argc, char **argv) {
    gboolean from_daemon = FALSE;
    const GOptionEntry options[] = {
        {"ibus", 'i', 0, G_OPTION_ARG_NONE, &from_daemon, "Started by ibus-daemon (the same as without it)", NULL},
        {NULL, 0, 0, 0, NULL, NULL, NULL},
    };
    GError *error = NULL;
    GOptionContext *context = g_option_context_new("- the libpenrune handwriting engine of IBus");
    g_option_context_add_main_entries(context, options, NULL);
    const gboolean parsed = g_option_context_parse(context, &argc, &argv, &error);
    g_option_context_free(context);
    if (!parsed) {
        fprintf(stderr, "ibus-penrune: %s\n", error->message);
        g_error_free(error);
        return 2;
    }

    ibus_init();
    IBusBus *bus = ibus_bus_new();
    if (!ibus_bus_is_connected(bus)) {
        fprintf(stderr, "ibus-penrune: cannot connect to ibus-daemon\n");
        return 1;
    }
    g_signal_connect(bus, "disconnected", G_CALLBACK(quit), NULL);
    IBusFactory *factory = ibus_factory_new(ibus_bus_get_connection(bus));
    ibus_factory_add_engine(factory, PENRUNE_ENGINE_NAME, PENRUNE_TYPE_ENGINE);
    if (ibus_bus_request_name(bus, PENRUNE_ENGINE_BUS_NAME, 0) == 0) {
        fprintf(stderr, "ibus-penrune: cannot own the name %s\n", PENRUNE_ENGINE_BUS_NAME);
        return 1;
    }
    ibus_main();
    g_object_unref(factory);
    g_object_unref(bus);
    return 0;
}
