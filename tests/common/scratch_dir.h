#pragma once
// Every test that writes files writes them into a folder of its own, made
// fresh and empty under $TMPDIR (or /tmp), so that no test can see another
// test's files or the leftovers of an earlier run.
#include <string>

// The running test's folder, ending in '/': made on first use, removed with
// everything in it when the test ends (kept, and named, when the test failed).
std::string testScratchDir();

// testScratchDir() + name.
std::string scratchPath(const std::string& name);
