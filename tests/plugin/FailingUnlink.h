// Off Windows: removals through unlinkat in this test program can be made to fail for a while,
// to reach what follows a failed removal. The program defines unlinkat itself, which puts it
// before the C library's for every caller linked into the program.
#pragma once

namespace TestFault {

// The next `count` calls of unlinkat fail with `error`; later calls reach the system again.
void failNextUnlinks(int count, int error);

// How many calls failed that way since the program started.
int failedUnlinks();

} // namespace TestFault
