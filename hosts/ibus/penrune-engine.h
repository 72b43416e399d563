/* SPDX-License-Identifier: MIT */
/* The IBus engine of libpenrune: one object per input context, each with its
 * own kernel instance in line mode.
 *
 * Strokes come through the handwriting protocol, coordinates 0.0..1.0 of the
 * writing area. After every accepted stroke the lookup table holds the
 * kernel's candidates and the preedit shows the one under the cursor; a
 * refused stroke changes nothing and the auxiliary text says why (the engine
 * uses the auxiliary text for nothing else). A candidate is committed by its
 * number key, by space or Return (the one under the cursor) or by a click;
 * BackSpace undoes the newest stroke, Escape clears the line. */
#ifndef PENRUNE_IBUS_ENGINE_H
#define PENRUNE_IBUS_ENGINE_H

#include <ibus.h>

/* The engine name of the component XML and of SetEngine. */
#define PENRUNE_ENGINE_NAME "penrune"
/* The bus name the engine process owns, the component name of the XML. */
#define PENRUNE_ENGINE_BUS_NAME "org.freedesktop.IBus.Penrune"
/* Candidates on one page of the lookup table: the number keys 1..9. */
#define PENRUNE_ENGINE_PAGE_SIZE 9

#define PENRUNE_TYPE_ENGINE (penrune_engine_get_type())
GType penrune_engine_get_type(void);

#endif /* PENRUNE_IBUS_ENGINE_H */
