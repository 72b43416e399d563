/* SPDX-License-Identifier: MIT */
#include "penrune-engine.h"

#include <math.h>

#include <penrune/HWKernel.h>

/* Kernel units per unit of the handwriting protocol: (1.0, 1.0), the
 * bottom-right corner of the writing area, becomes the largest coordinate
 * the kernel takes. */
#define PENRUNE_ENGINE_COORD_MAX 65534
/* Candidates put in the lookup table; the rest of the kernel's list is too
 * far down to be looked for. */
#define PENRUNE_ENGINE_CAND_MAX 54
/* Room for the reason a stroke was refused. */
#define PENRUNE_ENGINE_REASON_MAX 160

typedef struct {
    IBusEngine parent;
    void *block;            /* the kernel instance's storage */
    _HW_KERNEL *kernel;     /* NULL until the first stroke */
    IBusLookupTable *table; /* the kernel's candidates, best first */
} PenruneEngine;

typedef struct {
    IBusEngineClass parent;
} PenruneEngineClass;

G_DEFINE_TYPE(PenruneEngine, penrune_engine, IBUS_TYPE_ENGINE)

#define PENRUNE_ENGINE(object) ((PenruneEngine *)(object))

static void penrune_engine_init(PenruneEngine *self) {
    self->table = g_object_ref_sink(ibus_lookup_table_new(PENRUNE_ENGINE_PAGE_SIZE, 0, TRUE, FALSE));
}

/* The kernel, set up at the first stroke: an instance takes some 3 MB, and
 * most input contexts never see a stroke. */
static _HW_KERNEL *kernel(PenruneEngine *self) {
    if (self->kernel == NULL) {
        self->block = g_malloc(HWKernel_GetInstanceSize());
        self->kernel = HWKernel_Initialize(self->block, 0, NULL);
        HWKernel_SetMode(self->kernel, HW_MODE_LINE);
    }
    return self->kernel;
}

static HR_INT32 strokes_held(const PenruneEngine *self) {
    return self->kernel ? HWKernel_GetStrokeTotal(self->kernel) : 0;
}

static void penrune_engine_destroy(IBusObject *object) {
    PenruneEngine *self = PENRUNE_ENGINE(object);
    if (self->block) {
        HWKernel_Terminate(self->kernel);
        g_clear_pointer(&self->block, g_free);
        self->kernel = NULL;
    }
    g_clear_object(&self->table);
    IBUS_OBJECT_CLASS(penrune_engine_parent_class)->destroy(object);
}

/* Candidate index of the kernel's list as a new string. */
static gchar *kernel_candidate(const _HW_KERNEL *kernel, guint index) {
    const HR_INT32 size = HWKernel_GetCandItemUtf8(kernel, index, NULL, 0) + 1;
    gchar *text = g_malloc(size);
    HWKernel_GetCandItemUtf8(kernel, index, text, size);
    return text;
}

/* Shows the lookup table and the candidate under its cursor as preedit, or
 * nothing when the table is empty. */
static void show_table(PenruneEngine *self) {
    IBusEngine *engine = IBUS_ENGINE(self);
    if (ibus_lookup_table_get_number_of_candidates(self->table) == 0) {
        ibus_engine_hide_lookup_table(engine);
        ibus_engine_hide_preedit_text(engine);
        return;
    }
    ibus_engine_update_lookup_table(engine, self->table, TRUE);
    IBusText *preedit = ibus_lookup_table_get_candidate(self->table, ibus_lookup_table_get_cursor_pos(self->table));
    ibus_engine_update_preedit_text(engine, preedit, ibus_text_get_length(preedit), TRUE);
}

/* Fills the table with the kernel's list, the cursor on the best one. */
static void show_candidates(PenruneEngine *self) {
    ibus_lookup_table_clear(self->table);
    const guint total = self->kernel ? MIN(HWKernel_GetCandTotal(self->kernel), PENRUNE_ENGINE_CAND_MAX) : 0;
    for (guint i = 0; i < total; i++) {
        gchar *text = kernel_candidate(self->kernel, i);
        ibus_lookup_table_append_candidate(self->table, ibus_text_new_from_string(text));
        g_free(text);
    }
    ibus_engine_hide_auxiliary_text(IBUS_ENGINE(self));
    show_table(self);
}

static void clear(PenruneEngine *self) {
    if (self->kernel) HWKernel_Reset(self->kernel);
    show_candidates(self);
}

/* Commits candidate index of the table and starts a new line. Returns FALSE,
 * changing nothing, when there is no such candidate. */
static gboolean commit(PenruneEngine *self, guint index) {
    if (index >= ibus_lookup_table_get_number_of_candidates(self->table)) return FALSE;
    IBusText *text = g_object_ref(ibus_lookup_table_get_candidate(self->table, index));
    clear(self);
    ibus_engine_commit_text(IBUS_ENGINE(self), text);
    g_object_unref(text);
    return TRUE;
}

/* Candidate index of the slot'th entry of the page under the cursor. */
static guint page_index(PenruneEngine *self, guint slot) {
    const guint size = ibus_lookup_table_get_page_size(self->table);
    return ibus_lookup_table_get_cursor_pos(self->table) / size * size + slot;
}

static guint points_held(const _HW_KERNEL *kernel) {
    guint held = 0;
    for (HR_INT32 i = 0; i < HWKernel_GetStrokeTotal(kernel); i++) held += HWKernel_GetStrokeDataLen(kernel, i);
    return held;
}

/* Converts the protocol's coordinates into the kernel's points, stroke-end
 * marker included, in points. Returns NULL, or why the stroke cannot be
 * taken written into reason. */
static const gchar *to_points(const gdouble *coordinates, guint count, _HR_POINT16 *points, gchar *reason) {
    for (guint i = 0; i < count; i++) {
        const gdouble x = coordinates[2 * i], y = coordinates[2 * i + 1];
        /* Written so that NaN fails the test too. */
        if (!(x >= 0.0 && x <= 1.0 && y >= 0.0 && y <= 1.0)) {
            g_snprintf(reason, PENRUNE_ENGINE_REASON_MAX,
                       "stroke ignored: point %u (%g, %g) lies outside the writing area 0..1", i + 1, x, y);
            return reason;
        }
        points[i].x = (HR_UINT16)lround(x * PENRUNE_ENGINE_COORD_MAX);
        points[i].y = (HR_UINT16)lround(y * PENRUNE_ENGINE_COORD_MAX);
    }
    points[count].x = 0xFFFF;
    points[count].y = 0;
    return NULL;
}

/* Hands one stroke to the kernel. Returns NULL when it was stored, or why
 * it was not, written into reason. */
static const gchar *add_stroke(PenruneEngine *self, const gdouble *coordinates, guint length, gchar *reason) {
    if (length < 4 || length % 2 != 0) {
        g_snprintf(reason, PENRUNE_ENGINE_REASON_MAX,
                   "stroke ignored: %u coordinates, a stroke needs x, y pairs of at least two points", length);
        return reason;
    }
    const guint count = length / 2;
    const guint held = points_held(kernel(self));
    /* The kernel keeps room for the stroke-end marker and an end-of-data point. */
    if (HWKernel_GetStrokeTotal(self->kernel) >= HW_STROKE_MAX || count + 2 + held > HW_POINT_LIMIT) {
        g_snprintf(reason, PENRUNE_ENGINE_REASON_MAX,
                   "stroke ignored: %u points do not fit, the line has room for %d more; commit or clear it", count,
                   MAX((gint)HW_POINT_LIMIT - (gint)held - 2, 0));
        return reason;
    }
    _HR_POINT16 *points = g_new(_HR_POINT16, count + 1);
    const gchar *problem = to_points(coordinates, count, points, reason);
    const HR_INT32 before = HWKernel_GetStrokeTotal(self->kernel);
    if (!problem &&
        (!HWKernel_AddStroke(self->kernel, points, count + 1) || HWKernel_GetStrokeTotal(self->kernel) == before)) {
        g_snprintf(reason, PENRUNE_ENGINE_REASON_MAX, "stroke ignored: the recogniser did not take it");
        problem = reason;
    }
    g_free(points);
    return problem;
}

static void penrune_engine_process_hand_writing_event(IBusEngine *engine, const gdouble *coordinates, guint length) {
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    gchar reason[PENRUNE_ENGINE_REASON_MAX];
    const gchar *problem = add_stroke(self, coordinates, length, reason);
    if (problem) {
        ibus_engine_update_auxiliary_text(engine, ibus_text_new_from_string(problem), TRUE);
        return;
    }
    show_candidates(self);
}

static void penrune_engine_cancel_hand_writing(IBusEngine *engine, guint strokes) {
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    if (strokes == 0) {
        clear(self);
        return;
    }
    for (guint i = 0; i < strokes && strokes_held(self) > 0; i++) HWKernel_DelStroke(self->kernel);
    show_candidates(self);
}

/* Keys while a line is written; with nothing written every key goes to the
 * application. */
static gboolean penrune_engine_process_key_event(IBusEngine *engine, guint keyval, guint keycode, guint state) {
    (void)keycode;
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    if (strokes_held(self) == 0) return FALSE;
    if (state & (IBUS_CONTROL_MASK | IBUS_MOD1_MASK | IBUS_SUPER_MASK)) return FALSE;
    if (state & IBUS_RELEASE_MASK) return TRUE;
    if (keyval >= IBUS_KEY_1 && keyval <= IBUS_KEY_9) {
        commit(self, page_index(self, keyval - IBUS_KEY_1));
        return TRUE;
    }
    switch (keyval) {
        case IBUS_KEY_space:
        case IBUS_KEY_Return:
        case IBUS_KEY_KP_Enter:
            commit(self, ibus_lookup_table_get_cursor_pos(self->table));
            return TRUE;
        case IBUS_KEY_BackSpace:
            penrune_engine_cancel_hand_writing(engine, 1);
            return TRUE;
        case IBUS_KEY_Escape:
            clear(self);
            return TRUE;
        case IBUS_KEY_Up:
            ibus_lookup_table_cursor_up(self->table);
            break;
        case IBUS_KEY_Down:
            ibus_lookup_table_cursor_down(self->table);
            break;
        case IBUS_KEY_Page_Up:
            ibus_lookup_table_page_up(self->table);
            break;
        case IBUS_KEY_Page_Down:
            ibus_lookup_table_page_down(self->table);
            break;
        default:
            return TRUE;
    }
    show_table(self);
    return TRUE;
}

static void penrune_engine_candidate_clicked(IBusEngine *engine, guint slot, guint button, guint state) {
    (void)button;
    (void)state;
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    commit(self, page_index(self, slot));
}

static void penrune_engine_page_up(IBusEngine *engine) {
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    ibus_lookup_table_page_up(self->table);
    show_table(self);
}

static void penrune_engine_page_down(IBusEngine *engine) {
    PenruneEngine *self = PENRUNE_ENGINE(engine);
    ibus_lookup_table_page_down(self->table);
    show_table(self);
}

/* The application reset its input (a click elsewhere in the text) or the
 * engine was switched off: the line written so far is dropped. */
static void penrune_engine_reset(IBusEngine *engine) { clear(PENRUNE_ENGINE(engine)); }

static void penrune_engine_class_init(PenruneEngineClass *klass) {
    IBUS_OBJECT_CLASS(klass)->destroy = penrune_engine_destroy;
    IBusEngineClass *engine = IBUS_ENGINE_CLASS(klass);
    engine->process_hand_writing_event = penrune_engine_process_hand_writing_event;
    engine->cancel_hand_writing = penrune_engine_cancel_hand_writing;
    engine->process_key_event = penrune_engine_process_key_event;
    engine->candidate_clicked = penrune_engine_candidate_clicked;
    engine->page_up = penrune_engine_page_up;
    engine->page_down = penrune_engine_page_down;
    engine->reset = penrune_engine_reset;
    engine->disable = penrune_engine_reset;
}
