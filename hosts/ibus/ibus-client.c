/* SPDX-License-Identifier: MIT */
#include "ibus-client.h"

#include "penrune-engine.h"

/* How long the daemon may take to start the engine process. */
#define PENRUNE_CLIENT_ENGINE_TIMEOUT_MS 20000

IBusInputContext *penrune_client_open(IBusBus *bus, const gchar *name, GError **error) {
    IBusInputContext *context = ibus_bus_create_input_context(bus, name);
    if (context == NULL) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "ibus-daemon created no input context");
        return NULL;
    }
    ibus_input_context_set_capabilities(
        context, IBUS_CAP_PREEDIT_TEXT | IBUS_CAP_AUXILIARY_TEXT | IBUS_CAP_LOOKUP_TABLE | IBUS_CAP_FOCUS);
    ibus_input_context_focus_in(context);
    /* SetEngine called directly: the library's call does not wait for the
     * answer, and a missing or broken engine must show here. */
    GVariant *reply =
        g_dbus_proxy_call_sync(G_DBUS_PROXY(context), "SetEngine", g_variant_new("(s)", PENRUNE_ENGINE_NAME),
                               G_DBUS_CALL_FLAGS_NONE, PENRUNE_CLIENT_ENGINE_TIMEOUT_MS, NULL, error);
    if (reply == NULL) {
        g_object_unref(context);
        return NULL;
    }
    g_variant_unref(reply);
    /* The daemon hides the table and the preedit as it switches engines;
     * those signals are queued before the reply and go out here, before the
     * caller listens. */
    while (g_main_context_iteration(NULL, FALSE)) continue;
    return context;
}

gchar **penrune_client_candidates(IBusLookupTable *table, guint first, guint count) {
    const guint total = ibus_lookup_table_get_number_of_candidates(table);
    GPtrArray *list = g_ptr_array_new();
    for (guint i = first; i < total && i - first < count; i++)
        g_ptr_array_add(list, g_strdup(ibus_text_get_text(ibus_lookup_table_get_candidate(table, i))));
    g_ptr_array_add(list, NULL);
    return (gchar **)g_ptr_array_free(list, FALSE);
}
