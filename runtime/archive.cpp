// archive.cpp: pictures out of a .tar or .tgz data archive, through the
// external tar program: a verbose listing gives a member's size, an
// extraction to standard output gives its bytes.
#include "skarn.h"

#include <cstdlib>
#include <cstring>
#include <string>

static char *archive_name = nullptr;

const char *archive_set_name(const char *name)
{
    if (!name)
        return archive_name;
    if (name[0] == 0) {
        // An empty name clears the archive: pictures come from plain files.
        free(archive_name);
        archive_name = nullptr;
        return nullptr;
    }
    free(archive_name);
    archive_name = (char *)malloc(strlen(name) + 1);
    if (!archive_name)
        return nullptr;
    strcpy(archive_name, name);
    return archive_name;
}

const char *archive_get_name(void)
{
    return archive_name;
}

// 1 for a gzip-compressed tar, 2 for a plain one, 0 for no archive.
static int archive_kind(const char *archive)
{
    if (!archive)
        return 0;
    size_t n = strlen(archive);
    if (n <= 4)
        return 0;
    if (strcmp(archive + n - 3, "tgz") == 0)
        return 1;
    if (strcmp(archive + n - 3, "tar") == 0)
        return 2;
    return 0;
}

// Appends s to a shell command as one single-quoted word, so that blanks,
// semicolons and quotes in a name are taken literally.
static void shell_quote(std::string &cmd, const char *s)
{
    cmd += '\'';
    for (; *s; s++) {
        if (*s == '\'')
            cmd += "'\\''";
        else
            cmd += *s;
    }
    cmd += '\'';
}

// Builds "<prefix> '<archive>' ['<member>']" in a 256-byte command buffer;
// false when it does not fit.
static bool archive_command(char (&buf)[256], const char *prefix, const char *archive, const char *member)
{
    std::string cmd = prefix;
    shell_quote(cmd, archive);
    if (member) {
        cmd += ' ';
        shell_quote(cmd, member);
    }
    if (cmd.size() + 1 > sizeof buf)
        return false;
    memcpy(buf, cmd.c_str(), cmd.size() + 1);
    return true;
}

char *archive_next_token(char **cursor)
{
    char *p = *cursor;
    if (*p == 0)
        return nullptr;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == 0)
        return nullptr;
    char *start = p;
    while (*p && *p != ' ' && *p != '\n' && *p != ',')
        p++;
    if (*p) {
        *p = 0;
        *cursor = p + 1;
    } else {
        *cursor = p;
    }
    return start;
}

int archive_member_size(const char *archive, const char *member)
{
    int kind = archive_kind(archive);
    if (!kind || !member)
        return 0;
    char cmd[256];
    if (!archive_command(cmd, kind == 1 ? "tar -tzvf " : "tar -tvf ", archive, nullptr))
        return 0;
    FILE *pipe = popen(cmd, "r");
    if (!pipe)
        return -1;
    char line[1024];
    for (;;) {
        if (!fgets(line, 1023, pipe) || feof(pipe))
            break;
        size_t n = strlen(line);
        if (n > 0 && line[n - 1] == '\n')
            line[n - 1] = 0;
        char *cursor = line;
        char *tokens[6];
        int count = 0;
        while (count < 6 && (tokens[count] = archive_next_token(&cursor)) != nullptr)
            count++;
        if (count == 6 && strcmp(tokens[5], member) == 0) {
            int size = (int)strtol(tokens[2], nullptr, 10);
            pclose(pipe);
            return size;
        }
    }
    pclose(pipe);
    return 0;
}

int archive_read_member(const char *archive, const char *member, char **out)
{
    int size = archive_member_size(archive, member);
    if (size <= 0)
        return 0;
    int kind = archive_kind(archive);
    char cmd[256];
    if (!kind || !archive_command(cmd, kind == 1 ? "tar -xOzf " : "tar -xOf ", archive, member))
        return 0;
    FILE *pipe = popen(cmd, "r");
    if (!pipe)
        return 0;
    char *block = (char *)malloc((size_t)size);
    if (!block) {
        pclose(pipe);
        return 0;
    }
    int got = 0;
    int c;
    while (got < size && (c = fgetc(pipe)) != EOF)
        block[got++] = (char)c;
    pclose(pipe);
    if (got < size) {
        free(block);
        return 0;
    }
    *out = block;
    return size;
}
