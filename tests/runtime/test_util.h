// test_util.h: a temporary folder that the test works in and removes, and
// capture of what a call prints on standard output.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

struct TempDir {
    std::string path;
    std::string old_cwd;
    TempDir()
    {
        char tmpl[] = "/tmp/skarn-test-XXXXXX";
        path = mkdtemp(tmpl);
        char buf[4096];
        old_cwd = getcwd(buf, sizeof buf) ? buf : "/";
    }
    void enter() { (void)!chdir(path.c_str()); }
    std::string file(const std::string &name) const { return path + "/" + name; }
    ~TempDir()
    {
        (void)!chdir(old_cwd.c_str());
        std::string cmd = "rm -rf '" + path + "'";
        (void)!system(cmd.c_str());
    }
};

// Runs fn with standard output sent to a temporary file and returns what it printed.
template <typename Fn> std::string capture_stdout(Fn fn)
{
    fflush(stdout);
    FILE *tmp = tmpfile();
    int saved = dup(1);
    dup2(fileno(tmp), 1);
    fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out;
    rewind(tmp);
    int c;
    while ((c = fgetc(tmp)) != EOF)
        out += (char)c;
    fclose(tmp);
    return out;
}

inline void write_bytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}
