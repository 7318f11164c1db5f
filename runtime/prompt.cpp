// prompt.cpp: numbered questions on the terminal, and the name table.
#include "skarn.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

int prompt_int(const char *prompt, int min, int max)
{
    char line[256];
    for (;;) {
        fputs(prompt, stdout);
        fflush(stdout);
        memset(line, 0, sizeof line);
        const bool got = fgets(line, 255, stdin) != nullptr;
        show_check_stop();
        if (!got && ferror(stdin) && errno == EINTR) {
            clearerr(stdin);  // a signal that does not stop the show
            continue;
        }
        if (!got) {
            // Nobody left to answer: asking again would never end.
            printf("\nNo answer on standard input, giving up.\n");
            fflush(stdout);
            exit(-1);
        }
        if (strlen(line) <= 1)
            continue;  // an empty line or a lone character is not an answer
        errno = 0;
        long value = strtol(line, nullptr, 10);
        if (errno == ERANGE)
            continue;
        if (value >= min && value <= max)
            return (int)value;
    }
}

// The name table: nothing in the programs fills it.
static const char **name_table = nullptr;
static int name_table_count = 0;

int name_table_lookup(const char *name)
{
    for (int i = 1; i < name_table_count; i++)
        if (name_table[i] && strcmp(name_table[i], name) == 0)
            return i;
    return 0;
}
