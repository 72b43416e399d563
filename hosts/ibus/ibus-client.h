/* SPDX-License-Identifier: MIT */
/* What the pad and the test client share as clients of the engine: an input
 * context that has the engine and the focus, and the candidates of a lookup
 * table. */
#ifndef PENRUNE_IBUS_CLIENT_H
#define PENRUNE_IBUS_CLIENT_H

#include <ibus.h>

/* Creates an input context named name on the connected bus, asks for the
 * lookup table, the preedit and the auxiliary text, takes the focus and
 * selects the engine, which the daemon starts if it has to. The signals of
 * that set-up are delivered before it returns, so the caller's handlers see
 * only answers to what it sends. Returns NULL with error set when something
 * of that fails. */
IBusInputContext *penrune_client_open(IBusBus *bus, const gchar *name, GError **error);

/* The candidates of table from first on, at most count of them, as a
 * NULL-terminated array of strings (g_strfreev). */
gchar **penrune_client_candidates(IBusLookupTable *table, guint first, guint count);

#endif /* PENRUNE_IBUS_CLIENT_H */
