// prompt_int fed through a pipe in a child process: what it prints, what it
// returns, and how it ends at the end of its input.
#include "skarn.h"
#include "../support/child_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Asks "Q? " in a child with input on standard input; what it printed, then
// "=<value>" when the question returned, and how the child ended.
ChildRun run_prompt(const std::string &input, int min, int max)
{
    return child_run(input, [=] { printf("=%d", prompt_int("Q? ", min, max)); });
}

}  // namespace

TEST(Prompt, AcceptsAnswersInRange)
{
    EXPECT_EQ(run_prompt("3\n", 0, 4).out, "Q? =3");
    EXPECT_EQ(run_prompt("0\n", 0, 4).out, "Q? =0");
    EXPECT_EQ(run_prompt("4\n", 0, 4).out, "Q? =4");
    EXPECT_EQ(run_prompt("   4\n", 0, 4).out, "Q? =4");
    EXPECT_EQ(run_prompt("+2\n", 0, 4).out, "Q? =2");
    EXPECT_EQ(run_prompt("3abc\n", 0, 4).out, "Q? =3");
    // No digits at all reads as 0.
    EXPECT_EQ(run_prompt("x\n", 0, 4).out, "Q? =0");
}

TEST(Prompt, AsksAgainUntilInRange)
{
    EXPECT_EQ(run_prompt("5\n-1\n2\n", 0, 4).out, "Q? Q? Q? =2");
    EXPECT_EQ(run_prompt("7999\n44101\n8000\n", 8000, 44100).out, "Q? Q? Q? =8000");
    EXPECT_EQ(run_prompt("44100\n", 8000, 44100).out, "Q? =44100");
    // An empty line is not an answer.
    EXPECT_EQ(run_prompt("\n1\n", 1, 3).out, "Q? Q? =1");
    // Too large for a long: out of range, not wrapped into range.
    EXPECT_EQ(run_prompt("99999999999999999999999\n2\n", 0, 4).out, "Q? Q? =2");
    EXPECT_EQ(run_prompt("4294967298\n2\n", 0, 4).out, "Q? Q? =2");
}

TEST(Prompt, LongLineIsReadInPieces)
{
    // 300 digits: a 254-character piece (out of range), then the rest of the
    // line (46 digits, out of range), then the next line.
    std::string line(300, '1');
    ChildRun run = run_prompt(line + "\n3\n", 0, 4);
    EXPECT_EQ(run.out, "Q? Q? Q? =3");
}

TEST(Prompt, EndOfInputStopsTheProgram)
{
    ChildRun run = run_prompt("", 0, 4);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out.find('='), std::string::npos);
    EXPECT_EQ(run.out.rfind("Q? ", 0), 0u);
    // A lone digit without a line end at the very end is not an answer either.
    run = run_prompt("3", 0, 4);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out.find('='), std::string::npos);
    run = run_prompt("9\n", 0, 4);
    EXPECT_NE(run.status, 0);
}

// The helper that feeds these children: a child that ends without reading
// input larger than a pipe holds must not kill the test program by SIGPIPE,
// and one that prints more than a pipe holds before reading must not hang
// it; either way its output and status come back whole.
TEST(ChildRunHelper, ChildThatEndsFirstOrPrintsFirst)
{
    const std::string big(100000, 'x');
    ChildRun r = child_run(big, [] {
        printf("gone");
        exit(3);
    });
    EXPECT_EQ(r.out, "gone");
    EXPECT_EQ(r.status, 3);
    r = child_run(big, [] {
        fputs(std::string(200000, 'y').c_str(), stdout);
        long n = 0;
        while (getchar() != EOF)
            n++;
        printf("%ld", n);
    });
    EXPECT_EQ(r.out, std::string(200000, 'y') + "100000");
    EXPECT_EQ(r.status, 0);
}
