/* SPDX-License-Identifier: MIT */
/* penrune-host: the smallest useful host of libpenrune. It reads one line of
 * handwriting from a stroke file, hands the strokes to a kernel instance one
 * by one, as a pen input method would after every pen-up, and prints the
 * ranked candidates of the kernel's line mode, one "RANK<TAB>TEXT" line
 * each.
 *
 * usage: penrune-host [-n COUNT] FILE      (FILE "-" reads standard input)
 *
 * Stroke files come in two forms, told apart by their first character:
 *   JSON        [[[x,y],[x,y],...],[[x,y],...]]   an array of strokes
 *   plain text  x y x y ...                        one stroke per line
 * Coordinates are integers 0..65534 in any unit (the kernel normalises the
 * size); commas may separate the plain-text numbers as well. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <penrune/HWKernel.h>

/* Points the whole line may have, stroke-end markers included. */
#define HOST_POINT_MAX HW_POINT_LIMIT
/* Room for one candidate in UTF-8. */
#define HOST_TEXT_MAX 256

typedef struct {
    _HR_POINT16 point[HOST_POINT_MAX];
    unsigned total;     /* points stored, markers included */
    unsigned pending;   /* points of the stroke being read */
    long coordinate[2]; /* x, then y, of the point being read */
    int half;           /* coordinates of that point read so far */
} Ink;

static int fail(const char *message) {
    fprintf(stderr, "penrune-host: %s\n", message);
    return 0;
}

static int add_coordinate(Ink *ink, long value) {
    if (value < 0 || value > 65534) return fail("coordinate outside 0..65534");
    ink->coordinate[ink->half++] = value;
    if (ink->half < 2) return 1;
    ink->half = 0;
    if (ink->total + 2 > HOST_POINT_MAX) return fail("too many points");
    ink->point[ink->total].x = (HR_UINT16)ink->coordinate[0];
    ink->point[ink->total].y = (HR_UINT16)ink->coordinate[1];
    ink->total++;
    ink->pending++;
    return 1;
}

/* Ends the stroke being read, if it has points, with a stroke-end marker. */
static int end_stroke(Ink *ink) {
    if (ink->half != 0) return fail("a point lacks its y coordinate");
    if (ink->pending == 0) return 1;
    ink->point[ink->total].x = 0xFFFF;
    ink->point[ink->total].y = 0;
    ink->total++;
    ink->pending = 0;
    return 1;
}

/* Reads the strokes of in. A stroke ends where a JSON stroke array closes
 * (nesting depth 2 back to 1) or, in plain text, at the end of a line. */
static int read_ink(FILE *in, Ink *ink) {
    int c = fgetc(in);
    while (c != EOF && isspace(c)) c = fgetc(in);
    const int json = c == '[';
    int depth = 0;
    for (; c != EOF; c = fgetc(in)) {
        if (isdigit(c) || c == '-') {
            if (json && depth != 3) return fail("expected an array of strokes of [x, y] points");
            ungetc(c, in);
            long value;
            if (fscanf(in, "%ld", &value) != 1) return fail("bad number");
            if (!add_coordinate(ink, value)) return 0;
        } else if (json && c == '[') {
            depth++;
        } else if (json && c == ']') {
            if (depth-- == 2 && !end_stroke(ink)) return 0;
        } else if (!json && c == '\n') {
            if (!end_stroke(ink)) return 0;
        } else if (!isspace(c) && c != ',') {
            return fail("unexpected character in the stroke file");
        }
    }
    if (!end_stroke(ink)) return 0;
    return ink->total > 0 ? 1 : fail("no strokes");
}

/* Hands the strokes to the kernel one at a time. */
static int write_strokes(_HW_KERNEL *kernel, const Ink *ink) {
    unsigned first = 0;
    for (unsigned i = 0; i < ink->total; i++) {
        if (ink->point[i].x != 0xFFFF) continue;
        if (!HWKernel_AddStroke(kernel, ink->point + first, i + 1 - first)) return fail("stroke refused");
        first = i + 1;
    }
    return 1;
}

static void print_candidates(const _HW_KERNEL *kernel, unsigned wanted) {
    char text[HOST_TEXT_MAX];
    unsigned total = HWKernel_GetCandTotal(kernel);
    for (unsigned i = 0; i < total && i < wanted; i++) {
        HWKernel_GetCandItemUtf8(kernel, (HR_UINT16)i, text, sizeof text);
        printf("%u\t%s\n", i + 1, text);
    }
}

int main(int argc, char **argv) {
    unsigned wanted = 10;
    if (argc == 4 && strcmp(argv[1], "-n") == 0) {
        wanted = (unsigned)strtoul(argv[2], NULL, 10);
        argv += 2;
        argc -= 2;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: penrune-host [-n COUNT] FILE   (FILE - reads standard input)\n");
        return 2;
    }
    FILE *in = strcmp(argv[1], "-") == 0 ? stdin : fopen(argv[1], "r");
    if (in == NULL) {
        perror(argv[1]);
        return 1;
    }
    static Ink ink;
    const int read = read_ink(in, &ink);
    if (in != stdin) fclose(in);
    if (!read) return 1;

    void *block = malloc(HWKernel_GetInstanceSize());
    _HW_KERNEL *kernel = block != NULL ? HWKernel_Initialize(block, 0, NULL) : NULL;
    /* The line mode reads a whole line; without this call the kernel keeps
     * its classic lists. */
    if (kernel == NULL || !HWKernel_SetMode(kernel, HW_MODE_LINE)) {
        free(block);
        fail("no kernel instance");
        return 1;
    }
    const int written = write_strokes(kernel, &ink);
    if (written) print_candidates(kernel, wanted);
    HWKernel_Terminate(kernel);
    free(block);
    return written ? 0 : 1;
}
