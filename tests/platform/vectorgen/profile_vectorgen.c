/* Makes golden profile-file cases (tests/platform/data/profile/) from the
 * platform's own GetPrivateProfileStringA and WritePrivateProfileStringA.
 * Built with mingw-w64 and run under Wine by run.sh in this folder; see there.
 *
 *   profile_vectorgen list                       the names of the cases below
 *   profile_vectorgen case NAME OUTDIR           one case below -> OUTDIR/NAME/
 *   profile_vectorgen rerun CASEDIR OUTDIR       the case.txt, input.ini and ops.txt of a
 *                                                stored case, run again -> OUTDIR/<its name>/
 *   profile_vectorgen platform OUTDIR            OUTDIR/platform.txt
 *
 * One case per process, in an empty scratch folder of its own: the platform
 * keeps parsed files in a per-process cache, and a case must not see another's.
 * Before every op the cache is dropped (all-NULL write), so each op starts from
 * the file on disk, as our program does when it opens the file per command.
 * Reads use a 2048-character buffer and the default "".
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define READ_BUFFER 2048
#define ABSENT_INPUT "absent (the file does not exist before the first op)"

struct gen_case {
    const char *name;
    const char *group;
    const char *description;
    const char *decision; /* NULL, "reads-only" or "own-test" */
    const char *input;    /* the initial bytes, NULL: no file */
    const char *ops;      /* ops.txt, verbatim */
};

/* Inputs keep to CRLF, no blank lines and no blanks around "=" wherever the
 * file's other lines are meant to compare byte for byte: the platform's
 * writer rewrites every line in that form. */
static const struct gen_case CASES[] = {
    /* A header's name runs to the last "]" on its line. */
    {"header_name_to_last_bracket_read", "headers",
     "'[a]b]', '[c]]', '[[d]]', '[e] f [g] h]': the name runs to the last ']' of the line.", NULL,
     "[a]b]\r\nk=1\r\n[c]]\r\nk=2\r\n[[d]]\r\nk=3\r\n[e] f [g] h]\r\nk=4\r\n[a]\r\nk=5\r\n",
     "read \"a]b\" \"k\"\n"
     "read \"A]B\" \"k\"\n"
     "read \" a]b \" \"k\"\n"
     "read \"c]\" \"k\"\n"
     "read \"[d]\" \"k\"\n"
     "read \"e] f [g] h\" \"k\"\n"
     "read \"e\" \"k\"\n"
     "read \"a\" \"k\"\n"
     "read \"c\" \"k\"\n"},
    {"header_last_bracket_write_keys", "headers",
     "'[a]b]' between ordinary sections: an existing key replaced, a new key added after it, the sections around unchanged.",
     NULL, "[first]\r\nx=0\r\n[a]b]\r\nk=1\r\n[last]\r\ny=9\r\n",
     "write \"a]b\" \"k\" \"2\"\n"
     "write \"a]b\" \"n\" \"3\"\n"
     "write \"first\" \"x\" \"1\"\n"
     "write \"last\" \"z\" \"8\"\n"
     "read \"a]b\" \"k\"\n"
     "read \"a]b\" \"n\"\n"
     "read \"first\" \"n\"\n"
     "read \"last\" \"n\"\n"
     "read \"last\" \"y\"\n"},
    {"header_last_bracket_write_new_sections", "headers",
     "Section names holding ']' written into a new file read back under the same name; 'a' is not 'a]b'.", NULL,
     NULL,
     "write \"a]b\" \"k\" \"1\"\n"
     "write \"a\" \"k\" \"2\"\n"
     "write \"c]\" \"k\" \"3\"\n"
     "write \"[d\" \"k\" \"4\"\n"
     "read \"a]b\" \"k\"\n"
     "read \"a\" \"k\"\n"
     "read \"c]\" \"k\"\n"
     "read \"[d\" \"k\"\n"},
    {"header_line_with_equals", "headers",
     "'[x=y]' is a header named 'x=y', not an entry of the section before.", NULL,
     "[s]\r\nk=1\r\n[x=y]\r\nm=2\r\n",
     "read \"x=y\" \"m\"\n"
     "read \"s\" \"m\"\n"
     "read \"s\" \"[x\"\n"
     "write \"x=y\" \"m\" \"3\"\n"
     "write \"s\" \"n\" \"4\"\n"
     "read \"x=y\" \"m\"\n"
     "read \"s\" \"n\"\n"},
    {"header_last_bracket_text_after", "headers",
     "'[a]b] ; note': the name ends at the last ']', the text after it is not part of the name.", "reads-only",
     "[a]b] ; note\r\nk=1\r\n[c]\r\nj=2\r\n",
     "read \"a]b\" \"k\"\n"
     "read \"a]b] ; note\" \"k\"\n"
     "write \"a]b\" \"k\" \"2\"\n"
     "write \"a]b\" \"n\" \"3\"\n"
     "read \"a]b\" \"k\"\n"
     "read \"a]b\" \"n\"\n"
     "read \"c\" \"j\"\n"},

    /* Lines before the first header. */
    {"before_first_header_read", "no-section",
     "Entries before the first header read through the empty section name (also written with blanks).", NULL,
     "orphan=1\r\nother = 2\r\n[s]\r\nk=3\r\n",
     "read \"\" \"orphan\"\n"
     "read \"\" \"OTHER\"\n"
     "read \"  \" \"orphan\"\n"
     "read \"s\" \"orphan\"\n"
     "read \"\" \"k\"\n"
     "read \"s\" \"k\"\n"},
    {"before_first_header_write_existing_key", "no-section",
     "Writing a key of the lines before the first header replaces it on its own line.", NULL,
     "orphan=1\r\n[s]\r\nk=3\r\n",
     "write \"\" \"orphan\" \"2\"\n"
     "read \"\" \"orphan\"\n"
     "read \"s\" \"orphan\"\n"
     "write \"s\" \"k\" \"4\"\n"
     "read \"s\" \"k\"\n"},
    {"before_first_header_write_new_key", "no-section",
     "A new key in the empty-named section when lines before the first header exist.", NULL,
     "orphan=1\r\n[s]\r\nk=3\r\n",
     "write \"\" \"new\" \"2\"\n"
     "read \"\" \"new\"\n"
     "read \"\" \"orphan\"\n"
     "read \"s\" \"new\"\n"
     "read \"s\" \"k\"\n"},
    {"before_first_header_none_write_new_key", "no-section",
     "A new key in the empty-named section of a file that starts with a header.", NULL,
     "[s]\r\nk=3\r\n",
     "write \"\" \"new\" \"2\"\n"
     "read \"\" \"new\"\n"
     "read \"s\" \"new\"\n"
     "read \"s\" \"k\"\n"
     "write \"s\" \"k2\" \"4\"\n"
     "read \"s\" \"k2\"\n"},
    {"before_first_header_new_file", "no-section",
     "Keys of the empty-named section written into a new file, then a named section after them.", NULL, NULL,
     "write \"\" \"a\" \"1\"\n"
     "write \"\" \"b\" \"2\"\n"
     "write \"s\" \"k\" \"3\"\n"
     "write \"\" \"a\" \"4\"\n"
     "read \"\" \"a\"\n"
     "read \"\" \"b\"\n"
     "read \"s\" \"k\"\n"
     "read \"s\" \"a\"\n"},

    {"before_first_header_comment_then_new_key", "no-section",
     "A comment before the first header is a line of the empty-named section: a new key of that section goes after it.",
     NULL, "; top comment\r\n[s]\r\nk=1\r\n",
     "write \"\" \"new\" \"2\"\n"
     "read \"\" \"new\"\n"
     "read \"\" \"; top comment\"\n"
     "read \"s\" \"k\"\n"},
    {"before_first_header_bom", "no-section",
     "UTF-8 BOM then entries before the first header: the BOM is not part of the first key; new keys go after the BOM.",
     NULL, "\xEF\xBB\xBForphan=1\r\n[s]\r\nk=1\r\n",
     "read \"\" \"orphan\"\n"
     "write \"\" \"orphan\" \"3\"\n"
     "write \"\" \"new\" \"2\"\n"
     "read \"\" \"orphan\"\n"
     "read \"\" \"new\"\n"
     "read \"s\" \"k\"\n"},

    /* "[]" headers: a later copy of the empty-named section, which always
     * starts the file (lines before the first header or not). */
    {"empty_header_read", "headers",
     "'[]' after [a]: its keys are not [a]'s, and the empty section name reaches only the lines before the first header.",
     NULL, "[a]\r\nk=1\r\n[]\r\nj=2\r\n[b]\r\nm=3\r\n",
     "read \"a\" \"k\"\n"
     "read \"a\" \"j\"\n"
     "read \"\" \"j\"\n"
     "read \"b\" \"m\"\n"
     "read \"\" \"m\"\n"},
    {"empty_header_with_blanks_read", "headers", "'[  ]' (blanks only) after [a] is a '[]' header.", NULL,
     "[a]\r\nk=1\r\n[  ]\r\nj=2\r\n",
     "read \"a\" \"k\"\n"
     "read \"a\" \"j\"\n"
     "read \"\" \"j\"\n"
     "read \"  \" \"j\"\n"},
    {"empty_header_and_lines_before_first_header", "headers",
     "Lines before the first header and a later '[]' holding the same key: the empty section name reads the first.",
     NULL, "orphan=1\r\n[a]\r\nk=2\r\n[]\r\nj=3\r\norphan=4\r\n",
     "read \"\" \"orphan\"\n"
     "read \"\" \"j\"\n"
     "read \"a\" \"j\"\n"
     "read \"a\" \"orphan\"\n"},
    {"empty_header_first_line", "headers",
     "A file starting with '[]': its keys are unreachable; a write to the empty section name goes in front of it.",
     "reads-only", "[]\r\nj=2\r\n[a]\r\nk=1\r\n",
     "read \"\" \"j\"\n"
     "read \"a\" \"k\"\n"
     "write \"\" \"j\" \"5\"\n"
     "read \"\" \"j\"\n"
     "read \"a\" \"k\"\n"},
    {"empty_header_write_sections_around", "headers",
     "'[]' between [a] and [b]: a new key of [a] goes before the '[]' line; [a] and [b] replaced and extended.",
     "reads-only", "[a]\r\nk=1\r\n[]\r\nj=2\r\n[b]\r\nm=3\r\n",
     "read \"a\" \"j\"\n"
     "write \"a\" \"n\" \"11\"\n"
     "write \"a\" \"k\" \"10\"\n"
     "write \"b\" \"m\" \"30\"\n"
     "write \"b\" \"q\" \"31\"\n"
     "read \"a\" \"k\"\n"
     "read \"a\" \"n\"\n"
     "read \"b\" \"m\"\n"
     "read \"b\" \"q\"\n"},
    {"empty_header_write_empty_name", "headers",
     "'[]' after [a]: writes to the empty section name go to the start of the file, not after the '[]' line.",
     "reads-only", "[a]\r\nk=1\r\n[]\r\nj=2\r\n",
     "write \"\" \"j\" \"20\"\n"
     "write \"\" \"p\" \"21\"\n"
     "read \"\" \"j\"\n"
     "read \"\" \"p\"\n"
     "read \"a\" \"k\"\n"},
    {"empty_header_write_empty_name_after_orphans", "headers",
     "Lines before the first header and a later '[]': a new key of the empty section name goes after those lines.",
     "reads-only", "orphan=1\r\n[a]\r\nk=1\r\n[]\r\nj=2\r\n",
     "write \"\" \"new\" \"3\"\n"
     "read \"\" \"new\"\n"
     "read \"\" \"orphan\"\n"
     "read \"a\" \"k\"\n"},
};

#define CASE_COUNT (sizeof CASES / sizeof CASES[0])

static void die(const char *what, const char *detail)
{
    fprintf(stderr, "profile_vectorgen: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    exit(2);
}

/* ---- byte buffers and files ---- */

struct bytes {
    char *data;
    size_t size;
};

static void append(struct bytes *b, const char *data, size_t size)
{
    b->data = realloc(b->data, b->size + size + 1);
    if (!b->data)
        die("out of memory", NULL);
    memcpy(b->data + b->size, data, size);
    b->size += size;
    b->data[b->size] = '\0';
}

static void appendText(struct bytes *b, const char *text)
{
    append(b, text, strlen(text));
}

/* 0 when the file does not exist. */
static int readWhole(const char *path, struct bytes *out)
{
    FILE *f = fopen(path, "rb");
    char chunk[4096];
    size_t n;
    out->data = NULL;
    out->size = 0;
    append(out, "", 0);
    if (!f)
        return 0;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        append(out, chunk, n);
    fclose(f);
    return 1;
}

static void writeWhole(const char *path, const char *data, size_t size)
{
    FILE *f = fopen(path, "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        die("cannot write", path);
}

static void joinPath(char *out, size_t cap, const char *dir, const char *name)
{
    if (snprintf(out, cap, "%s\\%s", dir, name) >= (int)cap)
        die("path too long", name);
}

/* ---- quoted strings: \\, \" and \xHH ---- */

static void appendQuoted(struct bytes *b, const char *data, size_t size)
{
    size_t i;
    appendText(b, "\"");
    for (i = 0; i < size; ++i) {
        const unsigned char c = (unsigned char)data[i];
        char esc[5];
        if (c == '\\' || c == '"') {
            esc[0] = '\\';
            esc[1] = (char)c;
            append(b, esc, 2);
        } else if (c >= 0x20 && c <= 0x7E) {
            append(b, (const char *)&c, 1);
        } else {
            snprintf(esc, sizeof esc, "\\x%02X", c);
            append(b, esc, 4);
        }
    }
    appendText(b, "\"");
}

static int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/* The words of one ops.txt line: bare words and quoted strings. Returns the count. */
static int splitLine(const char *line, size_t len, struct bytes *words, int cap)
{
    size_t i = 0;
    int n = 0;
    while (i < len) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (n == cap)
            die("too many words in", line);
        words[n].data = NULL;
        words[n].size = 0;
        append(&words[n], "", 0);
        if (line[i] != '"') {
            size_t start = i;
            while (i < len && line[i] != ' ')
                ++i;
            append(&words[n++], line + start, i - start);
            continue;
        }
        for (++i; i < len && line[i] != '"'; ++i) {
            char c = line[i];
            if (c == '\\') {
                if (i + 1 >= len)
                    die("bad escape in", line);
                if (line[i + 1] == 'x') {
                    int hi, lo;
                    if (i + 3 >= len || (hi = hexDigit(line[i + 2])) < 0 || (lo = hexDigit(line[i + 3])) < 0)
                        die("bad \\x escape in", line);
                    c = (char)(hi * 16 + lo);
                    i += 3;
                } else {
                    c = line[++i];
                }
            }
            append(&words[n], &c, 1);
        }
        if (i >= len)
            die("unterminated quote in", line);
        ++i;
        ++n;
    }
    return n;
}

/* ---- running one case ---- */

static void removeTree(const char *dir)
{
    char pattern[MAX_PATH], child[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE h;
    joinPath(pattern, sizeof pattern, dir, "*");
    h = FindFirstFileA(pattern, &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
                continue;
            joinPath(child, sizeof child, dir, found.cFileName);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else
                DeleteFileA(child);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(dir);
}

static void makeScratch(char *out, size_t cap)
{
    char temp[MAX_PATH];
    if (!GetTempPathA(sizeof temp, temp))
        die("no temporary folder", NULL);
    if (snprintf(out, cap, "%splimbury-vectorgen-%lu-%lu", temp, (unsigned long)GetCurrentProcessId(),
                 (unsigned long)GetTickCount())
        >= (int)cap)
        die("path too long", temp);
    if (!CreateDirectoryA(out, NULL))
        die("cannot create", out);
}

/* Runs `ops` against a file at `relative` (with "/" between folders) in an
 * empty scratch folder, starting from `input` (NULL: no file). */
static void runOps(const char *ops, const struct bytes *input, struct bytes *results, struct bytes *notes,
                   struct bytes *final, int *finalExists)
{
    char scratch[MAX_PATH], file[MAX_PATH], relative[MAX_PATH] = "test.ini";
    const char *line = ops;
    int opNo = 0;

    makeScratch(scratch, sizeof scratch);

    /* "path" comes first when present. */
    while (*line) {
        const char *end = strchr(line, '\n');
        size_t len = end ? (size_t)(end - line) : strlen(line);
        struct bytes words[4];
        if (len && line[0] != '#' && splitLine(line, len, words, 4) == 2 && !strcmp(words[0].data, "path")) {
            char *p;
            if (words[1].size >= sizeof relative)
                die("path too long", words[1].data);
            strcpy(relative, words[1].data);
            for (p = relative; *p; ++p)
                if (*p == '/')
                    *p = '\\';
        }
        line += len + (end ? 1 : 0);
    }
    joinPath(file, sizeof file, scratch, relative);
    if (input)
        writeWhole(file, input->data, input->size);

    for (line = ops; *line;) {
        const char *end = strchr(line, '\n');
        size_t len = end ? (size_t)(end - line) : strlen(line);
        struct bytes w[4];
        int n = 0;
        char note[128];
        if (len && line[0] != '#')
            n = splitLine(line, len, w, 4);
        line += len + (end ? 1 : 0);
        if (n == 0 || !strcmp(w[0].data, "path"))
            continue;
        ++opNo;

        WritePrivateProfileStringA(NULL, NULL, NULL, file);
        if (n == 4 && !strcmp(w[0].data, "write")) {
            BOOL ok;
            SetLastError(0);
            ok = WritePrivateProfileStringA(w[1].data, w[2].data, w[3].data, file);
            snprintf(note, sizeof note, "write %d\n", ok ? 1 : 0);
            appendText(results, note);
            if (!ok) {
                snprintf(note, sizeof note, "op %d: write returned 0, GetLastError()=%lu\n", opNo,
                         (unsigned long)GetLastError());
                appendText(notes, note);
            }
        } else if (n == 3 && !strcmp(w[0].data, "read")) {
            static char fresh[READ_BUFFER], cached[READ_BUFFER];
            DWORD got, again;
            memset(fresh, 0, sizeof fresh);
            memset(cached, 0, sizeof cached);
            got = GetPrivateProfileStringA(w[1].data, w[2].data, "", fresh, READ_BUFFER, file);
            /* The same read answered from the cache the first one filled. */
            again = GetPrivateProfileStringA(w[1].data, w[2].data, "", cached, READ_BUFFER, file);
            snprintf(note, sizeof note, "read %lu ", (unsigned long)got);
            appendText(results, note);
            appendQuoted(results, fresh, strlen(fresh));
            appendText(results, "\n");
            if (again != got || strcmp(fresh, cached)) {
                struct bytes msg = {0};
                snprintf(note, sizeof note, "op %d: cached read returned %lu ", opNo, (unsigned long)again);
                appendText(&msg, note);
                appendQuoted(&msg, cached, strlen(cached));
                appendText(&msg, "\n");
                append(notes, msg.data, msg.size);
                free(msg.data);
            }
        } else {
            die("unknown op", w[0].data);
        }
    }

    WritePrivateProfileStringA(NULL, NULL, NULL, file);
    *finalExists = readWhole(file, final);
    appendText(results, "file ");
    if (*finalExists)
        appendQuoted(results, final->data, final->size);
    else
        appendText(results, "absent");
    appendText(results, "\n");
    removeTree(scratch);
}

static void writeCaseFolder(const char *outDir, const char *name, const struct bytes *caseTxt,
                            const struct bytes *input, const char *ops)
{
    char dir[MAX_PATH], path[MAX_PATH];
    struct bytes results = {0}, notes = {0}, final = {0};
    int finalExists = 0;

    append(&results, "", 0);
    append(&notes, "", 0);
    runOps(ops, input, &results, &notes, &final, &finalExists);

    joinPath(dir, sizeof dir, outDir, name);
    removeTree(dir);
    if (!CreateDirectoryA(dir, NULL))
        die("cannot create", dir);
    joinPath(path, sizeof path, dir, "case.txt");
    writeWhole(path, caseTxt->data, caseTxt->size);
    if (input) {
        joinPath(path, sizeof path, dir, "input.ini");
        writeWhole(path, input->data, input->size);
    }
    joinPath(path, sizeof path, dir, "ops.txt");
    writeWhole(path, ops, strlen(ops));
    joinPath(path, sizeof path, dir, "results.txt");
    writeWhole(path, results.data, results.size);
    if (finalExists) {
        joinPath(path, sizeof path, dir, "expected.ini");
        writeWhole(path, final.data, final.size);
    }
    if (notes.size) {
        joinPath(path, sizeof path, dir, "wine-notes.txt");
        writeWhole(path, notes.data, notes.size);
    }
    free(results.data);
    free(notes.data);
    free(final.data);
}

static void runBuiltIn(const char *name, const char *outDir)
{
    size_t i;
    for (i = 0; i < CASE_COUNT; ++i) {
        const struct gen_case *c = &CASES[i];
        struct bytes caseTxt = {0}, input = {0};
        if (strcmp(c->name, name))
            continue;
        appendText(&caseTxt, "name: ");
        appendText(&caseTxt, c->name);
        appendText(&caseTxt, "\nset: public\ngroup: ");
        appendText(&caseTxt, c->group);
        appendText(&caseTxt, "\ndescription: ");
        appendText(&caseTxt, c->description);
        appendText(&caseTxt, "\ninput: ");
        appendText(&caseTxt, c->input ? "input.ini" : ABSENT_INPUT);
        appendText(&caseTxt, "\npath: test.ini\n");
        if (c->decision) {
            appendText(&caseTxt, "decision: ");
            appendText(&caseTxt, c->decision);
            appendText(&caseTxt, "\n");
        }
        if (c->input)
            appendText(&input, c->input);
        writeCaseFolder(outDir, c->name, &caseTxt, c->input ? &input : NULL, c->ops);
        free(caseTxt.data);
        free(input.data);
        return;
    }
    die("no such case", name);
}

static void rerun(const char *caseDir, const char *outDir)
{
    char path[MAX_PATH];
    const char *name = strrchr(caseDir, '\\');
    const char *slash = strrchr(caseDir, '/');
    struct bytes caseTxt, input, ops;
    int hasInput;
    if (slash && (!name || slash > name))
        name = slash;
    name = name ? name + 1 : caseDir;

    joinPath(path, sizeof path, caseDir, "case.txt");
    if (!readWhole(path, &caseTxt))
        die("missing", path);
    joinPath(path, sizeof path, caseDir, "ops.txt");
    if (!readWhole(path, &ops))
        die("missing", path);
    joinPath(path, sizeof path, caseDir, "input.ini");
    hasInput = readWhole(path, &input);
    writeCaseFolder(outDir, name, &caseTxt, hasInput ? &input : NULL, ops.data);
    free(caseTxt.data);
    free(ops.data);
    free(input.data);
}

static void writePlatform(const char *outDir)
{
    typedef const char *(CDECL * version_fn)(void);
    const version_fn version = (version_fn)(void (*)(void))GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                          "wine_get_version");
    char path[MAX_PATH], text[256];
    snprintf(text, sizeof text, "wine_version=%s\nansi_code_page=%u\noem_code_page=%u\nread_buffer_chars=%d\n",
             version ? version() : "none (not Wine)", GetACP(), GetOEMCP(), READ_BUFFER);
    joinPath(path, sizeof path, outDir, "platform.txt");
    writeWhole(path, text, strlen(text));
}

int main(int argc, char **argv)
{
    if (argc == 2 && !strcmp(argv[1], "list")) {
        size_t i;
        for (i = 0; i < CASE_COUNT; ++i)
            printf("%s\n", CASES[i].name);
        return 0;
    }
    if (argc == 4 && !strcmp(argv[1], "case")) {
        runBuiltIn(argv[2], argv[3]);
        return 0;
    }
    if (argc == 4 && !strcmp(argv[1], "rerun")) {
        rerun(argv[2], argv[3]);
        return 0;
    }
    if (argc == 3 && !strcmp(argv[1], "platform")) {
        writePlatform(argv[2]);
        return 0;
    }
    fprintf(stderr, "usage: profile_vectorgen list | case NAME OUTDIR | rerun CASEDIR OUTDIR | platform OUTDIR\n");
    return 2;
}
